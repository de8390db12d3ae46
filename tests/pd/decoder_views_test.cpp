// A decoder asked for one view makes that view as both views would, leaves
// the other empty, and finds what is wrong with the objects either way.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "pd/identity.h"
#include "pd/property_decoders.h"
#include "pd/vdm.h"

namespace {

using pd::Views;

pd::VendorLookup knownVendor()
{
    return [](std::uint16_t id) -> std::optional<std::string> {
        if (id == 0x05ac) {
            return std::string("Example Vendor");
        }
        return std::nullopt;
    };
}

struct Case {
    const char *what;
    std::function<pd::DecodedProperty(Views)> decode;
};

TEST(DecoderViews, EachViewAloneIsWhatBothViewsMakeOfIt)
{
    const pd::VendorLookup vendors = knownVendor();
    const std::vector<Case> cases = {
        // EPR AVS first: a breach of the order, and a reserved PDO type.
        {"pdo list",
         [](Views v) {
             return pd::decodePdoList({0xd7c0968c, 0x0801912c, 0xf0000000}, pd::PowerRole::source,
                                      v);
         }},
        {"sink pdo list",
         [](Views v) { return pd::decodePdoList({0x2601912c}, pd::PowerRole::sink, v); }},
        {"no pdos", [](Views v) { return pd::decodePdoList({}, pd::PowerRole::source, v); }},
        // Asks 5 A of a 3 A PDO without capability mismatch.
        {"request", [](Views v) { return pd::decodeRequestObject(0x1301f4fa, 0x0801912c, v); }},
        {"unresolved request",
         [](Views v) { return pd::decodeRequestObject(0x2304b12c, std::nullopt, v); }},
        {"displayport status", [](Views v) { return pd::decodeDisplayPortStatus(0xffffffff, v); }},
        {"displayport config", [](Views v) { return pd::decodeDisplayPortConfig(0x931e49d7, v); }},
        {"displayport modes",
         [](Views v) {
             return pd::decodeModes({0x000c0045, 0xffffffff}, true, v);
         }},
        {"other modes", [](Views v) { return pd::decodeModes({0x000c0045}, false, v); }},
        {"revision", [](Views v) { return pd::decodeRevisionObject(0x31000000, v); }},
        // A passive cable claiming EPR at 20 V, reserved codes, one VDO too many.
        {"cable identity",
         [&vendors](Views v) {
             return pd::decodeIdentity({0x180005ac, 0, 0x12340100, 0x000a0050, 7},
                                       pd::IdentitySide::cablePlug, vendors, v);
         }},
        {"partner identity",
         [&vendors](Views v) {
             return pd::decodeIdentity({0x6c8005ac, 1, 2, 3}, pd::IdentitySide::partner, vendors,
                                       v);
         }},
        {"short identity",
         [&vendors](Views v) {
             return pd::decodeIdentity({0x000005ac, 1}, pd::IdentitySide::partner, vendors, v);
         }},
        {"no identity",
         [&vendors](Views v) {
             return pd::decodeIdentity({}, pd::IdentitySide::partner, vendors, v);
         }},
        // Structured Attention from DisplayPort with a status VDO, a reserved version.
        {"vdm",
         [&vendors](Views v) {
             return pd::decodeVdm({0xff01e146, 0x9a}, vendors, v);
         }},
        {"unstructured vdm",
         [&vendors](Views v) { return pd::decodeVdm({0x05ac1234}, vendors, v); }},
        {"svids",
         [&vendors](Views v) {
             return pd::decodeSvids({0xff01, 0x05ac, 0x1}, vendors, v);
         }},
        {"no svids", [&vendors](Views v) { return pd::decodeSvids({}, vendors, v); }},
    };
    std::size_t withNotes = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const pd::DecodedProperty both = c.decode({});
        const pd::DecodedProperty words = c.decode({true, false});
        const pd::DecodedProperty json = c.decode({false, true});
        EXPECT_FALSE(both.lines.empty());
        EXPECT_FALSE(both.json.is_null());
        EXPECT_EQ(words.lines, both.lines);
        EXPECT_TRUE(words.json.is_null());
        EXPECT_EQ(json.json, both.json);
        EXPECT_TRUE(json.lines.empty());
        EXPECT_EQ(words.notes, both.notes);
        EXPECT_EQ(json.notes, both.notes);
        withNotes += both.notes.empty() ? 0 : 1;
    }
    // The verdicts rest on the notes: the table holds enough wrong objects
    // for the comparison of notes to mean something.
    EXPECT_GE(withNotes, 8U);
}

} // namespace
