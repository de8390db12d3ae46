#include "pd/pdo.h"

#include "pd/pdo_tables.h"

namespace pd {

namespace {

// A PDO named inside other words needs its summary alone.
constexpr Views summaryOnly{true, false};

} // namespace

PdoType pdoTypeOf(std::uint32_t pdo)
{
    switch (bitsOf(pdo, 31, 30)) {
    case 0: return PdoType::fixed;
    case 1: return PdoType::battery;
    case 2: return PdoType::variable;
    default: break;
    }
    switch (bitsOf(pdo, 29, 28)) {
    case 0: return PdoType::pps;
    case 1: return PdoType::eprAvs;
    case 2: return PdoType::sprAvs;
    default: break;
    }
    return PdoType::reserved;
}

const char *pdoTypeName(PdoType type)
{
    switch (type) {
    case PdoType::fixed: return "fixed";
    case PdoType::battery: return "battery";
    case PdoType::variable: return "variable";
    case PdoType::pps: return "pps";
    case PdoType::eprAvs: return "epr_avs";
    case PdoType::sprAvs: return "spr_avs";
    case PdoType::reserved: break;
    }
    return "reserved";
}

const Layout &pdoLayout(PdoType type, PowerRole role)
{
    const bool source = role == PowerRole::source;
    switch (type) {
    case PdoType::fixed: return source ? fixedSourcePdo : fixedSinkPdo;
    case PdoType::battery: return source ? batterySourcePdo : batterySinkPdo;
    case PdoType::variable: return source ? variableSourcePdo : variableSinkPdo;
    case PdoType::pps: return source ? ppsSourcePdo : ppsSinkPdo;
    case PdoType::eprAvs: return source ? eprAvsSourcePdo : eprAvsSinkPdo;
    case PdoType::sprAvs: return source ? sprAvsSourcePdo : sprAvsSinkPdo;
    case PdoType::reserved: break;
    }
    return reservedPdo;
}

DecodedPdo decodePdo(std::uint32_t pdo, PowerRole role, unsigned position, Views views)
{
    const PdoType type = pdoTypeOf(pdo);
    Json json;
    if (views.json) {
        json["position"] = position;
        json["type"] = pdoTypeName(type);
    }
    DecodedPdo decoded{decodeObject(pdo, pdoLayout(type, role), std::move(json), views), {}, {}};
    if (type == PdoType::reserved) {
        decoded.object.reserved.push_back("reserved APDO type code 3");
    }
    if (views.words) {
        // The power a fixed PDO's line adds in parentheses is left out where
        // the PDO is named inside other words.
        decoded.summary = decoded.object.headline.substr(0, decoded.object.headline.find(" ("));
        decoded.line = "PDO " + std::to_string(position) + ": " + decoded.object.line();
    }
    return decoded;
}

namespace {

// The voltage a PDO is ordered by, and the group it is ordered within.
struct OrderKey {
    int group; // -1: not ordered
    std::int64_t millivolts;
    const char *what;
};

OrderKey orderKeyOf(std::uint32_t pdo, PowerRole role)
{
    const PdoType type = pdoTypeOf(pdo);
    const Layout &layout = pdoLayout(type, role);
    switch (type) {
    case PdoType::fixed: return {0, quantityField(pdo, layout, "voltage_mv"), "voltage"};
    case PdoType::battery:
        return {1, quantityField(pdo, layout, "min_voltage_mv"), "minimum voltage"};
    case PdoType::variable:
        return {2, quantityField(pdo, layout, "min_voltage_mv"), "minimum voltage"};
    case PdoType::pps: return {3, quantityField(pdo, layout, "max_voltage_mv"), "maximum voltage"};
    case PdoType::eprAvs:
    case PdoType::sprAvs:
    case PdoType::reserved: break;
    }
    return {-1, 0, ""};
}

} // namespace

std::vector<std::string> pdoListBreaches(const std::vector<std::uint32_t> &pdos, PowerRole role)
{
    std::vector<std::string> breaches;
    if (pdos.empty()) {
        return breaches;
    }
    const std::uint32_t first = pdos.front();
    const bool firstIsSafe5V = pdoTypeOf(first) == PdoType::fixed &&
                               quantityField(first, fixedSourcePdo, "voltage_mv") == 5000;
    if (!firstIsSafe5V) {
        breaches.push_back("PDO 1 is " + decodePdo(first, role, 1, summaryOnly).summary +
                           ", not the fixed 5 V supply the standard puts first");
    }
    // The last PDO seen of each group, by position.
    std::vector<std::size_t> lastOfGroup(4, 0);
    for (std::size_t i = 0; i < pdos.size(); ++i) {
        if (pdos[i] == 0) {
            continue;
        }
        const OrderKey key = orderKeyOf(pdos[i], role);
        if (key.group < 0) {
            continue;
        }
        const auto group = static_cast<std::size_t>(key.group);
        const std::size_t previous = lastOfGroup[group];
        if (previous != 0) {
            const OrderKey before = orderKeyOf(pdos[previous - 1], role);
            if (key.millivolts < before.millivolts) {
                breaches.push_back("PDO " + std::to_string(i + 1) + " (" +
                                   decodePdo(pdos[i], role, 0, summaryOnly).summary +
                                   ") follows PDO " + std::to_string(previous) + " (" +
                                   decodePdo(pdos[previous - 1], role, 0, summaryOnly).summary +
                                   ") though its " + key.what +
                                   " is lower; the standard orders them by rising " + key.what);
            }
        }
        lastOfGroup[group] = i + 1;
    }
    return breaches;
}

namespace {

const Layout &requestLayout(PdoType type)
{
    switch (type) {
    case PdoType::battery: return batteryRequest;
    case PdoType::pps: return ppsRequest;
    case PdoType::eprAvs:
    case PdoType::sprAvs: return avsRequest;
    case PdoType::fixed:
    case PdoType::variable:
    case PdoType::reserved: break;
    }
    return fixedRequest;
}

std::string amps(std::int64_t milliamps) { return twoDecimals(milliamps) + " A"; }
std::string volts(std::int64_t millivolts) { return twoDecimals(millivolts) + " V"; }

// What the request asks beyond the source PDO's offer.
std::vector<std::string> overreachOf(std::uint32_t rdo, const Layout &request, std::uint32_t pdo)
{
    std::vector<std::string> found;
    const PdoType type = pdoTypeOf(pdo);
    const Layout &offer = pdoLayout(type, PowerRole::source);
    auto askMore = [&](const char *asked, std::int64_t value, const char *offered,
                       std::int64_t limit, const std::string &valueText,
                       const std::string &limitText) {
        if (value > limit) {
            found.push_back(std::string("asks ") + asked + " " + valueText + ", more than the " +
                            offered + " " + limitText + " its PDO offers");
        }
    };
    switch (type) {
    case PdoType::fixed:
    case PdoType::variable: {
        const std::int64_t limit = quantityField(pdo, offer, "max_current_ma");
        const std::int64_t operating = quantityField(rdo, request, "operating_current_ma");
        const std::int64_t maximum = quantityField(rdo, request, "max_operating_current_ma");
        askMore("an operating current of", operating, "maximum current", limit, amps(operating),
                amps(limit));
        askMore("a maximum operating current of", maximum, "maximum current", limit, amps(maximum),
                amps(limit));
        break;
    }
    case PdoType::battery: {
        const std::int64_t limit = quantityField(pdo, offer, "max_power_mw");
        const std::int64_t operating = quantityField(rdo, request, "operating_power_mw");
        const std::int64_t maximum = quantityField(rdo, request, "max_operating_power_mw");
        const std::string limitText = trimmedDecimals(limit) + " W";
        askMore("an operating power of", operating, "maximum power", limit,
                trimmedDecimals(operating) + " W", limitText);
        askMore("a maximum operating power of", maximum, "maximum power", limit,
                trimmedDecimals(maximum) + " W", limitText);
        break;
    }
    case PdoType::pps:
    case PdoType::eprAvs: {
        const std::int64_t low = quantityField(pdo, offer, "min_voltage_mv");
        const std::int64_t high = quantityField(pdo, offer, "max_voltage_mv");
        const std::int64_t voltage = quantityField(rdo, request, "output_voltage_mv");
        const std::int64_t current = quantityField(rdo, request, "operating_current_ma");
        if (voltage < low || voltage > high) {
            found.push_back("asks " + volts(voltage) + ", outside the " + volts(low) + " to " +
                            volts(high) + " its PDO offers");
        }
        if (type == PdoType::pps) {
            const std::int64_t limit = quantityField(pdo, offer, "max_current_ma");
            askMore("an operating current of", current, "maximum current", limit, amps(current),
                    amps(limit));
        } else {
            // mV times mA is microwatts; the PDP is in watts.
            const std::int64_t microwatts = voltage * current;
            const std::int64_t pdp = quantityField(pdo, offer, "pdp_w");
            if (microwatts > pdp * 1000000) {
                found.push_back("asks " + volts(voltage) + " at " + amps(current) + " (" +
                                trimmedDecimals(microwatts / 1000) + " W), more than the PDP " +
                                std::to_string(pdp) + " W its PDO offers");
            }
        }
        break;
    }
    case PdoType::sprAvs: {
        const std::int64_t voltage = quantityField(rdo, request, "output_voltage_mv");
        const std::int64_t current = quantityField(rdo, request, "operating_current_ma");
        if (voltage < 9000 || voltage > 20000) {
            found.push_back("asks " + volts(voltage) +
                            ", outside the 9.00 V to 20.00 V of SPR AVS");
        } else {
            const char *range =
                voltage <= 15000 ? "max_current_9v_15v_ma" : "max_current_15v_20v_ma";
            const std::int64_t limit = quantityField(pdo, offer, range);
            askMore("an operating current of", current, "maximum current", limit, amps(current),
                    amps(limit) + " at that voltage");
        }
        break;
    }
    case PdoType::reserved: break;
    }
    return found;
}

} // namespace

DecodedRequest decodeRequest(std::uint32_t rdo, std::optional<std::uint32_t> sourcePdo, Views views)
{
    DecodedRequest decoded;
    decoded.position = bitsOf(rdo, 31, 28);
    const std::optional<PdoType> type =
        sourcePdo ? std::optional<PdoType>(pdoTypeOf(*sourcePdo)) : std::nullopt;
    const Layout &layout = requestLayout(type.value_or(PdoType::fixed));

    Json json;
    if (views.json) {
        json["object_position"] = decoded.position;
        json["resolved"] = sourcePdo.has_value();
        json["refers_to"] = type ? Json(pdoTypeName(*type)) : Json(nullptr);
    }
    decoded.object = decodeObject(rdo, layout, std::move(json), views);

    if (views.words) {
        const std::string against =
            sourcePdo
                ? decodePdo(*sourcePdo, PowerRole::source, decoded.position, summaryOnly).summary
                : std::string("unresolved, read as fixed");
        decoded.line = "Request for PDO " + std::to_string(decoded.position) + " (" + against +
                       "): " + decoded.object.line();
    }
    const bool mismatch = bitsOf(rdo, 26, 26) != 0;
    if (sourcePdo && !mismatch) {
        decoded.overreach = overreachOf(rdo, layout, *sourcePdo);
    }
    return decoded;
}

} // namespace pd
