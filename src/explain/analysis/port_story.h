// What portprobe-explain says about each port and the power manager: the
// facts a person asks for (power, partner, cable, data links), each with
// the entries it was read from, and the verdicts drawn from them. Both
// renderings read it; nothing here touches the platform.
#ifndef PORTPROBE_EXPLAIN_PORT_STORY_H
#define PORTPROBE_EXPLAIN_PORT_STORY_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace explain {

using StoryJson = nlohmann::ordered_json;

// An entry (names from the port down, or the power manager's name) and one
// of its keys.
struct Evidence {
    std::vector<std::string> entry;
    std::string key;
};

enum class Severity { info, warning, problem };
const char *severityName(Severity severity); // "info", "warning", "problem"

// A finding with a stable code; its text is plain words and may change.
struct Verdict {
    std::string code;
    Severity severity = Severity::info;
    std::string text;
    std::vector<Evidence> evidence;
};

struct PowerOption {
    std::string type; // "fixed", "pps", ... from the option's class; "other" when unknown
    std::optional<std::int64_t> voltageMv;
    std::optional<std::int64_t> maxCurrentMa;
    std::optional<std::int64_t> maxPowerMw;
};

struct PowerSource {
    std::string name; // "PowerSourceName", else the entry name without " [*]"
    bool winning = false;
    std::optional<std::int64_t> priority;
    std::vector<PowerOption> options; // in voltage order
    std::optional<PowerOption> winningOption;
    std::vector<std::string> entry;
};

struct PowerContract {
    std::optional<std::int64_t> voltageMv;
    std::optional<std::int64_t> currentMa;
    std::optional<std::int64_t> powerMw;
    std::string source;
    std::vector<std::string> entry; // the winning source's entry
};

struct PortPower {
    // "Power In"'s "Active": false means no contract, whatever a source's
    // mark or "WinningPowerSourceOption" says.
    std::optional<bool> active;
    std::vector<PowerSource> sources;
    std::optional<PowerContract> contract;
    // Sources whose " [*]" or winning option an inactive "Power In" makes
    // stale: left from an earlier contract.
    std::vector<std::string> staleWinners;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PartnerFacts {
    std::optional<std::uint32_t> vendorId;
    std::optional<std::string> vendorName;
    std::optional<std::uint32_t> productId;
    std::optional<std::int64_t> pdRevision;
    StoryJson identity;    // the decoded Discover Identity answer, or null
    std::string kindWords; // "a hub", "a peripheral"; empty when unknown
    std::vector<std::string> entry;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct CableFacts {
    bool eMarked = false;
    std::optional<std::string> type;     // "passive" or "active"
    std::optional<std::string> usbSpeed; // "usb2", ..., "usb4_gen4"
    std::optional<double> maxGbps;
    // The e-marker's rating; without one, 3 A, or the contract's current
    // when it is above 3 A (a lower bound: the charger read the e-marker).
    std::optional<std::int64_t> maxCurrentMa;
    std::string maxCurrentBasis; // "e-marker", "contract" or "unmarked"
    std::optional<std::int64_t> maxVoltageMv;
    std::optional<std::int64_t> maxPowerW;
    bool eprClaimed = false;
    std::optional<std::uint32_t> vendorId;
    std::optional<std::string> vendorName;
    std::optional<std::uint32_t> productId;
    std::string lengthWords;        // "about 1 m"; empty when unknown
    StoryJson identity;             // the decoded cable identity, or null
    std::vector<std::string> entry; // SOP'; empty for a cable known by no entry
    // SOP' as found, or where the port's CC transport would hold it: what
    // "no e-marker was read" rests on.
    std::vector<std::string> plugEntry;
};

struct UsbDevice {
    std::optional<std::uint32_t> vendorId;
    std::optional<std::uint32_t> productId;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::int64_t> deviceClass;
    std::optional<std::int64_t> bcdUsb;
    std::vector<std::string> entry;
};

struct UsbLink {
    std::optional<std::string> generation; // "USB 3", "USB 2"
    std::optional<std::int64_t> rateMbps;
    std::vector<UsbDevice> devices;
    std::vector<std::string> entry; // the active transport's entry
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct ThunderboltLink {
    std::optional<bool> active;
    StoryJson generation; // the registry's "Generation", as it stands
    StoryJson cableSpeed; // "CableSpeed"
    std::vector<std::string> entry;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct DisplayPortLink {
    std::optional<bool> hpd;
    Evidence hpdFrom; // the transport's "HPD_StateDescription" or the port's "HPDAsserted"
    std::optional<std::int64_t> lanes;
    std::optional<std::int64_t> maxLanes;
    std::optional<std::string> linkRate;
    StoryJson pinAssignment; // a number or a boolean, as the port holds it; null
    std::vector<std::string> entry;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PortData {
    std::vector<std::string> supported;
    std::vector<std::string> provisioned;
    std::vector<std::string> active;
    std::optional<UsbLink> usb;
    std::optional<ThunderboltLink> thunderbolt;
    std::optional<DisplayPortLink> displayPort;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PortStory {
    std::string name; // "Port-USB-C@1"
    std::string className;
    std::optional<std::uint64_t> registryId;
    std::optional<std::string> type; // "USB-C"
    std::optional<std::int64_t> number;
    std::optional<bool> connected;
    // Known by its name alone: its entries were found without it.
    bool nameOnly = false;
    std::optional<PartnerFacts> partner;
    std::optional<CableFacts> cable;
    std::optional<PortPower> power;
    PortData data;
    std::vector<Verdict> verdicts;
    std::vector<std::string> notes; // how something was read
};

struct AdapterMenuEntry {
    std::optional<std::int64_t> index;
    std::optional<std::int64_t> voltageMv;
    std::optional<std::int64_t> maxCurrentMa;
    friend bool operator==(const AdapterMenuEntry &a, const AdapterMenuEntry &b)
    {
        return a.index == b.index && a.voltageMv == b.voltageMv && a.maxCurrentMa == b.maxCurrentMa;
    }
};

// "UsbHvcHvcIndex" of an adapter the power manager did not choose.
constexpr std::int64_t adapterNotChosen = 255;

// One adapter the power manager knows ("AdapterDetails" or an item of
// "AppleRawAdapterDetails"). Serial numbers are never read: pastes are
// public.
struct AdapterFacts {
    std::optional<bool> inUse; // null when the capture cannot tell
    std::optional<std::int64_t> watts;
    std::optional<std::int64_t> voltageMv;
    std::optional<std::int64_t> currentMa;
    std::vector<AdapterMenuEntry> menu;
    std::optional<std::int64_t> menuIndex;
    std::optional<AdapterMenuEntry> menuEntry; // the menu's entry at menuIndex
    // The entry in use is not in the menu and the voltage is above the
    // menu's highest: a contract (EPR above 20 V) beyond the fixed offers.
    bool beyondMenu = false;
    std::optional<std::string> name; // trimmed
    std::optional<std::string> manufacturer;
    std::optional<std::string> model;
    std::optional<std::string> firmware; // "FwVersion"
    std::optional<std::string> description;
    std::optional<std::int64_t> powerTier;
    // Where it was read: "AdapterDetails", else "AppleRawAdapterDetails".
    std::string key;
};

// Two records of one adapter: the same facts, wherever they were read.
bool sameAdapter(const AdapterFacts &a, const AdapterFacts &b);

// A port controller's partner as "FedDetails" names it.
struct FedPartner {
    std::size_t index = 0; // the port controller's, as in PortControllerInfo
    std::optional<bool> connected;
    std::optional<std::uint32_t> vendorId;
    std::optional<std::string> vendorName;
    std::optional<std::uint32_t> productId;
    std::optional<std::int64_t> pdRevision; // "FedPdSpecRevision", as it stands
    std::optional<std::int64_t> powerRole;  // "FedPortPowerRole", as it stands
    std::optional<bool> dualRolePower;
    // The port it is tied to, and what the tie rests on; empty when no
    // port can be named without guessing.
    std::string port;
    std::string tieBasis;
};

// What the Mac supplies a device on a port controller ("PowerOutDetails").
struct PowerOutput {
    std::size_t index = 0;
    std::optional<std::int64_t> voltageMv;
    std::optional<std::int64_t> currentMa;
    std::optional<std::int64_t> powerMw;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PortControllerFacts {
    std::size_t index = 0;
    std::vector<std::uint32_t> pdos; // the non-zero slots, in order
    StoryJson pdosJson = StoryJson::array();
    std::vector<std::string> pdoLines;
    std::optional<std::uint32_t> request;
    StoryJson requestJson; // null without a request
    std::string requestLine;
    std::optional<std::int64_t> maxPowerMw;
    bool live = false;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PowerManagerStory {
    std::string name; // its entry name
    std::optional<std::uint64_t> registryId;
    // The adapter in use, also among adapters; null when none is known to be.
    std::optional<AdapterFacts> adapter;
    std::vector<AdapterFacts> adapters; // each adapter once
    // Adapter records that hold nothing but zeros ("AdapterDetails", or
    // "AppleRawAdapterDetails item 2"): no adapter.
    std::vector<std::string> emptyAdapterRecords;
    std::vector<FedPartner> partners;
    std::vector<PowerOutput> outputs; // the port controllers that supply power
    std::vector<PortControllerFacts> portControllers;
    // Measured input ("PowerTelemetryData").
    std::optional<std::int64_t> inputPowerMw;
    std::optional<std::int64_t> inputVoltageMv;
    std::optional<std::int64_t> inputCurrentMa;
    std::optional<bool> externalConnected;
    std::optional<bool> charging;
    std::optional<bool> batteryInstalled; // false: a desktop
    std::optional<bool> fullyCharged;
    std::optional<std::int64_t> notChargingReason; // "ChargerData"'s codes, unpublished
    std::optional<std::int64_t> slowChargingReason;
    // Into the battery when positive, out of it when negative.
    std::optional<std::int64_t> batteryCurrentMa;
    std::string batteryCurrentKey; // "InstantAmperage" or "Amperage"
    std::optional<std::int64_t> chargePercent;
    std::optional<std::int64_t> minutesToFull;
    std::vector<Verdict> verdicts;
    std::vector<std::string> notes;
    // The port its live contract is compared with, and what that tie rests
    // on; empty when no port can be named without guessing.
    std::string tiedPort;
    std::string tieBasis;
};

// What limits what the Mac draws, as far as the capture shows.
enum class ChargingLimit {
    unknown,
    batteryNearlyFull,
    macAsksLess,
    charger,
    cable,
    notCharging,
    noPower
};
// "battery_nearly_full", ..., "no_power"; null for unknown.
const char *chargingLimitName(ChargingLimit limit);

// The answer first: what the Mac draws now, out of what, and what limits it.
struct ChargingSummary {
    std::optional<std::int64_t> drawingMw;
    std::optional<std::int64_t> contractMw;
    ChargingLimit limitedBy = ChargingLimit::unknown;
    std::string text;
};

} // namespace explain

#endif
