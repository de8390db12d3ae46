// The stand-in's reference audit: every reference still held and every bad
// release or use is reported, and each finding names the object concerned.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/standin/live_table.h"
#include "support/report_fixture.h"

namespace {

void expectMentions(const std::string &text, const std::string &part)
{
    EXPECT_NE(text.find(part), std::string::npos) << "\"" << part << "\" is not in:\n" << text;
}

std::string hex(io_object_t object)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", object);
    return text;
}

class StandinAuditTest : public testing_support::StandinTest {
protected:
    // A new handle to the first entry of className; the iterator is released.
    static io_object_t first(const char *className)
    {
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(
            IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching(className), &it),
            KERN_SUCCESS);
        io_object_t object = IOIteratorNext(it);
        IOObjectRelease(it);
        return object;
    }

    // What the audit found; the stand-in is then emptied, so that the
    // fixture's own audit stays clean after deliberate misuse.
    static standin::AuditReport findingsThenReset()
    {
        standin::AuditReport report = standin::audit();
        standin::reset();
        return report;
    }
};

TEST_F(StandinAuditTest, EveryKindOfReferenceLeftHeldIsListedByName)
{
    standin::EntryId port = standin::addEntry("PortController", "port-0");
    standin::setProperty(port, "Mode", standin::makeString("dual"));
    io_object_t entry = first("PortController");
    CFStringRef key = CFStringCreateWithCString(kCFAllocatorDefault, "Mode", kCFStringEncodingUTF8);
    CFTypeRef value = IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0);
    CFRetain(value);
    io_iterator_t iterator = IO_OBJECT_NULL;
    IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("PortController"),
                                 &iterator);
    IONotificationPortRef notifyPort = IONotificationPortCreate(kIOMainPortDefault);

    standin::AuditReport report = standin::audit();
    ASSERT_EQ(report.outstanding.size(), 5U) << report.text();
    EXPECT_EQ(report.held, 6U); // the value is held twice
    EXPECT_TRUE(report.misuse.empty()) << report.text();
    std::string text = report.text();
    expectMentions(text, "string \"Mode\", from CFStringCreateWithCString)");
    expectMentions(text, "string \"dual\", from IORegistryEntryCreateCFProperty of \"Mode\" on "
                         "entry 1 [PortController] port-0) x2");
    expectMentions(text, "handle " + hex(entry) +
                             " (entry for entry 1 [PortController] port-0, from IOIteratorNext)");
    expectMentions(text,
                   "handle " + hex(iterator) +
                       " (iterator of class PortController, from IOServiceGetMatchingServices)");
    expectMentions(text, "notification port #1 (from IONotificationPortCreate)");

    CFRelease(value);
    EXPECT_EQ(standin::audit().outstanding.size(), 5U); // one reference to the value remains
    CFRelease(value);
    CFRelease(key);
    EXPECT_EQ(IOObjectRelease(entry), KERN_SUCCESS);
    EXPECT_EQ(IOObjectRelease(iterator), KERN_SUCCESS);
    IONotificationPortDestroy(notifyPort);
    EXPECT_EQ(standin::audit().held, 0U);
}

TEST_F(StandinAuditTest, BadReleasesAreMisuseNamingTheObject)
{
    standin::addEntry("PortController", "port-0");
    io_object_t entry = first("PortController");
    CFStringRef key =
        CFStringCreateWithCString(kCFAllocatorDefault, "Twice", kCFStringEncodingUTF8);

    CFRelease(key);
    CFRelease(key);
    EXPECT_EQ(IOObjectRelease(entry), KERN_SUCCESS);
    EXPECT_EQ(IOObjectRelease(entry), kIOReturnBadArgument);
    CFRelease(CFSTR("Constant"));
    EXPECT_EQ(IOObjectRelease(IO_OBJECT_NULL), kIOReturnBadArgument);

    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 4U) << report.text();
    expectMentions(report.misuse[0], "CFRelease: value #");
    expectMentions(report.misuse[0],
                   "(string \"Twice\", from CFStringCreateWithCString) was already released");
    expectMentions(report.misuse[1], "IOObjectRelease: handle " + hex(entry) +
                                         " (entry for entry 1 [PortController] port-0, "
                                         "from IOIteratorNext) was already released");
    expectMentions(report.misuse[2], "CFRelease: value #");
    expectMentions(report.misuse[2], "(string \"Constant\", constant) is a constant");
    EXPECT_EQ(report.misuse[3], "IOObjectRelease: handle 0");
}

TEST_F(StandinAuditTest, UseAfterReleaseAndWrongKindUseAreMisuseNamingTheObject)
{
    standin::EntryId port = standin::addEntry("PortController", "port-0");
    standin::setProperty(port, "Raw", testing_support::bytes({1, 2, 3}));
    io_object_t entry = first("PortController");
    CFTypeRef raw = IORegistryEntryCreateCFProperty(entry, CFSTR("Raw"), kCFAllocatorDefault, 0);
    io_iterator_t iterator = IO_OBJECT_NULL;
    IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("PortController"),
                                 &iterator);
    CFStringRef text =
        CFStringCreateWithCString(kCFAllocatorDefault, "not data", kCFStringEncodingUTF8);

    io_name_t className = "untouched";
    EXPECT_EQ(CFDataGetLength(reinterpret_cast<CFDataRef>(text)), 0);
    EXPECT_EQ(IOIteratorNext(entry), IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetClass(iterator, className), kIOReturnBadArgument);
    CFRelease(text);
    CFRelease(raw);
    IOObjectRelease(iterator);
    IOObjectRelease(entry);
    EXPECT_EQ(CFGetTypeID(raw), 0UL);
    EXPECT_EQ(IOIteratorNext(iterator), IO_OBJECT_NULL);
    EXPECT_EQ(IOObjectGetClass(entry, className), kIOReturnBadArgument);
    EXPECT_STREQ(className, "untouched");

    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 6U) << report.text();
    const std::string entryName =
        "handle " + hex(entry) +
        " (entry for entry 1 [PortController] port-0, from IOIteratorNext)";
    const std::string iteratorName = "handle " + hex(iterator) +
                                     " (iterator of class PortController, from "
                                     "IOServiceGetMatchingServices)";
    expectMentions(report.misuse[0], "CFDataGetLength: value #");
    expectMentions(report.misuse[0], "(string \"not data\", from CFStringCreateWithCString) "
                                     "is not a data value");
    EXPECT_EQ(report.misuse[1], "IOIteratorNext: " + entryName + " is not an iterator");
    EXPECT_EQ(report.misuse[2], "IOObjectGetClass: " + iteratorName + " is not a registry entry");
    expectMentions(report.misuse[3], "CFGetTypeID: value #");
    expectMentions(report.misuse[3],
                   "(data of 3 bytes, from IORegistryEntryCreateCFProperty of "
                   "\"Raw\" on entry 1 [PortController] port-0) used after its release");
    EXPECT_EQ(report.misuse[4], "IOIteratorNext: " + iteratorName + " used after its release");
    EXPECT_EQ(report.misuse[5], "IOObjectGetClass: " + entryName + " used after its release");
}

TEST_F(StandinAuditTest, PeakIsTheMostHeldAtOnce)
{
    for (const char *name : {"a", "b", "c"}) {
        standin::addEntry("Port", name);
    }
    io_iterator_t iterator = IO_OBJECT_NULL;
    IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Port"), &iterator);
    io_object_t handles[3] = {IOIteratorNext(iterator), IOIteratorNext(iterator),
                              IOIteratorNext(iterator)};
    IOObjectRelease(iterator);
    EXPECT_EQ(standin::audit().held, 3U);
    for (io_object_t handle : handles) {
        IOObjectRelease(handle);
    }
    CFStringRef key = CFStringCreateWithCString(kCFAllocatorDefault, "k", kCFStringEncodingUTF8);
    CFRelease(key);

    standin::AuditReport report = standin::audit();
    EXPECT_EQ(report.peakHeld, 4U); // the three handles and the iterator
    EXPECT_EQ(report.held, 0U);
}

TEST_F(StandinAuditTest, ThousandsHeldAtOnceStayDistinctAndEveryStaleOneIsRecognised)
{
    // Far more references than a report holds at once, and more texts than
    // the stand-in keeps strings for, released in a scattered order.
    const std::size_t count = 3000;
    std::vector<CFStringRef> keys;
    for (std::size_t i = 0; i < count; ++i) {
        std::string text = "key-" + std::to_string(i);
        keys.push_back(
            CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8));
        ASSERT_NE(keys.back(), nullptr);
    }
    EXPECT_EQ(standin::audit().held, count);
    auto readsBack = [&keys](std::size_t i) {
        char text[32] = "";
        return CFStringGetCString(keys[i], text, sizeof text, kCFStringEncodingUTF8) &&
               std::string(text) == "key-" + std::to_string(i);
    };
    for (std::size_t i = 0; i < count; i += 3) {
        CFRelease(keys[i]);
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (i % 3 != 0) {
            EXPECT_TRUE(readsBack(i)) << i;
        }
    }
    for (std::size_t i = count; i-- > 0;) {
        if (i % 3 != 0) {
            CFRelease(keys[i]);
        }
    }
    standin::AuditReport report = standin::audit();
    EXPECT_TRUE(report.clean()) << report.text();
    EXPECT_EQ(report.peakHeld, count);

    // The last 1,024 released are still described, each as itself, and one
    // released before them is still recognised, though no longer described.
    std::vector<std::size_t> releaseOrder;
    for (std::size_t i = 0; i < count; i += 3) {
        releaseOrder.push_back(i);
    }
    for (std::size_t i = count; i-- > 0;) {
        if (i % 3 != 0) {
            releaseOrder.push_back(i);
        }
    }
    const std::size_t kept = 1024;
    const std::size_t probes[] = {releaseOrder.back(), releaseOrder[releaseOrder.size() - 2],
                                  releaseOrder[releaseOrder.size() - kept],
                                  releaseOrder[releaseOrder.size() - kept - 1], 3};
    for (std::size_t i : probes) {
        EXPECT_EQ(CFGetTypeID(keys[i]), 0UL);
    }
    report = findingsThenReset();
    ASSERT_EQ(report.misuse.size(), std::size(probes)) << report.text();
    auto described = [](std::size_t i) {
        return "CFGetTypeID: value #" + std::to_string(i + 1) + " (string \"key-" +
               std::to_string(i) + "\", from CFStringCreateWithCString) used after its release";
    };
    auto undescribed = [](std::size_t i) {
        return "CFGetTypeID: value #" + std::to_string(i + 1) + " used after its release";
    };
    EXPECT_EQ(report.misuse[0], described(probes[0]));
    EXPECT_EQ(report.misuse[1], described(probes[1]));
    EXPECT_EQ(report.misuse[2], described(probes[2]));
    EXPECT_EQ(report.misuse[3], undescribed(probes[3]));
    EXPECT_EQ(report.misuse[4], undescribed(probes[4]));
}

TEST_F(StandinAuditTest, ConstantsRetainedAndReleasedInBalanceLeaveTheCountsAsTheyWere)
{
    CFStringRef key = CFStringCreateWithCString(kCFAllocatorDefault, "k", kCFStringEncodingUTF8);
    CFStringRef constant = CFSTR("Constant");
    EXPECT_EQ(CFRetain(constant), constant);
    CFRetain(constant);
    standin::AuditReport retained = standin::audit();
    EXPECT_EQ(retained.held, 1U) << retained.text();
    EXPECT_EQ(retained.peakHeld, 1U);
    EXPECT_EQ(retained.outstanding.size(), 1U) << retained.text(); // the key alone

    CFRelease(constant);
    CFRelease(constant);
    standin::AuditReport released = standin::audit();
    EXPECT_EQ(released.held, 1U);
    EXPECT_EQ(released.peakHeld, 1U);
    EXPECT_TRUE(released.misuse.empty()) << released.text();
    EXPECT_EQ(CFGetTypeID(constant), CFStringGetTypeID()); // a constant outlives its releases

    CFRelease(constant); // one more than it was retained
    CFRelease(key);
    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 1U) << report.text();
    EXPECT_EQ(report.misuse[0], "CFRelease: value #2 (string \"Constant\", constant) is a "
                                "constant and is never released");
}

// The table of live references against a plain map, with keys that collide
// as random ones do (the serial numbers of a run hardly ever do), so that
// every way of closing the gap a removal leaves is taken.
TEST(LiveTableTest, AgreesWithAMapThroughRandomInsertsAndTakes)
{
    standin::LiveTable<std::uint64_t, std::string> table;
    std::map<std::uint64_t, std::string> model;
    std::vector<std::uint64_t> keys;
    std::uint64_t state = 42;
    auto random = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    for (int step = 0; step < 200000; ++step) {
        bool grow = keys.size() < 50 || (keys.size() < 3000 && random() % 2 == 0);
        if (grow) {
            std::uint64_t key = random() % 100000 + 1;
            if (model.count(key) == 0) {
                table.insert(key) = std::to_string(key);
                model[key] = std::to_string(key);
                keys.push_back(key);
            }
        } else {
            std::size_t pick = random() % keys.size();
            std::string taken;
            table.take(keys[pick], taken);
            ASSERT_EQ(taken, model[keys[pick]]);
            model.erase(keys[pick]);
            keys[pick] = keys.back();
            keys.pop_back();
        }
        std::uint64_t probe = random() % 100000 + 1;
        const std::string *found = table.find(probe);
        ASSERT_EQ(found != nullptr, model.count(probe) != 0) << probe;
        if (found != nullptr) {
            ASSERT_EQ(*found, model[probe]);
        }
    }
    ASSERT_EQ(table.size(), model.size());
    std::size_t visited = 0;
    table.forEach([&](std::uint64_t key, const std::string &record) {
        EXPECT_EQ(record, model[key]);
        ++visited;
    });
    EXPECT_EQ(visited, model.size());
}

TEST_F(StandinAuditTest, MatchingDictionaryIsConsumedOnEveryPath)
{
    standin::addEntry("Port", "a");
    standin::faults().add(standin::FaultRule(standin::Call::serviceLookup)
                              .forDetail("Refused")
                              .withStatus(kIOReturnNoResources));

    io_iterator_t iterator = IO_OBJECT_NULL;
    EXPECT_EQ(
        IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Refused"), &iterator),
        kIOReturnNoResources);
    EXPECT_EQ(iterator, IO_OBJECT_NULL);
    EXPECT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Port"), nullptr),
              kIOReturnBadArgument);
    EXPECT_EQ(standin::audit().held, 0U) << standin::audit().text();

    EXPECT_EQ(
        IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Port"), &iterator),
        KERN_SUCCESS);
    EXPECT_EQ(standin::audit().held, 1U) << standin::audit().text(); // only the iterator
    IOObjectRelease(iterator);
}

TEST_F(StandinAuditTest, DestroyingAPortWithARegistrationStillHeldIsMisuse)
{
    standin::addEntry("Port", "a");
    io_object_t service = first("Port");
    io_object_t notification = IO_OBJECT_NULL;

    IONotificationPortRef tidy = IONotificationPortCreate(kIOMainPortDefault);
    IOServiceAddInterestNotification(tidy, service, kIOGeneralInterest, nullptr, nullptr,
                                     &notification);
    IOObjectRelease(notification);
    IONotificationPortDestroy(tidy);
    EXPECT_TRUE(standin::audit().misuse.empty()) << standin::audit().text();

    IONotificationPortRef hasty = IONotificationPortCreate(kIOMainPortDefault);
    IOServiceAddInterestNotification(hasty, service, kIOBusyInterest, nullptr, nullptr,
                                     &notification);
    IONotificationPortDestroy(hasty);
    IOObjectRelease(notification);
    IOObjectRelease(service);

    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 1U) << report.text();
    EXPECT_EQ(report.misuse[0],
              "IONotificationPortDestroy: notification port #2 destroyed while handle " +
                  hex(notification) +
                  " (notification IOBusyInterest for entry 1 [Port] a, from "
                  "IOServiceAddInterestNotification) is still held");
}

} // namespace
