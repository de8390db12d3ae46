#include "explain/analysis/property_explainer.h"

#include <utility>

#include "explain/analysis/utf8_text.h"
#include "explain/analysis/value_text.h"
#include "pd/identity.h"
#include "pd/property_decoders.h"
#include "pd/vdm.h"

namespace explain {

namespace {

const char *const sourceCapabilitiesKey = "SourceCapabilities";

bool isCablePlugClass(const std::string &className)
{
    return className == "IOPortTransportComponentCCUSBPDSOPp" ||
           className == "IOPortTransportComponentCCUSBPDSOPpp";
}

const char *kindOfKey(const std::string &key)
{
    struct KeyKind {
        const char *key;
        const char *kind;
    };
    static constexpr KeyKind kinds[] = {
        {"SourceCapabilities", "source_capabilities"},
        {"SinkCapabilities", "sink_capabilities"},
        {"RequestDataObject", "request"},
        {"PortPartnerIdentity", "identity"},
        {"CableIdentity", "identity"},
        {"VDOs", "identity"},
        {"DisplayPortStatus", "displayport_status"},
        {"DisplayPortConfig", "displayport_config"},
        {"SVIDs", "svids"},
        {"Modes", "modes"},
        {"RawVDM", "vdm"},
        {"VDMResponse", "vdm"},
        {"PDRevision", "revision"},
        {"Metadata", "metadata"},
    };
    for (const KeyKind &entry : kinds) {
        if (key == entry.key) {
            return entry.kind;
        }
    }
    return "value";
}

void showAsReport(PropertyExplanation &property, const PropertyValue &value, const std::string &why,
                  PropertyViews views)
{
    if (views.json) {
        property.decoded = reportText(value);
    }
    if (views.words) {
        property.lines = reportLines(value);
    }
    property.notes.push_back("not decoded: " + why);
}

// The decoder made the views asked for and no other.
void take(PropertyExplanation &property, pd::DecodedProperty decoded)
{
    property.decoded = std::move(decoded.json);
    for (std::string &line : decoded.lines) {
        property.lines.push_back(validUtf8(std::move(line)));
    }
    for (std::string &note : decoded.notes) {
        property.notes.push_back(std::move(note));
    }
}

void addMissing(PropertyExplanation &property, const ObjectList &list)
{
    for (const std::string &note : list.notes) {
        property.notes.push_back(note);
    }
    for (const std::string &missing : list.missing) {
        property.notes.push_back(missing);
    }
}

// The objects a decoder of one object reads, already taken from list into
// the property; false (and the property shown as the report shows it) when
// there is none.
bool oneObject(PropertyExplanation &property, const PropertyValue &value, const ObjectList &list,
               PropertyViews views)
{
    if (property.objects.empty()) {
        showAsReport(property, value,
                     list.total == 0 ? "holds no object" : "its first object is not in the report",
                     views);
        return false;
    }
    if (list.total > 1) {
        property.notes.push_back("holds " + std::to_string(list.total) +
                                 " objects; only the first is read");
    }
    return true;
}

std::optional<std::uint32_t> resolveRequest(PropertyExplanation &property, std::uint32_t rdo,
                                            const WalkedEntry &entry, const GroupFacts &facts)
{
    const unsigned position = rdo >> 28;
    const ObjectList *source = nullptr;
    std::optional<ObjectList> own;
    for (const auto &[key, value] : entry.properties) {
        if (key == sourceCapabilitiesKey) {
            ObjectList list = readObjectList(value);
            if (list.fits) {
                own = std::move(list);
                break;
            }
        }
    }
    if (own) {
        source = &*own;
    } else if (facts.sourceCapabilities) {
        source = &*facts.sourceCapabilities;
    }
    // The entry whose SourceCapabilities the request is read against.
    auto where = [&] {
        return own ? nameBelow(property.entry, facts.rootPathSize) : facts.sourceWhere;
    };
    if (position == 0) {
        property.notes.push_back("asks for object position 0, which names no PDO");
    }
    if (source == nullptr) {
        property.notes.push_back(
            "unresolved: no SourceCapabilities in the port to read it against; read as fixed");
        return std::nullopt;
    }
    if (position == 0) {
        return std::nullopt;
    }
    if (position > source->total) {
        property.notes.push_back("asks for PDO " + std::to_string(position) + ", past the " +
                                 std::to_string(source->total) + " PDOs of " + where() +
                                 " SourceCapabilities; unresolved, read as fixed");
        return std::nullopt;
    }
    if (position > source->objects.size()) {
        property.notes.push_back(
            "PDO " + std::to_string(position) + " of " + where() +
            " SourceCapabilities is not in the report; unresolved, read as fixed");
        return std::nullopt;
    }
    return source->objects[position - 1];
}

void explainObjects(PropertyExplanation &property, const PropertyValue &value,
                    const WalkedEntry &entry, const GroupFacts &facts, const VendorNames &vendors,
                    bool cablePlug, PropertyViews views)
{
    const std::string &kind = property.kind;
    if (kind == "svids") {
        ObjectList list = readSvidList(value);
        if (!list.fits) {
            showAsReport(property, value, list.whyNot, views);
            return;
        }
        property.objects = std::move(list.objects);
        take(property, pd::decodeSvids(property.objects, vendors, views));
        addMissing(property, list);
        return;
    }
    if (kind == "revision") {
        if (value.kind == PropertyValue::Kind::integer || value.kind == PropertyValue::Kind::real) {
            const bool whole = value.kind == PropertyValue::Kind::integer;
            // Revisions 1.0 to 3.x; anything else (a negative number, one
            // made of a huge real) is no revision at all.
            const bool revision = whole ? value.integer >= 1 && value.integer <= 3
                                        : value.real >= 1.0 && value.real < 4.0;
            if (!revision) {
                showAsReport(property, value,
                             (whole ? std::to_string(value.integer) : plainWords(value)) +
                                 " is not a PD revision, which runs from 1 to 3",
                             views);
                return;
            }
            if (views.json) {
                property.decoded = plainJson(value);
            }
            if (views.words) {
                property.lines.push_back(
                    "PD revision " + (whole ? std::to_string(value.integer) : plainWords(value)));
            }
            for (std::string &limit : reportLimits(value)) {
                property.notes.push_back(std::move(limit));
            }
            return;
        }
        if (value.kind != PropertyValue::Kind::data || value.length != 4 ||
            value.bytes.size() != 4) {
            showAsReport(property, value,
                         kindWords(value) + " is not a revision message data object (4 bytes)",
                         views);
            return;
        }
    }
    ObjectList list = readObjectList(value);
    if (!list.fits) {
        showAsReport(property, value, list.whyNot, views);
        return;
    }
    property.objects = std::move(list.objects);
    if (kind == "source_capabilities" || kind == "sink_capabilities") {
        take(property, pd::decodePdoList(property.objects,
                                         kind == "source_capabilities" ? pd::PowerRole::source
                                                                       : pd::PowerRole::sink,
                                         views));
    } else if (kind == "identity") {
        take(property,
             pd::decodeIdentity(property.objects,
                                cablePlug ? pd::IdentitySide::cablePlug : pd::IdentitySide::partner,
                                vendors, views));
    } else if (kind == "modes") {
        take(property, pd::decodeModes(property.objects, facts.displayPortSvid, views));
    } else if (kind == "vdm") {
        take(property, pd::decodeVdm(property.objects, vendors, views));
    } else if (oneObject(property, value, list, views)) {
        const std::uint32_t object = property.objects.front();
        if (kind == "request") {
            take(property, pd::decodeRequestObject(
                               object, resolveRequest(property, object, entry, facts), views));
        } else if (kind == "displayport_status") {
            take(property, pd::decodeDisplayPortStatus(object, views));
        } else if (kind == "displayport_config") {
            take(property, pd::decodeDisplayPortConfig(object, views));
        } else {
            take(property, pd::decodeRevisionObject(object, views));
        }
    }
    addMissing(property, list);
}

struct MetadataField {
    const char *key;
    const char *name;
    const char *words;
};

constexpr MetadataField metadataFields[] = {
    {"Vendor ID", "vendor_id", "vendor"},
    {"Product ID", "product_id", "product"},
    {"bcdDevice", "bcd_device", "bcdDevice"},
    {"Product Type", "product_type", "product type"},
    {"Product Type Description", "product_type_description", "product type"},
    {"Vendor ID (SOP)", "vendor_id_sop", "SOP vendor"},
    {"Product ID (SOP)", "product_id_sop", "SOP product"},
};

std::string idText(const PropertyValue &value, const MetadataField &field,
                   const VendorNames &vendors)
{
    if (value.kind == PropertyValue::Kind::string) {
        return validUtf8(value.text);
    }
    if (value.kind != PropertyValue::Kind::integer) {
        return plainWords(value);
    }
    if (value.integer < 0 || value.integer > 0xffff) {
        return std::to_string(value.integer);
    }
    const auto id = static_cast<std::uint32_t>(value.integer);
    const std::string name = field.name;
    if (name == "product_type") {
        return std::to_string(id);
    }
    std::string text = pd::hex16(id);
    if (name == "vendor_id" || name == "vendor_id_sop") {
        if (const std::optional<std::string> vendor = pd::vendorNameOf(vendors, id)) {
            text += " (" + validUtf8(*vendor) + ")";
        }
    }
    return text;
}

void explainMetadata(PropertyExplanation &property, const PropertyValue &value,
                     const WalkedEntry &entry, const GroupFacts &facts, const VendorNames &vendors,
                     std::vector<PropertyExplanation> &explained, PropertyViews views)
{
    if (value.kind != PropertyValue::Kind::dictionary) {
        showAsReport(property, value, kindWords(value) + " is not a dictionary of identity fields",
                     views);
        explained.push_back(std::move(property));
        return;
    }
    if (!value.contentsKnown && value.count > 0) {
        showAsReport(
            property, value,
            "its " + std::to_string(value.count) +
                " members are not in the report, so its identity fields and VDOs cannot be read",
            views);
        explained.push_back(std::move(property));
        return;
    }
    property.decoded = Json::object();
    std::string line;
    std::size_t lastPart = 0; // where the last field's words start in line
    const PropertyValue *vdos = nullptr;
    for (const MetadataField &field : metadataFields) {
        for (const DictionaryMember &member : value.members) {
            if (member.key != field.key) {
                continue;
            }
            property.decoded[field.name] = plainJson(member.value);
            if (member.value.kind != PropertyValue::Kind::integer &&
                member.value.kind != PropertyValue::Kind::string) {
                property.notes.push_back(std::string("\"") + field.key + "\" is " +
                                         kindWords(member.value) + ", not a number or a string");
            }
            const std::string shown = idText(member.value, field, vendors);
            if (std::string(field.name) == "product_type_description" && line.size() > lastPart &&
                line.compare(lastPart, 13, "product type ") == 0) {
                line += " (" + shown + ")"; // "product type 3 (Passive Cable)"
            } else {
                lastPart = line.empty() ? 0 : line.size() + 2;
                line += (line.empty() ? "" : ", ") + std::string(field.words) + " " + shown;
            }
            break;
        }
    }
    for (const DictionaryMember &member : value.members) {
        if (member.key == "VDOs") {
            vdos = &member.value;
            break;
        }
    }
    if (!line.empty()) {
        property.lines.push_back("Identity: " + line);
    }
    explained.push_back(std::move(property));
    if (vdos != nullptr) {
        PropertyExplanation inside;
        inside.entry = explained.back().entry;
        inside.className = explained.back().className;
        inside.key = "Metadata/VDOs";
        inside.kind = "identity";
        explainObjects(inside, *vdos, entry, facts, vendors, isCablePlugClass(entry.className),
                       views);
        explained.push_back(std::move(inside));
    }
}

} // namespace

std::string nameBelow(const std::vector<std::string> &path, std::size_t rootPathSize)
{
    if (path.size() <= rootPathSize) {
        return path.empty() ? std::string() : validUtf8(path.back());
    }
    std::string name;
    for (std::size_t i = rootPathSize; i < path.size(); ++i) {
        name += (i == rootPathSize ? "" : "/") + validUtf8(path[i]);
    }
    return name;
}

GroupFacts gatherFacts(const RegistryWalk &walk, const std::vector<std::size_t> &entries)
{
    GroupFacts facts;
    if (!entries.empty()) {
        facts.rootPathSize = walk.entries[entries.front()].path.size();
    }
    for (std::size_t index : entries) {
        const WalkedEntry &entry = walk.entries[index];
        for (const auto &[key, value] : entry.properties) {
            if (key == sourceCapabilitiesKey && !facts.sourceCapabilities) {
                ObjectList list = readObjectList(value);
                if (list.fits) {
                    facts.sourceCapabilities = std::move(list);
                    facts.sourceWhere = nameBelow(entry.path, facts.rootPathSize);
                }
            } else if (key == "SVIDs" && !facts.displayPortSvid) {
                const ObjectList svids = readSvidList(value);
                for (std::uint32_t svid : svids.objects) {
                    facts.displayPortSvid = facts.displayPortSvid || svid == pd::displayPortSvid;
                }
            }
        }
    }
    return facts;
}

std::vector<std::string> validPath(const WalkedEntry &entry)
{
    std::vector<std::string> path;
    path.reserve(entry.path.size());
    for (const std::string &name : entry.path) {
        path.push_back(validUtf8(name));
    }
    return path;
}

namespace {

// The entry's properties explained, each naming the entry by path: nothing
// here reads the entry's own path, which a spent walk has given up.
void explainProperties(const WalkedEntry &entry, const EntryPath &path, const GroupFacts &facts,
                       const VendorNames &vendors, std::vector<PropertyExplanation> &explained,
                       PropertyViews views)
{
    const std::size_t first = explained.size();
    const std::string className = validUtf8(entry.className);
    for (const auto &[key, value] : entry.properties) {
        PropertyExplanation property;
        property.entry = path;
        property.className = className;
        property.key = validUtf8(key);
        property.kind = kindOfKey(key);
        if (property.kind == std::string("metadata")) {
            explainMetadata(property, value, entry, facts, vendors, explained, views);
            continue;
        }
        if (property.kind == std::string("value")) {
            for (const auto &[described, words] : entry.descriptions) {
                if (described == key && value.kind == PropertyValue::Kind::integer) {
                    property.description = validUtf8(words);
                }
            }
            if (views.json) {
                property.decoded = plainJson(value);
            }
            if (views.words) {
                property.lines = wordLines(value);
                if (!property.description.empty()) {
                    property.lines.front() += ", " + property.description;
                }
            }
            property.notes = reportLimits(value);
        } else {
            const bool cablePlug = isCablePlugClass(entry.className) || key == "CableIdentity";
            explainObjects(property, value, entry, facts, vendors, cablePlug, views);
        }
        explained.push_back(std::move(property));
    }
    for (std::size_t i = first; i < explained.size(); ++i) {
        if (!views.json) {
            explained[i].decoded = Json();
        }
        if (!views.words) {
            std::vector<std::string>().swap(explained[i].lines);
        }
    }
}

} // namespace

void explainEntry(const WalkedEntry &entry, const GroupFacts &facts, const VendorNames &vendors,
                  std::vector<PropertyExplanation> &explained, PropertyViews views)
{
    if (!entry.properties.empty()) {
        explainProperties(entry, EntryPath(validPath(entry)), facts, vendors, explained, views);
    }
}

void explainEntry(WalkedEntry &&entry, const GroupFacts &facts, const VendorNames &vendors,
                  std::vector<PropertyExplanation> &explained, PropertyViews views)
{
    if (entry.properties.empty()) {
        return;
    }
    std::vector<std::string> names = std::move(entry.path);
    for (std::string &name : names) {
        name = validUtf8(std::move(name));
    }
    explainProperties(entry, EntryPath(std::move(names)), facts, vendors, explained, views);
}

} // namespace explain
