// Snapshots read into the stand-in registry and seen through the report:
// both layouts, every kind of value, entries joined by ID, and the reason
// given for each kind of bad input.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

#include <plist/plist.h>

#include "platform/standin/snapshot/snapshot_loader.h"
#include "support/report_fixture.h"

using testing_support::emptyReport;
using testing_support::interestHeader;
using testing_support::powerHeader;
using testing_support::serviceHeader;

namespace {

const std::string hpm = "AppleHPMARMSPMI";

std::string plist(const std::string &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + body + "</plist>";
}

std::string key(const std::string &name, const std::string &value)
{
    return "<key>" + name + "</key>" + value;
}

std::string str(const std::string &text) { return "<string>" + text + "</string>"; }
std::string integer(const std::string &text) { return "<integer>" + text + "</integer>"; }
std::string list(const std::string &items) { return "<array>" + items + "</array>"; }
std::string planes(const std::string &items) { return "<dict>" + items + "</dict>"; }

// An entry of the class; more holds its other keys.
std::string node(const std::string &className, const std::string &more = "")
{
    return "<dict>" + key("IOObjectClass", str(className)) + more + "</dict>";
}

std::string named(const std::string &name) { return key("IORegistryEntryName", str(name)); }
std::string id(int value) { return key("IORegistryEntryID", integer(std::to_string(value))); }
std::string children(const std::string &entries)
{
    return key("IORegistryEntryChildren", list(entries));
}

std::string repeat(const std::string &text, int count)
{
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text;
    }
    return result;
}

// Entries each the only child of the one before, levels deep.
std::string nestedEntries(int levels)
{
    return repeat("<dict>" + key("IOObjectClass", str("E")) +
                      "<key>IORegistryEntryChildren</key><array>",
                  levels) +
           repeat("</array></dict>", levels);
}

std::string binaryOf(plist_t root)
{
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
}

std::string binaryOf(const std::string &xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.data(), static_cast<uint32_t>(xml.size()), &root);
    return binaryOf(root);
}

// A binary list of an entry with a property whose key is one zero character
// in UTF-16, made from the two ASCII bytes of another key.
std::string zeroKeyInBinary()
{
    std::string bytes = binaryOf(plist(node("A", key("kk", str("")))));
    return bytes.replace(bytes.find("\x52kk"), 3, std::string("\x61\0\0", 3));
}

// A binary property list of count arrays, each referring refs times to the
// next; the last is empty. Written by hand: libplist cannot write them deep.
std::string chainedArrays(std::uint32_t count, int refs)
{
    auto bigEndian = [](std::string &out, std::uint64_t value, int width) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
            out += static_cast<char>((value >> shift) & 0xff);
        }
    };
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets.push_back(out.size());
        bool last = i + 1 == count;
        out += static_cast<char>(0xa0 | (last ? 0 : refs));
        for (int r = 0; !last && r < refs; ++r) {
            bigEndian(out, i + 1, 4);
        }
    }
    std::uint64_t table = out.size();
    for (std::uint64_t offset : offsets) {
        bigEndian(out, offset, 4);
    }
    out += std::string(6, '\0') + "\x04\x04";
    bigEndian(out, count, 8);
    bigEndian(out, 0, 8);
    bigEndian(out, table, 8);
    return out;
}

std::string fixture(const std::string &name)
{
    return std::string(PORTPROBE_FIXTURES) + "/" + name;
}

struct Snapshot {
    std::string bytes;
    std::string plane;
};

class SnapshotLoaderTest : public testing_support::StandinTest {
protected:
    // The report of a fresh registry loaded from the snapshots, which must
    // all be accepted.
    static std::string reportOf(const std::vector<Snapshot> &snapshots)
    {
        startOver();
        snapshot::SnapshotLoader loader;
        for (const Snapshot &snapshot : snapshots) {
            auto error = loader.add(snapshot.bytes, snapshot.plane);
            EXPECT_FALSE(error) << *error;
        }
        loader.commit();
        return report();
    }

    static std::string reportOf(const std::string &serviceSection, const std::string &powerSection)
    {
        return serviceHeader + serviceSection + powerHeader + powerSection + interestHeader;
    }
};

TEST_F(SnapshotLoaderTest, AnEntryOrAListOfEntriesIsACaptureOfOnePlane)
{
    // Without a name, an entry is named by its class.
    const std::string tree = node(hpm, named("hpm0") + children(node("IOPowerConnection")));
    const std::string line = "[AppleHPMARMSPMI] hpm0\n";
    const std::string below = "  [IOPowerConnection] IOPowerConnection\n";

    EXPECT_EQ(reportOf({{plist(tree), ""}}), reportOf(line + below, line));
    EXPECT_EQ(reportOf({{plist(list(tree + node("Other"))), "IOService"}}),
              reportOf(line + below, line));
    EXPECT_EQ(reportOf({{plist(tree), "IOPower"}}), reportOf(line, line + below));
    EXPECT_EQ(reportOf({{plist(list(tree)), "IOPower"}}), reportOf(line, line + below));
    EXPECT_EQ(reportOf({{plist(list("")), ""}, {plist(planes("")), ""}}), emptyReport());
}

TEST_F(SnapshotLoaderTest, ControllersAreLookedUpInTheOrderTheyFirstAppear)
{
    // Planes in file order, then depth first with parents before children.
    const std::string power =
        node(hpm, named("hpm1") + id(1) + children(node("IOPowerConnection")));
    const std::string service =
        list(node("Root", children(node("Bus", children(node(hpm, named("hpm2")))) +
                                   node(hpm, named("hpm3") + children(node(hpm, named("hpm4")))) +
                                   node(hpm, named("hpm1") + id(1)))));
    EXPECT_EQ(reportOf({{plist(planes(key("IOPower", power) + key("IOService", service))), ""}}),
              reportOf("[AppleHPMARMSPMI] hpm1\n[AppleHPMARMSPMI] hpm2\n[AppleHPMARMSPMI] hpm3\n"
                       "  [AppleHPMARMSPMI] hpm4\n[AppleHPMARMSPMI] hpm4\n",
                       "[AppleHPMARMSPMI] hpm1\n  [IOPowerConnection] IOPowerConnection\n"
                       "[AppleHPMARMSPMI] hpm2\n[AppleHPMARMSPMI] hpm3\n[AppleHPMARMSPMI] hpm4\n"));
}

TEST_F(SnapshotLoaderTest, EveryKindOfValueReadsBackTheSameFromXmlAndBinary)
{
    const std::string entry = "[AppleHPMARMSPMI] AppleHPMARMSPMI (UserClient: AppleHPMUserClient)\n"
                              "  >>> VDMs: \"Sink\"\n"
                              "  >>> VDOs: -5 (0xfffffffffffffffb)\n"
                              "  >>> Metadata: -1 (0xffffffffffffffff)\n"
                              "  >>> PDRevision: -9223372036854775808 (0x8000000000000000)\n"
                              "  >>> PortPartnerIdentity: -2 (0xfffffffffffffffe)\n"
                              "  >>> CableIdentity: <type 21>\n"
                              "  >>> PDContract: <type 42>\n"
                              "  >>> PowerRole: <data 4 bytes> 01 02 03 ff \n"
                              "  >>> DataRole: <data 0 bytes> \n"
                              "  >>> VCONNSource: <array with 3 items>\n"
                              "  >>> SourceCapabilities: <dict with 2 keys>\n"
                              "  >>> SinkCapabilities: 3 (0x3)\n";
    snapshot::SnapshotLoader loader;
    auto error = loader.addFile(fixture("values.plist"));
    ASSERT_FALSE(error) << *error;
    loader.commit();
    EXPECT_EQ(report(), reportOf(entry, entry));

    std::ifstream file(fixture("values.plist"), std::ios::binary);
    std::ostringstream xml;
    xml << file.rdbuf();
    EXPECT_EQ(reportOf({{binaryOf(xml.str()), ""}}), reportOf(entry, entry));
}

TEST_F(SnapshotLoaderTest, IdsJoinOccurrencesAcrossPlanesAndSnapshots)
{
    const std::string service =
        node(hpm, named("hpm0") + id(10) +
                      children(node("HAL", id(11) + key("PDRevision", integer("3")))));
    const std::string power = node(
        hpm, named("hpm0") + id(10) +
                 children(node("IOPowerConnection",
                               children(node("HAL", id(11) + key("PDRevision", integer("4")))))));
    const std::string expected =
        reportOf("[AppleHPMARMSPMI] hpm0\n  [HAL] HAL\n    >>> PDRevision: 3 (0x3)\n",
                 "[AppleHPMARMSPMI] hpm0\n  [IOPowerConnection] IOPowerConnection\n    [HAL] HAL\n"
                 "      >>> PDRevision: 3 (0x3)\n");
    EXPECT_EQ(reportOf({{plist(service), ""}, {plist(power), "IOPower"}}), expected);
    EXPECT_EQ(reportOf({{plist(planes(key("IOService", service) + key("IOPower", power))), ""}}),
              expected);

    snapshot::SnapshotLoader loader;
    ASSERT_FALSE(loader.add(plist(service)));
    EXPECT_EQ(loader.add(plist(node("HAL", id(10)))).value_or("accepted"),
              "IOService entry 1: entry ID 10 is [HAL] HAL here but [AppleHPMARMSPMI] hpm0 before");
}

TEST_F(SnapshotLoaderTest, ALaterOccurrenceInAPlaneIsOnlyALink)
{
    // The first occurrence gives the properties and the children.
    const std::string first =
        node("Hub", id(5) + key("PDRevision", integer("1")) + children(node("First")));
    const std::string later =
        node("Hub", id(5) + key("PDRevision", integer("2")) + children(node("Second")));
    const std::string hub = "  [Hub] Hub\n    >>> PDRevision: 1 (0x1)\n    [First] First\n";
    EXPECT_EQ(reportOf({{plist(list(node(hpm, named("hpm0") + children(first)) +
                                    node(hpm, named("hpm1") + children(later)))),
                         ""}}),
              reportOf("[AppleHPMARMSPMI] hpm0\n" + hub + "[AppleHPMARMSPMI] hpm1\n" + hub,
                       "[AppleHPMARMSPMI] hpm0\n[AppleHPMARMSPMI] hpm1\n"));
}

TEST_F(SnapshotLoaderTest, ACycleThroughIdsIsWalkedDownToTheDepthLimit)
{
    std::string walk;
    for (int depth = 0; depth <= 8; ++depth) {
        walk += repeat("  ", depth) +
                (depth % 2 == 0 ? "[AppleHPMARMSPMI] AppleHPMARMSPMI\n" : "[Hub] Hub\n");
    }
    EXPECT_EQ(
        reportOf(
            {{plist(node(hpm, id(1) + children(node("Hub", id(2) + children(node(hpm, id(1))))))),
              ""}}),
        reportOf(walk, "[AppleHPMARMSPMI] AppleHPMARMSPMI\n"));
}

TEST_F(SnapshotLoaderTest, NamesAndNestingUpToTheLimitsAreAccepted)
{
    const std::string longest = repeat("n", 127);
    EXPECT_EQ(
        reportOf(
            {{plist(list(node(hpm, named(longest)) + node(repeat("c", 127)) + nestedEntries(256))),
              ""}}),
        reportOf("[AppleHPMARMSPMI] " + longest + "\n", "[AppleHPMARMSPMI] " + longest + "\n"));
}

TEST_F(SnapshotLoaderTest, BadInputIsRefusedWithItsReasonAndAddsNothing)
{
    plist_t uid = plist_new_dict();
    plist_dict_set_item(uid, "IOObjectClass", plist_new_string("A"));
    plist_dict_set_item(uid, "PDRevision", plist_new_uid(1));
    const std::string neither = "neither an entry, a list of entries nor a map of planes";
    const struct {
        std::string bytes;
        std::string plane;
        std::string message;
    } cases[] = {
        {"<?xml garbage\x01\x02", "",
         "1:1: expected a property list's first value before the text ends"},
        {"<plist><dict><key>k</key><foo/></dict></plist>", "",
         "1:26: expected an element of a property list (plist, dict, array, key, string, data, "
         "date, integer, real, true or false), not <foo>"},
        {"<plist>\n  <array>\n    <dict/>\n  </dict>\n</plist>", "",
         "4:3: expected </array> closing the <array> at 2:3, not </dict>"},
        {"<plist><dict><key>k</key><string>a &bogus; b</string></dict></plist>", "",
         "1:36: expected a character reference (&lt; &gt; &amp; &quot; &apos; or &#N;) after "
         "\"&\""},
        {"<plist><array><string>cut", "",
         "1:25: expected a whole entry before the property list ends"},
        {"", "",
         "1: expected an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\"), a property line "
         "(\"KEY\" = VALUE) or a property list: the input is empty"},
        {"bplist00 cut short", "",
         "not a property list: 18 bytes, fewer than the header and trailer of a binary one"},
        {"bplist00" + std::string(40, 'x'), "",
         "not a property list: its last 32 bytes are not the trailer a binary property list ends "
         "with, which says where its objects are; was it cut short? (at byte 16)"},
        {"bplist01" + std::string(40, 'x'), "",
         "not a property list: \"bplist01\" begins no binary property list that can be read (at "
         "byte 0)"},
        {plist(str("x")), "", "the top level is a string, " + neither},
        {plist(integer("7")), "", "the top level is an integer, " + neither},
        {plist(planes(key("IOService", list("")) + key("IOPower", str("x")))), "",
         "plane \"IOPower\" holds a string, not an entry or a list of entries (and the top level "
         "has no \"IOObjectClass\" to be an entry itself)"},
        {plist(planes(key("IOService", list("")))), "IOPower",
         "a map of planes names its own planes; -p IOPower applies only to a capture of one plane"},
        {plist(planes(key("", list("")))), "", "a plane has an empty name"},
        {plist(list(node("A") + str("x"))), "",
         "IOService entry 2: an entry must be a dictionary, not a string"},
        {plist(list(node("A", children(node("B") + "<dict/>")))), "IOPower",
         "IOPower entry 1.2: the entry has no \"IOObjectClass\""},
        {plist(planes(key("IOPower", "<dict>" + key("IOObjectClass", integer("1")) + "</dict>"))),
         "", "IOPower entry 1: \"IOObjectClass\" is not a string"},
        {plist(node("A", key("IORegistryEntryName", integer("1")))), "",
         "IOService entry 1: \"IORegistryEntryName\" is not a string"},
        {plist(node("A", key("IORegistryEntryID", str("1")))), "",
         "IOService entry 1: \"IORegistryEntryID\" is not an integer"},
        {plist(node("A", key("IORegistryEntryChildren", node("B")))), "",
         "IOService entry 1: \"IORegistryEntryChildren\" is not an array"},
        {plist(node("A", key("IORegistryEntryLocation", integer("1")))), "",
         "IOService entry 1: \"IORegistryEntryLocation\" is not a string"},
        {plist(node("A", key("IORegistryEntryLocation", str(repeat("1", 128))))), "",
         "IOService entry 1: the location is 128 bytes long; at most 127 fit"},
        {plist(node(repeat("c", 128))), "",
         "IOService entry 1: the class name is 128 bytes long; at most 127 fit"},
        {plist(node("A", named(repeat("\xc3\xa9", 64)))), "",
         "IOService entry 1: the entry name is 128 bytes long; at most 127 fit"},
        {plist(node("A\xff")), "", "IOService entry 1: the class name is not valid UTF-8"},
        {plist(list(node("A", named("a") + id(7)) + node("B", named("a") + id(7)))), "",
         "IOService entry 2: entry ID 7 is [B] a here but [A] a before"},
        {plist(list(node("A", id(7)) + node("A", named("b") + id(7)))), "",
         "IOService entry 2: entry ID 7 is [A] b here but [A] A before"},
        // A later occurrence adds nothing, but is checked all the same.
        {plist(list(node("A", id(7)) + node("A", id(7) + children(node("B", id(7) + named("b")))))),
         "", "IOService entry 2.1: entry ID 7 is [B] b here but [A] A before"},
        {plist(nestedEntries(257)), "",
         "IOService entry 1" + repeat(".1", 256) + ": entries nested more than 256 levels deep"},
        {plist(node("A", key("k", repeat("<array>", 300) + repeat("</array>", 300)))), "",
         "IOService entry 1: property \"k\": values nested more than 256 levels deep"},
        {binaryOf(uid), "",
         "IOService entry 1: property \"PDRevision\": a UID value, which a registry cannot hold"},
        // libplist would exhaust the stack reading these, or copy without end.
        {plist(repeat("<array>", 200000) + repeat("</array>", 200000)), "",
         "nested too deeply to be read"},
        {plist(repeat("<array><!-- </array> -->", 2000) + repeat("</array>", 2000)), "",
         "nested too deeply to be read"},
        {chainedArrays(200000, 1), "", "nested too deeply to be read"},
        {chainedArrays(64, 2), "", "refers to its objects too often to be read"},
        // libplist aborts on the first and misreads the second.
        {zeroKeyInBinary(), "", "a dictionary key holds a zero character"},
        {plist(node("A", key(std::string("Power\0Role", 10), str("Sink")))), "",
         "holds a zero byte, which XML does not allow"},
    };
    // Many cases hold good entries before the fault; a failure takes them back.
    snapshot::SnapshotLoader loader;
    for (const auto &bad : cases) {
        EXPECT_EQ(loader.add(bad.bytes, bad.plane).value_or("accepted"), bad.message)
            << bad.bytes.substr(0, 300);
    }
    EXPECT_EQ(loader.entryCount(), 0u);
    loader.commit();
    EXPECT_EQ(report(), emptyReport());
}

TEST_F(SnapshotLoaderTest, AFailedAddLeavesWhatWasAddedBefore)
{
    snapshot::SnapshotLoader loader;
    ASSERT_FALSE(loader.add(plist(node(hpm, named("hpm0") + id(1)))));
    // hpm0 is listed in IOPower by the failed snapshot, then by a good one.
    EXPECT_TRUE(loader.add(plist(list(node(hpm, id(1) + named("hpm0") + children(node("Lost"))) +
                                      node(hpm, named("hpm1")) + str("x"))),
                           "IOPower"));
    ASSERT_FALSE(
        loader.add(plist(node(hpm, id(1) + named("hpm0") + children(node("Kept")))), "IOPower"));
    loader.commit();
    EXPECT_EQ(report(),
              reportOf("[AppleHPMARMSPMI] hpm0\n", "[AppleHPMARMSPMI] hpm0\n  [Kept] Kept\n"));
}

// The entry of the committed registry with this registry ID, or 0.
standin::EntryId entryWithId(std::uint64_t registryId)
{
    const standin::Registry &registry = standin::registry();
    for (standin::EntryId e = 1; e <= registry.size(); ++e) {
        if (registry.entry(e).registryId == registryId) {
            return e;
        }
    }
    return 0;
}

// "class name" of each child of the registry's root in the plane.
std::vector<std::string> rootChildren(const char *planeName)
{
    standin::Registry &registry = standin::registry();
    standin::PlaneId plane = 0;
    std::vector<std::string> names;
    if (!registry.findPlane(planeName, plane)) {
        return names;
    }
    for (standin::EntryId child : registry.children(registry.root(), plane)) {
        names.push_back(registry.entry(child).className + " " + registry.entry(child).name);
    }
    return names;
}

using Names = std::vector<std::string>;

TEST_F(SnapshotLoaderTest, AnEntrysIdAndLocationAreItsOwnNotProperties)
{
    const std::string port =
        node("Port", named("Port-USB-C") + id(40) + key("IORegistryEntryLocation", str("1")) +
                         key("PortNumber", integer("1")));
    const std::string service =
        node("HAL", id(30) + children(node("Port", named("Port-USB-C") + id(40) +
                                                       key("IORegistryEntryLocation", str("9")))));
    snapshot::SnapshotLoader loader;
    ASSERT_FALSE(
        loader.add(plist(planes(key("IOPort", list(port)) + key("IOService", list(service))))));
    ASSERT_FALSE(loader.add(plist(node("Loose"))));
    // The ID the registry will make first, given by a later snapshot: the
    // entry that held it is given another, and that one is said to be made.
    const std::string firstMade = "8070450532247928832"; // 0x7000000000000000
    ASSERT_FALSE(loader.add(plist(node("Given", key("IORegistryEntryID", integer(firstMade))))));
    const std::unordered_set<std::uint64_t> madeIds = loader.commit();
    const standin::Registry &registry = standin::registry();
    standin::EntryId found = entryWithId(40);
    ASSERT_NE(found, 0U);
    EXPECT_EQ(registry.property(found, u"IORegistryEntryLocation"), nullptr);
    EXPECT_EQ(registry.property(found, u"IORegistryEntryID"), nullptr);
    EXPECT_NE(registry.property(found, u"PortNumber"), nullptr);
    // The location as each plane's first occurrence gives it.
    struct Case {
        const char *plane;
        const char *location; // null: none
    };
    for (const Case &c : {Case{"IOPort", "1"}, Case{"IOService", "9"}, Case{"IOPower", nullptr}}) {
        standin::PlaneId plane = 0;
        ASSERT_TRUE(registry.findPlane(c.plane, plane));
        const std::string *location = registry.location(found, plane);
        if (c.location == nullptr) {
            EXPECT_EQ(location, nullptr) << c.plane;
        } else {
            ASSERT_NE(location, nullptr) << c.plane;
            EXPECT_EQ(*location, c.location) << c.plane;
        }
    }
    // An entry without an ID gets one of its own.
    const auto &loose = registry.entriesOfClass("Loose");
    ASSERT_EQ(loose.size(), 1U);
    std::uint64_t made = registry.entry(loose[0]).registryId;
    EXPECT_NE(made, 40U);
    EXPECT_NE(made, 30U);
    EXPECT_EQ(entryWithId(made), loose[0]);
    // Only the IDs the registry made, the root's among them, are said to be.
    const std::uint64_t rootId = registry.entry(standin::registry().root()).registryId;
    EXPECT_EQ(madeIds, (std::unordered_set<std::uint64_t>{made, rootId}));
    EXPECT_EQ(registry.entry(entryWithId(0x7000000000000000)).className, "Given");
}

TEST_F(SnapshotLoaderTest, TheRootCaptureIsTheRootAndTopLevelEntriesItsChildren)
{
    const std::string root =
        node("IORegistryEntry", named("Root") + id(1) + key("IOKitBuildVersion", str("x")) +
                                    children(node("Port", id(2)) + node("Port", id(3))));
    struct Case {
        const char *what;
        std::vector<Snapshot> snapshots;
        const char *plane;
        Names children;
        std::size_t rootClassEntries = 1; // the root, and any entry of its class below the top
    };
    const Case cases[] = {
        {"a plane captured from the root",
         {{plist(root), "IOPort"}},
         "IOPort",
         {"Port Port", "Port Port"}},
        {"matched entries alone",
         {{plist(list(node("A") + node("B"))), ""}},
         "IOService",
         {"A A", "B B"}},
        {"a map of planes",
         {{plist(planes(key("IOPower", list(node("C"))))), ""}},
         "IOPower",
         {"C C"}},
        {"the same entry in two captures",
         {{plist(node("D", id(4))), ""}, {plist(node("D", id(4))), ""}},
         "IOService",
         {"D D"}},
        {"a root below the top is an entry",
         {{plist(node("E", children(node("IORegistryEntry", named("Root"))))), ""}},
         "IOService",
         {"E E"},
         2},
    };
    for (const Case &c : cases) {
        startOver();
        snapshot::SnapshotLoader loader;
        for (const Snapshot &snapshot : c.snapshots) {
            ASSERT_FALSE(loader.add(snapshot.bytes, snapshot.plane)) << c.what;
        }
        loader.commit();
        EXPECT_EQ(rootChildren(c.plane), c.children) << c.what;
        EXPECT_EQ(standin::registry().entriesOfClass("IORegistryEntry").size(), c.rootClassEntries)
            << c.what;
    }
    // The captured root's properties and ID are the registry root's.
    startOver();
    snapshot::SnapshotLoader loader;
    ASSERT_FALSE(loader.add(plist(root), "IOPort"));
    loader.commit();
    standin::Registry &registry = standin::registry();
    EXPECT_EQ(registry.entry(registry.root()).registryId, 1U);
    EXPECT_NE(registry.property(registry.root(), u"IOKitBuildVersion"), nullptr);
}

} // namespace
