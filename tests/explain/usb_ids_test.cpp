// Vendor names read from usb.ids files.
#include <gtest/gtest.h>

#include <string>

#include "explain/output/usb_ids.h"

namespace {

using explain::UsbIds;

TEST(UsbIdsTest, ReadsVendorLinesOnly)
{
    explain::UsbIdsLoad load = explain::loadUsbIds(std::string(PORTPROBE_FIXTURES "/usb.ids"));
    ASSERT_EQ(load.error, "");
    EXPECT_EQ(load.path, PORTPROBE_FIXTURES "/usb.ids");
    EXPECT_EQ(load.ids.vendorName(0x0522).value_or("?"), "Cable Works Example");
    EXPECT_EQ(load.ids.vendorName(0x2eb9).value_or("?"), "Dock Makers Example");
    EXPECT_EQ(load.ids.vendorName(0x2eba).value_or("?"), "Upper-case Digits Example");
    // Product, class and other sections' lines are not vendors.
    EXPECT_FALSE(load.ids.vendorName(0x0b70));
    EXPECT_FALSE(load.ids.vendorName(0x1123));
    EXPECT_EQ(load.ids.vendorCount(), 3u);
}

TEST(UsbIdsTest, KeepsTheFirstNameAndMendsWhatCannotBeShown)
{
    UsbIds ids = UsbIds::parse("0001  First\r\n0001  Second\n0002  Bad \xff byte\n"
                               "0003 One space\n00g4  Not hex\n0005  \n0006  Last");
    EXPECT_EQ(ids.vendorName(0x0001).value_or("?"), "First");
    EXPECT_EQ(ids.vendorName(0x0002).value_or("?"), "Bad \xef\xbf\xbd byte");
    EXPECT_FALSE(ids.vendorName(0x0003));
    EXPECT_FALSE(ids.vendorName(0x0005)); // no name at all
    EXPECT_EQ(ids.vendorName(0x0006).value_or("?"), "Last");
    EXPECT_EQ(ids.vendorCount(), 3u);
}

TEST(UsbIdsTest, ANamedFileThatCannotBeReadIsAnError)
{
    // Worded as every input file the tools cannot read.
    const struct {
        const char *path;
        const char *error;
    } cases[] = {
        {"/nonexistent/usb.ids", "cannot open: No such file or directory"},
        {PORTPROBE_FIXTURES, "cannot read: Is a directory"},
        // A named file is a file, even when it is called "-".
        {"-", "cannot open: No such file or directory"},
    };
    for (const auto &c : cases) {
        explain::UsbIdsLoad load = explain::loadUsbIds(std::string(c.path));
        EXPECT_EQ(load.error, c.error) << c.path;
        EXPECT_EQ(load.path, "") << c.path;
        EXPECT_EQ(load.ids.vendorCount(), 0u) << c.path;
    }
}

} // namespace
