// The PDO and RDO layouts, USB Power Delivery 3.1 and 3.2 (section 6.4.1
// power data objects, section 6.4.2 request data objects). B = bit.
#include "pd/pdo_tables.h"

namespace pd {

namespace {

// Fixed supply peak current, B21:20 (source); EPR and SPR AVS, B27:26.
constexpr CodePoint peakCurrents[] = {
    {0, nullptr, 0, ""},
    {1, nullptr, 1, "peak current 150%/125%/110% for 1/2/10 ms"},
    {2, nullptr, 2, "peak current 200%/150%/125% for 1/2/10 ms"},
    {3, nullptr, 3, "peak current 200%/175%/150% for 1/2/10 ms"},
};

// Fixed sink fast role swap required current, B24:23.
constexpr CodePoint fastRoleSwapCurrents[] = {
    {0, nullptr, 0, ""},
    {1, nullptr, 1, "fast role swap at default USB power"},
    {2, nullptr, 2, "fast role swap at 1.5 A"},
    {3, nullptr, 3, "fast role swap at 3.0 A"},
};

constexpr Field fixedSourceFields[] = {
    quantity("voltage_mv", 19, 10, 50, Unit::millivolts, "voltage"),
    quantity("max_current_ma", 9, 0, 10, Unit::milliamps, "maximum current"),
    code("peak_current", 21, 20, peakCurrents, "peak current"),
    flag("dual_role_power", 29, "dual-role power"),
    flag("usb_suspend_supported", 28, "USB suspend supported"),
    flag("unconstrained_power", 27, "unconstrained power"),
    flag("usb_communications_capable", 26, "USB communications capable"),
    flag("dual_role_data", 25, "dual-role data"),
    flag("unchunked_extended_messages_supported", 24, "unchunked extended messages supported"),
    flag("epr_mode_capable", 23, "EPR mode capable"),
};

constexpr Field fixedSinkFields[] = {
    quantity("voltage_mv", 19, 10, 50, Unit::millivolts, "voltage"),
    quantity("operational_current_ma", 9, 0, 10, Unit::milliamps, "operational current"),
    flag("dual_role_power", 29, "dual-role power"),
    flag("higher_capability", 28, "higher capability"),
    flag("unconstrained_power", 27, "unconstrained power"),
    flag("usb_communications_capable", 26, "USB communications capable"),
    flag("dual_role_data", 25, "dual-role data"),
    code("fast_role_swap_current", 24, 23, fastRoleSwapCurrents, "fast role swap current"),
};

constexpr Field batterySourceFields[] = {
    quantity("max_voltage_mv", 29, 20, 50, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 19, 10, 50, Unit::millivolts, "minimum voltage"),
    quantity("max_power_mw", 9, 0, 250, Unit::milliwatts, "maximum power"),
};

constexpr Field batterySinkFields[] = {
    quantity("max_voltage_mv", 29, 20, 50, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 19, 10, 50, Unit::millivolts, "minimum voltage"),
    quantity("operational_power_mw", 9, 0, 250, Unit::milliwatts, "operational power"),
};

constexpr Field variableSourceFields[] = {
    quantity("max_voltage_mv", 29, 20, 50, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 19, 10, 50, Unit::millivolts, "minimum voltage"),
    quantity("max_current_ma", 9, 0, 10, Unit::milliamps, "maximum current"),
};

constexpr Field variableSinkFields[] = {
    quantity("max_voltage_mv", 29, 20, 50, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 19, 10, 50, Unit::millivolts, "minimum voltage"),
    quantity("operational_current_ma", 9, 0, 10, Unit::milliamps, "operational current"),
};

// APDO B29:28 = 00.
constexpr Field ppsSourceFields[] = {
    quantity("max_voltage_mv", 24, 17, 100, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 15, 8, 100, Unit::millivolts, "minimum voltage"),
    quantity("max_current_ma", 6, 0, 50, Unit::milliamps, "maximum current"),
    flag("power_limited", 27, "power limited"),
};

constexpr Field ppsSinkFields[] = {
    quantity("max_voltage_mv", 24, 17, 100, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 15, 8, 100, Unit::millivolts, "minimum voltage"),
    quantity("max_current_ma", 6, 0, 50, Unit::milliamps, "maximum current"),
};

// APDO B29:28 = 01.
constexpr Field eprAvsSourceFields[] = {
    quantity("max_voltage_mv", 25, 17, 100, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 15, 8, 100, Unit::millivolts, "minimum voltage"),
    quantity("pdp_w", 7, 0, 1, Unit::watts, "PDP"),
    code("peak_current", 27, 26, peakCurrents, "peak current"),
};

constexpr Field eprAvsSinkFields[] = {
    quantity("max_voltage_mv", 25, 17, 100, Unit::millivolts, "maximum voltage"),
    quantity("min_voltage_mv", 15, 8, 100, Unit::millivolts, "minimum voltage"),
    quantity("pdp_w", 7, 0, 1, Unit::watts, "PDP"),
};

// APDO B29:28 = 10.
constexpr Field sprAvsSourceFields[] = {
    quantity("max_current_9v_15v_ma", 19, 10, 10, Unit::milliamps, "maximum current 9-15 V"),
    quantity("max_current_15v_20v_ma", 9, 0, 10, Unit::milliamps, "maximum current 15-20 V"),
    code("peak_current", 27, 26, peakCurrents, "peak current"),
};

constexpr Field sprAvsSinkFields[] = {
    quantity("max_current_9v_15v_ma", 19, 10, 10, Unit::milliamps, "maximum current 9-15 V"),
    quantity("max_current_15v_20v_ma", 9, 0, 10, Unit::milliamps, "maximum current 15-20 V"),
};

constexpr Field noFields[] = {
    hex("object", 31, 0, nullptr),
};

constexpr Field fixedRequestFields[] = {
    number("object_position", 31, 28, nullptr),
    flag("capability_mismatch", 26, "capability mismatch"),
    flag("usb_communications_capable", 25, "USB communications capable"),
    flag("no_usb_suspend", 24, "no USB suspend"),
    flag("unchunked_extended_messages_supported", 23, "unchunked extended messages supported"),
    flag("epr_mode_capable", 22, "EPR mode capable"),
    flag("giveback", 27, "giveback"),
    quantity("operating_current_ma", 19, 10, 10, Unit::milliamps, "operating current"),
    quantity("max_operating_current_ma", 9, 0, 10, Unit::milliamps, "maximum operating current"),
};

constexpr Field batteryRequestFields[] = {
    number("object_position", 31, 28, nullptr),
    flag("capability_mismatch", 26, "capability mismatch"),
    flag("usb_communications_capable", 25, "USB communications capable"),
    flag("no_usb_suspend", 24, "no USB suspend"),
    flag("unchunked_extended_messages_supported", 23, "unchunked extended messages supported"),
    flag("epr_mode_capable", 22, "EPR mode capable"),
    flag("giveback", 27, "giveback"),
    quantity("operating_power_mw", 19, 10, 250, Unit::milliwatts, "operating power"),
    quantity("max_operating_power_mw", 9, 0, 250, Unit::milliwatts, "maximum operating power"),
};

constexpr Field ppsRequestFields[] = {
    number("object_position", 31, 28, nullptr),
    flag("capability_mismatch", 26, "capability mismatch"),
    flag("usb_communications_capable", 25, "USB communications capable"),
    flag("no_usb_suspend", 24, "no USB suspend"),
    flag("unchunked_extended_messages_supported", 23, "unchunked extended messages supported"),
    flag("epr_mode_capable", 22, "EPR mode capable"),
    quantity("output_voltage_mv", 20, 9, 20, Unit::millivolts, "output voltage"),
    quantity("operating_current_ma", 6, 0, 50, Unit::milliamps, "operating current"),
};

constexpr Field avsRequestFields[] = {
    number("object_position", 31, 28, nullptr),
    flag("capability_mismatch", 26, "capability mismatch"),
    flag("usb_communications_capable", 25, "USB communications capable"),
    flag("no_usb_suspend", 24, "no USB suspend"),
    flag("unchunked_extended_messages_supported", 23, "unchunked extended messages supported"),
    flag("epr_mode_capable", 22, "EPR mode capable"),
    quantity("output_voltage_mv", 20, 9, 25, Unit::millivolts, "output voltage"),
    quantity("operating_current_ma", 6, 0, 50, Unit::milliamps, "operating current"),
};

} // namespace

const Layout fixedSourcePdo = layout(
    "Fixed {voltage_mv} V {max_current_ma} A ({voltage_mv*max_current_ma} W)", fixedSourceFields);
const Layout fixedSinkPdo = layout(
    "Fixed {voltage_mv} V {operational_current_ma} A ({voltage_mv*operational_current_ma} W)",
    fixedSinkFields);
const Layout batterySourcePdo =
    layout("Battery {min_voltage_mv}-{max_voltage_mv} V {max_power_mw} W", batterySourceFields);
const Layout batterySinkPdo = layout(
    "Battery {min_voltage_mv}-{max_voltage_mv} V {operational_power_mw} W", batterySinkFields);
const Layout variableSourcePdo =
    layout("Variable {min_voltage_mv}-{max_voltage_mv} V {max_current_ma} A", variableSourceFields);
const Layout variableSinkPdo = layout(
    "Variable {min_voltage_mv}-{max_voltage_mv} V {operational_current_ma} A", variableSinkFields);
const Layout ppsSourcePdo =
    layout("PPS {min_voltage_mv}-{max_voltage_mv} V {max_current_ma} A", ppsSourceFields);
const Layout ppsSinkPdo =
    layout("PPS {min_voltage_mv}-{max_voltage_mv} V {max_current_ma} A", ppsSinkFields);
const Layout eprAvsSourcePdo =
    layout("EPR AVS {min_voltage_mv}-{max_voltage_mv} V {pdp_w} W", eprAvsSourceFields);
const Layout eprAvsSinkPdo =
    layout("EPR AVS {min_voltage_mv}-{max_voltage_mv} V {pdp_w} W", eprAvsSinkFields);
const Layout sprAvsSourcePdo =
    layout("SPR AVS 9-15 V {max_current_9v_15v_ma} A, 15-20 V {max_current_15v_20v_ma} A",
           sprAvsSourceFields);
const Layout sprAvsSinkPdo =
    layout("SPR AVS 9-15 V {max_current_9v_15v_ma} A, 15-20 V {max_current_15v_20v_ma} A",
           sprAvsSinkFields);
const Layout reservedPdo = layout("Reserved APDO {object}", noFields);

const Layout fixedRequest = layout(
    "operating {operating_current_ma} A, maximum {max_operating_current_ma} A", fixedRequestFields);
const Layout batteryRequest = layout(
    "operating {operating_power_mw} W, maximum {max_operating_power_mw} W", batteryRequestFields);
const Layout ppsRequest =
    layout("output {output_voltage_mv} V, operating {operating_current_ma} A", ppsRequestFields);
const Layout avsRequest =
    layout("output {output_voltage_mv} V, operating {operating_current_ma} A", avsRequestFields);

} // namespace pd
