#include "explain/input/scalar_values.h"

namespace explain {

PropertyValue readData(CFDataRef data)
{
    PropertyValue result;
    result.kind = PropertyValue::Kind::data;
    CFIndex length = CFDataGetLength(data);
    const UInt8 *bytes = CFDataGetBytePtr(data);
    result.length = length > 0 ? length : 0;
    if (length > 0 && bytes != nullptr) {
        result.bytes.assign(bytes, bytes + length);
    }
    return result;
}

PropertyValue readNumber(CFNumberRef number)
{
    PropertyValue result;
    long long integer = 0;
    CFNumberGetValue(number, kCFNumberLongLongType, &integer);
    result.integer = integer;
    if (CFNumberIsFloatType(number)) {
        double real = 0.0;
        CFNumberGetValue(number, kCFNumberDoubleType, &real);
        result.kind = PropertyValue::Kind::real;
        result.real = real;
    } else {
        result.kind = PropertyValue::Kind::integer;
    }
    return result;
}

} // namespace explain
