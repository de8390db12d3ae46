// The stand-in's values as the program reads them: strings as UTF-16 code
// units, numbers converted to C types, data bytes and the type of each kind.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>

#include "support/report_fixture.h"

namespace {

class StandinValuesTest : public testing_support::StandinTest {
protected:
    // The value as the program receives it: a property read from an entry
    // found by class. The caller releases it.
    CFTypeRef fetched(standin::ValuePtr value)
    {
        std::string className = "Holder" + std::to_string(++holders_);
        standin::setProperty(standin::addEntry(className, "holder"), "Value", std::move(value));
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(IOServiceGetMatchingServices(kIOMainPortDefault,
                                               IOServiceMatching(className.c_str()), &it),
                  KERN_SUCCESS);
        io_object_t entry = IOIteratorNext(it);
        CFTypeRef read =
            IORegistryEntryCreateCFProperty(entry, CFSTR("Value"), kCFAllocatorDefault, 0);
        IOObjectRelease(entry);
        IOObjectRelease(it);
        EXPECT_NE(read, nullptr);
        return read;
    }

    // The number read as a long long; exact receives CFNumberGetValue's result.
    long long asLongLong(standin::ValuePtr value, bool &exact)
    {
        CFTypeRef number = fetched(std::move(value));
        long long out = 12345;
        exact =
            CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberLongLongType, &out) != 0;
        CFRelease(number);
        return out;
    }

    // The string's UTF-8 form, read with the given buffer size, or "<failed>".
    static std::string utf8(CFTypeRef string, CFIndex bufferSize)
    {
        std::string buffer(static_cast<std::size_t>(bufferSize) + 8, '#');
        if (!CFStringGetCString(static_cast<CFStringRef>(string), &buffer[0], bufferSize,
                                kCFStringEncodingUTF8)) {
            EXPECT_EQ(buffer[0], '#'); // no partial text
            return "<failed>";
        }
        EXPECT_EQ(buffer[static_cast<std::size_t>(bufferSize)], '#'); // nothing past the buffer
        return buffer.substr(0, buffer.find('\0'));
    }

    int holders_ = 0;
};

TEST_F(StandinValuesTest, CStringsOfInvalidUtf8AreRefused)
{
    for (const char *invalid :
         {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF", // overlong
          "\xED\xA0\x80", "\xED\xBF\xBF",                             // surrogates
          "\xE2\x82", "ok\xF0\x9F\x98", "\xC3",                       // truncated
          "\xF4\x90\x80\x80", "\xF7\xBF\xBF\xBF",                     // > U+10FFFF
          "\x80", "a\xBF", "\xF8\x88\x80\x80\x80", "\xFF"}) {
        EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, invalid, kCFStringEncodingUTF8),
                  nullptr)
            << invalid;
    }
    EXPECT_EQ(CFStringCreateWithCString(kCFAllocatorDefault, "caf\xC3\xA9", kCFStringEncodingASCII),
              nullptr);

    // The first and last character of each sequence length read back as they were.
    for (const char *text : {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                             "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        CFStringRef string =
            CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
        ASSERT_NE(string, nullptr) << text;
        EXPECT_EQ(utf8(string, 16), text);
        CFRelease(string);
    }
}

TEST_F(StandinValuesTest, CStringNeedsRoomForEveryByteAndTheTerminator)
{
    // 1 + 2 + 3 + 4 bytes; 5 code units; 4 characters.
    const std::string mixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    CFTypeRef string = fetched(standin::makeString(mixed));
    EXPECT_EQ(CFStringGetLength(static_cast<CFStringRef>(string)), 5);
    EXPECT_EQ(utf8(string, 11), mixed);
    EXPECT_EQ(utf8(string, 10), "<failed>");
    EXPECT_EQ(utf8(string, 6), "<failed>"); // room for the code units
    EXPECT_EQ(utf8(string, 5), "<failed>"); // room for the characters
    EXPECT_EQ(utf8(string, 0), "<failed>");
    CFRelease(string);

    CFTypeRef zeros = fetched(standin::makeUtf16String(std::u16string(u"a\0b", 3)));
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_FALSE(
        CFStringGetCString(static_cast<CFStringRef>(zeros), buffer, 3, kCFStringEncodingUTF8));
    ASSERT_TRUE(
        CFStringGetCString(static_cast<CFStringRef>(zeros), buffer, 4, kCFStringEncodingUTF8));
    EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0#", 5));
    CFRelease(zeros);

    for (const std::u16string &lone :
         {std::u16string(u"x\xD800"), std::u16string(u"\xDC00y"), std::u16string(u"\xDE00\xD83D"),
          std::u16string(u"\xD83D\xD83D")}) {
        CFTypeRef broken = fetched(standin::makeUtf16String(lone));
        EXPECT_EQ(utf8(broken, 64), "<failed>");
        CFRelease(broken);
    }
    CFTypeRef paired = fetched(standin::makeUtf16String(u"\xD83D\xDE00"));
    EXPECT_EQ(utf8(paired, 5), "\xF0\x9F\x98\x80");
    CFRelease(paired);
}

TEST_F(StandinValuesTest, NumbersReadAsLongLongTruncateAndSaturate)
{
    const long long most = std::numeric_limits<long long>::max();
    const long long least = std::numeric_limits<long long>::min();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        standin::ValuePtr value;
        long long expected;
        bool exact;
    } cases[] = {
        {standin::makeInteger(least), least, true},
        {standin::makeInteger(-5), -5, true},
        {standin::makeUnsigned(UINT64_MAX), -1, true},
        {standin::makeUnsigned(std::uint64_t{1} << 63), least, true},
        {standin::makeReal(2.9), 2, false},
        {standin::makeReal(-2.9), -2, false},
        {standin::makeReal(-0.5), 0, false},
        {standin::makeReal(4.0), 4, true},
        {standin::makeReal(-9223372036854775808.0), least, true},
        {standin::makeReal(9223372036854775808.0), most, false},
        {standin::makeReal(std::nan("")), 0, false},
        {standin::makeReal(inf), most, false},
        {standin::makeReal(-inf), least, false},
        {standin::makeReal(1e300), most, false},
        {standin::makeReal(-1e300), least, false},
    };
    for (const Case &c : cases) {
        bool exact = !c.exact;
        EXPECT_EQ(asLongLong(c.value, exact), c.expected) << c.expected;
        EXPECT_EQ(exact, c.exact) << c.expected;
    }

    // A narrower type saturates too, and writes only its own four bytes.
    const std::pair<standin::ValuePtr, std::int32_t> narrow[] = {
        {standin::makeInteger(std::int64_t{1} << 40), INT32_MAX},
        {standin::makeInteger(-(std::int64_t{1} << 40)), INT32_MIN},
        {standin::makeReal(1e10), INT32_MAX},
        {standin::makeReal(-inf), INT32_MIN}};
    for (const auto &[value, expected] : narrow) {
        CFTypeRef number = fetched(value);
        std::int32_t out[2] = {0, 0x5a5a5a5a};
        EXPECT_FALSE(CFNumberGetValue(static_cast<CFNumberRef>(number), kCFNumberSInt32Type, out));
        EXPECT_EQ(out[0], expected);
        EXPECT_EQ(out[1], 0x5a5a5a5a);
        CFRelease(number);
    }
    CFTypeRef small = fetched(standin::makeUnsigned(UINT64_MAX));
    std::int32_t out = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(small), kCFNumberSInt32Type, &out));
    EXPECT_EQ(out, -1);
    CFRelease(small);
}

TEST_F(StandinValuesTest, DataGivesItsLengthAndBytes)
{
    CFTypeRef data = fetched(testing_support::bytes({0x00, 0x80, 0xff}));
    ASSERT_EQ(CFDataGetLength(static_cast<CFDataRef>(data)), 3);
    const UInt8 *bytes = CFDataGetBytePtr(static_cast<CFDataRef>(data));
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x80);
    EXPECT_EQ(bytes[2], 0xff);
    CFRelease(data);

    CFTypeRef empty = fetched(testing_support::bytesOfLength(0));
    EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(empty)), 0);
    CFRelease(empty);
}

TEST_F(StandinValuesTest, EachKindHasItsOwnTypeId)
{
    const std::pair<standin::ValuePtr, CFTypeID> kinds[] = {
        {testing_support::bytes({1}), CFDataGetTypeID()},
        {standin::makeInteger(1), CFNumberGetTypeID()},
        {standin::makeReal(0.5), CFNumberGetTypeID()},
        {standin::makeString("s"), CFStringGetTypeID()},
        {standin::makeDictionary({{"k", standin::makeInteger(1)}}), CFDictionaryGetTypeID()},
        {standin::makeArray({standin::makeInteger(1), standin::makeInteger(2)}),
         CFArrayGetTypeID()},
        {standin::makeBoolean(true), CFBooleanGetTypeID()},
        {standin::makeDate(0.0), CFDateGetTypeID()}};
    std::set<CFTypeID> ids;
    for (const auto &[value, id] : kinds) {
        CFTypeRef read = fetched(value);
        EXPECT_EQ(CFGetTypeID(read), id);
        ids.insert(id);
        CFRelease(read);
    }
    EXPECT_EQ(ids.size(), 7U);
    EXPECT_EQ(ids.count(0), 0U);

    CFTypeRef no = fetched(standin::makeBoolean(false));
    EXPECT_FALSE(CFBooleanGetValue(static_cast<CFBooleanRef>(no)));
    CFRelease(no);
}

} // namespace
