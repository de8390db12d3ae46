#include "explain/analysis/object_list.h"

namespace explain {

namespace {

constexpr std::int64_t largestObject = 0xffffffffLL;

std::uint32_t littleEndian(const std::vector<std::uint8_t> &bytes, std::size_t at,
                           std::size_t width)
{
    std::uint32_t object = 0;
    for (std::size_t i = 0; i < width; ++i) {
        object |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    }
    return object;
}

std::string hexObject(std::uint32_t object)
{
    static const char digits[] = "0123456789abcdef";
    std::string text = "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        text += digits[(object >> shift) & 0xfU];
    }
    return text;
}

std::int64_t wholeLength(const PropertyValue &value)
{
    const auto known = static_cast<std::int64_t>(value.bytes.size());
    return value.length < known ? known : value.length;
}

constexpr std::int64_t smallestSignExtended = -0x80000000LL;

// A number read as one object, or why it is not one. A 32-bit object with
// bit 31 set is often stored sign-extended, as a negative 64-bit number:
// that number is the object, and a note says how it was read.
bool numberObject(const PropertyValue &value, std::uint32_t &object, std::string &whyNot,
                  std::vector<std::string> &notes)
{
    if (value.integer < 0) {
        if (value.kind != PropertyValue::Kind::integer || value.integer < smallestSignExtended) {
            whyNot = "a negative number is not a 32-bit object";
            return false;
        }
        object = static_cast<std::uint32_t>(static_cast<std::uint64_t>(value.integer));
        notes.push_back("the negative number " + std::to_string(value.integer) +
                        " is read as the sign-extended 32-bit object " + hexObject(object));
        return true;
    }
    if (value.integer > largestObject) {
        whyNot = "a number past 32 bits is not a 32-bit object";
        return false;
    }
    object = static_cast<std::uint32_t>(value.integer);
    return true;
}

bool isNumber(const PropertyValue &value)
{
    return value.kind == PropertyValue::Kind::integer || value.kind == PropertyValue::Kind::real;
}

ObjectList notAList(std::string why)
{
    ObjectList list;
    list.whyNot = std::move(why);
    return list;
}

void noteReal(const PropertyValue &value, ObjectList &list)
{
    if (value.kind == PropertyValue::Kind::real) {
        list.missing.push_back("a real number, read as the whole number portprobe's report "
                               "shows for it (" +
                               std::to_string(value.integer) + ")");
    }
}

} // namespace

std::string kindWords(const PropertyValue &value)
{
    switch (value.kind) {
    case PropertyValue::Kind::data:
        return "data of " + std::to_string(wholeLength(value)) + " bytes";
    case PropertyValue::Kind::integer: return "a number";
    case PropertyValue::Kind::real: return "a real number";
    case PropertyValue::Kind::string: return "a string";
    case PropertyValue::Kind::unconvertibleString: return "an unconvertible string";
    case PropertyValue::Kind::boolean: return "a boolean";
    case PropertyValue::Kind::dictionary: return "a dictionary";
    case PropertyValue::Kind::array: return "an array";
    case PropertyValue::Kind::other: break;
    }
    return "a value of type " + std::to_string(value.typeId);
}

ObjectList readObjectList(const PropertyValue &value)
{
    if (value.kind == PropertyValue::Kind::data) {
        const std::int64_t length = wholeLength(value);
        if (length % 4 != 0) {
            return notAList(kindWords(value) +
                            " is not a list of 32-bit objects: its length is not a multiple of 4");
        }
        ObjectList list;
        list.fits = true;
        list.total = static_cast<std::size_t>(length / 4);
        const std::size_t known = value.bytes.size() / 4;
        for (std::size_t i = 0; i < known; ++i) {
            list.objects.push_back(littleEndian(value.bytes, 4 * i, 4));
        }
        if (known < list.total) {
            list.missing.push_back("bytes " + std::to_string(4 * known + 1) + " to " +
                                   std::to_string(length) +
                                   " are not in the report: " + std::to_string(known) + " of its " +
                                   std::to_string(list.total) + " objects are decoded");
        }
        return list;
    }
    if (isNumber(value)) {
        ObjectList list;
        std::uint32_t object = 0;
        if (!numberObject(value, object, list.whyNot, list.notes)) {
            return list;
        }
        list.fits = true;
        list.total = 1;
        list.objects.push_back(object);
        noteReal(value, list);
        return list;
    }
    if (value.kind != PropertyValue::Kind::array) {
        return notAList(kindWords(value) + " is not a list of 32-bit objects");
    }
    if (!value.contentsKnown && value.count > 0) {
        return notAList("an array whose " + std::to_string(value.count) +
                        " items are not in the report");
    }
    ObjectList list;
    for (std::size_t i = 0; i < value.items.size(); ++i) {
        const PropertyValue &item = value.items[i];
        const std::string which = "item " + std::to_string(i + 1) + " of the array";
        if (item.kind == PropertyValue::Kind::data) {
            if (wholeLength(item) != 4 || item.bytes.size() != 4) {
                return notAList(which + " is " + kindWords(item) + ", not one 32-bit object");
            }
            list.objects.push_back(littleEndian(item.bytes, 0, 4));
        } else if (item.kind == PropertyValue::Kind::integer) {
            std::uint32_t object = 0;
            std::string whyNot;
            if (!numberObject(item, object, whyNot, list.notes)) {
                return notAList(which + ": " += whyNot);
            }
            list.objects.push_back(object);
        } else {
            return notAList(which + " is " + kindWords(item) +
                            ", not 4-byte data or a number from 0 to 2^32-1");
        }
    }
    list.fits = true;
    list.total = list.objects.size();
    return list;
}

ObjectList readSvidList(const PropertyValue &value)
{
    ObjectList list;
    auto addVdo = [&list](std::uint32_t vdo) {
        if ((vdo >> 16) != 0) {
            list.objects.push_back(vdo >> 16);
        }
        if ((vdo & 0xffffU) != 0) {
            list.objects.push_back(vdo & 0xffffU);
        }
    };
    // One item (or the whole value): true when it reads as SVIDs.
    auto addItem = [&](const PropertyValue &item, const std::string &which) {
        if (item.kind == PropertyValue::Kind::data) {
            const std::int64_t length = wholeLength(item);
            if (length == 2 && item.bytes.size() == 2) {
                list.objects.push_back(littleEndian(item.bytes, 0, 2));
                return true;
            }
            if (length > 0 && length % 4 == 0) {
                for (std::size_t at = 0; at + 4 <= item.bytes.size(); at += 4) {
                    addVdo(littleEndian(item.bytes, at, 4));
                }
                if (static_cast<std::int64_t>(item.bytes.size()) < length) {
                    list.missing.push_back("bytes " + std::to_string(item.bytes.size() + 1) +
                                           " to " + std::to_string(length) +
                                           " are not in the report");
                }
                return true;
            }
            list.whyNot = which + kindWords(item) + " is not 2-byte or 4-byte SVID data";
            return false;
        }
        if (item.kind == PropertyValue::Kind::integer || item.kind == PropertyValue::Kind::real) {
            std::uint32_t object = 0;
            if (!numberObject(item, object, list.whyNot, list.notes)) {
                list.whyNot = which + list.whyNot;
                return false;
            }
            if (object <= 0xffffU) {
                list.objects.push_back(object);
            } else {
                addVdo(object);
            }
            noteReal(item, list);
            return true;
        }
        list.whyNot = which + kindWords(item) + " is not an SVID";
        return false;
    };
    if (value.kind == PropertyValue::Kind::array) {
        if (!value.contentsKnown && value.count > 0) {
            return notAList("an array whose " + std::to_string(value.count) +
                            " items are not in the report");
        }
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            if (!addItem(value.items[i], "item " + std::to_string(i + 1) + " of the array: ")) {
                list.objects.clear();
                return list;
            }
        }
    } else if (!addItem(value, "")) {
        list.objects.clear();
        return list;
    }
    list.fits = true;
    list.total = list.objects.size();
    return list;
}

} // namespace explain
