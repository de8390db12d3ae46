#include "explain/input/report/report_entry_line.h"

#include "explain/input/report/report_format.h"

namespace explain::report_reading {

std::optional<EntryLine> readEntryLine(std::string_view text)
{
    using namespace report_format;
    if (text.empty() || text[0] != '[') {
        return std::nullopt;
    }
    // A class of up to 127 bytes closes within the first 129.
    const std::size_t close = text.substr(0, longestName + 3).find("] ", 1);
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    EntryLine line;
    line.className = text.substr(1, close - 1);
    std::string_view rest = text.substr(close + 2);

    if (!rest.empty() && rest.back() == ']') {
        std::size_t opening = rest.rfind(bundleOpening);
        if (opening != std::string_view::npos) {
            line.bundle = rest.substr(opening + bundleOpening.size(),
                                      rest.size() - opening - bundleOpening.size() - 1);
            rest = rest.substr(0, opening);
        }
    }
    if (!rest.empty() && rest.back() == ')') {
        std::size_t opening = rest.rfind(userClientOpening);
        if (opening != std::string_view::npos) {
            line.userClient = rest.substr(opening + userClientOpening.size(),
                                          rest.size() - opening - userClientOpening.size() - 1);
            rest = rest.substr(0, opening);
        }
    }
    line.name = rest;
    if (line.name.size() > longestName ||
        (line.bundle && line.bundle->size() > longestAnnotation) ||
        (line.userClient && line.userClient->size() > longestAnnotation)) {
        return std::nullopt;
    }
    line.nameAmbiguous = line.name.find(userClientOpening) != std::string_view::npos ||
                         line.name.find(bundleOpening) != std::string_view::npos;
    return line;
}

} // namespace explain::report_reading
