#include "pd/property_decoders.h"

#include <utility>

#include "pd/displayport.h"

namespace pd {

namespace {

void addReserved(DecodedProperty &property, const DecodedObject &object, const std::string &where)
{
    for (const std::string &reserved : object.reserved) {
        property.notes.push_back(where + ": " += reserved);
    }
}

// Revision message data object, USB Power Delivery 3.1 section 6.4.12.
constexpr Field revisionFields[] = {
    number("revision_major", 31, 28, nullptr),
    number("revision_minor", 27, 24, nullptr),
    number("version_major", 23, 20, nullptr),
    number("version_minor", 19, 16, nullptr),
};

const Layout revisionObject =
    layout("PD revision {revision_major}.{revision_minor}, version {version_major}.{version_minor}",
           revisionFields);

DecodedProperty single(std::uint32_t object, const Layout &layout, Views views)
{
    DecodedProperty property;
    DecodedObject decoded = decodeObject(object, layout, Json(), views);
    if (views.json) {
        property.json = std::move(decoded.json);
    }
    if (views.words) {
        property.lines.push_back(decoded.line());
    }
    addReserved(property, decoded, "VDO");
    return property;
}

} // namespace

DecodedProperty decodePdoList(const std::vector<std::uint32_t> &pdos, PowerRole role, Views views)
{
    DecodedProperty property;
    if (views.json) {
        property.json = Json::array();
    }
    for (std::size_t i = 0; i < pdos.size(); ++i) {
        const auto position = static_cast<unsigned>(i + 1);
        DecodedPdo pdo = decodePdo(pdos[i], role, position, views);
        if (views.json) {
            property.json.push_back(std::move(pdo.object.json));
        }
        if (views.words) {
            property.lines.push_back(std::move(pdo.line));
        }
        addReserved(property, pdo.object, "PDO " + std::to_string(position));
    }
    if (pdos.empty() && views.words) {
        property.lines.push_back("no PDOs");
    }
    for (std::string &breach : pdoListBreaches(pdos, role)) {
        property.notes.push_back(std::move(breach));
    }
    return property;
}

DecodedProperty decodeRequestObject(std::uint32_t rdo, std::optional<std::uint32_t> sourcePdo,
                                    Views views)
{
    DecodedProperty property;
    DecodedRequest request = decodeRequest(rdo, sourcePdo, views);
    if (views.json) {
        property.json = std::move(request.object.json);
    }
    if (views.words) {
        property.lines.push_back(std::move(request.line));
    }
    addReserved(property, request.object, "request");
    for (std::string &overreach : request.overreach) {
        property.notes.push_back(overreach + " without capability mismatch set");
    }
    return property;
}

DecodedProperty decodeDisplayPortStatus(std::uint32_t vdo, Views views)
{
    return single(vdo, displayPortStatusVdo, views);
}

DecodedProperty decodeDisplayPortConfig(std::uint32_t vdo, Views views)
{
    return single(vdo, displayPortConfigureVdo, views);
}

DecodedProperty decodeModes(const std::vector<std::uint32_t> &modes, bool displayPort, Views views)
{
    DecodedProperty property;
    if (views.json) {
        property.json = Json::array();
    }
    for (std::size_t i = 0; i < modes.size(); ++i) {
        const auto position = static_cast<unsigned>(i + 1);
        Json json;
        if (views.json) {
            json["position"] = position;
            json["type"] = displayPort ? "displayport_capabilities" : "unknown";
        }
        const std::string prefix =
            views.words ? "Mode " + std::to_string(position) + ": " : std::string();
        if (displayPort) {
            DecodedObject decoded =
                decodeObject(modes[i], displayPortCapabilitiesVdo, std::move(json), views);
            if (views.json) {
                property.json.push_back(std::move(decoded.json));
            }
            if (views.words) {
                property.lines.push_back(prefix + decoded.line());
            }
            addReserved(property, decoded, "mode " + std::to_string(position));
            continue;
        }
        if (views.json) {
            json["vdo"] = hex32(modes[i]);
            property.json.push_back(std::move(json));
        }
        if (views.words) {
            property.lines.push_back(prefix + hex32(modes[i]) +
                                     " (no DisplayPort SVID on the port)");
        }
    }
    if (modes.empty() && views.words) {
        property.lines.push_back("no modes");
    }
    return property;
}

DecodedProperty decodeRevisionObject(std::uint32_t rmdo, Views views)
{
    return single(rmdo, revisionObject, views);
}

} // namespace pd
