// A line's shape told from the line alone, on which joining wrapped lines
// and finding the text after a report rest.
#include <gtest/gtest.h>

#include <string>

#include "explain/input/report/report_line_shape.h"

namespace {

using explain::report_reading::LineShape;
using explain::report_reading::shapeOf;

TEST(ReportLineShape, TellsWholeLinesTheirStartsAndOtherText)
{
    struct Case {
        std::string line;
        LineShape shape;
    };
    const Case cases[] = {
        {"", LineShape::whole},
        {"=== Walking AppleHPMARMSPMI in IOPower plane ===", LineShape::whole},
        {"=== Checking IOPortTransportComponentCCUSBPDSOPp notification", LineShape::partial},
        {"  [A] A (UserClient: X) [com.x]", LineShape::whole},
        {"    [IOPortTransportCompo", LineShape::partial},
        {" [A] A", LineShape::none},
        {"  >>> PDRevision: 3 (0x3)", LineShape::whole},
        {"  >>> PDRevision: -3 (0xffff", LineShape::partial},
        {"  >>> PDRevi", LineShape::partial},
        {"  >>> Bogus: 3 (0x3)", LineShape::none},
        {"  >>> VDOs: <array with 4", LineShape::partial},
        {"  >>> VDOs: <array of 4 items>", LineShape::none},
        {"  >>> MessageLog: \"attach CC2", LineShape::partial},
        {"  >>> MessageLog: \"attach\"", LineShape::whole},
        {"  >>> SinkCapabilities: <data 4 bytes> 01 02 03 04 ", LineShape::whole},
        {"  >>> SinkCapabilities: <data 4 bytes> 01 02 0", LineShape::partial},
        {"  >>> SinkCapabilities: <data 4 bytes> 01 zz", LineShape::none},
        {"        01 02 03 ", LineShape::whole},
        {"        51 09 83 00 01 04 01 00 22 05 00 00 70 0b 00 00 ... (25", LineShape::partial},
        {"        zz 00", LineShape::none},
        {"  General interest notification: kr=0x0 SUCCESS", LineShape::whole},
        {"  Busy interest notification: kr=0xe00002c7 FAI", LineShape::partial},
        {"IOAccessoryManagerUserClient) [com.apple.driver.AppleHPM]", LineShape::none},
        {"00 00 00 00 00 ", LineShape::none},
        {"Thanks for looking!", LineShape::none},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(shapeOf(c.line), c.shape) << c.line;
    }
}

} // namespace
