#include "explain/output/json_render.h"

#include <cinttypes>
#include <cstdio>

#include "explain/output/story_json.h"

namespace explain {

namespace {

const int documentVersion = 2;

std::string objectText(std::uint32_t object)
{
    char text[11];
    std::snprintf(text, sizeof text, "0x%08" PRIx32, object);
    return text;
}

Json propertyDocument(const PropertyExplanation &property)
{
    Json document = Json::object();
    document["entry"] = property.entry;
    document["class"] = property.className;
    document["key"] = property.key;
    document["kind"] = property.kind;
    if (!property.objects.empty()) {
        Json objects = Json::array();
        for (std::uint32_t object : property.objects) {
            objects.push_back(objectText(object));
        }
        document["objects"] = std::move(objects);
    }
    document["decoded"] = property.decoded;
    document["notes"] = property.notes;
    return document;
}

Json propertiesDocument(const std::vector<PropertyExplanation> &properties)
{
    Json list = Json::array();
    for (const PropertyExplanation &property : properties) {
        list.push_back(propertyDocument(property));
    }
    return list;
}

} // namespace

Json explanationDocument(const Explanation &explanation)
{
    Json controllers = Json::array();
    for (const ControllerExplanation &controller : explanation.controllers) {
        Json ports = Json::array();
        for (const PortExplanation &port : controller.ports) {
            Json portDocument = Json::object();
            portDocument["entry"] = port.entry;
            portDocument["class"] = port.className;
            portDocument["properties"] = propertiesDocument(port.properties);
            portDocument["notes"] = port.notes;
            ports.push_back(std::move(portDocument));
        }
        Json controllerDocument = Json::object();
        controllerDocument["entry"] = controller.entry;
        controllerDocument["class"] = controller.className;
        controllerDocument["properties"] = propertiesDocument(controller.properties);
        controllerDocument["ports"] = std::move(ports);
        controllers.push_back(std::move(controllerDocument));
    }
    Json ports = Json::array();
    for (const PortAccount &port : explanation.ports) {
        ports.push_back(
            portDocument(port.story, propertiesDocument(propertiesOf(explanation, port))));
    }
    Json document = Json::object();
    document["format"] = "portprobe-explain";
    document["version"] = documentVersion;
    document["source"] = explanation.source;
    document["ports"] = std::move(ports);
    document["power_manager"] = explanation.powerManagers.empty()
                                    ? Json(nullptr)
                                    : powerManagerDocument(explanation.powerManagers.front());
    document["controllers"] = std::move(controllers);
    document["notes"] = explanation.notes;
    return document;
}

std::string explanationJson(const Explanation &explanation)
{
    return explanationDocument(explanation).dump(2, ' ', false, Json::error_handler_t::replace) +
           "\n";
}

} // namespace explain
