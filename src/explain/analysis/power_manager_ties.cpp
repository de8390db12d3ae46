#include "explain/analysis/power_manager_ties.h"

#include <cmath>

#include "pd/field_table.h"

namespace explain {

namespace {

// How far apart two sources may be on one contract: the adapter's own
// figures are rounded (4990 mA for a 5 A offer).
const double tolerance = 0.05;

std::string volts(std::int64_t millivolts) { return pd::trimmedDecimals(millivolts) + " V"; }
std::string amps(std::int64_t milliamps) { return pd::trimmedDecimals(milliamps) + " A"; }

// "20 V 3.5 A", of what is known.
std::string termsText(const std::optional<std::int64_t> &millivolts,
                      const std::optional<std::int64_t> &milliamps)
{
    std::string text = millivolts ? volts(*millivolts) : std::string();
    if (milliamps) {
        text += (text.empty() ? "" : " ") + amps(*milliamps);
    }
    return text;
}

// True when both are known and ours is more than the tolerance from theirs.
bool differs(const std::optional<std::int64_t> &ours, const std::optional<std::int64_t> &theirs)
{
    if (!ours || !theirs) {
        return false;
    }
    const double gap = std::fabs(static_cast<double>(*ours) - static_cast<double>(*theirs));
    return gap > tolerance * std::fabs(static_cast<double>(*theirs));
}

void tieContract(PowerManagerStory &manager, const std::vector<PortAccount> &ports)
{
    const PortAccount *withContract = nullptr;
    std::size_t contracts = 0;
    for (const PortAccount &port : ports) {
        if (port.story.power && port.story.power->contract) {
            withContract = &port;
            ++contracts;
        }
    }
    if (contracts != 1 || !manager.adapter) {
        return;
    }
    const PowerContract &contract = *withContract->story.power->contract;
    manager.tiedPort = withContract->story.name;
    manager.tieBasis = "the only port with a contract; the power manager does not name its port";
    const AdapterFacts &adapter = *manager.adapter;
    if (!differs(adapter.voltageMv, contract.voltageMv) &&
        !differs(adapter.currentMa, contract.currentMa)) {
        return;
    }
    const Evidence theirs{contract.entry, "WinningPowerSourceOption"};
    const Evidence ours{{manager.name}, adapter.key};
    manager.verdicts.push_back({"sources_disagree",
                                Severity::warning,
                                "the adapter in use (" + adapter.key + ") is at " +
                                    termsText(adapter.voltageMv, adapter.currentMa) + ", but " +
                                    manager.tiedPort + "'s winning option is " +
                                    termsText(contract.voltageMv, contract.currentMa) + " (" +
                                    manager.tiedPort + " is " + manager.tieBasis + ")",
                                {ours, theirs}});
}

bool sameIds(const PartnerFacts &partner, const FedPartner &fed)
{
    return partner.vendorId == fed.vendorId && partner.productId == fed.productId;
}

// A partner is tied only by IDs that name someone: both known, the vendor
// not 0, and held by one port's partner and one "FedDetails" item alone.
void tiePartners(PowerManagerStory &manager, const std::vector<PortAccount> &ports)
{
    for (FedPartner &fed : manager.partners) {
        if (!fed.vendorId || *fed.vendorId == 0 || !fed.productId) {
            continue;
        }
        std::size_t twins = 0;
        for (const FedPartner &other : manager.partners) {
            twins += other.vendorId == fed.vendorId && other.productId == fed.productId ? 1 : 0;
        }
        const PortAccount *match = nullptr;
        std::size_t matches = 0;
        for (const PortAccount &port : ports) {
            if (port.story.partner && sameIds(*port.story.partner, fed)) {
                match = &port;
                ++matches;
            }
        }
        if (twins == 1 && matches == 1) {
            fed.port = match->story.name;
            fed.tieBasis = "its vendor and product IDs are those of this port's partner, and of no "
                           "other port's";
        }
    }
}

} // namespace

void tiePowerManager(PowerManagerStory &manager, const std::vector<PortAccount> &ports)
{
    tieContract(manager, ports);
    tiePartners(manager, ports);
}

} // namespace explain
