#include "explain/analysis/power_manager.h"

#include "explain/analysis/captured_values.h"
#include "explain/analysis/power_adapters.h"
#include "explain/analysis/power_manager_state.h"
#include "explain/analysis/utf8_text.h"
#include "pd/pdo.h"
#include "pd/property_decoders.h"

namespace explain {

namespace {

const char *const controllersKey = "PortControllerInfo";
const char *const pdoKey = "PortControllerPortPDO";
const char *const requestKey = "PortControllerActiveContractRdo";

Verdict verdictOn(const std::string &name, const char *code, Severity severity, std::string text,
                  std::initializer_list<const char *> keys)
{
    Verdict verdict;
    verdict.code = code;
    verdict.severity = severity;
    verdict.text = std::move(text);
    for (const char *key : keys) {
        verdict.evidence.push_back({{name}, key});
    }
    return verdict;
}

std::string volts(std::int64_t millivolts) { return pd::twoDecimals(millivolts) + " V"; }
std::string amps(std::int64_t milliamps) { return pd::twoDecimals(milliamps) + " A"; }

PortControllerFacts readController(const PropertyValue &info, std::size_t index,
                                   PowerManagerStory &story)
{
    PortControllerFacts controller;
    controller.index = index;
    controller.requestJson = nullptr;
    const std::string which = "port controller " + std::to_string(index);
    bool signExtended = false;
    if (const PropertyValue *slots = memberOf(&info, pdoKey);
        slots != nullptr && slots->kind == PropertyValue::Kind::array) {
        for (const PropertyValue &slot : slots->items) {
            bool negative = false;
            const std::optional<std::uint32_t> pdo = object32Of(&slot, negative);
            if (!pdo) {
                story.notes.push_back(which + " " + pdoKey +
                                      ": an item that is not a 32-bit object is passed over");
                continue;
            }
            signExtended = signExtended || negative;
            if (*pdo != 0) {
                controller.pdos.push_back(*pdo);
            }
        }
    }
    if (signExtended) {
        story.notes.push_back(
            which + " " + pdoKey +
            ": negative numbers are read as the sign-extended 32-bit PDOs they hold");
    }
    if (!controller.pdos.empty()) {
        pd::DecodedProperty pdos = pd::decodePdoList(controller.pdos, pd::PowerRole::source);
        controller.pdosJson = pdos.json;
        controller.pdoLines = pdos.lines;
        for (const std::string &breach :
             pd::pdoListBreaches(controller.pdos, pd::PowerRole::source)) {
            const bool first = breach.compare(0, 6, "PDO 1 ") == 0;
            story.verdicts.push_back(verdictOn(story.name, first ? "first_pdo_not_5v" : "pdo_order",
                                               Severity::warning, which + ": " += breach,
                                               {pdoKey}));
        }
        for (std::size_t i = 0; i < controller.pdos.size(); ++i) {
            const pd::DecodedPdo pdo = pd::decodePdo(controller.pdos[i], pd::PowerRole::source,
                                                     static_cast<unsigned>(i + 1));
            for (const std::string &reserved : pdo.object.reserved) {
                story.verdicts.push_back(verdictOn(
                    story.name, "reserved_code", Severity::warning,
                    which + " PDO " + std::to_string(i + 1) + ": " += reserved, {pdoKey}));
            }
        }
    }
    bool requestNegative = false;
    const std::optional<std::uint32_t> rdo =
        object32Of(memberOf(&info, requestKey), requestNegative);
    if (rdo && *rdo != 0) {
        controller.request = *rdo;
        const unsigned position = *rdo >> 28;
        std::optional<std::uint32_t> pdo;
        if (position == 0 || position > controller.pdos.size()) {
            story.verdicts.push_back(
                verdictOn(story.name, "request_out_of_range", Severity::problem,
                          which + ": the request names PDO " + std::to_string(position) + " of " +
                              std::to_string(controller.pdos.size()) + "; it cannot be resolved",
                          {requestKey, pdoKey}));
        } else {
            pdo = controller.pdos[position - 1];
        }
        const pd::DecodedRequest request = pd::decodeRequest(*rdo, pdo);
        controller.requestJson = request.object.json;
        controller.requestLine = request.line;
        for (const std::string &overreach : request.overreach) {
            story.verdicts.push_back(verdictOn(story.name, "request_exceeds_pdo", Severity::problem,
                                               which + ": the request " += overreach,
                                               {requestKey, pdoKey}));
        }
    }
    controller.maxPowerMw = integerOf(memberOf(&info, "PortControllerMaxPower"));
    controller.live = controller.maxPowerMw.value_or(0) > 0;
    if (!controller.live && !controller.pdos.empty()) {
        story.verdicts.push_back(verdictOn(
            story.name, "stale_power_manager_pdos", Severity::info,
            which + " keeps " + std::to_string(controller.pdos.size()) +
                (controller.pdos.size() == 1 ? " PDO" : " PDOs") +
                " from an earlier charger, but no contract is live (PortControllerMaxPower 0)",
            {pdoKey, "PortControllerMaxPower"}));
    }
    return controller;
}

// The adapter in use against the live request and its own menu.
void compareAdapter(PowerManagerStory &story)
{
    const AdapterFacts &adapter = *story.adapter;
    const char *const adapterKey = adapter.key.c_str();
    for (const PortControllerFacts &controller : story.portControllers) {
        if (!controller.live || !controller.request || !controller.requestJson.is_object()) {
            continue;
        }
        const StoryJson &request = controller.requestJson;
        const std::string which = "port controller " + std::to_string(controller.index);
        const unsigned position = *controller.request >> 28;
        if (position >= 1 && position <= controller.pdos.size() && adapter.voltageMv &&
            pd::pdoTypeOf(controller.pdos[position - 1]) == pd::PdoType::fixed) {
            const std::int64_t pdoVoltage = pd::quantityField(
                controller.pdos[position - 1],
                pd::pdoLayout(pd::PdoType::fixed, pd::PowerRole::source), "voltage_mv");
            if (pdoVoltage != *adapter.voltageMv) {
                story.verdicts.push_back(
                    verdictOn(story.name, "sources_disagree", Severity::warning,
                              adapter.key + " says " + volts(*adapter.voltageMv) + ", but " +
                                  which + "'s request resolves to PDO " + std::to_string(position) +
                                  " at " + volts(pdoVoltage),
                              {adapterKey, requestKey}));
            }
        }
        if (adapter.currentMa && request.contains("operating_current_ma") &&
            request["operating_current_ma"].is_number_integer() &&
            request["operating_current_ma"].get<std::int64_t>() != *adapter.currentMa) {
            story.verdicts.push_back(verdictOn(
                story.name, "sources_disagree", Severity::warning,
                adapter.key + " says " + amps(*adapter.currentMa) + ", but " + which +
                    "'s request asks " + amps(request["operating_current_ma"].get<std::int64_t>()),
                {adapterKey, requestKey}));
        }
    }
    if (adapter.menuIndex && adapter.voltageMv) {
        for (const AdapterMenuEntry &entry : adapter.menu) {
            if (entry.index == adapter.menuIndex && entry.voltageMv &&
                *entry.voltageMv != *adapter.voltageMv) {
                story.verdicts.push_back(
                    verdictOn(story.name, "sources_disagree", Severity::warning,
                              adapter.key + " says " + volts(*adapter.voltageMv) +
                                  ", but its menu entry " + std::to_string(*adapter.menuIndex) +
                                  " (UsbHvcHvcIndex) is " + volts(*entry.voltageMv),
                              {adapterKey}));
            }
        }
    }
}

// External power and an adapter in use, yet nothing comes in and the
// battery runs the Mac.
void checkDrawing(PowerManagerStory &story)
{
    const AdapterFacts *adapter = story.adapter ? &*story.adapter : nullptr;
    if (story.externalConnected != true || adapter == nullptr || adapter->watts.value_or(0) <= 0 ||
        story.inputPowerMw != 0 || story.batteryCurrentMa.value_or(0) >= 0) {
        return;
    }
    story.verdicts.push_back(verdictOn(
        story.name, "adapter_not_drawing", Severity::warning,
        "external power is connected and the " + std::to_string(*adapter->watts) +
            " W adapter is in use, but the measured input is 0 W and the battery discharges at " +
            amps(*story.batteryCurrentMa == INT64_MIN ? INT64_MAX : -*story.batteryCurrentMa),
        {"ExternalConnected", adapter->key.c_str(), "PowerTelemetryData",
         story.batteryCurrentKey.c_str()}));
}

} // namespace

PowerManagerStory readPowerManager(const CapturedEntry &entry, const VendorNames &vendors)
{
    PowerManagerStory story;
    story.name = validUtf8(entry.name.empty() ? entry.className : entry.name);
    story.registryId = entry.registryId;
    const std::vector<DictionaryMember> &properties = entry.properties;
    readAdapters(properties, story);
    readPartners(properties, vendors, story);
    readOutputs(properties, story);
    if (const PropertyValue *infos = memberOf(properties, controllersKey);
        infos != nullptr && infos->kind == PropertyValue::Kind::array) {
        for (std::size_t i = 0; i < infos->items.size(); ++i) {
            if (infos->items[i].kind == PropertyValue::Kind::dictionary) {
                story.portControllers.push_back(readController(infos->items[i], i, story));
            }
        }
    }
    readChargingState(properties, story);
    if (story.adapter) {
        compareAdapter(story);
    }
    checkDrawing(story);
    return story;
}

} // namespace explain
