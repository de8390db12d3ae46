#include "explain/input/report/report_format.h"

#include "report/property_keys.h"

namespace explain::report_format {

std::optional<std::size_t> probedKeyIndex(std::string_view key)
{
    for (std::size_t i = 0; i < propertyKeyCount; ++i) {
        if (propertyKeys[i] == key) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace explain::report_format
