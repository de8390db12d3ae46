#include "platform/standin/snapshot/snapshot_loader.h"
#include "platform/standin/snapshot/ioreg_text_reader.h"
#include "platform/standin/snapshot/plist_shape.h"
#include "platform/standin/snapshot/xml_plist_cut.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

#include <plist/plist.h>

#include "platform/standin/standin.h"
#include "platform/standin/utf.h"

namespace snapshot {
namespace {

const char *const classKey = "IOObjectClass";
const char *const nameKey = "IORegistryEntryName";
const char *const idKey = "IORegistryEntryID";
const char *const childrenKey = "IORegistryEntryChildren";
const char *const locationKey = "IORegistryEntryLocation";
const char *const rootClass = "IORegistryEntry";
const char *const rootName = "Root";
const char *const defaultPlane = "IOService";
const std::size_t longestName = 127;
// Deeper nesting than any registry has; it keeps hostile input from
// exhausting the stack.
const unsigned deepestNesting = 256;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct Failure {
    std::string message;
};

[[noreturn]] void fail(std::string message) { throw Failure{std::move(message)}; }

const char *typeName(plist_type type)
{
    switch (type) {
    case PLIST_BOOLEAN: return "boolean";
    case PLIST_UINT: return "integer";
    case PLIST_REAL: return "real";
    case PLIST_STRING: return "string";
    case PLIST_ARRAY: return "array";
    case PLIST_DICT: return "dictionary";
    case PLIST_DATE: return "date";
    case PLIST_DATA: return "data";
    case PLIST_KEY: return "key";
    case PLIST_UID: return "UID";
    default: return "unknown";
    }
}

std::string kindWithArticle(plist_type type)
{
    std::string kind = typeName(type);
    bool vowel = kind.find_first_of("aeiou") == 0; // "a UID"
    return (vowel ? "an " : "a ") + kind;
}

std::string stringOf(plist_t node)
{
    uint64_t length = 0;
    const char *text = plist_get_string_ptr(node, &length);
    return text == nullptr ? std::string() : std::string(text, length);
}

// The items of a dictionary, in the order the file lists them.
std::vector<std::pair<std::string, plist_t>> itemsOf(plist_t dictionary)
{
    std::vector<std::pair<std::string, plist_t>> items;
    plist_dict_iter iterator = nullptr;
    plist_dict_new_iter(dictionary, &iterator);
    if (iterator == nullptr) {
        return items;
    }
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dictionary, iterator, &key, &value);
        if (value == nullptr) {
            std::free(key);
            break;
        }
        items.emplace_back(key == nullptr ? "" : key, value);
        std::free(key);
    }
    std::free(iterator);
    return items;
}

std::vector<plist_t> elementsOf(plist_t array)
{
    std::vector<plist_t> elements;
    uint32_t size = plist_array_get_size(array);
    elements.reserve(size);
    for (uint32_t i = 0; i < size; ++i) {
        elements.push_back(plist_array_get_item(array, i));
    }
    return elements;
}

PlistPtr parseXml(std::string_view text)
{
    if (auto problem = xmlShapeProblem(text)) {
        fail(*problem);
    }
    plist_t root = nullptr;
    plist_from_xml(text.data(), static_cast<uint32_t>(text.size()), &root);
    return PlistPtr(root);
}

// The property list in bytes, whose first line is line firstLine of the
// input. An XML list cut short is read as far as it is whole, and note says
// what was cut.
PlistPtr parse(std::string_view bytes, std::size_t firstLine, std::string &note)
{
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
        fail("too large to be read");
    }
    if (bytes.empty()) {
        fail("1: expected an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\"), a property "
             "line (\"KEY\" = VALUE) or a property list: the input is empty");
    }
    if (bytes.substr(0, 6) == "bplist") {
        if (bytes.substr(0, 8) != "bplist00") {
            fail("not a property list: \"" + std::string(bytes.substr(0, 8)) +
                 "\" begins no binary property list that can be read (at byte 0)");
        }
        if (auto problem = binaryShapeProblem(bytes)) {
            fail(*problem);
        }
        plist_t root = nullptr;
        plist_from_bin(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
        if (root == nullptr) {
            fail("not a property list: its objects cannot be read");
        }
        return PlistPtr(root);
    }
    if (PlistPtr root = parseXml(bytes)) {
        return root;
    }
    // libplist refuses a list cut short, and says nothing of where.
    XmlReading reading = readCutXml(bytes, firstLine);
    switch (reading.outcome) {
    case XmlReading::Outcome::fault: fail(reading.problem);
    case XmlReading::Outcome::unknown: fail("not a property list");
    case XmlReading::Outcome::cut: break;
    }
    PlistPtr root = parseXml(reading.closed);
    if (!root) {
        fail("not a property list");
    }
    note = std::move(reading.note);
    return root;
}

void checkName(const std::string &text, const char *what, const std::string &where)
{
    if (text.size() > longestName) {
        fail(where + ": " + what + " is " + std::to_string(text.size()) +
             " bytes long; at most 127 fit");
    }
    if (!standin::utf16FromUtf8(text)) {
        fail(where + ": " + what + " is not valid UTF-8");
    }
}

} // namespace

// Walks one snapshot, checking it and recording entries and links.
class SnapshotLoader::Reader {
public:
    // A reader that does not record only checks what it reads: it reads what
    // a later occurrence of an entry holds, which adds nothing.
    Reader(SnapshotLoader &loader, bool recording) : loader_(loader), recording_(recording) {}

    void readSnapshot(plist_t root, const std::string &plane)
    {
        plist_type type = plist_get_node_type(root);
        bool isEntry = type == PLIST_DICT && plist_dict_get_item(root, classKey) != nullptr;
        if (type == PLIST_ARRAY || isEntry) {
            readPlane(root, plane.empty() ? defaultPlane : plane);
            return;
        }
        if (type != PLIST_DICT) {
            fail("the top level is " + kindWithArticle(type) +
                 ", neither an entry, a list of entries nor a map of planes");
        }
        auto planes = itemsOf(root);
        for (const auto &item : planes) {
            plist_type rootsType = plist_get_node_type(item.second);
            if (rootsType != PLIST_DICT && rootsType != PLIST_ARRAY) {
                fail("plane \"" + item.first + "\" holds " + kindWithArticle(rootsType) +
                     ", not an entry or a list of entries (and the top level has no "
                     "\"IOObjectClass\" to be an entry itself)");
            }
        }
        if (!plane.empty()) {
            fail("a map of planes names its own planes; -p " + plane +
                 " applies only to a capture of one plane");
        }
        for (const auto &item : planes) {
            if (item.first.empty()) {
                fail("a plane has an empty name");
            }
            readPlane(item.second, item.first);
        }
    }

private:
    void readPlane(plist_t roots, const std::string &plane)
    {
        if (plist_get_node_type(roots) == PLIST_DICT) {
            readTopLevel(roots, plane, plane + " entry 1");
            return;
        }
        std::size_t index = 0;
        for (plist_t root : elementsOf(roots)) {
            readTopLevel(root, plane, plane + " entry " + std::to_string(++index));
        }
    }

    void readTopLevel(plist_t node, const std::string &plane, const std::string &where)
    {
        std::size_t index = readEntry(node, plane, where, 1);
        if (loader_.entries_[index].isRoot) {
            return;
        }
        std::size_t root = rootIndex();
        if (loader_.rootChildren_.emplace(plane, index).second) {
            loader_.links_.push_back(Link{plane, root, index});
        }
    }

    std::size_t rootIndex()
    {
        if (!loader_.root_) {
            loader_.root_ = loader_.entries_.size();
            Entry root{rootClass, rootName, {}, {}, {}, true};
            loader_.entries_.push_back(std::move(root));
        }
        return *loader_.root_;
    }

    // Returns the index of the entry that this occurrence stands for.
    std::size_t readEntry(plist_t node, const std::string &plane, const std::string &where,
                          unsigned nesting)
    {
        if (nesting > deepestNesting) {
            fail(where + ": entries nested more than " + std::to_string(deepestNesting) +
                 " levels deep");
        }
        if (plist_get_node_type(node) != PLIST_DICT) {
            fail(where + ": an entry must be a dictionary, not " +
                 kindWithArticle(plist_get_node_type(node)));
        }
        plist_t classNode = plist_dict_get_item(node, classKey);
        if (classNode == nullptr) {
            fail(where + ": the entry has no \"IOObjectClass\"");
        }
        if (plist_get_node_type(classNode) != PLIST_STRING) {
            fail(where + ": \"IOObjectClass\" is not a string");
        }
        std::string className = stringOf(classNode);
        checkName(className, "the class name", where);
        std::string name = className;
        if (plist_t nameNode = plist_dict_get_item(node, nameKey)) {
            if (plist_get_node_type(nameNode) != PLIST_STRING) {
                fail(where + ": \"IORegistryEntryName\" is not a string");
            }
            name = stringOf(nameNode);
            checkName(name, "the entry name", where);
        }
        std::optional<uint64_t> id;
        if (plist_t idNode = plist_dict_get_item(node, idKey)) {
            if (plist_get_node_type(idNode) != PLIST_UINT) {
                fail(where + ": \"IORegistryEntryID\" is not an integer");
            }
            uint64_t value = 0;
            plist_get_uint_val(idNode, &value);
            id = value;
        }
        plist_t childrenNode = plist_dict_get_item(node, childrenKey);
        if (childrenNode != nullptr && plist_get_node_type(childrenNode) != PLIST_ARRAY) {
            fail(where + ": \"IORegistryEntryChildren\" is not an array");
        }
        std::optional<std::string> location;
        if (plist_t locationNode = plist_dict_get_item(node, locationKey)) {
            if (plist_get_node_type(locationNode) != PLIST_STRING) {
                fail(where + ": \"IORegistryEntryLocation\" is not a string");
            }
            location = stringOf(locationNode);
            checkName(*location, "the location", where);
        }

        bool isRoot = nesting == 1 && className == rootClass && name == rootName;
        std::size_t index =
            isRoot && recording_ ? rootIndex() : entryFor(id, className, name, where);
        bool isNew = recording_ && index == loader_.entries_.size();
        if (isNew) {
            loader_.entries_.push_back(Entry{className, name, {}, id, {}, false});
        }
        // Properties are checked on every occurrence, kept from the first
        // (the root's from the first capture that writes it).
        auto properties = readProperties(node, where, nesting);
        bool firstRoot = isRoot && recording_ && !loader_.rootWritten_;
        if (isNew || firstRoot) {
            loader_.entries_[index].properties = std::move(properties);
        }
        if (firstRoot) {
            loader_.rootWritten_ = true;
            loader_.entries_[index].registryId = id;
        }
        bool listsChildren = recording_ && loader_.listed_.emplace(plane, index).second;
        if (listsChildren && location) {
            loader_.entries_[index].locations.emplace_back(plane, *location);
        }
        Reader checker(loader_, false);
        Reader &childReader = listsChildren ? *this : checker;
        std::size_t position = 0;
        for (plist_t childNode : childrenNode ? elementsOf(childrenNode) : std::vector<plist_t>()) {
            std::string childWhere = where + "." + std::to_string(++position);
            std::size_t child = childReader.readEntry(childNode, plane, childWhere, nesting + 1);
            if (listsChildren) {
                loader_.links_.push_back(Link{plane, index, child});
            }
        }
        return index;
    }

    std::size_t entryFor(const std::optional<uint64_t> &id, const std::string &className,
                         const std::string &name, const std::string &where)
    {
        if (!id) {
            return loader_.entries_.size();
        }
        auto found = loader_.byId_.find(*id);
        if (found == loader_.byId_.end()) {
            if (recording_) {
                loader_.byId_.emplace(*id, loader_.entries_.size());
            }
            return loader_.entries_.size();
        }
        const Entry &earlier = loader_.entries_[found->second];
        if (earlier.className != className || earlier.name != name) {
            fail(where + ": entry ID " + std::to_string(*id) + " is [" + className + "] " + name +
                 " here but [" + earlier.className + "] " + earlier.name + " before");
        }
        return found->second;
    }

    std::vector<std::pair<std::string, standin::ValuePtr>>
    readProperties(plist_t node, const std::string &where, unsigned nesting)
    {
        std::vector<std::pair<std::string, standin::ValuePtr>> properties;
        for (const auto &item : itemsOf(node)) {
            const std::string &key = item.first;
            if (key == classKey || key == nameKey || key == idKey || key == childrenKey ||
                key == locationKey) {
                continue;
            }
            std::string context = where;
            context += ": property \"";
            context += key;
            context += '"';
            if (!standin::utf16FromUtf8(key)) {
                fail(where + ": a property key is not valid UTF-8");
            }
            properties.emplace_back(key, readValue(item.second, context, nesting + 1));
        }
        return properties;
    }

    standin::ValuePtr readValue(plist_t node, const std::string &context, unsigned nesting)
    {
        if (nesting > deepestNesting) {
            fail(context + ": values nested more than " + std::to_string(deepestNesting) +
                 " levels deep");
        }
        plist_type type = plist_get_node_type(node);
        switch (type) {
        case PLIST_STRING: {
            auto units = standin::utf16FromUtf8(stringOf(node));
            if (!units) {
                fail(context + ": a string that is not valid UTF-8");
            }
            return standin::makeUtf16String(std::move(*units));
        }
        case PLIST_UINT: {
            uint64_t value = 0;
            plist_get_uint_val(node, &value);
            return standin::makeUnsigned(value);
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return standin::makeReal(value);
        }
        case PLIST_BOOLEAN: {
            uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return standin::makeBoolean(value != 0);
        }
        case PLIST_DATA: {
            uint64_t length = 0;
            const char *bytes = plist_get_data_ptr(node, &length);
            const auto *first = reinterpret_cast<const std::uint8_t *>(bytes);
            return standin::makeData(bytes == nullptr ? standin::Bytes()
                                                      : standin::Bytes(first, first + length));
        }
        case PLIST_DATE: {
            int32_t seconds = 0;
            int32_t microseconds = 0;
            plist_get_date_val(node, &seconds, &microseconds);
            return standin::makeDate(seconds + microseconds / 1e6);
        }
        case PLIST_ARRAY: {
            standin::ArrayItems items;
            for (plist_t element : elementsOf(node)) {
                items.push_back(readValue(element, context, nesting + 1));
            }
            return standin::makeArray(std::move(items));
        }
        case PLIST_DICT: {
            standin::DictionaryItems items;
            for (const auto &item : itemsOf(node)) {
                auto key = standin::utf16FromUtf8(item.first);
                if (!key) {
                    fail(context + ": a dictionary key that is not valid UTF-8");
                }
                items.emplace_back(standin::makeUtf16String(std::move(*key)),
                                   readValue(item.second, context, nesting + 1));
            }
            return standin::makeDictionary(std::move(items));
        }
        default:
            fail(context + ": " + kindWithArticle(type) + " value, which a registry cannot hold");
        }
    }

    SnapshotLoader &loader_;
    bool recording_;
};

std::optional<std::string> SnapshotLoader::add(std::string_view bytes, const std::string &plane)
{
    return addBytes(bytes, nullptr, plane);
}

std::optional<std::string> SnapshotLoader::addBytes(std::string_view bytes, std::string *owner,
                                                    const std::string &plane)
{
    // Reading records as it goes; a snapshot refused part way is taken back.
    std::optional<SnapshotLoader> before;
    std::string message;
    try {
        before.emplace(*this);
        if (!looksLikePropertyList(bytes)) {
            addText(bytes, plane);
            return std::nullopt;
        }
        std::string cutNote;
        PlistPtr root = parse(bytes, 1, cutNote);
        if (owner != nullptr) {
            // The tree holds all of it now. Keeping the file's text as well,
            // while the tree is read, would add the file's size to the peak
            // memory of a large replay.
            std::string().swap(*owner);
        }
        Reader(*this, true).readSnapshot(root.get(), plane);
        if (!cutNote.empty()) {
            notes_.push_back(std::move(cutNote));
        }
        return std::nullopt;
    } catch (const Failure &failure) {
        message = failure.message;
    } catch (const std::bad_alloc &) {
        message = "not enough memory to read it";
    }
    if (before) {
        *this = std::move(*before);
    }
    return message;
}

void SnapshotLoader::addText(std::string_view text, const std::string &plane)
{
    IoregText read;
    if (auto problem = readIoregText(text, deepestNesting, read)) {
        fail(*problem);
    }
    try {
        if (plist_array_get_size(read.roots.get()) > 0) {
            Reader(*this, true).readSnapshot(read.roots.get(), plane);
        }
    } catch (const Failure &failure) {
        // "PLANE entry 1.2: what": said of the entry's line instead.
        const std::string &message = failure.message;
        std::string entryWhere = (plane.empty() ? defaultPlane : plane) + " entry ";
        std::size_t pathEnd = message.find(": ", entryWhere.size());
        if (message.compare(0, entryWhere.size(), entryWhere) != 0 ||
            pathEnd == std::string::npos) {
            throw;
        }
        std::string_view path(message.data() + entryWhere.size(), pathEnd - entryWhere.size());
        std::size_t line = lineOfEntryPath(read, path);
        if (line == 0) {
            throw;
        }
        fail(textLineProblem(text, line, message.substr(pathEnd + 2)));
    }
    notes_.insert(notes_.end(), read.notes.begin(), read.notes.end());
    if (read.propertyListAt) {
        addPropertyListAfterText(text.substr(*read.propertyListAt), read.propertyListLine, plane);
    }
}

// A property list pasted after prose: read from its first line, its
// problems named by their line in the whole text.
void SnapshotLoader::addPropertyListAfterText(std::string_view list, std::size_t firstLine,
                                              const std::string &plane)
{
    std::string cutNote;
    try {
        PlistPtr root = parse(list, firstLine, cutNote);
        Reader(*this, true).readSnapshot(root.get(), plane);
    } catch (const Failure &failure) {
        // A problem said of the list alone is said of the line it begins at.
        const std::string &message = failure.message;
        std::size_t digits = message.find_first_not_of("0123456789");
        if (digits == 0 || digits == std::string::npos || message[digits] != ':') {
            fail(std::to_string(firstLine) + ": " + message +
                 " (in the property list that begins at this line)");
        }
        throw;
    }
    notes_.push_back("read the property list that begins at line " + std::to_string(firstLine));
    if (!cutNote.empty()) {
        notes_.push_back(std::move(cutNote));
    }
}

std::optional<std::string> SnapshotLoader::addFile(const std::string &path,
                                                   const std::string &plane)
{
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    // A read error must not pass for the end of the file.
    std::string contents;
    int error = 0;
    try {
        char buffer[65536];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            contents.append(buffer, count);
        }
        if (std::ferror(file)) {
            error = errno != 0 ? errno : EIO;
        }
    } catch (const std::bad_alloc &) {
        error = ENOMEM;
    }
    std::fclose(file);
    if (error != 0) {
        return std::string("cannot read: ") + std::strerror(error);
    }
    return addBytes(contents, &contents, plane);
}

std::unordered_set<std::uint64_t> SnapshotLoader::commit() const
{
    std::vector<standin::EntryId> ids;
    ids.reserve(entries_.size());
    std::vector<standin::EntryId> withoutId;
    for (const Entry &entry : entries_) {
        standin::EntryId id = entry.isRoot ? standin::registry().root()
                                           : standin::addEntry(entry.className, entry.name);
        for (const auto &property : entry.properties) {
            standin::setProperty(id, property.first, property.second);
        }
        // An ID that an entry of an earlier snapshot already holds stays
        // with that entry; this one keeps the ID the registry made for it.
        if (entry.registryId) {
            standin::registry().setRegistryId(id, *entry.registryId);
        } else {
            withoutId.push_back(id);
        }
        for (const auto &location : entry.locations) {
            standin::registry().setLocation(id, location.first, location.second);
        }
        ids.push_back(id);
    }
    for (const Link &link : links_) {
        standin::addChild(ids[link.parent], ids[link.child], link.plane);
    }
    // Read once every ID is given: a given ID takes over one that the
    // registry made, and the entry that held it gets another.
    std::unordered_set<std::uint64_t> made;
    for (standin::EntryId id : withoutId) {
        const standin::Entry &entry = standin::registry().entry(id);
        if (!entry.registryIdGiven) {
            made.insert(entry.registryId);
        }
    }
    return made;
}

std::string snapshotProblem(const std::string &file, const std::string &problem)
{
    std::size_t digits = problem.find_first_not_of("0123456789");
    bool namesLine = digits > 0 && digits != std::string::npos && problem[digits] == ':';
    return file + (namesLine ? ":" : ": ") + problem;
}

} // namespace snapshot
