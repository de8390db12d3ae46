// The VDM header, USB Power Delivery 3.1 and 3.2 (section 6.4.4.1 and
// 6.4.4.2). B = bit.
#include "pd/vdm.h"

#include <utility>

#include "pd/displayport.h"

namespace pd {

namespace {

constexpr CodePoint versionMajors[] = {
    {0, nullptr, 1, "1"},
    {1, nullptr, 2, "2"},
};

constexpr CodePoint versionMinors[] = {
    {0, nullptr, 0, "0"},
    {1, nullptr, 1, "1"},
};

constexpr CodePoint commandTypes[] = {
    {0, "req", 0, "REQ"},
    {1, "ack", 0, "ACK"},
    {2, "nak", 0, "NAK"},
    {3, "busy", 0, "BUSY"},
};

constexpr Field structuredFields[] = {
    hex("svid", 31, 16, nullptr),
    flag("structured", 15, nullptr),
    code("version_major", 14, 13, versionMajors, "version major", true),
    code("version_minor", 12, 11, versionMinors, "version minor", true),
    number("object_position", 10, 8, "object position"),
    code("command_type", 7, 6, commandTypes, nullptr),
    number("command", 4, 0, nullptr),
};

constexpr Field unstructuredFields[] = {
    hex("svid", 31, 16, nullptr),
    flag("structured", 15, nullptr),
    hex("vendor_use", 14, 0, "vendor use"),
};

const Layout structuredHeader =
    layout("structured VDM, version {version_major}.{version_minor}", structuredFields);
const Layout unstructuredHeader = layout("unstructured VDM", unstructuredFields);

struct Command {
    std::uint32_t number;
    const char *name;
    const char *words;
};

constexpr Command standardCommands[] = {
    {1, "discover_identity", "Discover Identity"},
    {2, "discover_svids", "Discover SVIDs"},
    {3, "discover_modes", "Discover Modes"},
    {4, "enter_mode", "Enter Mode"},
    {5, "exit_mode", "Exit Mode"},
    {6, "attention", "Attention"},
};

constexpr Command displayPortCommands[] = {
    {16, "dp_status_update", "DisplayPort Status Update"},
    {17, "dp_configure", "DisplayPort Configure"},
};

Command commandOf(std::uint32_t svid, std::uint32_t number)
{
    for (const Command &command : standardCommands) {
        if (command.number == number) {
            return command;
        }
    }
    if (svid == displayPortSvid) {
        for (const Command &command : displayPortCommands) {
            if (command.number == number) {
                return command;
            }
        }
    }
    if (number >= 16) {
        return {number, "svid_specific", "SVID-specific command"};
    }
    return {number, "reserved", "reserved command"};
}

std::string svidText(std::uint32_t svid, const std::optional<std::string> &name)
{
    std::string text = hex16(svid);
    if (name) {
        text += " (" + *name + ")";
    }
    return text;
}

} // namespace

std::optional<std::string> svidName(std::uint32_t svid, const VendorLookup &vendors)
{
    switch (svid) {
    case standardSvid: return std::string("PD");
    case displayPortSvid: return std::string("DisplayPort");
    case 0x8087: return std::string("Thunderbolt");
    default: break;
    }
    return vendorNameOf(vendors, svid);
}

DecodedProperty decodeVdm(const std::vector<std::uint32_t> &objects, const VendorLookup &vendors,
                          Views views)
{
    DecodedProperty property;
    if (views.json) {
        property.json = Json::object();
    }
    if (objects.empty()) {
        if (views.words) {
            property.lines.push_back("no VDM header");
        }
        property.notes.push_back("holds no object; a VDM starts with its header");
        return property;
    }
    const std::uint32_t header = objects[0];
    const std::uint32_t svid = bitsOf(header, 31, 16);
    const bool structured = bitsOf(header, 15, 15) != 0;
    DecodedObject decoded =
        decodeObject(header, structured ? structuredHeader : unstructuredHeader, Json(), views);
    const Command command = structured ? commandOf(svid, bitsOf(header, 4, 0)) : Command{};
    if (views.words) {
        std::string line = "VDM for SVID " + svidText(svid, svidName(svid, vendors)) + ": ";
        if (structured) {
            line +=
                std::string(command.words) + " " + commandTypes[bitsOf(header, 7, 6)].words + "; ";
        }
        line += decoded.line();
        property.lines.push_back(line);
    }
    for (const std::string &reserved : decoded.reserved) {
        property.notes.push_back("VDM header: " + reserved);
    }
    if (views.json) {
        if (structured) {
            decoded.json["command_name"] = command.name;
        }
        property.json["header"] = std::move(decoded.json);
    }
    Json after = views.json ? Json::array() : Json();
    const bool carriesDisplayPortStatus = structured && svid == displayPortSvid &&
                                          (bitsOf(header, 4, 0) == 6 || bitsOf(header, 4, 0) == 16);
    for (std::size_t i = 1; i < objects.size(); ++i) {
        if (views.json) {
            after.push_back(hex32(objects[i]));
        }
        if (views.words) {
            std::string vdoLine = "VDO " + std::to_string(i) + ": " + hex32(objects[i]);
            if (carriesDisplayPortStatus) {
                const Views wordsOnly{true, false};
                vdoLine +=
                    " (" +
                    decodeObject(objects[i], displayPortStatusVdo, Json(), wordsOnly).line() + ")";
            }
            property.lines.push_back(vdoLine);
        }
    }
    if (views.json) {
        property.json["objects"] = std::move(after);
    }
    return property;
}

DecodedProperty decodeSvids(const std::vector<std::uint32_t> &svids, const VendorLookup &vendors,
                            Views views)
{
    DecodedProperty property;
    if (views.json) {
        property.json = Json::array();
    }
    std::string line = "SVIDs:";
    for (std::size_t i = 0; i < svids.size(); ++i) {
        const std::uint32_t svid = svids[i] & 0xffffU;
        const std::optional<std::string> name = svidName(svid, vendors);
        if (views.json) {
            property.json.push_back(
                Json{{"svid", svid}, {"name", name ? Json(*name) : Json(nullptr)}});
        }
        if (views.words) {
            line += (i == 0 ? " " : ", ") + svidText(svid, name);
        }
    }
    if (views.words) {
        property.lines.push_back(svids.empty() ? line + " none" : line);
    }
    return property;
}

} // namespace pd
