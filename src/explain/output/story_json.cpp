#include "explain/output/story_json.h"

namespace explain {

namespace {

template <typename T>
Json orNull(const std::optional<T> &value)
{
    return value ? Json(*value) : Json(nullptr);
}

Json optionDocument(const PowerOption &option)
{
    Json document = Json::object();
    document["type"] = option.type;
    document["voltage_mv"] = orNull(option.voltageMv);
    document["max_current_ma"] = orNull(option.maxCurrentMa);
    document["max_power_mw"] = orNull(option.maxPowerMw);
    return document;
}

Json powerDocument(const std::optional<PortPower> &power)
{
    if (!power) {
        return nullptr;
    }
    Json sources = Json::array();
    for (const PowerSource &source : power->sources) {
        Json document = Json::object();
        document["name"] = source.name;
        document["winning"] = source.winning;
        document["priority"] = orNull(source.priority);
        Json options = Json::array();
        for (const PowerOption &option : source.options) {
            options.push_back(optionDocument(option));
        }
        document["options"] = std::move(options);
        document["winning_option"] =
            source.winningOption ? optionDocument(*source.winningOption) : Json(nullptr);
        document["entry"] = source.entry;
        sources.push_back(std::move(document));
    }
    Json document = Json::object();
    document["active"] = orNull(power->active);
    document["sources"] = std::move(sources);
    if (power->contract) {
        const PowerContract &contract = *power->contract;
        Json terms = Json::object();
        terms["voltage_mv"] = orNull(contract.voltageMv);
        terms["current_ma"] = orNull(contract.currentMa);
        terms["power_mw"] = orNull(contract.powerMw);
        terms["source"] = contract.source;
        document["contract"] = std::move(terms);
    } else {
        document["contract"] = nullptr;
    }
    return document;
}

Json partnerDocument(const std::optional<PartnerFacts> &partner)
{
    if (!partner) {
        return nullptr;
    }
    Json document = Json::object();
    document["vendor_id"] = orNull(partner->vendorId);
    document["vendor_name"] = orNull(partner->vendorName);
    document["product_id"] = orNull(partner->productId);
    document["pd_revision"] = orNull(partner->pdRevision);
    document["identity"] = partner->identity;
    document["entry"] = partner->entry;
    return document;
}

Json cableDocument(const std::optional<CableFacts> &cable)
{
    if (!cable) {
        return nullptr;
    }
    Json document = Json::object();
    document["e_marked"] = cable->eMarked;
    document["type"] = orNull(cable->type);
    document["usb_speed"] = orNull(cable->usbSpeed);
    document["max_gbps"] = orNull(cable->maxGbps);
    document["max_current_ma"] = orNull(cable->maxCurrentMa);
    document["max_current_basis"] =
        cable->maxCurrentBasis.empty() ? Json(nullptr) : Json(cable->maxCurrentBasis);
    document["max_voltage_mv"] = orNull(cable->maxVoltageMv);
    document["max_power_w"] = orNull(cable->maxPowerW);
    document["epr_mode_capable"] = cable->eprClaimed;
    document["vendor_id"] = orNull(cable->vendorId);
    document["vendor_name"] = orNull(cable->vendorName);
    document["product_id"] = orNull(cable->productId);
    document["identity"] = cable->identity;
    document["entry"] = cable->entry;
    return document;
}

Json dataDocument(const PortData &data)
{
    Json document = Json::object();
    document["supported"] = data.supported;
    document["provisioned"] = data.provisioned;
    document["active"] = data.active;
    if (data.usb) {
        Json usb = Json::object();
        usb["generation"] = orNull(data.usb->generation);
        usb["rate_mbps"] = orNull(data.usb->rateMbps);
        Json devices = Json::array();
        for (const UsbDevice &device : data.usb->devices) {
            Json one = Json::object();
            one["vendor_id"] = orNull(device.vendorId);
            one["product_id"] = orNull(device.productId);
            one["manufacturer"] = orNull(device.manufacturer);
            one["product"] = orNull(device.product);
            one["class"] = orNull(device.deviceClass);
            one["bcd_usb"] = orNull(device.bcdUsb);
            one["entry"] = device.entry;
            devices.push_back(std::move(one));
        }
        usb["devices"] = std::move(devices);
        usb["entry"] = data.usb->entry;
        document["usb"] = std::move(usb);
    } else {
        document["usb"] = nullptr;
    }
    if (data.thunderbolt) {
        Json link = Json::object();
        link["active"] = orNull(data.thunderbolt->active);
        link["generation"] = data.thunderbolt->generation;
        link["cable_speed"] = data.thunderbolt->cableSpeed;
        link["entry"] = data.thunderbolt->entry;
        document["thunderbolt"] = std::move(link);
    } else {
        document["thunderbolt"] = nullptr;
    }
    if (data.displayPort) {
        Json link = Json::object();
        link["hpd"] = orNull(data.displayPort->hpd);
        link["lanes"] = orNull(data.displayPort->lanes);
        link["max_lanes"] = orNull(data.displayPort->maxLanes);
        link["link_rate"] = orNull(data.displayPort->linkRate);
        link["pin_assignment"] = data.displayPort->pinAssignment;
        link["entry"] = data.displayPort->entry;
        document["displayport"] = std::move(link);
    } else {
        document["displayport"] = nullptr;
    }
    return document;
}

} // namespace

Json verdictsDocument(const std::vector<Verdict> &verdicts)
{
    Json list = Json::array();
    for (const Verdict &verdict : verdicts) {
        Json document = Json::object();
        document["code"] = verdict.code;
        document["severity"] = severityName(verdict.severity);
        document["text"] = verdict.text;
        Json evidence = Json::array();
        for (const Evidence &one : verdict.evidence) {
            evidence.push_back(Json{{"entry", one.entry}, {"key", one.key}});
        }
        document["evidence"] = std::move(evidence);
        list.push_back(std::move(document));
    }
    return list;
}

Json portDocument(const PortStory &story, Json properties)
{
    Json document = portStoryDocument(story);
    document["properties"] = std::move(properties);
    return document;
}

Json portStoryDocument(const PortStory &story)
{
    Json document = Json::object();
    document["port"] = story.name;
    document["class"] = story.className.empty() ? Json(nullptr) : Json(story.className);
    document["registry_id"] = orNull(story.registryId);
    document["type"] = orNull(story.type);
    document["number"] = orNull(story.number);
    document["connected"] = orNull(story.connected);
    document["partner"] = partnerDocument(story.partner);
    document["cable"] = cableDocument(story.cable);
    document["power"] = powerDocument(story.power);
    document["data"] = dataDocument(story.data);
    document["verdicts"] = verdictsDocument(story.verdicts);
    return document;
}

Json machineDocument(const MachineFacts &machine)
{
    Json document = Json::object();
    document["model"] = orNull(machine.model);
    document["os_build"] = orNull(machine.osBuild);
    document["kernel"] = orNull(machine.kernel);
    return document;
}

} // namespace explain
