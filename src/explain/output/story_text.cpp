#include "explain/output/story_text.h"

#include <cinttypes>
#include <cstdio>

#include "pd/field_table.h"

namespace explain {

namespace {

std::string volts(std::int64_t millivolts) { return pd::trimmedDecimals(millivolts) + " V"; }
std::string amps(std::int64_t milliamps) { return pd::trimmedDecimals(milliamps) + " A"; }
std::string wattsOfMilli(std::int64_t milliwatts) { return pd::trimmedDecimals(milliwatts) + " W"; }

std::string counted(std::int64_t count, const char *one, const char *many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string optionText(const PowerOption &option)
{
    std::string text;
    if (option.type != "fixed" && option.type != "unknown") {
        text += option.type + " ";
    }
    text += option.voltageMv ? volts(*option.voltageMv) : std::string("? V");
    text += " " + (option.maxCurrentMa ? amps(*option.maxCurrentMa) : std::string("? A"));
    if (option.maxPowerMw) {
        text += " (" + wattsOfMilli(*option.maxPowerMw) + ")";
    }
    return text;
}

std::string optionsText(const std::vector<PowerOption> &options)
{
    std::string text;
    for (const PowerOption &option : options) {
        text += (text.empty() ? "" : ", ") + optionText(option);
    }
    return text;
}

std::string powerText(const PortPower &power)
{
    const PowerSource *winner = nullptr;
    for (const PowerSource &source : power.sources) {
        if (source.winning && winner == nullptr) {
            winner = &source;
        }
    }
    std::string text;
    if (power.active == false) {
        text = "not powering the Mac: its Power In is inactive";
    } else if (power.contract) {
        const PowerContract &contract = *power.contract;
        text = "powered by " + contract.source;
        if (contract.voltageMv && contract.currentMa) {
            text += " at " + pd::twoDecimals(*contract.voltageMv) + " V " +
                    pd::twoDecimals(*contract.currentMa) + " A";
        }
        if (contract.powerMw) {
            text += " (" + wattsOfMilli(*contract.powerMw) + ")";
        }
    } else if (winner != nullptr) {
        text = "powered by " + winner->name;
    } else {
        text = "no contract";
    }
    if (winner != nullptr && !winner->options.empty()) {
        text += "; the charger offers " + optionsText(winner->options);
    }
    for (const PowerSource &source : power.sources) {
        if (&source != winner && !source.options.empty() && winner == nullptr) {
            text += "; " + source.name + " offers " + optionsText(source.options);
        }
    }
    return text;
}

std::string partnerText(const PartnerFacts &partner)
{
    std::string text;
    if (partner.vendorName) {
        text = *partner.vendorName + " (" + pd::hex16(partner.vendorId.value_or(0)) + ")";
    } else if (partner.vendorId) {
        text = "vendor " + pd::hex16(*partner.vendorId);
    } else {
        text = "a Power Delivery partner that has not said who it is";
    }
    if (partner.productId) {
        text += " product " + pd::hex16(*partner.productId);
    }
    if (!partner.kindWords.empty()) {
        text += ", " + partner.kindWords;
    }
    if (partner.pdRevision) {
        text += "; PD " + std::to_string(*partner.pdRevision);
    }
    return text;
}

const char *speedName(const std::string &speed)
{
    struct Name {
        const char *speed;
        const char *words;
    };
    static constexpr Name names[] = {{"usb2", "USB 2.0"},
                                     {"usb3_gen1", "USB 3.2 Gen 1"},
                                     {"usb3_gen2", "USB 3.2 Gen 2"},
                                     {"usb4_gen3", "USB4 Gen 3"},
                                     {"usb4_gen4", "USB4 Gen 4"}};
    for (const Name &name : names) {
        if (speed == name.speed) {
            return name.words;
        }
    }
    return "a reserved USB speed";
}

std::string gbpsText(double gbps)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", gbps);
    return text;
}

std::string cableText(const CableFacts &cable)
{
    std::string text;
    if (!cable.eMarked) {
        text = "no e-marker read; a cable without one carries at most 3 A at up to 20 V (60 W)";
        if (cable.maxCurrentBasis == "contract" && cable.maxCurrentMa) {
            text = "no e-marker read on this Mac, but the contract takes " +
                   amps(*cable.maxCurrentMa) + ": the charger read one, and the cable carries at " +
                   "least " + amps(*cable.maxCurrentMa);
        }
        if (cable.type) {
            text = "the port says " +
                   std::string(*cable.type == "active" ? "an active" : "a passive") + " cable; " +
                   text;
        }
        return text;
    }
    text = "e-marked " + (cable.type ? *cable.type + " cable" : std::string("cable"));
    if (cable.usbSpeed) {
        text += ", " + std::string(speedName(*cable.usbSpeed));
        if (cable.maxGbps) {
            text += " (" + gbpsText(*cable.maxGbps) + " Gbps)";
        }
    }
    if (cable.maxCurrentMa && cable.maxVoltageMv) {
        text += ", " + amps(*cable.maxCurrentMa) + " at up to " + volts(*cable.maxVoltageMv);
        if (cable.maxPowerW) {
            text += " (" + std::to_string(*cable.maxPowerW) + " W)";
        }
    }
    if (!cable.lengthWords.empty()) {
        text += ", " + cable.lengthWords;
    }
    if (cable.vendorName) {
        text +=
            "; made by " + *cable.vendorName + " (" + pd::hex16(cable.vendorId.value_or(0)) + ")";
    }
    return text;
}

std::string rateText(std::int64_t mbps)
{
    if (mbps >= 1000) {
        return pd::trimmedDecimals(mbps) + " Gbps";
    }
    return std::to_string(mbps) + " Mbps";
}

std::string deviceWords(const std::vector<UsbDevice> &devices)
{
    if (devices.size() > 1) {
        return counted(static_cast<std::int64_t>(devices.size()), "device", "devices");
    }
    const UsbDevice &device = devices.front();
    if (device.product && !device.product->empty()) {
        return *device.product;
    }
    if (device.deviceClass == 9) {
        return "a hub";
    }
    return "a device";
}

std::string dataText(const PortData &data)
{
    std::string text;
    auto add = [&text](const std::string &part) { text += (text.empty() ? "" : "; ") + part; };
    if (data.usb) {
        std::string usb = data.usb->generation.value_or("USB");
        if (data.usb->rateMbps) {
            usb += " at " + rateText(*data.usb->rateMbps);
        }
        if (!data.usb->devices.empty()) {
            usb += " (" + deviceWords(data.usb->devices) + ")";
        }
        add(usb);
    }
    if (data.thunderbolt && data.thunderbolt->active == true) {
        add("Thunderbolt/USB4 link up");
    }
    // A DisplayPort transport that sees no display and runs no link says
    // nothing worth a line; every USB-C port has one.
    const bool displayPortSays = data.displayPort && (data.displayPort->hpd == true ||
                                                      data.displayPort->lanes.value_or(0) > 0);
    if (displayPortSays) {
        const DisplayPortLink &link = *data.displayPort;
        std::string dp = "DisplayPort: ";
        if (link.lanes && *link.lanes > 0) {
            dp += counted(*link.lanes, "lane", "lanes");
        } else if (link.lanes) {
            dp += "no link";
        } else {
            dp += "link unknown";
        }
        if (link.hpd) {
            dp += *link.hpd ? ", display detected" : ", no display";
        }
        add(dp);
    }
    return text;
}

const char *verdictLabel(Severity severity)
{
    switch (severity) {
    case Severity::info: return "Note";
    case Severity::warning: return "Warning";
    case Severity::problem: return "Problem";
    }
    return "Note";
}

} // namespace

std::string labelled(const char *label, const std::string &text)
{
    std::string line = "  ";
    line += label;
    line += ':';
    while (line.size() < 11) {
        line += ' ';
    }
    return line + text + "\n";
}

std::string verdictLine(const Verdict &verdict)
{
    return labelled(verdictLabel(verdict.severity), verdict.text + " [" + verdict.code + "]");
}

void appendPortStory(std::string &out, const PortStory &story)
{
    std::string heading = story.name;
    if (story.type) {
        heading += " (" + *story.type + ")";
    } else if (!story.className.empty()) {
        heading += " (" + story.className + ")";
    }
    std::string state = story.connected == true    ? "connected"
                        : story.connected == false ? "idle"
                                                   : "state unknown";
    if (story.nameOnly) {
        state += ", known only by the entries that name it";
    }
    const bool nothingRead = !story.connected && !story.type && !story.power && !story.partner &&
                             !story.cable && !story.nameOnly;
    if (nothingRead) {
        state = "no port facts read; its controller's properties are below";
    }
    std::string lines;
    const bool idle = story.connected == false;
    // An idle port says nothing of power, unless a source still bears the
    // mark of an earlier contract: then it says that none is live.
    if (story.power && !(idle && !story.power->contract && story.power->staleWinners.empty())) {
        lines += labelled("Power", powerText(*story.power));
    }
    if (story.partner) {
        lines += labelled("Partner", partnerText(*story.partner));
    }
    if (story.cable) {
        lines += labelled("Cable", cableText(*story.cable));
    }
    const std::string data = dataText(story.data);
    if (!data.empty()) {
        lines += labelled("Data", data);
    } else if (story.connected == true) {
        lines += labelled("Data", "no data link runs");
    }
    for (const Verdict &verdict : story.verdicts) {
        lines += verdictLine(verdict);
    }
    out += heading + ": " + state + "\n" + lines;
}

} // namespace explain
