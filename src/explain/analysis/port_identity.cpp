// The partner (SOP) and the cable (SOP'): what their Discover Identity
// answers and the system's own fields say.
#include <iterator>
#include <tuple>

#include "explain/analysis/captured_values.h"
#include "explain/analysis/object_list.h"
#include "explain/analysis/port_facts.h"
#include "pd/identity.h"

namespace explain {

namespace {

// The story reads an identity's fields from its JSON, and says them in its
// own words.
constexpr pd::Views jsonOnly{false, true};

const FoundEntry *firstOf(const PortEntries &port, EntryRole role)
{
    for (const FoundEntry &found : port.below) {
        if (roleOf(*found.entry) == role) {
            return &found;
        }
    }
    return nullptr;
}

// The identity's VDOs: in "Metadata", else at the entry's top level.
std::optional<std::vector<std::uint32_t>> vdosOf(const CapturedEntry &entry)
{
    const PropertyValue *vdos = memberOf(memberOf(entry.properties, "Metadata"), "VDOs");
    if (vdos == nullptr) {
        vdos = memberOf(entry.properties, "VDOs");
    }
    if (vdos == nullptr) {
        return std::nullopt;
    }
    ObjectList list = readObjectList(*vdos);
    if (!list.fits || list.objects.empty()) {
        return std::nullopt;
    }
    return list.objects;
}

// "Vendor ID" in "Metadata", else at the entry's top level.
std::optional<std::uint32_t> idOf(const CapturedEntry &entry, const char *key)
{
    if (std::optional<std::uint32_t> id =
            id16Of(memberOf(memberOf(entry.properties, "Metadata"), key))) {
        return id;
    }
    return id16Of(memberOf(entry.properties, key));
}

std::string partnerKindWords(const StoryJson &identity)
{
    struct Kind {
        const char *name;
        const char *words;
    };
    static constexpr Kind ufpKinds[] = {{"hub", "a hub"},
                                        {"peripheral", "a peripheral"},
                                        {"psd", "a power sink"},
                                        {"ama", "an alternate mode adapter"}};
    static constexpr Kind dfpKinds[] = {{"hub", "a hub"},
                                        {"host", "a host"},
                                        {"power_brick", "a charger"},
                                        {"amc", "an alternate mode controller"}};
    if (!identity.is_object() || !identity.contains("id_header")) {
        return std::string();
    }
    const StoryJson &header = identity["id_header"];
    for (const auto &[key, kinds, count] :
         {std::make_tuple("product_type", ufpKinds, std::size(ufpKinds)),
          std::make_tuple("dfp_product_type", dfpKinds, std::size(dfpKinds))}) {
        if (!header.contains(key) || !header[key].is_string()) {
            continue;
        }
        const std::string type = header[key].get<std::string>();
        for (std::size_t i = 0; i < count; ++i) {
            if (type == kinds[i].name) {
                return kinds[i].words;
            }
        }
    }
    return std::string();
}

std::string lengthWords(std::uint32_t cableVdo)
{
    const std::uint32_t latency = pd::bitsOf(cableVdo, 16, 13);
    static const char *const words[] = {"",          "about 1 m",   "about 2 m",   "about 3 m",
                                        "about 4 m", "about 5 m",   "about 6 m",   "about 7 m",
                                        "over 7 m",  "about 200 m", "about 400 m", "about 600 m"};
    return latency < std::size(words) ? words[latency] : std::string();
}

// The cable VDO's fields, from the decoded identity.
void readCableVdo(CableFacts &cable, const StoryJson &identity, std::uint32_t cableVdo)
{
    if (!identity.contains("product_type_vdos") || !identity["product_type_vdos"].is_array() ||
        identity["product_type_vdos"].empty()) {
        return;
    }
    const StoryJson &vdo = identity["product_type_vdos"][0];
    const std::string type = vdo.value("type", "");
    if (type != "passive_cable" && type != "active_cable_1") {
        return;
    }
    cable.type = type == "passive_cable" ? "passive" : "active";
    if (vdo.contains("usb_speed") && vdo["usb_speed"].is_string()) {
        cable.usbSpeed = vdo["usb_speed"].get<std::string>();
        cable.maxGbps = gbpsOfSpeed(*cable.usbSpeed);
    }
    if (vdo.contains("vbus_current_ma") && vdo["vbus_current_ma"].is_number_integer()) {
        cable.maxCurrentMa = vdo["vbus_current_ma"].get<std::int64_t>();
    }
    if (vdo.contains("max_vbus_voltage_v") && vdo["max_vbus_voltage_v"].is_number_integer()) {
        cable.maxVoltageMv = vdo["max_vbus_voltage_v"].get<std::int64_t>() * 1000;
    }
    cable.eprClaimed = vdo.value("epr_mode_capable", false);
    cable.lengthWords = lengthWords(cableVdo);
}

} // namespace

std::optional<double> gbpsOfSpeed(const std::string &usbSpeed)
{
    struct Speed {
        const char *name;
        double gbps;
    };
    static constexpr Speed speeds[] = {
        {"usb2", 0.48}, {"usb3_gen1", 5}, {"usb3_gen2", 10}, {"usb4_gen3", 40}, {"usb4_gen4", 80}};
    for (const Speed &speed : speeds) {
        if (usbSpeed == speed.name) {
            return speed.gbps;
        }
    }
    return std::nullopt;
}

std::optional<PartnerFacts> readPartner(const PortEntries &port, const VendorNames &vendors)
{
    PartnerFacts partner;
    partner.identity = nullptr;
    const FoundEntry *sop = firstOf(port, EntryRole::partner);
    // The entry stays after its partner goes, marked inactive: no partner.
    if (sop != nullptr && flagOf(memberOf(sop->entry->properties, "ConnectionActive")) ==
                              std::optional<bool>(false)) {
        sop = nullptr;
    }
    if (sop != nullptr) {
        partner.entry = sop->path;
        partner.vendorId = idOf(*sop->entry, "Vendor ID");
        partner.productId = idOf(*sop->entry, "Product ID");
        partner.pdRevision = integerOf(memberOf(sop->entry->properties, "Specification Revision"));
        if (std::optional<std::vector<std::uint32_t>> vdos = vdosOf(*sop->entry)) {
            partner.identity =
                pd::decodeIdentity(*vdos, pd::IdentitySide::partner, vendors, jsonOnly).json;
            if (!partner.vendorId) {
                partner.vendorId = pd::bitsOf((*vdos)[0], 15, 0);
            }
            if (!partner.productId && vdos->size() >= 3) {
                partner.productId = pd::bitsOf((*vdos)[2], 31, 16);
            }
        }
    }
    if (!partner.vendorId) {
        if (const FoundEntry *cc = firstOf(port, EntryRole::cc)) {
            partner.vendorId = idOf(*cc->entry, "Vendor ID (SOP)");
            partner.productId = idOf(*cc->entry, "Product ID (SOP)");
            if (partner.vendorId && partner.entry.empty()) {
                partner.entry = cc->path;
            }
        }
    }
    if (partner.entry.empty()) {
        return std::nullopt;
    }
    if (partner.vendorId) {
        partner.vendorName = pd::vendorNameOf(vendors, *partner.vendorId);
    }
    partner.kindWords = partnerKindWords(partner.identity);
    return partner;
}

// A cable carries its current at up to its voltage; an EPR cable rated
// 50 V carries EPR's 48 V at most.
void setCablePower(CableFacts &cable)
{
    cable.maxPowerW.reset();
    if (cable.maxCurrentMa && cable.maxVoltageMv) {
        const std::int64_t volts = *cable.maxVoltageMv == 50000 ? 48 : *cable.maxVoltageMv / 1000;
        if (std::optional<std::int64_t> watts = milliProduct(*cable.maxCurrentMa, volts)) {
            cable.maxPowerW = watts;
        }
    }
}

std::optional<CableFacts> readCable(const PortEntries &port, const VendorNames &vendors)
{
    CableFacts cable;
    cable.identity = nullptr;
    const FoundEntry *plug = firstOf(port, EntryRole::cablePlug);
    if (plug != nullptr) {
        cable.plugEntry = plug->path;
    } else if (const FoundEntry *cc = firstOf(port, EntryRole::cc)) {
        cable.plugEntry = cc->path;
        cable.plugEntry.emplace_back("SOP'");
    } else {
        cable.plugEntry = {port.story.name, "CC", "SOP'"};
    }
    if (plug != nullptr) {
        const CapturedEntry &entry = *plug->entry;
        const std::optional<std::vector<std::uint32_t>> vdos = vdosOf(entry);
        cable.vendorId = idOf(entry, "Vendor ID");
        cable.productId = idOf(entry, "Product ID");
        cable.eMarked = vdos.has_value() || cable.vendorId.has_value();
        if (cable.eMarked) {
            cable.entry = plug->path;
        }
        if (vdos) {
            cable.identity =
                pd::decodeIdentity(*vdos, pd::IdentitySide::cablePlug, vendors, jsonOnly).json;
            if (!cable.vendorId) {
                cable.vendorId = pd::bitsOf((*vdos)[0], 15, 0);
            }
            if (!cable.productId && vdos->size() >= 3) {
                cable.productId = pd::bitsOf((*vdos)[2], 31, 16);
            }
            if (vdos->size() >= 4) {
                readCableVdo(cable, cable.identity, (*vdos)[3]);
            }
        }
        if (!cable.type) {
            const std::optional<std::string> described = textOf(
                memberOf(memberOf(entry.properties, "Metadata"), "Product Type Description"));
            if (described == std::string("Passive Cable")) {
                cable.type = "passive";
            } else if (described == std::string("Active Cable")) {
                cable.type = "active";
            }
        }
        if (cable.maxCurrentMa) {
            cable.maxCurrentBasis = "e-marker";
        }
    }
    if (!cable.eMarked) {
        // Only a USB-C port's cable is a Type-C cable (a MagSafe cable is
        // not), and only a connected port has one.
        const bool typeC =
            port.story.type ? *port.story.type == "USB-C" : firstOf(port, EntryRole::cc) != nullptr;
        if (port.story.connected != true || !typeC) {
            return std::nullopt;
        }
        // A cable whose e-marker was not read may carry 3 A at up to 20 V.
        cable.maxCurrentMa = unmarkedCableCurrentMa;
        cable.maxCurrentBasis = "unmarked";
        cable.maxVoltageMv = 20000;
    }
    if (!cable.type && port.port != nullptr) {
        if (std::optional<bool> active = flagOf(memberOf(port.port->properties, "ActiveCable"))) {
            cable.type = *active ? "active" : "passive";
        }
    }
    if (cable.vendorId) {
        cable.vendorName = pd::vendorNameOf(vendors, *cable.vendorId);
    }
    setCablePower(cable);
    return cable;
}

void boundCableByContract(CableFacts &cable, const PowerContract &contract)
{
    if (cable.eMarked || !contract.currentMa || *contract.currentMa <= unmarkedCableCurrentMa) {
        return;
    }
    cable.maxCurrentMa = contract.currentMa;
    cable.maxCurrentBasis = "contract";
    if (contract.voltageMv && *contract.voltageMv > cable.maxVoltageMv.value_or(0)) {
        cable.maxVoltageMv = contract.voltageMv;
    }
    setCablePower(cable);
}

} // namespace explain
