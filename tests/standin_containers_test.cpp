// Reading inside containers: CFDictionaryGetValue and CFArrayGetValueAtIndex
// hand out what the container holds by the Get rule, so the audit must catch
// a release of such a value and any use of it after its container's last
// reference is gone; CFNumberIsFloatType tells reals from integers.
#include <string>

#include "support/report_fixture.h"

namespace {

using standin::makeArray;
using standin::makeDictionary;
using standin::makeInteger;
using standin::makeReal;
using standin::makeString;

void expectMentions(const std::string &text, const std::string &part)
{
    EXPECT_NE(text.find(part), std::string::npos) << "\"" << part << "\" is not in:\n" << text;
}

class StandinContainersTest : public testing_support::StandinTest {
protected:
    void SetUp() override
    {
        StandinTest::SetUp();
        holder_ = standin::addEntry("Holder", "holder");
        standin::setProperty(
            holder_, "Metadata",
            makeDictionary({{"VDOs", makeArray({testing_support::bytes({0x22, 0x05, 0x60, 0x1c}),
                                                makeArray({makeInteger(1)})})},
                            {"Vendor ID", makeInteger(1314)},
                            {"Scale", makeReal(2.0)},
                            {"Name", makeString("Passive Cable")}}));
    }

    // A new reference to the holder's "Metadata", which the caller releases.
    CFDictionaryRef metadata()
    {
        io_iterator_t it = IO_OBJECT_NULL;
        EXPECT_EQ(
            IOServiceGetMatchingServices(kIOMainPortDefault, IOServiceMatching("Holder"), &it),
            KERN_SUCCESS);
        io_object_t entry = IOIteratorNext(it);
        CFTypeRef read =
            IORegistryEntryCreateCFProperty(entry, CFSTR("Metadata"), kCFAllocatorDefault, 0);
        IOObjectRelease(entry);
        IOObjectRelease(it);
        EXPECT_NE(read, nullptr);
        return static_cast<CFDictionaryRef>(read);
    }

    static standin::AuditReport findingsThenReset()
    {
        standin::AuditReport report = standin::audit();
        standin::reset();
        return report;
    }

    standin::EntryId holder_ = 0;
};

TEST_F(StandinContainersTest, GetRuleValuesAreTheContainersOwnAndNeedNoRelease)
{
    CFDictionaryRef dictionary = metadata();
    CFStringRef madeKey =
        CFStringCreateWithCString(kCFAllocatorDefault, "Vendor ID", kCFStringEncodingUTF8);

    const void *vendor = CFDictionaryGetValue(dictionary, madeKey);
    ASSERT_NE(vendor, nullptr);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("Vendor ID")), vendor); // the same object
    long long number = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(vendor), kCFNumberLongLongType, &number));
    EXPECT_EQ(number, 1314);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("Product ID")), nullptr);
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("vendor id")), nullptr); // exact keys

    auto vdos = static_cast<CFArrayRef>(CFDictionaryGetValue(dictionary, CFSTR("VDOs")));
    ASSERT_EQ(CFGetTypeID(vdos), CFArrayGetTypeID());
    ASSERT_EQ(CFArrayGetCount(vdos), 2);
    auto first = static_cast<CFDataRef>(CFArrayGetValueAtIndex(vdos, 0));
    ASSERT_EQ(CFDataGetLength(first), 4);
    EXPECT_EQ(CFDataGetBytePtr(first)[3], 0x1c);
    EXPECT_EQ(CFArrayGetValueAtIndex(vdos, 0), first);
    auto inner = static_cast<CFArrayRef>(CFArrayGetValueAtIndex(vdos, 1));
    EXPECT_EQ(CFArrayGetCount(inner), 1);

    // Only what was created is held.
    standin::AuditReport held = standin::audit();
    EXPECT_EQ(held.outstanding.size(), 2U) << held.text();
    EXPECT_EQ(held.held, 2U);
    CFRelease(madeKey);
    CFRelease(dictionary);
}

TEST_F(StandinContainersTest, NumbersTellRealsFromIntegers)
{
    CFDictionaryRef dictionary = metadata();
    EXPECT_TRUE(CFNumberIsFloatType(
        static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, CFSTR("Scale")))));
    EXPECT_FALSE(CFNumberIsFloatType(
        static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, CFSTR("Vendor ID")))));
    CFRelease(dictionary);
}

TEST_F(StandinContainersTest, KeysCompareAsTheSystemComparesThem)
{
    standin::ValuePtr five = makeInteger(5);
    standin::ValuePtr list = makeArray({});
    EXPECT_TRUE(standin::equalKeys(*five, *makeReal(5.0)));
    EXPECT_FALSE(standin::equalKeys(*makeReal(5.5), *five));
    EXPECT_FALSE(standin::equalKeys(*makeArray({}), *list)); // containers match only themselves
    EXPECT_TRUE(standin::equalKeys(*list, *list));
    EXPECT_FALSE(standin::equalKeys(*makeString("5"), *five));
}

TEST_F(StandinContainersTest, UseAfterTheContainerIsReleasedIsMisuse)
{
    CFDictionaryRef dictionary = metadata();
    auto vdos = static_cast<CFArrayRef>(CFDictionaryGetValue(dictionary, CFSTR("VDOs")));
    CFTypeRef first = CFArrayGetValueAtIndex(vdos, 0);
    CFRelease(dictionary);

    EXPECT_EQ(CFArrayGetCount(vdos), 0);                          // died with its container
    EXPECT_EQ(CFDataGetLength(static_cast<CFDataRef>(first)), 0); // and its item with it
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("VDOs")), nullptr);

    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 3U) << report.text();
    expectMentions(report.misuse[0], "CFArrayGetCount: value #");
    expectMentions(report.misuse[0], "(array, from CFDictionaryGetValue of \"VDOs\" in value #");
    expectMentions(report.misuse[0], "on entry 1 [Holder] holder) used after its container");
    expectMentions(report.misuse[1], "CFDataGetLength: value #");
    expectMentions(report.misuse[1], "(data of 4 bytes, from CFArrayGetValueAtIndex in value #");
    expectMentions(report.misuse[1], "used after its container");
    expectMentions(report.misuse[2], "CFDictionaryGetValue: value #");
    expectMentions(report.misuse[2], "used after its release");
}

TEST_F(StandinContainersTest, ReleasingAGetRuleValueIsMisuseUnlessRetained)
{
    CFDictionaryRef dictionary = metadata();
    CFTypeRef name = CFDictionaryGetValue(dictionary, CFSTR("Name"));
    CFRelease(name);
    standin::AuditReport report = standin::audit();
    ASSERT_EQ(report.misuse.size(), 1U) << report.text();
    expectMentions(report.misuse[0], "CFRelease: value #");
    expectMentions(report.misuse[0], "never retained, so it is not the caller's to release");

    // A retained value outlives its container, and is the caller's to release.
    standin::reset();
    SetUp();
    dictionary = metadata();
    name = CFRetain(CFDictionaryGetValue(dictionary, CFSTR("Name")));
    CFRelease(dictionary);
    EXPECT_EQ(CFStringGetLength(static_cast<CFStringRef>(name)), 13);
    EXPECT_EQ(standin::audit().outstanding.size(), 1U);
    CFRelease(name);
    EXPECT_EQ(CFStringGetLength(static_cast<CFStringRef>(name)), 0);
    report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 1U) << report.text();
    expectMentions(report.misuse[0], "used after its release");

    // Retained and released while the container lives, it stays the container's.
    SetUp();
    dictionary = metadata();
    name = CFDictionaryGetValue(dictionary, CFSTR("Name"));
    CFRelease(CFRetain(name));
    EXPECT_EQ(CFStringGetLength(static_cast<CFStringRef>(name)), 13);
    CFRelease(dictionary);
}

TEST_F(StandinContainersTest, WrongKindsNullKeysAndIndexesOutOfRangeAreMisuse)
{
    CFDictionaryRef dictionary = metadata();
    auto vdos = static_cast<CFArrayRef>(CFDictionaryGetValue(dictionary, CFSTR("VDOs")));
    CFTypeRef name = CFDictionaryGetValue(dictionary, CFSTR("Name"));

    EXPECT_EQ(CFArrayGetValueAtIndex(vdos, 2), nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(vdos, -1), nullptr);
    EXPECT_EQ(CFDictionaryGetValue(reinterpret_cast<CFDictionaryRef>(vdos), CFSTR("VDOs")),
              nullptr);
    EXPECT_EQ(CFArrayGetValueAtIndex(reinterpret_cast<CFArrayRef>(dictionary), 0), nullptr);
    EXPECT_FALSE(CFNumberIsFloatType(static_cast<CFNumberRef>(name)));
    EXPECT_EQ(CFDictionaryGetValue(dictionary, nullptr), nullptr);
    CFRelease(dictionary);

    standin::AuditReport report = findingsThenReset();
    EXPECT_TRUE(report.outstanding.empty()) << report.text();
    ASSERT_EQ(report.misuse.size(), 6U) << report.text();
    expectMentions(report.misuse[0], "CFArrayGetValueAtIndex: index 2 is outside value #");
    expectMentions(report.misuse[0], "of 2 items");
    expectMentions(report.misuse[1], "index -1 is outside");
    expectMentions(report.misuse[2], "is not a dictionary value");
    expectMentions(report.misuse[3], "is not a array value");
    expectMentions(report.misuse[4], "CFNumberIsFloatType: ");
    expectMentions(report.misuse[4], "is not a number value");
    EXPECT_EQ(report.misuse[5], "CFDictionaryGetValue: null value");
}

TEST_F(StandinContainersTest, ADictionaryLookupCanBeMadeToAnswerAbsent)
{
    standin::faults().recordCalls(true);
    standin::faults().add(
        standin::FaultRule(standin::Call::dictionaryLookup).forEntry(holder_).forDetail("VDOs"));
    CFDictionaryRef dictionary = metadata();
    EXPECT_EQ(CFDictionaryGetValue(dictionary, CFSTR("VDOs")), nullptr);
    EXPECT_NE(CFDictionaryGetValue(dictionary, CFSTR("Name")), nullptr);
    CFRelease(dictionary);

    const auto &calls = standin::faults().calls();
    ASSERT_GE(calls.size(), 2U);
    const standin::CallSite &lookup = calls[calls.size() - 2];
    EXPECT_EQ(lookup.call, standin::Call::dictionaryLookup);
    EXPECT_EQ(lookup.entry, holder_);
    EXPECT_EQ(lookup.detail, "VDOs");
    EXPECT_STREQ(standin::callName(lookup.call), "CFDictionaryGetValue");
}

} // namespace
