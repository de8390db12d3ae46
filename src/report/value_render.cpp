#include "report/value_render.h"

#include <cstdio>

namespace {

const CFIndex dataBytesShown = 128;
const CFIndex dataBytesPerLine = 16;
const CFIndex stringBufferSize = 512;

void printData(CFDataRef data)
{
    CFIndex length = CFDataGetLength(data);
    printf("<data %ld bytes> ", length);
    const UInt8 *bytes = CFDataGetBytePtr(data);
    // A non-empty value always has its bytes; refuse to read through a null
    // pointer all the same rather than crash on a broken value.
    if (length > 0 && bytes != NULL) {
        CFIndex shown = length < dataBytesShown ? length : dataBytesShown;
        printf("%02x ", (unsigned int)bytes[0]);
        for (CFIndex i = 1; i < shown; i++) {
            if (i % dataBytesPerLine == 0) {
                printf("\n        ");
            }
            printf("%02x ", (unsigned int)bytes[i]);
        }
        if (length > dataBytesShown) {
            printf("... (%ld total)", length);
        }
    }
    printf("\n");
}

void printNumber(CFNumberRef number)
{
    // The conversion's exactness flag is deliberately ignored: a fractional or
    // out-of-range number shows whatever integer the conversion produced.
    long long value = 0;
    CFNumberGetValue(number, kCFNumberLongLongType, &value);
    printf("%lld (0x%llx)\n", value, (unsigned long long)value);
}

void printString(CFStringRef string)
{
    char text[stringBufferSize];
    if (convertText(string, text, stringBufferSize)) {
        printf("\"%s\"\n", text);
    } else {
        printf("<unconvertible string>\n");
    }
}

} // namespace

void printPropertyValue(CFTypeRef value)
{
    CFTypeID type = CFGetTypeID(value);
    if (type == CFDataGetTypeID()) {
        printData((CFDataRef)value);
    } else if (type == CFNumberGetTypeID()) {
        printNumber((CFNumberRef)value);
    } else if (type == CFStringGetTypeID()) {
        printString((CFStringRef)value);
    } else if (type == CFDictionaryGetTypeID()) {
        printf("<dict with %ld keys>\n", CFDictionaryGetCount((CFDictionaryRef)value));
    } else if (type == CFArrayGetTypeID()) {
        printf("<array with %ld items>\n", CFArrayGetCount((CFArrayRef)value));
    } else {
        printf("<type %lu>\n", type);
    }
}

bool convertText(CFStringRef value, char *buffer, CFIndex limit)
{
    buffer[0] = '\0';
    return CFStringGetCString(value, buffer, limit, kCFStringEncodingUTF8);
}
