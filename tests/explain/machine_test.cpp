// Which Mac a capture came from, and the order its ports are told in.
#include <gtest/gtest.h>

#include "capture_builder.h"
#include "explain/analysis/explanation.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"

namespace {

using namespace capture_builder;
using explain::Json;
using explain::PortCapture;
using walk_builder::bytes;
using walk_builder::number;
using walk_builder::text;

TEST(Machine, NamedByItsModelBuildAndKernelAsTheyStand)
{
    const std::string kernel = "Darwin Kernel Version 27.0.0: Mon Aug 12 20:52:12 PDT 2024; "
                               "root:xnu-13432.1.9~1/RELEASE_ARM64_T6030";
    const std::vector<std::uint8_t> model = {'M', 'a', 'c', '1', '5', ',', '6', 0, 'x'};
    struct Case {
        const char *what;
        Members members;
        std::string words;
    };
    const std::vector<Case> cases = {
        {"all three, the model as data",
         {{"model", bytes(model)},
          {"OS Build Version", text("26A434")},
          {"IOKitBuildVersion", text(kernel)}},
         "Mac15,6; macOS build 26A434; kernel Darwin 27.0.0 (RELEASE_ARM64_T6030)"},
        {"a model as text and a kernel of another form",
         {{"model", text("Mac14,6")}, {"IOKitBuildVersion", text("a custom kernel")}},
         "Mac14,6; kernel a custom kernel"},
        {"a model that is no text, an empty build, a number for the kernel",
         {{"model", bytes({0x4d, 0x01, 0x00})},
          {"OS Build Version", text("")},
          {"IOKitBuildVersion", number(27)}},
         ""},
        {"nothing", {}, ""},
    };
    for (const Case &one : cases) {
        PortCapture capture;
        capture.machine = one.members;
        explain::Explanation explanation;
        explain::explainPorts(capture, {}, explanation);
        EXPECT_EQ(explain::machineWords(explanation.machine), one.words) << one.what;
        const std::string shown = explain::explanationText(explanation);
        EXPECT_EQ(shown.find("Machine: "), one.words.empty() ? std::string::npos : 0U) << one.what;
        const Json machine = Json::parse(explain::explanationJson(explanation))["machine"];
        EXPECT_EQ(machine.size(), 3U) << one.what;
        EXPECT_EQ(machine["os_build"].is_null(), !explanation.machine.osBuild) << one.what;
    }
}

TEST(PortOrder, ByTypeThenNumberWhateverTheCaptureOrder)
{
    auto typed = [](const std::string &type, const std::string &location) {
        return node(
            "AppleHPMInterfaceType10", "Port-" + type,
            {{"PortTypeDescription", text(type)}, {"PortNumber", number(std::stoll(location))}}, {},
            location);
    };
    PortCapture capture;
    capture.ports = {typed("USB-C", "10"), typed("USB-C", "2"),
                     node("AppleHPMInterfaceType10", "FAKE-ENTRY-8", {}), typed("MagSafe 3", "1"),
                     typed("USB-C", "1")};
    explain::Explanation explanation;
    explanation.controllers.resize(1);
    explanation.controllers[0].ports.resize(1);
    explanation.controllers[0].ports[0].entry = {"AppleHPMARMSPMI", "HAL@6", "Port-USB-C@3"};
    explain::explainPorts(capture, {}, explanation);
    std::vector<std::string> names;
    for (const explain::PortAccount &port : explanation.ports) {
        names.push_back(port.story.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Port-MagSafe 3@1", "Port-USB-C@1", "Port-USB-C@2",
                                               "Port-USB-C@3", "Port-USB-C@10", "FAKE-ENTRY-8"}));
}

} // namespace
