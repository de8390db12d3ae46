#include "explain/output/power_manager_json.h"

#include "explain/output/story_json.h"

namespace explain {

namespace {

template <typename T>
Json orNull(const std::optional<T> &value)
{
    return value ? Json(*value) : Json(nullptr);
}

Json textOrNull(const std::string &text) { return text.empty() ? Json(nullptr) : Json(text); }

Json menuEntryDocument(const AdapterMenuEntry &entry)
{
    return Json{{"index", orNull(entry.index)},
                {"voltage_mv", orNull(entry.voltageMv)},
                {"max_current_ma", orNull(entry.maxCurrentMa)}};
}

Json adapterDocument(const AdapterFacts &adapter)
{
    Json document = Json::object();
    document["in_use"] = orNull(adapter.inUse);
    document["watts"] = orNull(adapter.watts);
    document["voltage_mv"] = orNull(adapter.voltageMv);
    document["current_ma"] = orNull(adapter.currentMa);
    Json menu = Json::array();
    for (const AdapterMenuEntry &entry : adapter.menu) {
        menu.push_back(menuEntryDocument(entry));
    }
    document["menu"] = std::move(menu);
    document["menu_index"] = orNull(adapter.menuIndex);
    document["menu_entry"] =
        adapter.menuEntry ? menuEntryDocument(*adapter.menuEntry) : Json(nullptr);
    document["beyond_menu"] = adapter.beyondMenu;
    document["name"] = orNull(adapter.name);
    document["manufacturer"] = orNull(adapter.manufacturer);
    document["model"] = orNull(adapter.model);
    document["firmware"] = orNull(adapter.firmware);
    document["description"] = orNull(adapter.description);
    document["power_tier"] = orNull(adapter.powerTier);
    return document;
}

Json partnerDocument(const FedPartner &partner)
{
    Json document = Json::object();
    document["index"] = partner.index;
    document["connected"] = orNull(partner.connected);
    document["vendor_id"] = orNull(partner.vendorId);
    document["vendor_name"] = orNull(partner.vendorName);
    document["product_id"] = orNull(partner.productId);
    document["pd_revision"] = orNull(partner.pdRevision);
    document["power_role"] = orNull(partner.powerRole);
    document["dual_role_power"] = orNull(partner.dualRolePower);
    document["port"] = textOrNull(partner.port);
    document["tie_basis"] = textOrNull(partner.tieBasis);
    return document;
}

Json outputDocument(const PowerOutput &output)
{
    Json document = Json::object();
    document["index"] = output.index;
    document["voltage_mv"] = orNull(output.voltageMv);
    document["current_ma"] = orNull(output.currentMa);
    document["power_mw"] = orNull(output.powerMw);
    return document;
}

} // namespace

Json powerManagerDocument(const PowerManagerStory &manager)
{
    Json document = Json::object();
    document["entry"] = manager.name;
    document["registry_id"] = orNull(manager.registryId);
    document["adapter"] = manager.adapter ? adapterDocument(*manager.adapter) : Json(nullptr);
    Json adapters = Json::array();
    for (const AdapterFacts &adapter : manager.adapters) {
        adapters.push_back(adapterDocument(adapter));
    }
    document["adapters"] = std::move(adapters);
    Json partners = Json::array();
    for (const FedPartner &partner : manager.partners) {
        partners.push_back(partnerDocument(partner));
    }
    document["partners"] = std::move(partners);
    Json outputs = Json::array();
    for (const PowerOutput &output : manager.outputs) {
        outputs.push_back(outputDocument(output));
    }
    document["outputs"] = std::move(outputs);
    Json controllers = Json::array();
    for (const PortControllerFacts &controller : manager.portControllers) {
        Json one = Json::object();
        one["index"] = controller.index;
        one["pdos"] = controller.pdosJson;
        one["request"] = controller.requestJson;
        one["max_power_mw"] = orNull(controller.maxPowerMw);
        one["live"] = controller.live;
        controllers.push_back(std::move(one));
    }
    document["port_controllers"] = std::move(controllers);
    document["input_power_mw"] = orNull(manager.inputPowerMw);
    document["input_voltage_mv"] = orNull(manager.inputVoltageMv);
    document["input_current_ma"] = orNull(manager.inputCurrentMa);
    document["external_connected"] = orNull(manager.externalConnected);
    document["charging"] = orNull(manager.charging);
    document["battery_installed"] = orNull(manager.batteryInstalled);
    document["fully_charged"] = orNull(manager.fullyCharged);
    document["not_charging_reason"] = orNull(manager.notChargingReason);
    document["slow_charging_reason"] = orNull(manager.slowChargingReason);
    document["battery_current_ma"] = orNull(manager.batteryCurrentMa);
    document["charge_percent"] = orNull(manager.chargePercent);
    document["minutes_to_full"] = orNull(manager.minutesToFull);
    document["tied_port"] = textOrNull(manager.tiedPort);
    document["tie_basis"] = textOrNull(manager.tieBasis);
    document["verdicts"] = verdictsDocument(manager.verdicts);
    document["notes"] = manager.notes;
    return document;
}

Json chargingSummaryDocument(const std::optional<ChargingSummary> &summary)
{
    if (!summary) {
        return nullptr;
    }
    Json document = Json::object();
    document["drawing_mw"] = orNull(summary->drawingMw);
    document["contract_mw"] = orNull(summary->contractMw);
    const char *limit = chargingLimitName(summary->limitedBy);
    document["limited_by"] = limit != nullptr ? Json(limit) : Json(nullptr);
    document["text"] = summary->text;
    return document;
}

} // namespace explain
