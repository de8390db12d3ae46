// Power data objects of Source_Capabilities and Sink_Capabilities, and the
// request data object read against the PDO it names.
#ifndef PORTPROBE_PD_PDO_H
#define PORTPROBE_PD_PDO_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pd/field_table.h"

namespace pd {

enum class PowerRole { source, sink };

enum class PdoType { fixed, battery, variable, pps, eprAvs, sprAvs, reserved };

PdoType pdoTypeOf(std::uint32_t pdo);
const char *pdoTypeName(PdoType type); // the JSON name: "fixed", ..., "reserved"

// The layout of a PDO of that type and role.
const Layout &pdoLayout(PdoType type, PowerRole role);

// One PDO: JSON {position, type, ...}; line "PDO 1: Fixed 5.00 V 3.00 A (15 W); ...".
struct DecodedPdo {
    DecodedObject object;
    std::string summary; // the PDO named in other words: "Fixed 20.00 V 5.00 A"
    std::string line;
};
// Without the words, summary and line are empty.
DecodedPdo decodePdo(std::uint32_t pdo, PowerRole role, unsigned position, Views views = {});

// A PDO list's breaches of the order the standard sets: vSafe5V fixed first,
// further fixed supplies by rising voltage, battery and variable supplies by
// rising minimum voltage, PPS by rising maximum voltage. Zero objects (the
// padding of an EPR list) are passed over. One sentence per breach.
std::vector<std::string> pdoListBreaches(const std::vector<std::uint32_t> &pdos, PowerRole role);

// A request, read with the layout of the PDO type it refers to; without
// one, with the fixed layout, unresolved. (Its JSON's destructor, as a
// DecodedObject's, may allocate.)
// NOLINTNEXTLINE(bugprone-exception-escape)
struct DecodedRequest {
    DecodedObject object;
    std::string line;
    unsigned position = 0;
    // What the request asks beyond what the PDO offers, without capability
    // mismatch set; one sentence each.
    std::vector<std::string> overreach;
};
DecodedRequest decodeRequest(std::uint32_t rdo, std::optional<std::uint32_t> sourcePdo,
                             Views views = {});

} // namespace pd

#endif
