// readPortCapture on registries built in the stand-in: ports with their
// subtrees from the IOPort plane and from the IOService plane, entries found
// without their port, the power manager, every kind of value, and the
// bounds that keep cycles and deep nesting finite. The fixture's audit
// checks that every reading released all it made.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "explain/input/port_reader.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "support/report_fixture.h"

namespace {

using explain::CapturedEntry;
using explain::PortCapture;
using explain::PropertyValue;
using standin::EntryId;
using standin::makeArray;
using standin::makeBoolean;
using standin::makeDictionary;
using standin::makeInteger;
using standin::makeSet;
using standin::makeString;

using Lines = std::vector<std::string>;

// One line per entry, indented by depth: "name@location [class]".
void outline(const CapturedEntry &entry, unsigned depth, Lines &lines)
{
    std::string line(std::size_t{2} * depth, ' ');
    line += entry.name;
    if (!entry.location.empty()) {
        line += "@" + entry.location;
    }
    line += " [" + entry.className + "]";
    lines.push_back(line);
    for (const CapturedEntry &child : entry.children) {
        outline(child, depth + 1, lines);
    }
}

Lines outline(const std::vector<CapturedEntry> &entries)
{
    Lines lines;
    for (const CapturedEntry &entry : entries) {
        outline(entry, 0, lines);
    }
    return lines;
}

const PropertyValue *member(const std::vector<explain::DictionaryMember> &members,
                            const std::string &key)
{
    for (const auto &found : members) {
        if (found.key == key) {
            return &found.value;
        }
    }
    return nullptr;
}

class PortReaderTest : public testing_support::StandinTest {
protected:
    static EntryId make(const std::string &className, const std::string &name,
                        std::uint64_t registryId)
    {
        EntryId made = standin::addEntry(className, name);
        standin::registry().setRegistryId(made, registryId);
        return made;
    }
    static EntryId port(const std::string &name, std::uint64_t registryId)
    {
        EntryId made = make("AppleHPMInterfaceType10", name, registryId);
        standin::setProperty(made, "PortTypeDescription", makeString("USB-C"));
        return made;
    }
    static EntryId below(const std::string &className, const std::string &name,
                         std::uint64_t registryId)
    {
        EntryId made = make(className, name, registryId);
        standin::setProperty(made, "ParentPortTypeDescription", makeString("USB-C"));
        return made;
    }
    static EntryId root() { return standin::registry().root(); }
};

TEST_F(PortReaderTest, APortOfTheIOPortPlaneComesWithItsWholeSubtree)
{
    EntryId usbC = port("Port-USB-C", 0x100000010);
    standin::registry().setLocation(usbC, "IOPort", "1");
    EntryId cc = below("IOPortTransportStateCC", "CC", 0x100000011);
    EntryId sop = below("IOPortTransportComponentCCUSBPDSOP", "SOP", 0x100000012);
    EntryId powerIn = below("IOPortFeaturePowerIn", "Power In", 0x100000013);
    EntryId source = below("IOPortFeaturePowerSource", "USB-PD [*]", 0x100000014);
    standin::addChild(root(), usbC, "IOPort");
    standin::addChild(usbC, cc, "IOPort");
    standin::addChild(cc, sop, "IOPort");
    standin::addChild(usbC, powerIn, "IOPort");
    standin::addChild(powerIn, source, "IOPort");
    // The same entries in IOService, under a controller: read once.
    EntryId hal = make("AppleHPMDeviceHALType3", "AppleHPMDeviceHALType3", 0x100000001);
    standin::addChild(root(), hal);
    standin::addChild(hal, usbC);
    standin::addChild(usbC, cc);

    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    EXPECT_EQ(
        outline(capture.ports),
        (Lines{"Port-USB-C@1 [AppleHPMInterfaceType10]", "  CC [IOPortTransportStateCC]",
               "    SOP [IOPortTransportComponentCCUSBPDSOP]", "  Power In [IOPortFeaturePowerIn]",
               "    USB-PD [*] [IOPortFeaturePowerSource]"}));
    ASSERT_EQ(capture.ports.size(), 1U);
    EXPECT_EQ(capture.ports[0].registryId, 0x100000010U);
    EXPECT_EQ(capture.ports[0].children[1].children[0].registryId, 0x100000014U);
    EXPECT_TRUE(capture.loose.empty());
    EXPECT_TRUE(capture.powerManagers.empty());
}

TEST_F(PortReaderTest, TheServicePlaneAddsPortsAndEntriesFoundWithoutTheirPort)
{
    EntryId hal = make("AppleHPMDeviceHALType3", "HAL", 0x100000001);
    EntryId onlyHere = port("Port-USB-C@2", 0x100000020);
    EntryId transport = below("IOPortTransportStateUSB3", "USB3", 0x100000021);
    EntryId stray = below("IOPortTransportStateCC", "CC", 0x100000030);
    EntryId strayChild = below("IOPortTransportComponentCCUSBPDSOP", "SOP", 0x100000031);
    EntryId plain = make("IOService", "plain", 0x100000040);
    standin::addChild(root(), hal);
    standin::addChild(hal, onlyHere);
    standin::addChild(onlyHere, transport);
    standin::addChild(root(), plain);
    standin::addChild(plain, stray);
    standin::addChild(stray, strayChild);
    // Reached again along another path: found once.
    standin::addChild(hal, stray);

    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    EXPECT_EQ(outline(capture.ports), (Lines{"Port-USB-C@2 [AppleHPMInterfaceType10]",
                                             "  USB3 [IOPortTransportStateUSB3]"}));
    EXPECT_EQ(outline(capture.loose),
              (Lines{"CC [IOPortTransportStateCC]", "  SOP [IOPortTransportComponentCCUSBPDSOP]"}));
}

TEST_F(PortReaderTest, ThePowerManagerIsReadByClassWithoutWhatIsBelowIt)
{
    EntryId battery = make("AppleSmartBattery", "AppleSmartBattery", 0x100000050);
    standin::setProperty(
        battery, "PortControllerInfo",
        makeArray({makeDictionary(
            {{"PortControllerPortPDO",
              makeArray({makeInteger(0x0001912C), makeInteger(-911987396), makeInteger(0)})},
             {"PortControllerMaxPower", makeInteger(60000)}})}));
    standin::setProperty(battery, "ExternalConnected", makeBoolean(true));
    standin::addChild(battery, make("Child", "Child", 0x100000051));

    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    ASSERT_EQ(capture.powerManagers.size(), 1U);
    const CapturedEntry &manager = capture.powerManagers[0];
    EXPECT_TRUE(manager.children.empty());
    EXPECT_EQ(manager.registryId, 0x100000050U);
    const PropertyValue *info = member(manager.properties, "PortControllerInfo");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->items.size(), 1U);
    const PropertyValue *pdos = member(info->items[0].members, "PortControllerPortPDO");
    ASSERT_NE(pdos, nullptr);
    ASSERT_EQ(pdos->items.size(), 3U);
    EXPECT_EQ(pdos->items[1].integer, -911987396); // kept as stored: sign-extended
    const PropertyValue *external = member(manager.properties, "ExternalConnected");
    ASSERT_NE(external, nullptr);
    EXPECT_EQ(external->kind, PropertyValue::Kind::boolean);
    EXPECT_TRUE(external->boolean);
}

TEST_F(PortReaderTest, EveryKindOfValueIsReadWhole)
{
    EntryId usbC = port("Port-USB-C", 0x100000010);
    standin::addChild(root(), usbC, "IOPort");
    standin::setProperty(usbC, "Options",
                         makeSet({makeDictionary({{"Voltage (mV)", makeInteger(5000)}}),
                                  makeDictionary({{"Voltage (mV)", makeInteger(20000)}})}));
    standin::setProperty(usbC, "Active", makeBoolean(false));
    standin::setProperty(usbC, "Negative", makeInteger(-536854518));
    standin::setProperty(usbC, "Real", standin::makeReal(2.5));
    standin::setProperty(usbC, "Bytes", testing_support::bytes({0xb4, 0x04, 0x80, 0x19}));
    standin::setProperty(usbC, "Text", makeString("Port-USB-C@1/CC/SOP'"));
    standin::setProperty(usbC, "Unpaired", standin::makeUtf16String(u"a\xd800"));
    standin::setProperty(usbC, "Date", standin::makeDate(1.0));
    standin::setProperty(usbC, "Empty", makeDictionary(standin::DictionaryItems{}));
    standin::ValuePtr deep = makeInteger(1);
    for (int level = 0; level < 20; ++level) {
        deep = makeArray({deep});
    }
    standin::setProperty(usbC, "Deep", deep);

    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    ASSERT_EQ(capture.ports.size(), 1U);
    const auto &properties = capture.ports[0].properties;
    using Kind = PropertyValue::Kind;
    struct Case {
        const char *key;
        Kind kind;
    };
    for (const Case &c :
         {Case{"Options", Kind::array}, Case{"Active", Kind::boolean},
          Case{"Negative", Kind::integer}, Case{"Real", Kind::real}, Case{"Bytes", Kind::data},
          Case{"Text", Kind::string}, Case{"Unpaired", Kind::unconvertibleString},
          Case{"Date", Kind::other}, Case{"Empty", Kind::dictionary},
          Case{"PortTypeDescription", Kind::string}}) {
        const PropertyValue *value = member(properties, c.key);
        ASSERT_NE(value, nullptr) << c.key;
        EXPECT_EQ(value->kind, c.kind) << c.key;
    }
    const PropertyValue *options = member(properties, "Options");
    EXPECT_TRUE(options->unordered);
    ASSERT_EQ(options->items.size(), 2U);
    EXPECT_EQ(member(options->items[1].members, "Voltage (mV)")->integer, 20000);
    EXPECT_FALSE(member(properties, "Active")->boolean);
    EXPECT_EQ(member(properties, "Negative")->integer, -536854518);
    EXPECT_EQ(member(properties, "Real")->real, 2.5);
    EXPECT_EQ(member(properties, "Bytes")->bytes,
              (std::vector<std::uint8_t>{0xb4, 0x04, 0x80, 0x19}));
    EXPECT_EQ(member(properties, "Text")->text, "Port-USB-C@1/CC/SOP'");
    EXPECT_EQ(member(properties, "Date")->typeId, 42UL);
    EXPECT_EQ(member(properties, "Empty")->count, 0);
    // Fifteen levels of containers are read whole; the sixteenth by its size.
    const PropertyValue *level = member(properties, "Deep");
    int depth = 0;
    while (!level->items.empty()) {
        level = &level->items[0];
        ++depth;
    }
    EXPECT_EQ(depth, 15);
    EXPECT_EQ(level->kind, Kind::array);
    EXPECT_FALSE(level->contentsKnown);
    EXPECT_EQ(level->count, 1);
}

TEST_F(PortReaderTest, CyclesAndSharedEntriesEndAndDeepChainsStop)
{
    EntryId usbC = port("Port", 1);
    EntryId a = below("T", "A", 2);
    EntryId b = below("T", "B", 3);
    EntryId c = below("T", "C", 4);
    EntryId shared = below("T", "Shared", 5);
    EntryId sharedChild = below("T", "SharedChild", 6);
    standin::addChild(root(), usbC, "IOPort");
    standin::addChild(usbC, a, "IOPort");
    standin::addChild(a, b, "IOPort");
    standin::addChild(b, a, "IOPort");    // a cycle: left out where it closes
    standin::addChild(b, usbC, "IOPort"); // back to the port itself
    standin::addChild(usbC, c, "IOPort");
    standin::addChild(a, shared, "IOPort");
    standin::addChild(c, shared, "IOPort"); // met again: listed without its children
    standin::addChild(shared, sharedChild, "IOPort");
    EntryId chainTop = port("Chain", 100);
    standin::addChild(root(), chainTop, "IOPort");
    EntryId last = chainTop;
    for (std::uint64_t i = 0; i < 40; ++i) {
        EntryId next = below("T", "L", 101 + i);
        standin::addChild(last, next, "IOPort");
        last = next;
    }

    // An entry whose ID cannot be read cannot be told from one met before:
    // it is listed without its children, however they link.
    EntryId anonymous = below("T", "NoId", 200);
    standin::addChild(usbC, anonymous, "IOPort");
    standin::addChild(anonymous, anonymous, "IOPort");
    standin::addChild(anonymous, a, "IOPort");
    standin::faults().add(standin::FaultRule(standin::Call::registryIdRead).forEntry(anonymous));

    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    ASSERT_EQ(capture.ports.size(), 2U);
    EXPECT_EQ(outline({capture.ports[0]}),
              (Lines{"Port [AppleHPMInterfaceType10]", "  A [T]", "    B [T]", "    Shared [T]",
                     "      SharedChild [T]", "  C [T]", "    Shared [T]", "  NoId [T]"}));
    Lines chain = outline({capture.ports[1]});
    EXPECT_EQ(chain.size(), 33U); // the port and 32 levels below it
}

TEST_F(PortReaderTest, ARegistryWithoutPortsOrPowerManagerGivesAnEmptyCapture)
{
    standin::addChild(root(), make("IOPlatformExpertDevice", "J314sAP", 7));
    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    EXPECT_TRUE(capture.ports.empty());
    EXPECT_TRUE(capture.loose.empty());
    EXPECT_TRUE(capture.powerManagers.empty());
}

// What a capture that lost its entry lines holds: entries of the empty
// class at the top of a plane, taken for what their keys say. Only the
// root's children are asked for their class, so a registry with a deep
// service plane costs one call more than before, for the root's one child.
TEST_F(PortReaderTest, EntriesOfUnknownClassAtTheTopAreTakenByTheirKeys)
{
    EntryId platform = make("IOPlatformExpertDevice", "J314sAP", 7);
    standin::addChild(root(), platform);
    EntryId above = platform;
    for (std::uint64_t id = 100; id < 150; ++id) {
        EntryId deep = make("IOService", "deep", id);
        standin::addChild(above, deep);
        above = deep;
    }
    // Deep down, an entry of unknown class is not looked at.
    EntryId buried = make("", "", 200);
    standin::setProperty(buried, "AdapterDetails", makeDictionary(standin::DictionaryItems()));
    standin::addChild(above, buried);
    EntryId manager = make("", "", 8);
    standin::setProperty(manager, "AdapterDetails", makeDictionary(standin::DictionaryItems()));
    EntryId port = make("", "", 9);
    standin::setProperty(port, "Description", makeString("Port-USB-C@2"));
    EntryId source = make("", "", 10);
    standin::setProperty(source, "Description", makeString("Port-USB-C@2/Power In/TypeC"));
    EntryId stray = make("", "", 11);
    standin::setProperty(stray, "Voltage", makeInteger(12641));
    for (EntryId top : {manager, port, source, stray}) {
        standin::addChild(root(), top);
    }
    standin::faults().recordCalls(true);
    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    std::size_t classReads = 0;
    for (const standin::CallSite &call : standin::faults().calls()) {
        classReads += call.call == standin::Call::classRead ? 1 : 0;
    }
    standin::faults().recordCalls(false);
    // One for each of the root's five children, and one for each entry read whole.
    EXPECT_EQ(classReads, 5U + 4U);
    ASSERT_EQ(capture.powerManagers.size(), 1U);
    EXPECT_EQ(capture.powerManagers[0].registryId, 8U);
    EXPECT_EQ(outline(capture.ports), Lines({" []"}));
    EXPECT_EQ(outline(capture.loose), Lines({" []"}));
    const std::string taken = "an entry of unknown class (the capture does not hold its class) ";
    EXPECT_EQ(capture.notes,
              Lines({"took " + taken + "for the power manager, by its \"AdapterDetails\"",
                     "took " + taken + "for a port, by its \"Description\" \"Port-USB-C@2\"",
                     "took " + taken +
                         "for an entry below a port, by its \"Description\" \"Port-USB-C@2/Power "
                         "In/TypeC\"",
                     "left out " + taken +
                         "with 1 property: it carries none of the keys of the power manager, a "
                         "port or an entry below a port"}));
}

// The entry below `from` reached by the names, or null.
const CapturedEntry *reached(const CapturedEntry &from, const std::vector<std::string> &names)
{
    const CapturedEntry *at = &from;
    for (const std::string &name : names) {
        const CapturedEntry *next = nullptr;
        for (const CapturedEntry &child : at->children) {
            if (child.name == name) {
                next = &child;
            }
        }
        if (next == nullptr) {
            return nullptr;
        }
        at = next;
    }
    return at;
}

TEST_F(PortReaderTest, TheBuiltInSampleHoldsEachPortsStoryAndThePowerManager)
{
    ASSERT_FALSE(snapshot::loadBuiltInSample());
    PortCapture capture = explain::readPortCapture(kIOMainPortDefault);
    ASSERT_EQ(capture.ports.size(), 4U);
    EXPECT_TRUE(capture.loose.empty());
    ASSERT_EQ(capture.powerManagers.size(), 1U);
    const CapturedEntry &charging = capture.ports[0];
    EXPECT_EQ(charging.name, "Port-USB-C@1");
    EXPECT_EQ(charging.registryId, 4294968798U); // the same entry as in IOService
    const CapturedEntry *usbPd = reached(charging, {"Power In", "USB-PD [*]"});
    ASSERT_NE(usbPd, nullptr);
    EXPECT_EQ(member(usbPd->properties, "PowerSourceOptions")->items.size(), 4U);
    const PropertyValue *winning = member(usbPd->properties, "WinningPowerSourceOption");
    ASSERT_NE(winning, nullptr);
    EXPECT_EQ(member(winning->members, "Max Power (mW)")->integer, 100000);
    EXPECT_NE(reached(charging, {"CC", "SOP'"}), nullptr);
    EXPECT_NE(reached(charging, {"USB3", "USB3.1 Hub"}), nullptr);
    EXPECT_EQ(member(reached(charging, {"DisplayPort"})->properties, "LaneCount")->integer, 2);

    EXPECT_FALSE(member(capture.ports[1].properties, "ConnectionActive")->boolean);
    EXPECT_EQ(capture.ports[2].className, "AppleHPMInterfaceType11");
    EXPECT_NE(reached(capture.ports[2], {"Power In", "Brick ID"}), nullptr);
    const CapturedEntry *drive = reached(capture.ports[3], {"USB3", "Portable SSD"});
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(member(drive->properties, "bcdUSB")->integer, 0x0320);
    EXPECT_EQ(member(reached(capture.ports[3], {"CC", "SOP'"})->properties, "Metadata")->count, 0);

    const CapturedEntry &manager = capture.powerManagers[0];
    const PropertyValue *info = member(manager.properties, "PortControllerInfo");
    ASSERT_NE(info, nullptr);
    ASSERT_EQ(info->items.size(), 4U);
    const PropertyValue *pdos = member(info->items[0].members, "PortControllerPortPDO");
    ASSERT_EQ(pdos->items.size(), 13U);
    EXPECT_EQ(pdos->items[3].integer, 0x000641F4);  // 20 V 5 A
    EXPECT_EQ(pdos->items[4].integer, -1046208156); // the PPS APDO, sign-extended
    EXPECT_EQ(member(info->items[0].members, "PortControllerActiveContractRdo")->integer,
              0x4307D1F4);
}

} // namespace
