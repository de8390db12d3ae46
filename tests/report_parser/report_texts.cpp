#include "report_texts.h"

#include <gtest/gtest.h>

#include <variant>

namespace testing_support {

std::string wholeReport(const std::string &serviceLines, const std::string &powerLines,
                        const std::string &interestLines)
{
    return "=== Walking from AppleHPMARMSPMI in IOService plane ===\n\n" + serviceLines +
           "\n\n=== Walking AppleHPMARMSPMI in IOPower plane ===\n\n" + powerLines +
           "\n\n=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===\n" +
           interestLines;
}

explain::RegistryWalk walkOf(std::string_view report)
{
    auto parsed = explain::parseReport(report);
    if (const auto *error = std::get_if<explain::ReportParseError>(&parsed)) {
        ADD_FAILURE() << "line " << error->line << ": " << error->message;
        return {};
    }
    return std::get<explain::RegistryWalk>(std::move(parsed));
}

explain::ReportParseError errorOf(std::string_view report)
{
    auto parsed = explain::parseReport(report);
    if (const auto *error = std::get_if<explain::ReportParseError>(&parsed)) {
        return *error;
    }
    ADD_FAILURE() << "the report parsed";
    return {0, ""};
}

std::string whatWasExpected(const explain::ReportParseError &error)
{
    const std::string &message = error.message;
    const std::size_t reads = message.find("; the line reads \"");
    return message.substr(0, reads != std::string::npos ? reads : message.rfind(", not \""));
}

bool hasNote(const explain::RegistryWalk &walk, std::string_view text)
{
    for (const std::string &note : walk.notes) {
        if (note.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace testing_support
