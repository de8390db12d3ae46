// The calls that read ports and the power manager: the registry's root, an
// entry's ID and location, its whole property table, sets and a
// dictionary's keys and values, each by the system's reference rules, with
// misuse caught and every failable one failable.
#include <cstring>
#include <string>
#include <vector>

#include "support/report_fixture.h"

namespace {

using standin::Call;
using standin::FaultRule;
using standin::makeArray;
using standin::makeBoolean;
using standin::makeDictionary;
using standin::makeInteger;
using standin::makeSet;
using standin::makeString;

void expectMentions(const std::string &text, const std::string &part)
{
    EXPECT_NE(text.find(part), std::string::npos) << "\"" << part << "\" is not in:\n" << text;
}

class StandinPortCallsTest : public testing_support::StandinTest {
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        port_ = standin::addEntry("AppleHPMInterfaceType10", "Port-USB-C");
        standin::setProperty(port_, "PortTypeDescription", makeString("USB-C"));
        standin::setProperty(port_, "ConnectionActive", makeBoolean(true));
        standin::setProperty(
            port_, "PowerSourceOptions",
            makeSet({makeInteger(5000), makeInteger(9000), makeInteger(5000), makeString("x")}));
        standin::registry().addChild(standin::registry().root(), port_, "IOPort");
        standin::registry().setLocation(port_, "IOPort", "1");
    }

    // A new handle to the port, found as the root's first child in IOPort.
    static io_object_t portHandle()
    {
        io_registry_entry_t root = IORegistryGetRootEntry(kIOMainPortDefault);
        io_iterator_t children = IO_OBJECT_NULL;
        EXPECT_EQ(IORegistryEntryGetChildIterator(root, "IOPort", &children), KERN_SUCCESS);
        io_object_t port = IOIteratorNext(children);
        EXPECT_EQ(IOIteratorNext(children), IO_OBJECT_NULL);
        IOObjectRelease(children);
        IOObjectRelease(root);
        return port;
    }

    static standin::AuditReport findingsThenReset()
    {
        standin::AuditReport report = standin::audit();
        standin::reset();
        return report;
    }

    standin::EntryId port_ = 0;
};

TEST_F(StandinPortCallsTest, TheRootIsTheEntryAboveEveryPlane)
{
    io_registry_entry_t root = IORegistryGetRootEntry(kIOMainPortDefault);
    ASSERT_NE(root, IO_OBJECT_NULL);
    io_name_t text = "";
    EXPECT_EQ(IOObjectGetClass(root, text), KERN_SUCCESS);
    EXPECT_STREQ(text, "IORegistryEntry");
    EXPECT_EQ(IORegistryEntryGetName(root, text), KERN_SUCCESS);
    EXPECT_STREQ(text, "Root");
    // The same root each time, a new handle each time.
    io_registry_entry_t again = IORegistryGetRootEntry(kIOMainPortDefault);
    EXPECT_NE(again, root);
    std::uint64_t first = 0;
    std::uint64_t second = 1;
    EXPECT_EQ(IORegistryEntryGetRegistryEntryID(root, &first), KERN_SUCCESS);
    EXPECT_EQ(IORegistryEntryGetRegistryEntryID(again, &second), KERN_SUCCESS);
    EXPECT_EQ(first, second);
    IOObjectRelease(again);
    IOObjectRelease(root);

    io_object_t port = portHandle();
    EXPECT_EQ(IOObjectGetClass(port, text), KERN_SUCCESS);
    EXPECT_STREQ(text, "AppleHPMInterfaceType10");
    IOObjectRelease(port);
}

TEST_F(StandinPortCallsTest, IdsAreUniqueWhetherGivenOrMade)
{
    standin::Registry &registry = standin::registry();
    standin::EntryId a = standin::addEntry("A", "a");
    standin::EntryId b = standin::addEntry("B", "b");
    std::uint64_t madeForB = registry.entry(b).registryId;
    EXPECT_NE(registry.entry(a).registryId, madeForB);
    // A given ID that the registry had made for another entry is taken
    // from it; one given to another entry stays there.
    EXPECT_TRUE(registry.setRegistryId(a, madeForB));
    EXPECT_EQ(registry.entry(a).registryId, madeForB);
    EXPECT_NE(registry.entry(b).registryId, madeForB);
    EXPECT_FALSE(registry.setRegistryId(b, madeForB));
    EXPECT_TRUE(registry.setRegistryId(b, 0x100000abcULL));
    EXPECT_EQ(registry.entry(b).registryId, 0x100000abcULL);
    // New entries never get an ID already held.
    for (int i = 0; i < 4; ++i) {
        standin::EntryId made = standin::addEntry("C", "c");
        EXPECT_NE(registry.entry(made).registryId, madeForB);
        EXPECT_NE(registry.entry(made).registryId, 0x100000abcULL);
    }
}

TEST_F(StandinPortCallsTest, ALocationIsGivenPerPlane)
{
    io_object_t port = portHandle();
    struct Case {
        const char *plane;
        kern_return_t status;
        const char *text; // what the buffer holds afterwards
    };
    for (const Case &c :
         {Case{"IOPort", KERN_SUCCESS, "1"}, Case{"IOService", kIOReturnNotFound, "untouched"},
          Case{"NoSuchPlane", kIOReturnBadArgument, "untouched"}}) {
        io_name_t location = "untouched";
        EXPECT_EQ(IORegistryEntryGetLocationInPlane(port, c.plane, location), c.status) << c.plane;
        EXPECT_STREQ(location, c.text) << c.plane;
    }
    // At most 127 bytes and a zero, as for names.
    standin::registry().setLocation(port_, "IOPort", std::string(300, '7'));
    io_name_t location = "";
    EXPECT_EQ(IORegistryEntryGetLocationInPlane(port, "IOPort", location), KERN_SUCCESS);
    EXPECT_EQ(std::strlen(location), 127U);
    IOObjectRelease(port);
}

TEST_F(StandinPortCallsTest, ThePropertyTableIsANewDictionaryInKeyOrder)
{
    io_object_t port = portHandle();
    CFMutableDictionaryRef properties = nullptr;
    ASSERT_EQ(IORegistryEntryCreateCFProperties(port, &properties, kCFAllocatorDefault, 0),
              KERN_SUCCESS);
    IOObjectRelease(port);
    ASSERT_EQ(CFDictionaryGetCount(properties), 3);
    const void *keys[3] = {};
    const void *values[3] = {};
    CFDictionaryGetKeysAndValues(properties, keys, values);
    std::vector<std::string> names;
    for (const void *key : keys) {
        char text[64] = "";
        EXPECT_TRUE(CFStringGetCString(static_cast<CFStringRef>(key), text, sizeof text,
                                       kCFStringEncodingUTF8));
        names.emplace_back(text);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ConnectionActive", "PortTypeDescription",
                                               "PowerSourceOptions"}));
    EXPECT_EQ(CFGetTypeID(values[0]), CFBooleanGetTypeID());
    EXPECT_EQ(CFBooleanGetValue(static_cast<CFBooleanRef>(values[0])), 1);

    // A set: type 17 as on macOS, each member once, read by the Get rule.
    EXPECT_EQ(CFSetGetTypeID(), 17UL);
    ASSERT_EQ(CFGetTypeID(values[2]), CFSetGetTypeID());
    auto set = static_cast<CFSetRef>(values[2]);
    ASSERT_EQ(CFSetGetCount(set), 3);
    const void *members[3] = {};
    CFSetGetValues(set, members);
    EXPECT_EQ(CFGetTypeID(members[2]), CFStringGetTypeID());
    // The keys-only and values-only forms fill one buffer.
    const void *only[3] = {};
    CFDictionaryGetKeysAndValues(properties, nullptr, only);
    EXPECT_EQ(only[2], values[2]);
    CFRelease(properties);
}

TEST_F(StandinPortCallsTest, MisuseOfTheNewCallsIsCaught)
{
    struct Case {
        const char *what;
        void (*misuse)(io_object_t port);
        const char *finding;
    };
    const Case cases[] = {
        {"a set read as a dictionary",
         [](io_object_t port) {
             CFTypeRef set = IORegistryEntryCreateCFProperty(port, CFSTR("PowerSourceOptions"),
                                                             kCFAllocatorDefault, 0);
             CFDictionaryGetKeysAndValues(static_cast<CFDictionaryRef>(set), nullptr, nullptr);
             CFRelease(set);
         },
         "CFDictionaryGetKeysAndValues: value #"},
        {"a boolean counted as a set",
         [](io_object_t port) {
             CFTypeRef flag = IORegistryEntryCreateCFProperty(port, CFSTR("ConnectionActive"),
                                                              kCFAllocatorDefault, 0);
             CFSetGetCount(static_cast<CFSetRef>(flag));
             CFRelease(flag);
         },
         "is not a set value"},
        {"a set's members into no buffer",
         [](io_object_t port) {
             CFTypeRef set = IORegistryEntryCreateCFProperty(port, CFSTR("PowerSourceOptions"),
                                                             kCFAllocatorDefault, 0);
             CFSetGetValues(static_cast<CFSetRef>(set), nullptr);
             CFRelease(set);
         },
         "CFSetGetValues: a null buffer"},
        {"a member of a set released",
         [](io_object_t port) {
             CFTypeRef set = IORegistryEntryCreateCFProperty(port, CFSTR("PowerSourceOptions"),
                                                             kCFAllocatorDefault, 0);
             const void *members[3] = {};
             CFSetGetValues(static_cast<CFSetRef>(set), members);
             CFRelease(members[0]);
             CFRelease(set);
         },
         "CFRelease: value #"},
        {"a table's value used after the table's release",
         [](io_object_t port) {
             CFMutableDictionaryRef table = nullptr;
             IORegistryEntryCreateCFProperties(port, &table, kCFAllocatorDefault, 0);
             const void *values[3] = {};
             CFDictionaryGetKeysAndValues(table, nullptr, values);
             CFRelease(table);
             CFBooleanGetValue(static_cast<CFBooleanRef>(values[0]));
         },
         "CFBooleanGetValue: value #"},
        {"a table with options",
         [](io_object_t port) {
             CFMutableDictionaryRef table = nullptr;
             IORegistryEntryCreateCFProperties(port, &table, kCFAllocatorDefault, 1);
         },
         "IORegistryEntryCreateCFProperties: the default allocator and no options"},
        {"an ID of a released entry",
         [](io_object_t port) {
             IOObjectRelease(port);
             std::uint64_t id = 0;
             IORegistryEntryGetRegistryEntryID(port, &id);
         },
         "IORegistryEntryGetRegistryEntryID: handle"},
    };
    for (const Case &c : cases) {
        io_object_t port = portHandle();
        c.misuse(port);
        if (std::string(c.what) != "an ID of a released entry") {
            IOObjectRelease(port);
        }
        standin::AuditReport report = findingsThenReset();
        ASSERT_FALSE(report.misuse.empty()) << c.what;
        expectMentions(report.misuse[0], c.finding);
        EXPECT_TRUE(report.outstanding.empty()) << c.what << "\n" << report.text();
        SetUp();
    }
}

TEST_F(StandinPortCallsTest, EachFailableCallFailsAsTheSystemDoes)
{
    struct Case {
        Call call;
        bool (*fails)(); // makes the call; true when it failed as planned
    };
    const Case cases[] = {
        {Call::rootLookup, [] { return IORegistryGetRootEntry(kIOMainPortDefault) == 0; }},
        {Call::registryIdRead,
         [] {
             io_object_t port = portHandle();
             std::uint64_t id = 7;
             bool failed =
                 IORegistryEntryGetRegistryEntryID(port, &id) == kIOReturnError && id == 7;
             IOObjectRelease(port);
             return failed;
         }},
        {Call::locationRead,
         [] {
             io_object_t port = portHandle();
             io_name_t location = "kept";
             bool failed =
                 IORegistryEntryGetLocationInPlane(port, "IOPort", location) == kIOReturnError &&
                 std::strcmp(location, "kept") == 0;
             IOObjectRelease(port);
             return failed;
         }},
        {Call::propertiesCopy,
         [] {
             io_object_t port = portHandle();
             CFMutableDictionaryRef table = nullptr;
             bool failed = IORegistryEntryCreateCFProperties(port, &table, kCFAllocatorDefault,
                                                             0) == kIOReturnError &&
                           table == nullptr;
             IOObjectRelease(port);
             return failed;
         }},
    };
    for (const Case &c : cases) {
        standin::faults().add(FaultRule(c.call));
        EXPECT_TRUE(c.fails()) << standin::callName(c.call);
        standin::AuditReport report = findingsThenReset();
        EXPECT_TRUE(report.clean()) << standin::callName(c.call) << "\n" << report.text();
        SetUp();
    }
}

} // namespace
