#include "explain/analysis/power_manager_state.h"

#include <cmath>

#include "explain/analysis/captured_values.h"
#include "pd/decoded_property.h"

namespace explain {

namespace {

// What "TimeRemaining" and "AvgTimeToFull" hold while they are unknown.
const std::int64_t unknownMinutes = 65535;

std::optional<std::int64_t> minutesOf(const PropertyValue *value)
{
    const std::optional<std::int64_t> minutes = integerOf(value);
    if (!minutes || *minutes < 0 || *minutes >= unknownMinutes) {
        return std::nullopt;
    }
    return minutes;
}

// "CurrentCapacity" is a percentage on Apple silicon (its "MaxCapacity"
// 100) and a charge in mAh elsewhere; a cut capture may lack "MaxCapacity",
// which comes later in its order.
std::optional<std::int64_t> chargePercentOf(const std::vector<DictionaryMember> &properties)
{
    const std::optional<std::int64_t> current = integerOf(memberOf(properties, "CurrentCapacity"));
    const std::optional<std::int64_t> most = integerOf(memberOf(properties, "MaxCapacity"));
    if (!current || *current < 0) {
        return std::nullopt;
    }
    if (!most || *most == 100) {
        return *current <= 100 ? current : std::nullopt;
    }
    if (*most <= 0 || *current > *most) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(
        std::llround(100.0 * static_cast<double>(*current) / static_cast<double>(*most)));
}

} // namespace

void readPartners(const std::vector<DictionaryMember> &properties, const VendorNames &vendors,
                  PowerManagerStory &story)
{
    const PropertyValue *list = memberOf(properties, "FedDetails");
    if (list == nullptr || list->kind != PropertyValue::Kind::array) {
        return;
    }
    for (std::size_t i = 0; i < list->items.size(); ++i) {
        const PropertyValue &item = list->items[i];
        if (item.kind != PropertyValue::Kind::dictionary) {
            continue;
        }
        FedPartner partner;
        partner.index = i;
        partner.connected = flagOf(memberOf(&item, "FedExternalConnected"));
        partner.vendorId = id16Of(memberOf(&item, "FedVendorID"));
        partner.productId = id16Of(memberOf(&item, "FedProductID"));
        partner.pdRevision = integerOf(memberOf(&item, "FedPdSpecRevision"));
        partner.powerRole = integerOf(memberOf(&item, "FedPortPowerRole"));
        partner.dualRolePower = flagOf(memberOf(&item, "FedDualRolePower"));
        if (partner.vendorId && *partner.vendorId != 0) {
            partner.vendorName = pd::vendorNameOf(vendors, *partner.vendorId);
        }
        story.partners.push_back(partner);
    }
}

void readOutputs(const std::vector<DictionaryMember> &properties, PowerManagerStory &story)
{
    const PropertyValue *list = memberOf(properties, "PowerOutDetails");
    if (list == nullptr || list->kind != PropertyValue::Kind::array) {
        return;
    }
    for (std::size_t i = 0; i < list->items.size(); ++i) {
        const PropertyValue &item = list->items[i];
        PowerOutput output;
        output.index = i;
        output.voltageMv = integerOf(memberOf(&item, "ConfiguredVoltage"));
        output.currentMa = integerOf(memberOf(&item, "ConfiguredCurrent"));
        const std::optional<std::int64_t> pdPower = integerOf(memberOf(&item, "PDPowermW"));
        const std::optional<std::int64_t> watts = integerOf(memberOf(&item, "Watts"));
        if (pdPower.value_or(0) > 0) {
            output.powerMw = pdPower;
        } else if (output.voltageMv.value_or(0) > 0 && output.currentMa.value_or(0) > 0) {
            output.powerMw = milliProduct(*output.voltageMv, *output.currentMa);
        } else if (watts.value_or(0) > 0) {
            output.powerMw = milliProduct(*watts, 1000000);
        }
        if (output.voltageMv.value_or(0) > 0 || output.currentMa.value_or(0) > 0 ||
            output.powerMw.value_or(0) > 0) {
            story.outputs.push_back(output);
        }
    }
}

void readChargingState(const std::vector<DictionaryMember> &properties, PowerManagerStory &story)
{
    const PropertyValue *charger = memberOf(properties, "ChargerData");
    const PropertyValue *telemetry = memberOf(properties, "PowerTelemetryData");
    story.externalConnected = flagOf(memberOf(properties, "ExternalConnected"));
    story.charging = flagOf(memberOf(properties, "IsCharging"));
    if (!story.charging) {
        story.charging = flagOf(memberOf(charger, "IsCharging"));
    }
    story.fullyCharged = flagOf(memberOf(properties, "FullyCharged"));
    story.batteryInstalled = flagOf(memberOf(properties, "BatteryInstalled"));
    story.notChargingReason = integerOf(memberOf(charger, "NotChargingReason"));
    story.slowChargingReason = integerOf(memberOf(charger, "SlowChargingReason"));
    story.inputPowerMw = integerOf(memberOf(telemetry, "SystemPowerIn"));
    story.inputVoltageMv = integerOf(memberOf(telemetry, "SystemVoltageIn"));
    story.inputCurrentMa = integerOf(memberOf(telemetry, "SystemCurrentIn"));
    if (story.batteryInstalled == false) {
        return;
    }
    for (const char *key : {"InstantAmperage", "Amperage"}) {
        if (std::optional<std::int64_t> current = signed32Of(memberOf(properties, key))) {
            story.batteryCurrentMa = current;
            story.batteryCurrentKey = key;
            break;
        }
    }
    story.chargePercent = chargePercentOf(properties);
    story.minutesToFull = minutesOf(memberOf(properties, "AvgTimeToFull"));
    if (!story.minutesToFull && story.charging == true) {
        story.minutesToFull = minutesOf(memberOf(properties, "TimeRemaining"));
    }
}

} // namespace explain
