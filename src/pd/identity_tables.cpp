// The VDOs of a Discover Identity answer, USB Power Delivery 3.1 and 3.2
// (section 6.4.4.3.1). B = bit.
#include "pd/identity_tables.h"

namespace pd {

namespace {

// ID header B29:27, a partner's (UFP) product type.
constexpr CodePoint partnerProductTypes[] = {
    {0, "none", 0, "not a UFP"},
    {1, "hub", 0, "hub"},
    {2, "peripheral", 0, "peripheral"},
    {3, "psd", 0, "power sink device"},
    {5, "ama", 0, "alternate mode adapter"},
};

// ID header B29:27 at a cable plug.
constexpr CodePoint cablePlugProductTypes[] = {
    {0, "none", 0, "not a cable plug"},
    {3, "passive_cable", 0, "passive cable"},
    {4, "active_cable", 0, "active cable"},
    {6, "vpd", 0, "VCONN-powered device"},
};

// ID header B25:23.
constexpr CodePoint dfpProductTypes[] = {
    {0, "none", 0, ""},
    {1, "hub", 0, "DFP hub"},
    {2, "host", 0, "DFP host"},
    {3, "power_brick", 0, "DFP power brick"},
    {4, "amc", 0, "DFP alternate mode controller"},
};

// ID header B22:21.
constexpr CodePoint connectorTypes[] = {
    {2, "receptacle", 0, "receptacle"},
    {3, "plug", 0, "plug"},
};

constexpr Field partnerIdHeaderFields[] = {
    hex("vendor_id", 15, 0, nullptr),
    code("product_type", 29, 27, partnerProductTypes, "product type"),
    code("dfp_product_type", 25, 23, dfpProductTypes, "DFP product type"),
    flag("usb_host", 31, "USB host"),
    flag("usb_device", 30, "USB device"),
    flag("modal_operation", 26, "modal operation"),
    code("connector_type", 22, 21, connectorTypes, "connector type"),
};

constexpr Field cablePlugIdHeaderFields[] = {
    hex("vendor_id", 15, 0, nullptr),
    code("product_type", 29, 27, cablePlugProductTypes, "product type"),
    code("dfp_product_type", 25, 23, dfpProductTypes, "DFP product type"),
    flag("usb_host", 31, "USB host"),
    flag("usb_device", 30, "USB device"),
    flag("modal_operation", 26, "modal operation"),
    code("connector_type", 22, 21, connectorTypes, "connector type"),
};

constexpr Field certStatFields[] = {
    hex("xid", 31, 0, "XID"),
};

constexpr Field productFields[] = {
    hex("product_id", 31, 16, "product"),
    hex("bcd_device", 15, 0, "bcdDevice"),
};

// Cable VDO B19:18.
constexpr CodePoint plugTypes[] = {
    {2, "type_c", 0, "USB Type-C plug"},
    {3, "captive", 0, "captive cable"},
};

// Passive cable VDO B16:13.
constexpr CodePoint passiveLatencies[] = {
    {1, nullptr, 1, "latency under 10 ns (about 1 m)"},
    {2, nullptr, 2, "latency 10-20 ns (about 2 m)"},
    {3, nullptr, 3, "latency 20-30 ns (about 3 m)"},
    {4, nullptr, 4, "latency 30-40 ns (about 4 m)"},
    {5, nullptr, 5, "latency 40-50 ns (about 5 m)"},
    {6, nullptr, 6, "latency 50-60 ns (about 6 m)"},
    {7, nullptr, 7, "latency 60-70 ns (about 7 m)"},
    {8, nullptr, 8, "latency over 70 ns (over about 7 m)"},
};

// Active cable VDO 1 B16:13: the passive cable's and the optical lengths.
constexpr CodePoint activeLatencies[] = {
    {1, nullptr, 1, "latency under 10 ns (about 1 m)"},
    {2, nullptr, 2, "latency 10-20 ns (about 2 m)"},
    {3, nullptr, 3, "latency 20-30 ns (about 3 m)"},
    {4, nullptr, 4, "latency 30-40 ns (about 4 m)"},
    {5, nullptr, 5, "latency 40-50 ns (about 5 m)"},
    {6, nullptr, 6, "latency 50-60 ns (about 6 m)"},
    {7, nullptr, 7, "latency 60-70 ns (about 7 m)"},
    {8, nullptr, 8, "latency over 70 ns (over about 7 m)"},
    {9, nullptr, 9, "latency 1000 ns (about 200 m)"},
    {10, nullptr, 10, "latency 2000 ns (about 400 m)"},
    {11, nullptr, 11, "latency 3000 ns (about 600 m)"},
};

// Cable VDO B12:11.
constexpr CodePoint passiveTerminations[] = {
    {0, nullptr, 0, "VCONN not required"},
    {1, nullptr, 1, "VCONN required"},
};
constexpr CodePoint activeTerminations[] = {
    {2, nullptr, 2, "one end active, VCONN required"},
    {3, nullptr, 3, "both ends active, VCONN required"},
};

// Cable VDO B10:9 (30 V and 40 V deprecated, not reserved).
constexpr CodePoint maxVbusVoltages[] = {
    {0, nullptr, 20, "20 V maximum"},
    {1, nullptr, 30, "30 V maximum"},
    {2, nullptr, 40, "40 V maximum"},
    {3, nullptr, 50, "50 V maximum"},
};

// Cable VDO B6:5.
constexpr CodePoint vbusCurrents[] = {
    {1, nullptr, 3000, "3 A"},
    {2, nullptr, 5000, "5 A"},
};

// Cable and UFP VDO B2:0.
constexpr CodePoint usbSpeeds[] = {
    {0, "usb2", 0, "USB 2.0"},
    {1, "usb3_gen1", 0, "USB 3.2 Gen 1"},
    {2, "usb3_gen2", 0, "USB 3.2 Gen 2"},
    {3, "usb4_gen3", 0, "USB4 Gen 3"},
    {4, "usb4_gen4", 0, "USB4 Gen 4"},
};

// Active cable VDO 1 B7.
constexpr CodePoint sbuTypes[] = {
    {0, "passive", 0, "passive SBUs"},
    {1, "active", 0, "active SBUs"},
};

constexpr Field passiveCableFields[] = {
    code("usb_speed", 2, 0, usbSpeeds, "USB speed"),
    code("vbus_current_ma", 6, 5, vbusCurrents, "VBUS current", true),
    code("max_vbus_voltage_v", 10, 9, maxVbusVoltages, "maximum VBUS voltage"),
    code("latency", 16, 13, passiveLatencies, "latency"),
    code("termination", 12, 11, passiveTerminations, "termination"),
    flag("epr_mode_capable", 17, "EPR mode capable"),
    code("plug", 19, 18, plugTypes, "plug type"),
    number("hw_version", 31, 28, "HW version"),
    number("fw_version", 27, 24, "FW version"),
    number("vdo_version", 23, 21, "VDO version"),
};

constexpr Field activeCable1Fields[] = {
    code("usb_speed", 2, 0, usbSpeeds, "USB speed"),
    code("vbus_current_ma", 6, 5, vbusCurrents, "VBUS current", true),
    code("max_vbus_voltage_v", 10, 9, maxVbusVoltages, "maximum VBUS voltage"),
    code("latency", 16, 13, activeLatencies, "latency"),
    code("termination", 12, 11, activeTerminations, "termination"),
    flag("epr_mode_capable", 17, "EPR mode capable"),
    code("plug", 19, 18, plugTypes, "plug type"),
    flagWhenClear("sbu_supported", 8, "SBUs supported"),
    code("sbu_type", 7, 7, sbuTypes, "SBU type"),
    flag("vbus_through_cable", 4, "VBUS through the cable"),
    flag("sop2_controller_present", 3, "SOP'' controller present"),
    number("hw_version", 31, 28, "HW version"),
    number("fw_version", 27, 24, "FW version"),
    number("vdo_version", 23, 21, "VDO version"),
};

// Active cable VDO 2 B14:12, the power drawn in U3 or CLd.
constexpr CodePoint u3Powers[] = {
    {0, nullptr, 0, "U3/CLd power over 10 mW"},  {1, nullptr, 1, "U3/CLd power 5-10 mW"},
    {2, nullptr, 2, "U3/CLd power 1-5 mW"},      {3, nullptr, 3, "U3/CLd power 0.5-1 mW"},
    {4, nullptr, 4, "U3/CLd power 0.2-0.5 mW"},  {5, nullptr, 5, "U3/CLd power 50-200 µW"},
    {6, nullptr, 6, "U3/CLd power under 50 µW"},
};

constexpr CodePoint u3Transitions[] = {
    {0, "direct", 0, "U3 to U0 directly"},
    {1, "through_u3s", 0, "U3 to U0 through U3S"},
};

constexpr CodePoint physicalConnections[] = {
    {0, "copper", 0, "copper"},
    {1, "optical", 0, "optical"},
};

constexpr CodePoint activeElements[] = {
    {0, "redriver", 0, "redriver"},
    {1, "retimer", 0, "retimer"},
};

constexpr CodePoint usbLanes[] = {
    {0, nullptr, 1, "one lane"},
    {1, nullptr, 2, "two lanes"},
};

constexpr CodePoint usbGens[] = {
    {0, "gen1", 0, "Gen 1"},
    {1, "gen2_or_higher", 0, "Gen 2 or higher"},
};

constexpr Field activeCable2Fields[] = {
    quantity("max_operating_temperature_c", 31, 24, 1, Unit::celsius,
             "maximum operating temperature"),
    quantity("shutdown_temperature_c", 23, 16, 1, Unit::celsius, "shutdown temperature"),
    code("u3_cld_power", 14, 12, u3Powers, "U3/CLd power"),
    code("u3_to_u0_transition", 11, 11, u3Transitions, "U3 to U0 transition"),
    code("physical_connection", 10, 10, physicalConnections, "physical connection"),
    code("active_element", 9, 9, activeElements, "active element"),
    flagWhenClear("usb4_supported", 8, "USB4 supported"),
    number("usb2_hub_hops_consumed", 7, 6, "USB 2.0 hub hops consumed"),
    flagWhenClear("usb2_supported", 5, "USB 2.0 supported"),
    flagWhenClear("usb32_supported", 4, "USB 3.2 supported"),
    code("usb_lanes", 3, 3, usbLanes, "USB lanes"),
    flag("optically_isolated", 2, "optically isolated"),
    flag("usb4_asymmetric_mode_supported", 1, "USB4 asymmetric mode supported"),
    code("usb_gen", 0, 0, usbGens, "USB generation"),
};

// VPD VDO B14.
constexpr CodePoint chargeThroughCurrents[] = {
    {0, nullptr, 3000, "charge-through 3 A"},
    {1, nullptr, 5000, "charge-through 5 A"},
};

constexpr Field vpdFields[] = {
    flag("charge_through_supported", 0, "charge-through supported"),
    code("charge_through_current_ma", 14, 14, chargeThroughCurrents, "charge-through current"),
    code("max_vbus_voltage_v", 16, 15, maxVbusVoltages, "maximum VBUS voltage"),
    quantity("vbus_impedance_mohm", 12, 7, 2, Unit::milliohms, "VBUS impedance"),
    quantity("ground_impedance_mohm", 6, 1, 1, Unit::milliohms, "ground impedance"),
    number("hw_version", 31, 28, "HW version"),
    number("fw_version", 27, 24, "FW version"),
    number("vdo_version", 23, 21, "VDO version"),
};

// UFP VDO B10:8, the VCONN power an alternate mode adapter needs.
constexpr CodePoint vconnPowers[] = {
    {0, nullptr, 1000, "VCONN power 1 W"}, {1, nullptr, 1500, "VCONN power 1.5 W"},
    {2, nullptr, 2000, "VCONN power 2 W"}, {3, nullptr, 3000, "VCONN power 3 W"},
    {4, nullptr, 4000, "VCONN power 4 W"}, {5, nullptr, 5000, "VCONN power 5 W"},
    {6, nullptr, 6000, "VCONN power 6 W"},
};

constexpr Field ufpFields[] = {
    code("usb_speed", 2, 0, usbSpeeds, "USB speed"),
    flag("usb2_device", 24, "USB 2.0 device"),
    flag("usb2_billboard_only", 25, "USB 2.0 billboard only"),
    flag("usb3_device", 26, "USB 3.2 device"),
    flag("usb4_device", 27, "USB4 device"),
    flag("tbt3_alternate_mode", 3, "Thunderbolt 3 alternate mode"),
    flag("alternate_modes_reconfiguring", 4, "alternate modes that reconfigure the connector"),
    flag("alternate_modes_not_reconfiguring", 5, "alternate modes that keep the USB signals"),
    code("vconn_power_mw", 10, 8, vconnPowers, "VCONN power", true),
    flag("vconn_required", 7, "VCONN required"),
    flag("vbus_required", 6, "VBUS required"),
    number("vdo_version", 31, 29, "VDO version"),
};

constexpr Field dfpFields[] = {
    flag("usb2_host", 24, "USB 2.0 host"),        flag("usb3_host", 25, "USB 3.2 host"),
    flag("usb4_host", 26, "USB4 host"),           number("port_number", 4, 0, "port number"),
    number("vdo_version", 31, 29, "VDO version"),
};

} // namespace

const Layout partnerIdHeader = layout("{product_type}", partnerIdHeaderFields);
const Layout cablePlugIdHeader = layout("{product_type}", cablePlugIdHeaderFields);
const Layout certStatVdo = layout("Cert stat: XID {xid}", certStatFields);
const Layout productVdo = layout("product {product_id}, bcdDevice {bcd_device}", productFields);

const Layout passiveCableVdo =
    layout("Passive cable: {usb_speed}, {vbus_current_ma}, {max_vbus_voltage_v}, {latency}",
           passiveCableFields);
const Layout activeCableVdo1 =
    layout("Active cable: {usb_speed}, {vbus_current_ma}, {max_vbus_voltage_v}, {latency}",
           activeCable1Fields);
const Layout activeCableVdo2 =
    layout("Active cable, VDO 2: {physical_connection} {active_element}, {usb_lanes}, {usb_gen}",
           activeCable2Fields);
const Layout vpdVdo = layout("VCONN-powered device: {max_vbus_voltage_v}", vpdFields);
const Layout ufpVdo = layout("UFP: {usb_speed}", ufpFields);
const Layout dfpVdo = layout("DFP: port {port_number}", dfpFields);

} // namespace pd
