// The CoreFoundation entry points of the stand-in.
#include <algorithm>
#include <cstring>

#include "platform/standin/cf_api.h"
#include "platform/standin/guarded.h"
#include "platform/standin/utf.h"

using standin::guarded;
using standin::Kind;
using standin::Value;
using standin::world;

namespace {

// The live value behind ref when it is of the expected kind; otherwise null,
// with the misuse recorded (the system's functions would crash or assert).
const Value *valueOfKind(CFTypeRef ref, Kind kind, const char *operation)
{
    const Value *value = world().references.value(ref, operation);
    if (value != nullptr && value->kind() != kind) {
        world().references.misuse(std::string(operation) + ": " + world().references.nameOf(ref) +
                                  " is not a " + standin::kindName(kind) + " value");
        return nullptr;
    }
    return value;
}

bool isDefaultAllocator(CFAllocatorRef allocator) { return allocator == kCFAllocatorDefault; }

// How a fault rule and the call log name a dictionary key.
std::string keyText(const Value &key)
{
    if (const auto *units = key.as<std::u16string>()) {
        return standin::utf8ForDisplay(*units);
    }
    return standin::describeValue(key);
}

} // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    return guarded("CFGetTypeID", CFTypeID{0}, [&] {
        const Value *value = world().references.value(cf, "CFGetTypeID");
        return value == nullptr ? CFTypeID{0} : standin::typeIdOf(value->kind());
    });
}

CFTypeRef CFRetain(CFTypeRef cf)
{
    return guarded("CFRetain", cf, [&] {
        world().references.retainValue(cf, "CFRetain");
        return cf;
    });
}

void CFRelease(CFTypeRef cf)
{
    standin::guardedVoid("CFRelease", [&] { world().references.releaseValue(cf, "CFRelease"); });
}

CFTypeID CFDataGetTypeID(void) { return standin::typeIdOf(Kind::data); }
CFTypeID CFNumberGetTypeID(void) { return standin::typeIdOf(Kind::number); }
CFTypeID CFStringGetTypeID(void) { return standin::typeIdOf(Kind::string); }
CFTypeID CFDictionaryGetTypeID(void) { return standin::typeIdOf(Kind::dictionary); }
CFTypeID CFArrayGetTypeID(void) { return standin::typeIdOf(Kind::array); }
CFTypeID CFBooleanGetTypeID(void) { return standin::typeIdOf(Kind::boolean); }
CFTypeID CFDateGetTypeID(void) { return standin::typeIdOf(Kind::date); }
CFTypeID CFSetGetTypeID(void) { return standin::typeIdOf(Kind::set); }

CFIndex CFDataGetLength(CFDataRef theData)
{
    return guarded("CFDataGetLength", CFIndex{0}, [&] {
        const Value *value = valueOfKind(theData, Kind::data, "CFDataGetLength");
        return value == nullptr ? CFIndex{0}
                                : static_cast<CFIndex>(value->as<standin::Bytes>()->size());
    });
}

const UInt8 *CFDataGetBytePtr(CFDataRef theData)
{
    return guarded("CFDataGetBytePtr", static_cast<const UInt8 *>(nullptr), [&] {
        const Value *value = valueOfKind(theData, Kind::data, "CFDataGetBytePtr");
        return value == nullptr ? nullptr : value->as<standin::Bytes>()->data();
    });
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void *valuePtr)
{
    return guarded("CFNumberGetValue", Boolean{0}, [&] {
        const Value *value = valueOfKind(number, Kind::number, "CFNumberGetValue");
        if (value == nullptr) {
            return Boolean{0};
        }
        return Boolean{standin::convertNumber(*value->as<standin::Number>(), theType, valuePtr)};
    });
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    return guarded("CFNumberIsFloatType", Boolean{0}, [&] {
        const Value *value = valueOfKind(number, Kind::number, "CFNumberIsFloatType");
        return Boolean{value != nullptr && value->as<standin::Number>()->isReal};
    });
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    return guarded("CFBooleanGetValue", Boolean{0}, [&] {
        const Value *value = valueOfKind(boolean, Kind::boolean, "CFBooleanGetValue");
        return Boolean{value != nullptr && *value->as<bool>()};
    });
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char *cStr,
                                      CFStringEncoding encoding)
{
    return guarded(
        "CFStringCreateWithCString", static_cast<CFStringRef>(nullptr), [&]() -> CFStringRef {
            auto &w = world();
            if (!isDefaultAllocator(alloc) || cStr == nullptr) {
                w.references.misuse("CFStringCreateWithCString: null text or unknown allocator");
                return nullptr;
            }
            if (w.faults.check(standin::Call::keyStringCreate, 0,
                               [cStr] { return std::string(cStr); })) {
                return nullptr;
            }
            std::string_view text(cStr);
            if (encoding == kCFStringEncodingASCII) {
                for (char c : text) {
                    if (static_cast<unsigned char>(c) >= 0x80) {
                        return nullptr;
                    }
                }
            } else if (encoding != kCFStringEncodingUTF8) {
                return nullptr;
            }
            standin::ValuePtr string = w.strings.find(text);
            if (!string) {
                return nullptr;
            }
            return static_cast<CFStringRef>(w.references.addValue(
                std::move(string), standin::Origin("CFStringCreateWithCString")));
        });
}

Boolean CFStringGetCString(CFStringRef theString, char *buffer, CFIndex bufferSize,
                           CFStringEncoding encoding)
{
    return guarded("CFStringGetCString", Boolean{0}, [&] {
        const Value *value = valueOfKind(theString, Kind::string, "CFStringGetCString");
        if (value == nullptr || buffer == nullptr || bufferSize <= 0) {
            return Boolean{0};
        }
        const auto &units = *value->as<std::u16string>();
        std::string text;
        bool converted = false;
        if (encoding == kCFStringEncodingUTF8) {
            if (auto utf8 = standin::utf8FromUtf16(units)) {
                text = std::move(*utf8);
                converted = true;
            }
        } else if (encoding == kCFStringEncodingASCII) {
            converted =
                std::all_of(units.begin(), units.end(), [](char16_t c) { return c < 0x80; });
            if (converted) {
                text.assign(units.begin(), units.end());
            }
        }
        // The whole text and its terminator must fit: nothing is ever cut.
        if (!converted || static_cast<CFIndex>(text.size()) >= bufferSize) {
            return Boolean{0};
        }
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = '\0';
        return Boolean{1};
    });
}

CFIndex CFStringGetLength(CFStringRef theString)
{
    return guarded("CFStringGetLength", CFIndex{0}, [&] {
        const Value *value = valueOfKind(theString, Kind::string, "CFStringGetLength");
        return value == nullptr ? CFIndex{0}
                                : static_cast<CFIndex>(value->as<std::u16string>()->size());
    });
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    return guarded("CFDictionaryGetCount", CFIndex{0}, [&] {
        const Value *value = valueOfKind(theDict, Kind::dictionary, "CFDictionaryGetCount");
        return value == nullptr
                   ? CFIndex{0}
                   : static_cast<CFIndex>(value->as<standin::DictionaryItems>()->size());
    });
}

const void *CFDictionaryGetValue(CFDictionaryRef theDict, const void *key)
{
    const char *operation = "CFDictionaryGetValue";
    return guarded(operation, static_cast<const void *>(nullptr), [&]() -> const void * {
        auto &w = world();
        const Value *dictionary = valueOfKind(theDict, Kind::dictionary, operation);
        if (dictionary == nullptr) {
            return nullptr;
        }
        // The system compares keys with CFEqual, which dereferences them.
        const Value *wanted = w.references.value(key, operation);
        if (wanted == nullptr) {
            return nullptr;
        }
        if (w.faults.check(standin::Call::dictionaryLookup, w.references.entryOf(theDict),
                           [wanted] { return keyText(*wanted); })) {
            return nullptr;
        }
        for (const auto &item : *dictionary->as<standin::DictionaryItems>()) {
            if (standin::equalKeys(*item.first, *wanted)) {
                return w.references.itemOf(theDict, item.second,
                                           standin::Origin(operation, 0, item.first));
            }
        }
        return nullptr;
    });
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void **keys, const void **values)
{
    const char *operation = "CFDictionaryGetKeysAndValues";
    standin::guardedVoid(operation, [&] {
        auto &w = world();
        const Value *dictionary = valueOfKind(theDict, Kind::dictionary, operation);
        if (dictionary == nullptr) {
            return;
        }
        // Both buffers hold CFDictionaryGetCount() pointers; either may be
        // null when its half is not wanted. Keys and values are the
        // dictionary's, by the Get rule.
        std::size_t at = 0;
        for (const auto &item : *dictionary->as<standin::DictionaryItems>()) {
            if (keys != nullptr) {
                keys[at] = w.references.itemOf(theDict, item.first, standin::Origin(operation));
            }
            if (values != nullptr) {
                values[at] = w.references.itemOf(theDict, item.second,
                                                 standin::Origin(operation, 0, item.first));
            }
            ++at;
        }
    });
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    return guarded("CFArrayGetCount", CFIndex{0}, [&] {
        const Value *value = valueOfKind(theArray, Kind::array, "CFArrayGetCount");
        return value == nullptr ? CFIndex{0}
                                : static_cast<CFIndex>(value->as<standin::ArrayItems>()->size());
    });
}

const void *CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
    const char *operation = "CFArrayGetValueAtIndex";
    return guarded(operation, static_cast<const void *>(nullptr), [&]() -> const void * {
        auto &w = world();
        const Value *array = valueOfKind(theArray, Kind::array, operation);
        if (array == nullptr) {
            return nullptr;
        }
        const auto &items = *array->as<standin::ArrayItems>();
        // The system asserts, or reads past the array, on such an index.
        if (idx < 0 || static_cast<std::size_t>(idx) >= items.size()) {
            w.references.misuse(std::string(operation) + ": index " + std::to_string(idx) +
                                " is outside " + w.references.nameOf(theArray) + " of " +
                                std::to_string(items.size()) + " items");
            return nullptr;
        }
        return w.references.itemOf(theArray, items[static_cast<std::size_t>(idx)],
                                   standin::Origin(operation));
    });
}

CFIndex CFSetGetCount(CFSetRef theSet)
{
    return guarded("CFSetGetCount", CFIndex{0}, [&] {
        const Value *value = valueOfKind(theSet, Kind::set, "CFSetGetCount");
        return value == nullptr
                   ? CFIndex{0}
                   : static_cast<CFIndex>(value->as<standin::SetItems>()->members.size());
    });
}

void CFSetGetValues(CFSetRef theSet, const void **values)
{
    const char *operation = "CFSetGetValues";
    standin::guardedVoid(operation, [&] {
        auto &w = world();
        const Value *set = valueOfKind(theSet, Kind::set, operation);
        if (set == nullptr) {
            return;
        }
        // The system writes CFSetGetCount() pointers there, whatever it is.
        if (values == nullptr) {
            w.references.misuse(std::string(operation) + ": a null buffer for the members of " +
                                w.references.nameOf(theSet));
            return;
        }
        std::size_t at = 0;
        for (const auto &member : set->as<standin::SetItems>()->members) {
            values[at++] = w.references.itemOf(theSet, member, standin::Origin(operation));
        }
    });
}

CFStringRef PortprobeStandinConstantString(const char *cStr)
{
    return guarded("CFSTR", static_cast<CFStringRef>(nullptr),
                   [&] { return world().references.constantString(cStr); });
}

} // extern "C"
