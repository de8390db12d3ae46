// portprobe-explain on the built-in sample, pinned as text and as JSON, and
// the round trip through a report: explaining portprobe's report of a
// registry gives the registry's own document, except where a note says that
// the report cannot hold what is missing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <variant>

#include "explain/analysis/explanation.h"
#include "explain/input/port_reader.h"
#include "explain/input/registry_reader.h"
#include "explain/input/report/report_parser.h"
#include "explain/input/report/report_view.h"
#include "explain/output/json_render.h"
#include "explain/output/text_render.h"
#include "explain/output/usb_ids.h"
#include "platform/standin/snapshot/snapshot_loader.h"
#include "registry_generator.h"
#include "support/golden_file.h"
#include "support/report_fixture.h"

namespace {

using explain::Explanation;
using explain::Json;

const std::string usbIds = PORTPROBE_FIXTURES "/usb.ids";

class ExplainSampleTest : public testing_support::StandinTest {
protected:
    static Explanation explainWalk(const explain::RegistryWalk &walk)
    {
        static const explain::UsbIds ids = explain::loadUsbIds(usbIds).ids;
        return explain::explainWalk(walk,
                                    [](std::uint16_t vendor) { return ids.vendorName(vendor); });
    }

    // As the program explains the built-in sample: its walk, its ports and
    // its power manager.
    static Explanation explainSample()
    {
        static const explain::UsbIds ids = explain::loadUsbIds(usbIds).ids;
        const explain::VendorNames vendors = [](std::uint16_t vendor) {
            return ids.vendorName(vendor);
        };
        Explanation explanation = explain::explainWalk(registryWalk(), vendors);
        explanation.source = "sample";
        explain::explainPorts(explain::readPortCapture(kIOMainPortDefault), vendors, explanation);
        return explanation;
    }

    static explain::RegistryWalk registryWalk()
    {
        return explain::readRegistryWalk(kIOMainPortDefault);
    }

    static explain::RegistryWalk reportWalk()
    {
        auto parse = explain::parseReport(report());
        if (auto *error = std::get_if<explain::ReportParseError>(&parse)) {
            ADD_FAILURE() << "line " << error->line << ": " << error->message;
            return {};
        }
        return std::get<explain::RegistryWalk>(parse);
    }
};

TEST_F(ExplainSampleTest, InProcessTextAndJsonMatchThePinnedOnes)
{
    ASSERT_EQ(snapshot::loadBuiltInSample(), std::nullopt);
    Explanation explanation = explainSample();
    testing_support::expectGolden(PORTPROBE_GOLDEN_DIR "/sample-explain.txt",
                                  explain::explanationText(explanation), "text");
    testing_support::expectGolden(PORTPROBE_GOLDEN_DIR "/sample-explain.json",
                                  explain::explanationJson(explanation), "json");
}

TEST_F(ExplainSampleTest, TheProgramPrintsThePinnedTextAndJson)
{
    const std::string program =
        std::string("'") + PORTPROBE_EXPLAIN_BINARY + "' --usb-ids '" + usbIds + "'";
    testing_support::expectGolden(PORTPROBE_GOLDEN_DIR "/sample-explain.txt",
                                  testing_support::commandOutput(program), "built-in sample");
    testing_support::expectGolden(
        PORTPROBE_GOLDEN_DIR "/sample-explain.txt",
        testing_support::commandOutput(program + " '" + PORTPROBE_SAMPLE + "'"), "snapshot");
    testing_support::expectGolden(PORTPROBE_GOLDEN_DIR "/sample-explain.json",
                                  testing_support::commandOutput(program + " --json"), "json");
}

// Every member name of the document is one the manual page lists.
void collectNames(const Json &value, std::set<std::string> &names)
{
    if (value.is_object()) {
        for (const auto &member : value.items()) {
            names.insert(member.key());
            collectNames(member.value(), names);
        }
    } else if (value.is_array()) {
        for (const Json &item : value) {
            collectNames(item, names);
        }
    }
}

TEST_F(ExplainSampleTest, TheDocumentHoldsOnlyTheNamesOfItsContract)
{
    ASSERT_EQ(snapshot::loadBuiltInSample(), std::nullopt);
    Json document = Json::parse(explain::explanationJson(explainSample()));
    std::set<std::string> names;
    collectNames(document, names);
    const std::set<std::string> contract = {
        // the document, its controllers, ports and properties
        "format", "version", "controllers", "notes", "entry", "class", "properties", "ports", "key",
        "kind", "objects", "decoded",
        // PDOs and requests
        "position", "type", "voltage_mv", "max_current_ma", "peak_current", "dual_role_power",
        "usb_suspend_supported", "unconstrained_power", "usb_communications_capable",
        "dual_role_data", "unchunked_extended_messages_supported", "epr_mode_capable",
        "operational_current_ma", "higher_capability", "fast_role_swap_current", "max_voltage_mv",
        "min_voltage_mv", "power_limited", "object_position", "resolved", "refers_to",
        "capability_mismatch", "no_usb_suspend", "giveback", "operating_current_ma",
        "max_operating_current_ma",
        // identities and their product-type VDOs
        "id_header", "usb_host", "usb_device", "product_type", "modal_operation",
        "dfp_product_type", "connector_type", "vendor_id", "vendor_name", "cert_stat", "xid",
        "product", "product_id", "bcd_device", "product_type_vdos", "hw_version", "fw_version",
        "vdo_version", "plug", "latency", "termination", "max_vbus_voltage_v", "vbus_current_ma",
        "usb_speed", "vconn_required", "vbus_required", "vconn_power_mw", "usb2_device",
        "usb3_device", "usb4_device", "usb2_billboard_only", "alternate_modes_reconfiguring",
        "alternate_modes_not_reconfiguring", "tbt3_alternate_mode",
        // DisplayPort, SVIDs, modes, VDMs, revisions and Metadata
        "connected", "power_low", "enabled", "multi_function_preferred",
        "usb_configuration_request", "exit_mode_request", "hpd", "irq_hpd", "configuration",
        "signalling", "pin_assignments", "svid", "name", "port_capability", "connector",
        "usb2_signalling_not_used", "dfp_d_pin_assignments", "ufp_d_pin_assignments", "header",
        "structured", "version_major", "version_minor", "command_type", "command", "command_name",
        "revision_major", "revision_minor", "product_type_description", "vendor_id_sop",
        "product_id_sop",
        // version 2: the ports' stories and the power manager
        "source", "ports", "power_manager", "port", "registry_id", "number", "partner", "cable",
        "power", "data", "verdicts", "pd_revision", "identity", "e_marked", "max_gbps",
        "max_power_w", "sources", "winning", "priority", "options", "max_power_mw",
        "winning_option", "contract", "current_ma", "power_mw", "supported", "provisioned",
        "active", "usb", "generation", "rate_mbps", "devices", "manufacturer", "bcd_usb",
        "thunderbolt", "cable_speed", "displayport", "lanes", "max_lanes", "link_rate",
        "pin_assignment", "code", "severity", "text", "evidence", "adapter", "watts", "menu",
        "index", "menu_index", "description", "port_controllers", "pdos", "request", "live",
        "input_power_mw", "external_connected", "charging", "tied_port", "tie_basis",
        // the machine
        "machine", "os_build", "kernel",
        // the charging answer, every adapter, partners, outputs, the battery
        "charging_summary", "drawing_mw", "contract_mw", "limited_by", "adapters", "in_use",
        "menu_entry", "beyond_menu", "model", "firmware", "power_tier", "partners", "power_role",
        "outputs", "input_voltage_mv", "input_current_ma", "battery_installed", "fully_charged",
        "not_charging_reason", "slow_charging_reason", "battery_current_ma", "charge_percent",
        "minutes_to_full", "max_current_basis"};
    for (const std::string &name : names) {
        EXPECT_EQ(contract.count(name), 1u) << "\"" << name << "\" is not in the contract";
    }
    // and the manual names each of them.
    const std::string manual = testing_support::readFile(PORTPROBE_MANUAL);
    for (const std::string &name : contract) {
        EXPECT_NE(manual.find(name), std::string::npos) << name << " is not in the manual";
    }
}

// Every verdict code the analysis gives is documented, with its severity.
TEST(ExplainManual, DocumentsEveryVerdictCode)
{
    const std::string manual = testing_support::readFile(PORTPROBE_MANUAL);
    for (const char *code :
         {"cable_limits_power", "over_3a_without_emarker", "power_below_offer",
          "epr_claim_20v_cable", "untraceable_cable", "stale_power_manager_pdos",
          "sources_disagree", "display_detected_no_link", "usb_below_provisioned",
          "request_out_of_range", "request_exceeds_pdo", "first_pdo_not_5v", "pdo_order",
          "reserved_code", "adapter_not_drawing", "contract_beyond_menu", "menu_entry_missing"}) {
        EXPECT_NE(manual.find(std::string(".It Li ") + code + " No "), std::string::npos) << code;
    }
}

// The sample's power manager whole: both adapters, the one in use first,
// the dock tied to its port, the device the Mac powers, and never a serial
// number, though the sample's adapter records hold one.
TEST_F(ExplainSampleTest, ThePowerManagerWholeAndNoSerialNumber)
{
    ASSERT_EQ(snapshot::loadBuiltInSample(), std::nullopt);
    const Explanation explanation = explainSample();
    const Json manager = Json::parse(explain::explanationJson(explanation))["power_manager"];
    ASSERT_EQ(manager["adapters"].size(), 2u);
    EXPECT_EQ(manager["adapters"][0], manager["adapter"]);
    EXPECT_EQ(manager["adapters"][0]["in_use"], true);
    EXPECT_EQ(manager["adapters"][1]["in_use"], false);
    EXPECT_EQ(manager["adapters"][1]["menu_index"], 255);
    ASSERT_EQ(manager["partners"].size(), 4u);
    EXPECT_EQ(manager["partners"][0]["port"], "Port-USB-C@1");
    ASSERT_EQ(manager["outputs"].size(), 1u);
    EXPECT_EQ(manager["outputs"][0]["power_mw"], 4500);
    for (const std::string &shown :
         {explain::explanationText(explanation), explain::explanationJson(explanation)}) {
        EXPECT_EQ(shown.find("C4H31230P1XA"), std::string::npos);
    }
}

TEST_F(ExplainSampleTest, ABooleanWhereObjectsBelongShowsAsTheReportShowsIt)
{
    standin::setProperty(entry("AppleHPMARMSPMI"), "SourceCapabilities",
                         standin::makeBoolean(true));
    const Explanation explanation = explainWalk(registryWalk());
    const explain::PropertyExplanation &property = explanation.controllers.at(0).properties.at(0);
    ASSERT_EQ(property.lines.size(), 1U);
    EXPECT_EQ(property.lines[0], "<type 21>");
    EXPECT_NE(report().find(">>> SourceCapabilities: " + property.lines[0] + "\n"),
              std::string::npos)
        << report();
}

// Explains the registry and its report, and checks that they say the same,
// but where either side says what the report cannot hold or shows otherwise.
void expectSameStory(const Explanation &fromRegistry, const Explanation &fromReport,
                     const std::string &label)
{
    ASSERT_EQ(fromRegistry.controllers.size(), fromReport.controllers.size()) << label;
    auto compare = [&label](const std::vector<explain::PropertyExplanation> &registry,
                            const std::vector<explain::PropertyExplanation> &report) {
        std::size_t r = 0;
        for (const explain::PropertyExplanation &one : registry) {
            if (r == report.size() || one.entry != report[r].entry || one.key != report[r].key) {
                // Only what is read inside a container ("Metadata/VDOs") can
                // be missing from a report, which shows containers by size.
                EXPECT_NE(one.key.find('/'), std::string::npos)
                    << label << ": " << one.key << " is missing from the report's story";
                continue;
            }
            const explain::PropertyExplanation &other = report[r++];
            if (one.decoded == other.decoded && one.lines == other.lines) {
                continue;
            }
            bool said = false;
            for (const auto *side : {&one, &other}) {
                for (const std::string &note : side->notes) {
                    said = said || note.find("not in the report") != std::string::npos ||
                           note.find("report shows") != std::string::npos;
                }
            }
            EXPECT_TRUE(said) << label << ": " << other.key << " of " << other.entry.back()
                              << " differs without a note";
        }
        EXPECT_EQ(r, report.size()) << label << ": the report tells more than the registry";
    };
    for (std::size_t c = 0; c < fromRegistry.controllers.size(); ++c) {
        const auto &registry = fromRegistry.controllers[c];
        const auto &report = fromReport.controllers[c];
        compare(registry.properties, report.properties);
        ASSERT_EQ(registry.ports.size(), report.ports.size()) << label;
        for (std::size_t p = 0; p < registry.ports.size(); ++p) {
            compare(registry.ports[p].properties, report.ports[p].properties);
        }
    }
}

void expectRoundTrip(const explain::RegistryWalk &registry, const explain::RegistryWalk &report,
                     const std::string &label,
                     Explanation (*explainOne)(const explain::RegistryWalk &))
{
    // Exactly: the report's document is the registry's as a report shows it.
    EXPECT_EQ(explain::explanationJson(explainOne(report)),
              explain::explanationJson(explainOne(explain::asReportShows(registry))))
        << label;
    expectSameStory(explainOne(registry), explainOne(report), label);
}

TEST_F(ExplainSampleTest, TheSamplesReportTellsTheSameStory)
{
    ASSERT_EQ(snapshot::loadBuiltInSample(), std::nullopt);
    expectRoundTrip(registryWalk(), reportWalk(), "the sample", explainWalk);
}

TEST_F(ExplainSampleTest, GeneratedRegistriesReportsTellTheSameStory)
{
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        for (std::size_t entries : {1, 17, 300}) {
            bench::generateRegistry(entries, seed);
            expectRoundTrip(registryWalk(), reportWalk(),
                            "seed " + std::to_string(seed) + ", " + std::to_string(entries) +
                                " entries",
                            explainWalk);
            startOver();
        }
    }
}

} // namespace
