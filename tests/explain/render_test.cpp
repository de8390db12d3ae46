// The two renderings of an explanation: the text's layout and the JSON
// document's shape.
#include <gtest/gtest.h>

#include <string>

#include "explain/output/json_render.h"
#include "explain/output/text_render.h"

namespace {

using explain::ControllerExplanation;
using explain::Explanation;
using explain::Json;
using explain::PortExplanation;
using explain::PropertyExplanation;

const std::vector<std::string> controllerPath = {"AppleHPMARMSPMI"};
const std::vector<std::string> portPath = {"AppleHPMARMSPMI", "HAL@C", "Port-USB-C@1"};

PropertyExplanation property(std::vector<std::string> entry, std::string key, std::string kind)
{
    PropertyExplanation p;
    p.entry = std::move(entry);
    p.className = "SomeClass";
    p.key = std::move(key);
    p.kind = std::move(kind);
    p.decoded = nullptr;
    return p;
}

Explanation onePort()
{
    PropertyExplanation sink = property({"AppleHPMARMSPMI", "HAL@C", "Port-USB-C@1", "CC"},
                                        "SinkCapabilities", "sink_capabilities");
    sink.objects = {0x3601912c, 0x0002d12c};
    sink.lines = {"PDO 1: Fixed 5.00 V 3.00 A", "PDO 2: Fixed 9.00 V 3.00 A"};
    sink.decoded = Json::array({Json{{"position", 1}}, Json{{"position", 2}}});
    sink.notes = {"a note of its own"};

    PropertyExplanation role =
        property({"AppleHPMARMSPMI", "HAL@C", "Port-USB-C@1", "CC"}, "PowerRole", "value");
    role.lines = {"\"Sink\""};
    role.decoded = "Sink";

    PropertyExplanation empty = property(portPath, "Metadata", "metadata");
    empty.decoded = Json::object();

    PortExplanation port;
    port.entry = portPath;
    port.className = "AppleHPMInterfaceType10";
    port.properties = {empty, sink, role};
    port.notes = {"CC SinkCapabilities: a note of its own"};

    PortExplanation idle;
    idle.entry = {"AppleHPMARMSPMI", "HAL@C", "Port-USB-C@2"};
    idle.className = "AppleHPMInterfaceType10";
    idle.properties = {empty};

    PropertyExplanation revision = property({"AppleHPMARMSPMI", "HAL@C"}, "PDRevision", "revision");
    revision.lines = {"3"};
    revision.notes = {"controller-level note"};

    ControllerExplanation controller;
    controller.entry = controllerPath;
    controller.className = "AppleHPMARMSPMI";
    controller.properties = {revision};
    controller.ports = {port, idle};

    Explanation explanation;
    explanation.controllers = {controller};
    return explanation;
}

TEST(TextRenderTest, TellsEachPortsStoryUnderItsController)
{
    EXPECT_EQ(explain::explanationText(onePort()),
              "Controller AppleHPMARMSPMI\n"
              "  HAL@C PDRevision: 3\n"
              "  Note:\n"
              "    HAL@C PDRevision: controller-level note\n"
              "  Port-USB-C@1 (AppleHPMInterfaceType10), under HAL@C\n"
              "    CC SinkCapabilities: 0x3601912c 0x0002d12c\n"
              "      PDO 1: Fixed 5.00 V 3.00 A\n"
              "      PDO 2: Fixed 9.00 V 3.00 A\n"
              "    CC PowerRole: \"Sink\"\n"
              "    Note:\n"
              "      CC SinkCapabilities: a note of its own\n"
              "  Port-USB-C@2 (AppleHPMInterfaceType10), under HAL@C: nothing to explain\n");
}

TEST(TextRenderTest, SaysWhatTheInputIsAndWhenThereIsNothing)
{
    Explanation none;
    EXPECT_EQ(explain::explanationText(none), "No port found.\n");
    // The notes on the input are said on standard error, not in the text.
    none.notes = {"containers show only their size"};
    EXPECT_EQ(explain::explanationText(none), "No port found.\n");

    Explanation bare;
    bare.controllers.resize(2);
    bare.controllers[0].entry = controllerPath;
    bare.controllers[0].className = "AppleHPMARMSPMI";
    bare.controllers[1] = bare.controllers[0];
    EXPECT_EQ(explain::explanationText(bare), "Controller AppleHPMARMSPMI, 1 of 2\n  No port.\n\n"
                                              "Controller AppleHPMARMSPMI, 2 of 2\n  No port.\n");
}

TEST(JsonRenderTest, WrittenPieceByPieceAsTheWholeDocumentDumps)
{
    Explanation explanation = onePort();
    explanation.source = "sample";
    explanation.ports.resize(2);
    explanation.ports[0].story.name = "Port-USB-C@1";
    explanation.ports[0].walkPort = explain::PortAccount::WalkPort{0, 0};
    explanation.ports[1].story.name = "Port-USB-C@9";
    explanation.ports[1].story.verdicts = {{"pdo_order", explain::Severity::warning, "t", {}}};
    explanation.powerManagers.resize(1);
    explanation.powerManagers[0].name = "AppleSmartBattery";
    explanation.charging = explain::ChargingSummary{
        61932, 100000, explain::ChargingLimit::macAsksLess, "drawing \"61.932 W\""};
    for (const Explanation &one : {onePort(), explanation, Explanation()}) {
        EXPECT_EQ(
            explain::explanationJson(one),
            explain::explanationDocument(one).dump(2, ' ', false, Json::error_handler_t::replace) +
                "\n");
    }
}

// The writer escapes what it must and passes the rest through: each text in
// every place a text goes, against the document's own dump.
TEST(JsonRenderTest, WritesEveryTextAsTheDocumentDumps)
{
    const std::string texts[] = {
        "",         "plain",   "a \"quote\"", "back\\slash",   "line\nfeed\ttab",
        "\x01\x1f", "del\x7f", "caf\xc3\xa9", "bad \xff byte", "cut \xe2\x82",
    };
    for (const std::string &text : texts) {
        SCOPED_TRACE(text);
        Explanation explanation = onePort();
        ControllerExplanation &controller = explanation.controllers[0];
        controller.entry = {text};
        controller.className = text;
        PropertyExplanation property = controller.ports[0].properties[0];
        property.entry = {text, text};
        property.key = text;
        property.kind = text;
        property.decoded = Json::object({{text, Json::array({text, nullptr, Json::object()})}});
        property.notes = {text};
        property.objects.clear();
        controller.properties.push_back(property);
        controller.ports[0].notes.push_back(text);
        controller.ports.push_back(PortExplanation());
        explanation.ports.resize(1);
        explanation.ports[0].story.name = text;
        explanation.ports[0].ownProperties = {property};
        explanation.notes = {text};
        EXPECT_EQ(explain::explanationJson(explanation),
                  explain::explanationDocument(explanation)
                          .dump(2, ' ', false, Json::error_handler_t::replace) +
                      "\n");
    }
}

TEST(JsonRenderTest, HoldsTheDocumentsMembersInOrder)
{
    Json document = Json::parse(explain::explanationJson(onePort()));
    std::vector<std::string> top;
    for (auto &member : document.items()) {
        top.push_back(member.key());
    }
    EXPECT_EQ(
        top, (std::vector<std::string>{"format", "version", "source", "machine", "charging_summary",
                                       "ports", "power_manager", "controllers", "notes"}));
    EXPECT_EQ(document["format"], "portprobe-explain");
    EXPECT_EQ(document["version"], 2);
    EXPECT_EQ(document["source"], "registry");
    EXPECT_EQ(document["power_manager"], nullptr);
    EXPECT_EQ(document["charging_summary"], nullptr); // nothing of power in the input

    const Json &controller = document["controllers"][0];
    EXPECT_EQ(controller["entry"], Json(controllerPath));
    EXPECT_EQ(controller["class"], "AppleHPMARMSPMI");
    EXPECT_EQ(controller["properties"].size(), 1u);
    const Json &port = controller["ports"][0];
    EXPECT_EQ(port["entry"], Json(portPath));
    EXPECT_EQ(port["notes"], Json::array({"CC SinkCapabilities: a note of its own"}));

    const Json &sink = port["properties"][1];
    std::vector<std::string> names;
    for (auto &member : sink.items()) {
        names.push_back(member.key());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"entry", "class", "key", "kind", "objects",
                                               "decoded", "notes"}));
    EXPECT_EQ(sink["objects"], Json::array({"0x3601912c", "0x0002d12c"}));
    // Objects are absent, not empty, when none were read.
    EXPECT_FALSE(port["properties"][2].contains("objects"));
    EXPECT_EQ(port["properties"][2]["decoded"], "Sink");
}

TEST(JsonRenderTest, TextThatIsNotUtf8NeverStopsTheDocument)
{
    Explanation explanation = onePort();
    explanation.controllers[0].entry = {"bad \xff name"};
    std::string text = explain::explanationJson(explanation);
    EXPECT_EQ(text.back(), '\n');
    Json document = Json::parse(text);
    EXPECT_EQ(document["controllers"][0]["entry"][0], "bad \xef\xbf\xbd name");
}

} // namespace
