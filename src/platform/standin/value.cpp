#include "platform/standin/value.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "platform/standin/utf.h"

namespace standin {

ValuePtr makeData(Bytes bytes) { return std::make_shared<Value>(Value{std::move(bytes)}); }

ValuePtr makeInteger(std::int64_t value)
{
    Number number;
    number.integer = value;
    return std::make_shared<Value>(Value{number});
}

ValuePtr makeUnsigned(std::uint64_t value)
{
    std::int64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return makeInteger(bits);
}

ValuePtr makeReal(double value)
{
    Number number;
    number.isReal = true;
    number.real = value;
    return std::make_shared<Value>(Value{number});
}

ValuePtr makeString(std::string_view utf8)
{
    auto units = utf16FromUtf8(utf8);
    if (!units) {
        throw std::invalid_argument("string value is not valid UTF-8");
    }
    return makeUtf16String(std::move(*units));
}

ValuePtr makeUtf16String(std::u16string units)
{
    return std::make_shared<Value>(Value{std::move(units)});
}

ValuePtr makeDictionary(DictionaryItems items)
{
    return std::make_shared<Value>(Value{std::move(items)});
}

ValuePtr makeDictionary(std::vector<std::pair<std::string, ValuePtr>> items)
{
    DictionaryItems converted;
    converted.reserve(items.size());
    for (auto &item : items) {
        converted.emplace_back(makeString(item.first), std::move(item.second));
    }
    return makeDictionary(std::move(converted));
}

ValuePtr makeArray(ArrayItems items) { return std::make_shared<Value>(Value{std::move(items)}); }

ValuePtr makeSet(ArrayItems members)
{
    SetItems set;
    for (auto &member : members) {
        bool repeated =
            std::any_of(set.members.begin(), set.members.end(),
                        [&](const ValuePtr &kept) { return equalKeys(*kept, *member); });
        if (!repeated) {
            set.members.push_back(std::move(member));
        }
    }
    return std::make_shared<Value>(Value{std::move(set)});
}

ValuePtr makeBoolean(bool value) { return std::make_shared<Value>(Value{value}); }

ValuePtr makeDate(double secondsSince2001)
{
    return std::make_shared<Value>(Value{Date{secondsSince2001}});
}

CFTypeID typeIdOf(Kind kind)
{
    switch (kind) {
    case Kind::string: return 7;
    case Kind::dictionary: return 18;
    case Kind::array: return 19;
    case Kind::data: return 20;
    case Kind::boolean: return 21;
    case Kind::number: return 22;
    case Kind::date: return 42;
    case Kind::set: return 17;
    }
    return 0;
}

const char *kindName(Kind kind)
{
    switch (kind) {
    case Kind::data: return "data";
    case Kind::number: return "number";
    case Kind::string: return "string";
    case Kind::dictionary: return "dictionary";
    case Kind::array: return "array";
    case Kind::boolean: return "boolean";
    case Kind::date: return "date";
    case Kind::set: return "set";
    }
    return "?";
}

std::string describeValue(const Value &value)
{
    std::string text = kindName(value.kind());
    if (const auto *units = value.as<std::u16string>()) {
        std::string shown = utf8ForDisplay(*units);
        if (shown.size() > 40) {
            shown = shown.substr(0, 40) + "...";
        }
        text += " \"" + shown + "\"";
    } else if (const auto *bytes = value.as<Bytes>()) {
        text += " of " + std::to_string(bytes->size()) + " bytes";
    }
    return text;
}

ValuePtr StringCache::find(std::string_view utf8)
{
    if (slots_.empty()) {
        slots_.resize(slotCount);
    }
    // Eight bytes at a time: keys are short, and this is far cheaper than
    // any conversion. The top bits, which every byte reaches, pick the slot.
    std::uint64_t hash = utf8.size() * 0x9e3779b97f4a7c15ULL;
    for (std::size_t at = 0; at < utf8.size(); at += 8) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, utf8.data() + at, std::min<std::size_t>(8, utf8.size() - at));
        hash = (hash ^ chunk) * 0xff51afd7ed558ccdULL;
    }
    const std::size_t mask = slotCount - 1;
    const auto first = static_cast<std::size_t>(hash >> (64 - slotBits));
    std::size_t at = first;
    for (; slots_[at].value; at = (at + 1) & mask) {
        if (slots_[at].text == utf8) {
            return slots_[at].value;
        }
    }
    auto units = utf16FromUtf8(utf8);
    if (!units) {
        return nullptr; // not kept: such a text is never a useful key
    }
    ValuePtr made = makeUtf16String(std::move(*units));
    if (count_ == mostTexts) {
        // Starting afresh is rare, and keeps every lookup short.
        for (Slot &slot : slots_) {
            slot = Slot();
        }
        count_ = 0;
        at = first;
    }
    slots_[at].text.assign(utf8.data(), utf8.size());
    slots_[at].value = made;
    ++count_;
    return made;
}

namespace {

struct Target {
    bool isReal;
    std::size_t size;
    bool isSigned;
};

Target targetOf(CFNumberType type)
{
    switch (type) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType: return {false, 1, true};
    case kCFNumberSInt16Type:
    case kCFNumberShortType: return {false, 2, true};
    case kCFNumberSInt32Type:
    case kCFNumberIntType: return {false, 4, true};
    case kCFNumberFloat32Type:
    case kCFNumberFloatType: return {true, 4, true};
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType: return {true, 8, true};
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType: return {false, 8, true};
    }
    return {false, 0, true};
}

// Truncates toward zero and saturates; reports whether that was exact.
std::int64_t integerFromReal(double real, bool &exact)
{
    if (std::isnan(real)) {
        exact = false;
        return 0;
    }
    const double lowest = -9223372036854775808.0; // -2^63, exactly representable
    if (real < lowest) {
        exact = false;
        return std::numeric_limits<std::int64_t>::min();
    }
    if (real >= -lowest) {
        exact = false;
        return std::numeric_limits<std::int64_t>::max();
    }
    double truncated = std::trunc(real);
    exact = truncated == real;
    return static_cast<std::int64_t>(truncated);
}

template <class T>
bool storeInteger(std::int64_t value, bool exact, void *out)
{
    T narrowed;
    if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min())) {
        narrowed = std::numeric_limits<T>::min();
        exact = false;
    } else if (value > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
        narrowed = std::numeric_limits<T>::max();
        exact = false;
    } else {
        narrowed = static_cast<T>(value);
    }
    std::memcpy(out, &narrowed, sizeof narrowed);
    return exact;
}

} // namespace

bool convertNumber(const Number &number, CFNumberType type, void *out)
{
    Target target = targetOf(type);
    if (target.size == 0 || out == nullptr) {
        return false;
    }
    if (target.isReal) {
        double real = number.isReal ? number.real : static_cast<double>(number.integer);
        // 2^63 is the one double that an int64 can round to but not hold.
        bool exact = number.isReal || (real < 9223372036854775808.0 &&
                                       static_cast<std::int64_t>(real) == number.integer);
        if (target.size == 4) {
            const double largest = std::numeric_limits<float>::max();
            double clamped = std::isfinite(real) && std::fabs(real) > largest
                                 ? std::copysign(largest, real)
                                 : real;
            auto single = static_cast<float>(clamped);
            std::memcpy(out, &single, sizeof single);
            return exact && (std::isnan(real) || static_cast<double>(single) == real);
        }
        std::memcpy(out, &real, sizeof real);
        return exact;
    }
    bool exact = true;
    std::int64_t value = number.isReal ? integerFromReal(number.real, exact) : number.integer;
    switch (target.size) {
    case 1: return storeInteger<std::int8_t>(value, exact, out);
    case 2: return storeInteger<std::int16_t>(value, exact, out);
    case 4: return storeInteger<std::int32_t>(value, exact, out);
    default: return storeInteger<std::int64_t>(value, exact, out);
    }
}

bool equalKeys(const Value &a, const Value &b)
{
    if (&a == &b) {
        return true;
    }
    const auto *first = a.as<Number>();
    const auto *second = b.as<Number>();
    if (first != nullptr && second != nullptr) {
        if (first->isReal != second->isReal) {
            const Number &real = first->isReal ? *first : *second;
            const Number &integer = first->isReal ? *second : *first;
            bool exact = false;
            std::int64_t truncated = integerFromReal(real.real, exact);
            return exact && truncated == integer.integer;
        }
        return first->isReal ? first->real == second->real : first->integer == second->integer;
    }
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case Kind::data: return *a.as<Bytes>() == *b.as<Bytes>();
    case Kind::string: return *a.as<std::u16string>() == *b.as<std::u16string>();
    case Kind::boolean: return *a.as<bool>() == *b.as<bool>();
    case Kind::date: return a.as<Date>()->secondsSince2001 == b.as<Date>()->secondsSince2001;
    default: return false;
    }
}

} // namespace standin
