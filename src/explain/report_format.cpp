#include "explain/report_format.h"

namespace explain::report_format {

const std::string_view probedKeys[probedKeyCount] = {
    "VDMs",
    "VDOs",
    "Metadata",
    "PDRevision",
    "SpecRevision",
    "PortPartnerIdentity",
    "CableIdentity",
    "PDContract",
    "PowerRole",
    "DataRole",
    "VCONNSource",
    "SourceCapabilities",
    "SinkCapabilities",
    "RequestDataObject",
    "ActiveContract",
    "AlternateMode",
    "SVIDs",
    "Modes",
    "DisplayPortStatus",
    "DisplayPortConfig",
    "RawVDM",
    "VDMResponse",
    "VDMHistory",
    "MessageLog",
    "PDMessageLog",
    "TraceBuffer",
};

std::optional<std::size_t> probedKeyIndex(std::string_view key)
{
    for (std::size_t i = 0; i < probedKeyCount; ++i) {
        if (probedKeys[i] == key) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace explain::report_format
