#include "platform/standin/snapshot/plist_shape.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace snapshot {
namespace {

struct ShapeFailure {
    std::string message;
};

[[noreturn]] void fail(std::string message) { throw ShapeFailure{std::move(message)}; }

// A binary list that cannot be read names the byte where it goes wrong.
[[noreturn]] void failAt(std::uint64_t offset, const std::string &what)
{
    fail("not a property list: " + what + " (at byte " + std::to_string(offset) + ")");
}

// libplist builds and frees its trees recursively, and copies an object of a
// binary list for every reference to it: a small hostile file could exhaust
// the stack or memory inside libplist, before any check here. So the nesting
// (and for binary lists the copies) are measured first, following how
// libplist reads the file. The bounds lie far beyond any registry capture.
const std::size_t deepestInFile = 1024;
// A binary list that shares no container makes at most one node per byte;
// sharing is allowed up to this many nodes whatever the size.
const std::uint64_t mostNodesAlways = std::uint64_t(1) << 20;

const char *const tooDeep = "nested too deeply to be read";

// Where what (with anyOf, any one character of it) first appears at or
// after at, stepping over double-quoted runs as libplist does.
std::size_t findOutsideQuotes(std::string_view text, std::size_t at, std::string_view what,
                              bool anyOf)
{
    for (; at < text.size(); ++at) {
        if (anyOf ? what.find(text[at]) != std::string_view::npos
                  : text.substr(at, what.size()) == what) {
            return at;
        }
        if (text[at] == '"' && (at = text.find('"', at + 1)) == std::string_view::npos) {
            break;
        }
    }
    return std::string_view::npos;
}

// Counts open <dict> and <array> elements. Where libplist would stop with an
// error, so does the count; comments, CDATA, processing instructions and the
// document type hold no elements.
void checkXmlNesting(std::string_view text)
{
    const std::size_t none = std::string_view::npos;
    std::size_t depth = 0;
    for (std::size_t at = text.find('<'); at != none; at = text.find('<', at + 1)) {
        std::string_view rest = text.substr(at + 1);
        if (rest.substr(0, 3) == "!--") {
            at = text.find("-->", at + 4);
        } else if (rest.substr(0, 8) == "![CDATA[") {
            at = text.find("]]>", at + 9);
        } else if (rest.substr(0, 1) == "?") {
            at = findOutsideQuotes(text, at + 1, "?>", false);
        } else if (rest.substr(0, 8) == "!DOCTYPE") {
            at = findOutsideQuotes(text, at + 9, "[>", true);
            if (at != none && text[at] == '[') {
                at = findOutsideQuotes(text, at, "]>", false);
            }
        } else if (rest.substr(0, 1) == "!") {
            return;
        } else {
            std::size_t nameEnd = text.find_first_of(" \r\n\t<>", at + 1);
            std::size_t end = nameEnd == none || text[nameEnd] == '>'
                                  ? nameEnd
                                  : findOutsideQuotes(text, nameEnd, "<>", true);
            if (end == none || text[end] != '>') {
                return;
            }
            std::string_view name = text.substr(at + 1, nameEnd - at - 1);
            bool empty = text[end - 1] == '/';
            if (empty && !name.empty() && name.back() == '/') {
                name.remove_suffix(1);
            }
            if (!empty && (name == "dict" || name == "array") && ++depth > deepestInFile) {
                fail(tooDeep);
            }
            if ((name == "/dict" || name == "/array") && depth > 0) {
                --depth;
            }
            at = end;
        }
        if (at == none) {
            return;
        }
    }
}

std::uint64_t bigEndian(std::string_view bytes, std::uint64_t at, unsigned width)
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

// Measures, without recursion, how deep the objects reachable from the top
// nest and how many nodes libplist would make of them.
void checkBinaryShape(std::string_view bytes)
{
    const std::uint64_t trailerSize = 32;
    if (bytes.size() < 8 + trailerSize) {
        fail("not a property list: " + std::to_string(bytes.size()) +
             " bytes, fewer than the header and trailer of a binary one");
    }
    const std::uint64_t trailer = bytes.size() - trailerSize;
    const unsigned offsetWidth = static_cast<unsigned char>(bytes[trailer + 6]);
    const unsigned refWidth = static_cast<unsigned char>(bytes[trailer + 7]);
    const std::uint64_t count = bigEndian(bytes, trailer + 8, 8);
    const std::uint64_t top = bigEndian(bytes, trailer + 16, 8);
    const std::uint64_t table = bigEndian(bytes, trailer + 24, 8);
    if (offsetWidth < 1 || offsetWidth > 8 || refWidth < 1 || refWidth > 8 || top >= count ||
        table < 8 || table >= trailer || count > (trailer - table) / offsetWidth) {
        // A binary list's objects are found through its trailer and offset
        // table, which it ends with: a list cut short has neither.
        failAt(trailer, "its last 32 bytes are not the trailer a binary property list ends "
                        "with, which says where its objects are; was it cut short?");
    }
    const std::uint64_t mostNodes = std::max<std::uint64_t>(bytes.size(), mostNodesAlways);

    struct Frame {
        std::uint64_t object;
        std::uint64_t refs = 0;   // where its references start
        std::uint64_t number = 0; // how many it holds
        std::uint64_t next = 0;
        std::uint64_t height = 1;
        std::uint64_t nodes = 1;
        bool dictionary = false; // its first half of references are keys
    };
    const std::uint16_t unmeasured = 0;
    const std::uint16_t measuring = 0xffff; // met again while measuring: a cycle
    std::vector<std::uint16_t> height(count, unmeasured);
    std::vector<std::uint32_t> nodes(count, 0);
    std::vector<Frame> path;
    // libplist asserts that a key read back is as long as its C string, and
    // aborts the process for a UTF-16 key with a zero character; an ASCII
    // one it silently cuts at the zero. Keys are checked once each.
    std::vector<bool> keyChecked(count, false);
    auto checkKey = [&](std::uint64_t object) {
        if (keyChecked[object]) {
            return;
        }
        keyChecked[object] = true;
        std::uint64_t at = bigEndian(bytes, table + object * offsetWidth, offsetWidth);
        unsigned marker = at < table ? static_cast<unsigned char>(bytes[at]) : 0;
        if (marker >> 4 != 0x5 && marker >> 4 != 0x6) {
            return; // not text: libplist refuses such a key itself
        }
        const std::uint64_t unit = marker >> 4 == 0x6 ? 2 : 1;
        std::uint64_t length = marker & 0xf;
        std::uint64_t start = at + 1;
        if (length == 0xf) {
            unsigned size = start < table ? static_cast<unsigned char>(bytes[start]) : 0;
            unsigned width = 1u << (size & 0xf);
            if (size >> 4 != 1 || width > 8 || start + 1 + width > table) {
                return; // libplist refuses a malformed length
            }
            length = bigEndian(bytes, start + 1, width);
            start += 1 + width;
        }
        length = std::min(length, (table - start) / unit);
        for (std::uint64_t i = 0; i < length; ++i) {
            if (bigEndian(bytes, start + i * unit, static_cast<unsigned>(unit)) == 0) {
                fail("a dictionary key holds a zero character");
            }
        }
    };
    auto enter = [&](std::uint64_t object) {
        if (path.size() + 1 > deepestInFile) {
            fail(tooDeep);
        }
        Frame frame{object};
        std::uint64_t at = bigEndian(bytes, table + object * offsetWidth, offsetWidth);
        if (at >= table) {
            failAt(table + object * offsetWidth,
                   "object " + std::to_string(object) + " lies past the objects");
        }
        unsigned kind = static_cast<unsigned char>(bytes[at]) >> 4;
        if (kind == 0xa || kind == 0xc || kind == 0xd) {
            frame.number = static_cast<unsigned char>(bytes[at]) & 0xf;
            frame.refs = at + 1;
            if (frame.number == 0xf) {
                unsigned size =
                    frame.refs < table ? static_cast<unsigned char>(bytes[frame.refs]) : 0;
                unsigned width = 1u << (size & 0xf);
                if (size >> 4 != 1 || width > 8 || frame.refs + 1 + width > table) {
                    failAt(at, "the container's size is malformed");
                }
                frame.number = bigEndian(bytes, frame.refs + 1, width);
                frame.refs += 1 + width;
            }
            frame.dictionary = kind == 0xd;
            if (frame.number > table || (kind == 0xd && (frame.number *= 2) > table) ||
                frame.number > (table - frame.refs) / refWidth) {
                failAt(at, "the container holds more references than its bytes");
            }
        }
        height[object] = measuring;
        path.push_back(frame);
    };
    auto addChild = [&](Frame &parent, std::uint64_t childHeight, std::uint64_t childNodes) {
        parent.height = std::max(parent.height, childHeight + 1);
        parent.nodes += childNodes;
        if (parent.nodes > mostNodes) {
            fail("refers to its objects too often to be read");
        }
    };
    enter(top);
    while (!path.empty()) {
        Frame &frame = path.back();
        if (frame.next < frame.number) {
            bool isKey = frame.dictionary && frame.next < frame.number / 2;
            std::uint64_t refAt = frame.refs + frame.next++ * refWidth;
            std::uint64_t child = bigEndian(bytes, refAt, refWidth);
            if (child >= count) {
                failAt(refAt, "a reference to object " + std::to_string(child) + " of " +
                                  std::to_string(count));
            }
            if (height[child] == measuring) {
                failAt(refAt, "a container that holds itself");
            }
            if (isKey) {
                checkKey(child);
            }
            if (height[child] == unmeasured) {
                enter(child);
            } else if (path.size() + height[child] > deepestInFile) {
                fail(tooDeep);
            } else {
                addChild(frame, height[child], nodes[child]);
            }
            continue;
        }
        Frame done = frame;
        path.pop_back();
        height[done.object] = static_cast<std::uint16_t>(done.height);
        nodes[done.object] = static_cast<std::uint32_t>(done.nodes);
        if (!path.empty()) {
            addChild(path.back(), done.height, done.nodes);
        }
    }
}

template <class Check>
std::optional<std::string> problemOf(Check check)
{
    try {
        check();
        return std::nullopt;
    } catch (const ShapeFailure &failure) {
        return failure.message;
    }
}

} // namespace

std::optional<std::string> xmlShapeProblem(std::string_view text)
{
    // XML has no zero character, and libplist reads a text that holds one
    // byte as something else: a key cut short, a string padded with zeros.
    if (text.find('\0') != std::string_view::npos) {
        return std::string("holds a zero byte, which XML does not allow");
    }
    return problemOf([text] { checkXmlNesting(text); });
}

std::optional<std::string> binaryShapeProblem(std::string_view bytes)
{
    return problemOf([bytes] { checkBinaryShape(bytes); });
}

} // namespace snapshot
