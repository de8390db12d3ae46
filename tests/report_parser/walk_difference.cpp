#include "walk_difference.h"

#include <sstream>

namespace testing_support {
namespace {

using explain::PropertyValue;

std::string joined(const std::vector<std::string> &path)
{
    std::string text;
    for (const std::string &name : path) {
        text += (text.empty() ? "" : "/") + name;
    }
    return text;
}

std::string valueDifference(const PropertyValue &a, const PropertyValue &b)
{
    std::ostringstream out;
    if (a.kind != b.kind) {
        out << "kind " << static_cast<int>(a.kind) << " vs " << static_cast<int>(b.kind);
    } else if (a.bytes != b.bytes || a.length != b.length) {
        out << "data of " << a.bytes.size() << "/" << a.length << " vs " << b.bytes.size() << "/"
            << b.length << " bytes";
    } else if (a.integer != b.integer) {
        out << "integer " << a.integer << " vs " << b.integer;
    } else if (!(a.real == b.real) && !(a.real != a.real && b.real != b.real)) {
        out << "real " << a.real << " vs " << b.real;
    } else if (a.text != b.text) {
        out << "text \"" << a.text << "\" vs \"" << b.text << "\"";
    } else if (a.boolean != b.boolean || a.contentsKnown != b.contentsKnown) {
        out << "boolean/contentsKnown " << a.boolean << a.contentsKnown << " vs " << b.boolean
            << b.contentsKnown;
    } else if (a.count != b.count || a.typeId != b.typeId) {
        out << "count/type " << a.count << "/" << a.typeId << " vs " << b.count << "/" << b.typeId;
    } else if (a.members.size() != b.members.size() || a.items.size() != b.items.size()) {
        out << "members/items " << a.members.size() << "/" << a.items.size() << " vs "
            << b.members.size() << "/" << b.items.size();
    } else {
        for (std::size_t i = 0; i < a.members.size(); ++i) {
            std::string inner = valueDifference(a.members[i].value, b.members[i].value);
            if (a.members[i].key != b.members[i].key || !inner.empty()) {
                return "member " + a.members[i].key + ": " + inner;
            }
        }
        for (std::size_t i = 0; i < a.items.size(); ++i) {
            std::string inner = valueDifference(a.items[i], b.items[i]);
            if (!inner.empty()) {
                return "item " + std::to_string(i) + ": " + inner;
            }
        }
    }
    return out.str();
}

} // namespace

std::string walkDifference(const explain::RegistryWalk &expected,
                           const explain::RegistryWalk &actual)
{
    const std::size_t common = std::min(expected.entries.size(), actual.entries.size());
    for (std::size_t i = 0; i < common; ++i) {
        const explain::WalkedEntry &a = expected.entries[i];
        const explain::WalkedEntry &b = actual.entries[i];
        const std::string where = "entry " + std::to_string(i) + " (" + joined(a.path) + "): ";
        if (a.depth != b.depth || a.path != b.path || a.className != b.className) {
            return where + "depth/path/class " + std::to_string(a.depth) + " " + joined(a.path) +
                   " [" + a.className + "] vs " + std::to_string(b.depth) + " " + joined(b.path) +
                   " [" + b.className + "]";
        }
        const std::size_t properties = std::min(a.properties.size(), b.properties.size());
        for (std::size_t k = 0; k < properties; ++k) {
            if (a.properties[k].first != b.properties[k].first) {
                return where + "key " + a.properties[k].first + " vs " + b.properties[k].first;
            }
            std::string inner = valueDifference(a.properties[k].second, b.properties[k].second);
            if (!inner.empty()) {
                return where + a.properties[k].first + ": " += inner;
            }
        }
        if (a.properties.size() != b.properties.size()) {
            return where + std::to_string(a.properties.size()) + " vs " +
                   std::to_string(b.properties.size()) + " properties";
        }
    }
    if (expected.entries.size() != actual.entries.size()) {
        return std::to_string(expected.entries.size()) + " vs " +
               std::to_string(actual.entries.size()) + " entries";
    }
    if (expected.notes != actual.notes) {
        std::string text = "notes differ:";
        for (const std::string &note : expected.notes) {
            text += "\n  expected: " + note;
        }
        for (const std::string &note : actual.notes) {
            text += "\n  actual:   " + note;
        }
        return text;
    }
    return std::string();
}

} // namespace testing_support
