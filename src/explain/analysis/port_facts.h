// The facts of one port, each read from the entries below it.
#ifndef PORTPROBE_EXPLAIN_PORT_FACTS_H
#define PORTPROBE_EXPLAIN_PORT_FACTS_H

#include <optional>

#include "explain/analysis/explanation.h"
#include "explain/analysis/port_entries.h"

namespace explain {

// The power sources and their options, the winner and the contract; null
// when the port has neither a "Power In" feature nor a source. An inactive
// "Power In" has no contract and no winner, whatever its sources say.
std::optional<PortPower> readPortPower(const PortEntries &port);

// The partner (SOP, or the CC transport's "Vendor ID (SOP)"); null when
// none answered.
std::optional<PartnerFacts> readPartner(const PortEntries &port, const VendorNames &vendors);

// What a Type-C cable whose e-marker was not read may carry.
constexpr std::int64_t unmarkedCableCurrentMa = 3000;

// The cable: its e-marker when SOP' answered; else, on a connected port, an
// unmarked cable (3 A at up to 20 V); null on an idle port.
std::optional<CableFacts> readCable(const PortEntries &port, const VendorNames &vendors);

// A contract above 3 A over a cable whose e-marker this Mac did not read
// proves that the charger read one: the cable carries at least the
// contract's current, at its voltage.
void boundCableByContract(CableFacts &cable, const PowerContract &contract);

PortData readPortData(const PortEntries &port);

// The cable's top speed in Gbps for a cable VDO's USB speed name.
std::optional<double> gbpsOfSpeed(const std::string &usbSpeed);

} // namespace explain

#endif
