// The stand-in's registry as the program walks it: lookups by class, child
// iterators per plane, names, planned faults and notification ports.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "support/report_fixture.h"

namespace {

using standin::Call;

class StandinRegistryTest : public testing_support::StandinTest {
protected:
    static io_iterator_t lookup(const char *className)
    {
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(
            IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching(className), &it),
            KERN_SUCCESS);
        return it;
    }

    // Every handle the iterator yields, which then keeps yielding 0; the
    // iterator is released.
    static std::vector<io_object_t> drain(io_iterator_t it)
    {
        std::vector<io_object_t> handles;
        while (io_object_t next = IOIteratorNext(it)) {
            handles.push_back(next);
        }
        EXPECT_EQ(IOIteratorNext(it), IO_OBJECT_NULL);
        EXPECT_EQ(IOIteratorNext(it), IO_OBJECT_NULL);
        IOObjectRelease(it);
        return handles;
    }

    // "class/name" of each handle, which is released.
    static std::vector<std::string> describe(const std::vector<io_object_t> &handles)
    {
        std::vector<std::string> texts;
        for (io_object_t handle : handles) {
            io_name_t className = "";
            io_name_t name = "";
            EXPECT_EQ(IOObjectGetClass(handle, className), KERN_SUCCESS);
            EXPECT_EQ(IORegistryEntryGetName(handle, name), KERN_SUCCESS);
            texts.push_back(std::string(className) + "/" + name);
            IOObjectRelease(handle);
        }
        return texts;
    }

    static std::vector<std::string> children(io_object_t parent, const char *plane)
    {
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(IORegistryEntryGetChildIterator(parent, plane, &it), KERN_SUCCESS);
        return describe(drain(it));
    }
};

using Names = std::vector<std::string>;

TEST_F(StandinRegistryTest, LookupYieldsExactlyThatClassInCreationOrder)
{
    standin::addEntry("Port", "p1");
    standin::addEntry("PortX", "x1");
    standin::addEntry("Port", "p2");
    standin::addEntry("Por", "short");
    standin::addEntry("Port", "p3");
    EXPECT_EQ(describe(drain(lookup("Port"))), (Names{"Port/p1", "Port/p2", "Port/p3"}));
    EXPECT_TRUE(drain(lookup("Unknown")).empty());

    // Each handle is new, even for an entry handed out before.
    std::vector<io_object_t> first = drain(lookup("Port"));
    std::vector<io_object_t> second = drain(lookup("Port"));
    std::set<io_object_t> distinct(first.begin(), first.end());
    distinct.insert(second.begin(), second.end());
    EXPECT_EQ(distinct.size(), 6U);
    EXPECT_EQ(describe(first), describe(second));
}

TEST_F(StandinRegistryTest, NamesAreCutAt127BytesAndTerminated)
{
    standin::addEntry(std::string(200, 'c'), std::string(200, 'n'));
    std::vector<io_object_t> found = drain(lookup(std::string(200, 'c').c_str()));
    ASSERT_EQ(found.size(), 1U);
    char buffer[160];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(IOObjectGetClass(found[0], buffer), KERN_SUCCESS);
    EXPECT_EQ(std::string(buffer), std::string(127, 'c'));
    EXPECT_EQ(buffer[128], '#');
    EXPECT_EQ(IORegistryEntryGetName(found[0], buffer), KERN_SUCCESS);
    EXPECT_EQ(std::string(buffer), std::string(127, 'n'));
    EXPECT_EQ(buffer[128], '#');
    IOObjectRelease(found[0]);
}

TEST_F(StandinRegistryTest, ChildrenFollowTheirPlaneWithSeveralParentsAndCycles)
{
    standin::EntryId root = standin::addEntry("Root", "root");
    standin::EntryId leaf = standin::addEntry("Leaf", "leaf");
    standin::EntryId other = standin::addEntry("Other", "other");
    standin::EntryId power = standin::addEntry("Power", "power");
    link(root, leaf);
    link(root, other);
    link(other, leaf);
    link(leaf, root); // a cycle back to the root
    link(root, power, kIOPowerPlane);

    std::vector<io_object_t> roots = drain(lookup("Root"));
    ASSERT_EQ(roots.size(), 1U);
    EXPECT_EQ(children(roots[0], kIOServicePlane), (Names{"Leaf/leaf", "Other/other"}));
    EXPECT_EQ(children(roots[0], kIOPowerPlane), (Names{"Power/power"}));
    io_iterator_t untouched = 0x77;
    EXPECT_EQ(IORegistryEntryGetChildIterator(roots[0], "IONoSuchPlane", &untouched),
              kIOReturnBadArgument);
    EXPECT_EQ(untouched, 0x77U);
    IOObjectRelease(roots[0]);

    std::vector<io_object_t> leaves = drain(lookup("Leaf"));
    std::vector<io_object_t> others = drain(lookup("Other"));
    EXPECT_EQ(children(leaves[0], kIOServicePlane), (Names{"Root/root"}));
    EXPECT_EQ(children(others[0], kIOServicePlane), (Names{"Leaf/leaf"}));
    EXPECT_EQ(children(leaves[0], kIOPowerPlane), Names{}); // an empty iterator, status 0
    IOObjectRelease(leaves[0]);
    IOObjectRelease(others[0]);
}

TEST_F(StandinRegistryTest, AnIteratorYieldsWhatWasThereWhenItWasMade)
{
    standin::EntryId hub = standin::addEntry("Hub", "hub");
    link(hub, standin::addEntry("Port", "p1"));
    io_iterator_t hubs = lookup("Hub");
    io_object_t found = IOIteratorNext(hubs);
    io_iterator_t ports = IO_OBJECT_NULL;
    ASSERT_EQ(IORegistryEntryGetChildIterator(found, kIOServicePlane, &ports), KERN_SUCCESS);

    // Iterators share their lists with the registry: a change must not
    // reach the ones already made.
    standin::addEntry("Hub", "later");
    link(hub, standin::addEntry("Port", "p2"));
    EXPECT_TRUE(drain(hubs).empty());
    EXPECT_EQ(describe(drain(ports)), (Names{"Port/p1"}));

    EXPECT_EQ(children(found, kIOServicePlane), (Names{"Port/p1", "Port/p2"}));
    EXPECT_EQ(describe(drain(lookup("Hub"))), (Names{"Hub/hub", "Hub/later"}));
    IOObjectRelease(found);
}

TEST_F(StandinRegistryTest, FaultRulesFailOnlyTheCallsTheyName)
{
    standin::EntryId first = standin::addEntry("Port", "p1");
    standin::EntryId second = standin::addEntry("Port", "p2");
    standin::setProperty(first, "Good", standin::makeInteger(1));
    standin::setProperty(first, "Bad", standin::makeInteger(2));
    link(first, second, kIOPowerPlane);
    link(second, first, kIOPowerPlane);

    using standin::FaultRule;
    standin::Faults &faults = standin::faults();
    faults.add(FaultRule(Call::classRead).forEntry(second).withStatus(kIOReturnNoResources));
    faults.add(FaultRule(Call::serviceLookup).forDetail("Y").withStatus(kIOReturnNotFound));
    faults.add(FaultRule(Call::propertyLookup).forDetail("Bad"));
    faults.add(FaultRule(Call::keyStringCreate).forDetail("Refused"));
    faults.add(FaultRule(Call::childIterator)
                   .forEntry(first)
                   .forDetail(kIOPowerPlane)
                   .withStatus(kIOReturnNoMemory));

    std::vector<io_object_t> ports = drain(lookup("Port"));
    ASSERT_EQ(ports.size(), 2U);
    io_name_t className = "untouched";
    EXPECT_EQ(IOObjectGetClass(ports[1], className), kIOReturnNoResources);
    EXPECT_STREQ(className, "untouched");
    EXPECT_EQ(IOObjectGetClass(ports[0], className), KERN_SUCCESS);
    EXPECT_STREQ(className, "Port");

    io_iterator_t it = IO_OBJECT_NULL;
    EXPECT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Y"), &it),
              kIOReturnNotFound);
    EXPECT_EQ(it, IO_OBJECT_NULL);

    CFTypeRef good =
        IORegistryEntryCreateCFProperty(ports[0], CFSTR("Good"), kCFAllocatorDefault, 0);
    EXPECT_NE(good, nullptr);
    CFRelease(good);
    EXPECT_EQ(IORegistryEntryCreateCFProperty(ports[0], CFSTR("Bad"), kCFAllocatorDefault, 0),
              nullptr);

    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "Refused", kCFStringEncodingUTF8),
              nullptr);
    CFStringRef accepted =
        CFStringCreateWithCString(kCFAllocatorDefault, "Accepted", kCFStringEncodingUTF8);
    EXPECT_NE(accepted, nullptr);
    CFRelease(accepted);

    EXPECT_EQ(IORegistryEntryGetChildIterator(ports[0], kIOPowerPlane, &it), kIOReturnNoMemory);
    EXPECT_EQ(children(ports[0], kIOServicePlane), Names{});
    EXPECT_EQ(children(ports[1], kIOPowerPlane), (Names{"Port/p1"}));
    IOObjectRelease(ports[0]);
    IOObjectRelease(ports[1]);
}

TEST_F(StandinRegistryTest, FailableCallsAreCountedLoggedAndFailedByNumber)
{
    standin::EntryId port = standin::addEntry("Port", "p1");
    standin::setProperty(port, "K", standin::makeInteger(7));
    standin::faults().add(
        standin::FaultRule(Call::propertyLookup).forDetail("K").onlyOccurrence(2));
    standin::faults().failNthCall(4, kIOReturnNotFound);
    standin::faults().recordCalls(true);

    std::vector<io_object_t> ports = drain(lookup("Port")); // call 1
    io_name_t name = "";
    EXPECT_EQ(IORegistryEntryGetName(ports[0], name), KERN_SUCCESS); // call 2
    CFTypeRef read = IORegistryEntryCreateCFProperty(ports[0], CFSTR("K"), kCFAllocatorDefault, 0);
    EXPECT_NE(read, nullptr); // call 3
    CFRelease(read);
    EXPECT_EQ(IOObjectGetClass(ports[0], name), kIOReturnNotFound); // call 4
    EXPECT_EQ(IORegistryEntryCreateCFProperty(ports[0], CFSTR("K"), kCFAllocatorDefault, 0),
              nullptr);
    read = IORegistryEntryCreateCFProperty(ports[0], CFSTR("K"), kCFAllocatorDefault, 0);
    EXPECT_NE(read, nullptr); // call 6: only the second read of "K" fails
    CFRelease(read);
    io_iterator_t it = IO_OBJECT_NULL;
    EXPECT_EQ(IORegistryEntryGetChildIterator(ports[0], kIOPowerPlane, &it), KERN_SUCCESS);
    drain(it);
    IOObjectRelease(ports[0]);

    EXPECT_EQ(standin::faults().callCount(), 7U);
    const std::vector<standin::CallSite> &calls = standin::faults().calls();
    ASSERT_EQ(calls.size(), 7U);
    const Call kinds[] = {Call::serviceLookup, Call::nameRead,       Call::propertyLookup,
                          Call::classRead,     Call::propertyLookup, Call::propertyLookup,
                          Call::childIterator};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].call, kinds[i]) << i;
        EXPECT_EQ(calls[i].entry, i == 0 ? 0 : port) << i;
    }
    EXPECT_EQ(calls[0].detail, "Port");
    EXPECT_EQ(calls[2].detail, "K");
    EXPECT_EQ(calls[6].detail, kIOPowerPlane);
}

TEST_F(StandinRegistryTest, InterestRegistrationsThroughANotificationPort)
{
    standin::addEntry("Port", "p1");
    std::vector<io_object_t> ports = drain(lookup("Port"));
    IONotificationPortRef notifyPort = IONotificationPortCreate(kIOMainPortDefault);
    ASSERT_NE(notifyPort, nullptr);

    std::set<io_object_t> notifications;
    for (const char *type : {kIOGeneralInterest, kIOBusyInterest, kIOAppPowerStateInterest,
                             kIOPriorityPowerStateInterest}) {
        io_object_t notification = IO_OBJECT_NULL;
        EXPECT_EQ(IOServiceAddInterestNotification(notifyPort, ports[0], type, nullptr, nullptr,
                                                   &notification),
                  KERN_SUCCESS)
            << type;
        notifications.insert(notification);
    }
    EXPECT_EQ(notifications.size(), 4U);
    EXPECT_EQ(notifications.count(IO_OBJECT_NULL), 0U);
    for (io_object_t notification : notifications) {
        EXPECT_EQ(IOObjectRelease(notification), KERN_SUCCESS);
    }

    io_object_t refused = IO_OBJECT_NULL;
    EXPECT_EQ(IOServiceAddInterestNotification(notifyPort, ports[0], "IOSomeOtherInterest", nullptr,
                                               nullptr, &refused),
              static_cast<kern_return_t>(0xe00002c2));
    standin::faults().add(standin::FaultRule(Call::interestRegistration)
                              .forDetail(kIOBusyInterest)
                              .withStatus(kIOReturnNoResources));
    EXPECT_EQ(IOServiceAddInterestNotification(notifyPort, ports[0], kIOBusyInterest, nullptr,
                                               nullptr, &refused),
              kIOReturnNoResources);
    EXPECT_EQ(refused, IO_OBJECT_NULL);
    IONotificationPortDestroy(notifyPort);

    standin::faults().add(standin::FaultRule(Call::notificationPortCreate).onlyOccurrence(1));
    EXPECT_EQ(IONotificationPortCreate(kIOMainPortDefault), nullptr);
    notifyPort = IONotificationPortCreate(kIOMainPortDefault);
    EXPECT_NE(notifyPort, nullptr);
    EXPECT_TRUE(standin::audit().misuse.empty()) << standin::audit().text();

    // A null port or service is refused, and recorded as misuse.
    EXPECT_EQ(IOServiceAddInterestNotification(nullptr, ports[0], kIOGeneralInterest, nullptr,
                                               nullptr, &refused),
              kIOReturnBadArgument);
    EXPECT_EQ(IOServiceAddInterestNotification(notifyPort, IO_OBJECT_NULL, kIOGeneralInterest,
                                               nullptr, nullptr, &refused),
              kIOReturnBadArgument);
    EXPECT_EQ(refused, IO_OBJECT_NULL);
    IONotificationPortDestroy(notifyPort);
    IOObjectRelease(ports[0]);
    standin::AuditReport report = standin::audit();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    EXPECT_EQ(report.misuse.size(), 2U) << report.text();
    standin::reset();
}

} // namespace
