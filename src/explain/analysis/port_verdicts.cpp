#include "explain/analysis/port_verdicts.h"

#include "explain/analysis/port_facts.h"
#include "pd/field_table.h"

namespace explain {

namespace {

const std::int64_t unmarkedCurrentMa = unmarkedCableCurrentMa;

Verdict verdict(const char *code, Severity severity, std::string text,
                std::vector<Evidence> evidence)
{
    return {code, severity, std::move(text), std::move(evidence)};
}

std::string volts(std::int64_t millivolts) { return pd::trimmedDecimals(millivolts) + " V"; }
std::string amps(std::int64_t milliamps) { return pd::trimmedDecimals(milliamps) + " A"; }
std::string watts(std::int64_t milliwatts) { return pd::trimmedDecimals(milliwatts) + " W"; }

const PowerSource *winner(const PortPower &power)
{
    for (const PowerSource &source : power.sources) {
        if (source.winning) {
            return &source;
        }
    }
    return nullptr;
}

// The most current the winning source offers at the contract's voltage.
std::optional<std::int64_t> offeredAt(const PowerSource &source, std::int64_t voltageMv)
{
    std::optional<std::int64_t> most;
    for (const PowerOption &option : source.options) {
        if (option.voltageMv == voltageMv && option.maxCurrentMa &&
            (!most || *option.maxCurrentMa > *most)) {
            most = option.maxCurrentMa;
        }
    }
    return most;
}

void powerVerdicts(const PortStory &story, std::vector<Verdict> &verdicts)
{
    if (!story.power || !story.power->contract) {
        return;
    }
    const PortPower &power = *story.power;
    const PowerContract &contract = *power.contract;
    const PowerSource *source = winner(power);
    const Evidence option{contract.entry, "WinningPowerSourceOption"};
    const Evidence options{contract.entry, "PowerSourceOptions"};
    const bool eMarked = story.cable && story.cable->eMarked;
    // What the cable's rating rests on: its e-marker's "Metadata", or the
    // SOP' entry whose "Metadata" holds none (absent when it never answered).
    const Evidence cableEvidence{story.cable
                                     ? (eMarked ? story.cable->entry : story.cable->plugEntry)
                                     : std::vector<std::string>{story.name},
                                 "Metadata"};
    bool cableLimits = false;
    if (contract.voltageMv && contract.currentMa && source != nullptr) {
        const std::optional<std::int64_t> offered = offeredAt(*source, *contract.voltageMv);
        // Without a cable (not a USB-C port, or its state unknown) nothing
        // is said of the cable.
        const bool cableAt3A =
            story.cable && (!eMarked || story.cable->maxCurrentMa == unmarkedCurrentMa);
        if (offered && *contract.currentMa < *offered && cableAt3A &&
            *contract.currentMa <= unmarkedCurrentMa) {
            cableLimits = true;
            verdicts.push_back(verdict(
                "cable_limits_power", Severity::warning,
                "the contract takes " + amps(*contract.currentMa) + " at " +
                    volts(*contract.voltageMv) + " where the charger offers " + amps(*offered) +
                    (eMarked ? "; the cable's e-marker says 3 A"
                             : "; no e-marker was read, so the cable counts as a 3 A cable"),
                {option, options, cableEvidence}));
        }
        if (!offered && !source->options.empty()) {
            verdicts.push_back(verdict("sources_disagree", Severity::warning,
                                       "the winning option is " + volts(*contract.voltageMv) +
                                           ", which " + source->name +
                                           " does not list among its options",
                                       {option, options}));
        }
    }
    if (contract.currentMa && *contract.currentMa > unmarkedCurrentMa && story.cable && !eMarked) {
        verdicts.push_back(verdict(
            "over_3a_without_emarker", Severity::info,
            "the contract takes " + amps(*contract.currentMa) +
                " though no e-marker was read on this port; the charger checked the cable, this "
                "Mac did not",
            {option, cableEvidence}));
    }
    if (!cableLimits && source != nullptr && contract.powerMw) {
        std::int64_t most = 0;
        for (const PowerOption &offered : source->options) {
            most = std::max(most, offered.maxPowerMw.value_or(0));
        }
        if (most > *contract.powerMw) {
            verdicts.push_back(verdict("power_below_offer", Severity::info,
                                       "the contract is " + watts(*contract.powerMw) +
                                           "; the charger offers up to " + watts(most),
                                       {option, options}));
        }
    }
    std::size_t winners = 0;
    for (const PowerSource &one : power.sources) {
        winners += one.winning ? 1 : 0;
    }
    if (winners > 1) {
        std::vector<Evidence> evidence;
        for (const PowerSource &one : power.sources) {
            if (one.winning) {
                evidence.push_back({one.entry, "WinningPowerSourceOption"});
            }
        }
        verdicts.push_back(verdict("sources_disagree", Severity::warning,
                                   std::to_string(winners) + " power sources are marked as winning",
                                   evidence));
    }
}

void cableVerdicts(const PortStory &story, std::vector<Verdict> &verdicts)
{
    if (!story.cable || !story.cable->eMarked) {
        return;
    }
    const CableFacts &cable = *story.cable;
    const Evidence metadata{cable.entry, "Metadata"};
    if (cable.eprClaimed && cable.maxVoltageMv == 20000) {
        verdicts.push_back(verdict("epr_claim_20v_cable", Severity::problem,
                                   "the cable's e-marker claims EPR with a 20 V maximum; an EPR "
                                   "cable must be rated 50 V",
                                   {metadata}));
    }
    if (cable.vendorId && (*cable.vendorId == 0 || *cable.vendorId == 0xffff)) {
        verdicts.push_back(verdict("untraceable_cable", Severity::warning,
                                   "the cable's e-marker gives vendor ID " +
                                       pd::hex16(*cable.vendorId) + ", which names no vendor",
                                   {metadata}));
    } else if (cable.productId && *cable.productId == 0) {
        verdicts.push_back(verdict("untraceable_cable", Severity::warning,
                                   "the cable's e-marker gives product ID 0", {metadata}));
    }
}

void dataVerdicts(const PortStory &story, std::vector<Verdict> &verdicts)
{
    const PortData &data = story.data;
    auto holds = [](const std::vector<std::string> &names, const char *name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    if (data.displayPort && data.displayPort->hpd == true && data.displayPort->lanes == 0) {
        const std::vector<std::string> &entry = data.displayPort->entry.empty()
                                                    ? std::vector<std::string>{story.name}
                                                    : data.displayPort->entry;
        verdicts.push_back(verdict("display_detected_no_link", Severity::warning,
                                   "DisplayPort sees a display, but no link is trained (0 lanes)",
                                   {data.displayPort->hpdFrom, {entry, "LaneCount"}}));
    }
    if (holds(data.provisioned, "USB3") && !holds(data.active, "USB3") &&
        holds(data.active, "USB2")) {
        std::vector<Evidence> evidence{{{story.name}, "TransportsProvisioned"},
                                       {{story.name}, "TransportsActive"}};
        std::optional<std::int64_t> bcd;
        if (data.usb && !data.usb->devices.empty()) {
            bcd = data.usb->devices.front().bcdUsb;
            if (bcd) {
                evidence.push_back({data.usb->devices.front().entry, "bcdUSB"});
            }
        }
        if (bcd && *bcd < 0x300) {
            verdicts.push_back(verdict("usb_below_provisioned", Severity::info,
                                       "USB 3 is provisioned but only USB 2 runs; the device is "
                                       "itself a USB 2 device (bcdUSB " +
                                           pd::hex16(static_cast<std::uint32_t>(*bcd)) + ")",
                                       evidence));
        } else {
            verdicts.push_back(
                verdict("usb_below_provisioned", Severity::warning,
                        std::string("USB 3 is provisioned but only USB 2 runs") +
                            (bcd ? "; the device says it is a USB 3 device (bcdUSB " +
                                       pd::hex16(static_cast<std::uint32_t>(*bcd)) +
                                       "), so the cable or its plug may be at fault"
                                 : "; the device's USB version is not known"),
                        evidence));
        }
    }
}

const char *codeOfNote(const std::string &note)
{
    if (note.compare(0, 26, "asks for object position 0") == 0 ||
        (note.compare(0, 13, "asks for PDO ") == 0 &&
         note.find(", past the ") != std::string::npos)) {
        return "request_out_of_range";
    }
    if (note.compare(0, 5, "asks ") == 0) {
        return "request_exceeds_pdo";
    }
    if (note.compare(0, 9, "PDO 1 is ") == 0 &&
        note.find("not the fixed 5 V") != std::string::npos) {
        return "first_pdo_not_5v";
    }
    if (note.find("the standard orders them") != std::string::npos) {
        return "pdo_order";
    }
    if (note.find("reserved ") != std::string::npos && note.find(" code ") != std::string::npos) {
        return "reserved_code";
    }
    return nullptr;
}

} // namespace

const char *severityName(Severity severity)
{
    switch (severity) {
    case Severity::info: return "info";
    case Severity::warning: return "warning";
    case Severity::problem: return "problem";
    }
    return "info";
}

std::vector<Verdict> portVerdicts(const PortStory &story)
{
    std::vector<Verdict> verdicts;
    powerVerdicts(story, verdicts);
    cableVerdicts(story, verdicts);
    dataVerdicts(story, verdicts);
    return verdicts;
}

std::vector<Verdict> propertyVerdicts(const std::vector<PropertyExplanation> &properties,
                                      std::size_t portPathLength)
{
    std::vector<Verdict> verdicts;
    for (const PropertyExplanation &property : properties) {
        for (const std::string &note : property.notes) {
            const char *code = codeOfNote(note);
            if (code == nullptr) {
                continue;
            }
            std::string where;
            for (std::size_t i = portPathLength; i < property.entry.size(); ++i) {
                where += (where.empty() ? "" : "/") + property.entry[i];
            }
            const std::string named = (where.empty() ? "" : where + " ") + property.key;
            const bool problem = std::string(code).compare(0, 8, "request_") == 0;
            verdicts.push_back(verdict(code, problem ? Severity::problem : Severity::warning,
                                       named + ": " += note, {{property.entry, property.key}}));
        }
    }
    return verdicts;
}

} // namespace explain
