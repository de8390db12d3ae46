// The VDOs of the VESA DisplayPort Alt Mode on USB Type-C standard (DP
// Status, DP Configure, DisplayPort Capabilities). B = bit.
#include "pd/displayport.h"

namespace pd {

namespace {

// Status B1:0.
constexpr CodePoint connections[] = {
    {0, "none", 0, "neither DFP_D nor UFP_D connected"},
    {1, "dfp_d", 0, "DFP_D connected"},
    {2, "ufp_d", 0, "UFP_D connected"},
    {3, "both", 0, "DFP_D and UFP_D connected"},
};

constexpr Field statusFields[] = {
    code("connected", 1, 0, connections, "connection"),
    flag("power_low", 2, "power low"),
    flag("enabled", 3, "enabled"),
    flag("multi_function_preferred", 4, "multi-function preferred"),
    flag("usb_configuration_request", 5, "USB configuration requested"),
    flag("exit_mode_request", 6, "exit DisplayPort mode requested"),
    flag("hpd", 7, "HPD high"),
    flag("irq_hpd", 8, "IRQ_HPD"),
};

// Configure B1:0.
constexpr CodePoint configurations[] = {
    {0, "usb", 0, "USB configuration"},
    {1, "dfp_d", 0, "UFP_U as DFP_D"},
    {2, "ufp_d", 0, "UFP_U as UFP_D"},
};

// Configure and Capabilities B5:2: bit 2 is DisplayPort signalling; the
// later bits belong to newer DisplayPort revisions, so they are shown as a
// number rather than named.
constexpr Field configureFields[] = {
    code("configuration", 1, 0, configurations, "configuration"),
    number("signalling", 5, 2, "signalling"),
    letters("pin_assignments", 15, 8, 6, "pin assignment"),
};

// Capabilities B1:0.
constexpr CodePoint portCapabilities[] = {
    {1, "ufp_d", 0, "UFP_D capable"},
    {2, "dfp_d", 0, "DFP_D capable"},
    {3, "both", 0, "DFP_D and UFP_D capable"},
};

constexpr CodePoint receptacles[] = {
    {0, "plug", 0, "on a plug"},
    {1, "receptacle", 0, "on a receptacle"},
};

constexpr Field capabilitiesFields[] = {
    code("port_capability", 1, 0, portCapabilities, "port capability"),
    number("signalling", 5, 2, "signalling"),
    code("connector", 6, 6, receptacles, "connector"),
    flag("usb2_signalling_not_used", 7, "USB 2.0 signalling not used"),
    letters("dfp_d_pin_assignments", 15, 8, 6, "DFP_D pin assignments"),
    letters("ufp_d_pin_assignments", 23, 16, 6, "UFP_D pin assignments"),
};

} // namespace

const Layout displayPortStatusVdo = layout("DisplayPort status: {connected}", statusFields);
const Layout displayPortConfigureVdo =
    layout("DisplayPort configuration: {configuration}", configureFields);
const Layout displayPortCapabilitiesVdo =
    layout("DisplayPort: {port_capability}", capabilitiesFields);

} // namespace pd
