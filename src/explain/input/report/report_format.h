// The fixed texts and limits of portprobe's report that reading one back
// depends on: section headers, the probed keys in their order, and how much
// of each value a report shows.
#ifndef PORTPROBE_EXPLAIN_REPORT_FORMAT_H
#define PORTPROBE_EXPLAIN_REPORT_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace explain::report_format {

inline constexpr std::string_view serviceHeader =
    "=== Walking from AppleHPMARMSPMI in IOService plane ===";
inline constexpr std::string_view powerHeader = "=== Walking AppleHPMARMSPMI in IOPower plane ===";
inline constexpr std::string_view interestHeader =
    "=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===";
inline constexpr std::string_view noControllers = "No AppleHPMARMSPMI found";

inline constexpr std::string_view userClientOpening = " (UserClient: ";
inline constexpr std::string_view bundleOpening = " [";
inline constexpr std::string_view probeMarker = ">>> ";
inline constexpr std::string_view dumpIndent = "        ";
inline constexpr std::string_view generalInterest = "  General interest notification: kr=0x";
inline constexpr std::string_view busyInterest = "  Busy interest notification: kr=0x";

inline constexpr unsigned deepestLevel = 8;
inline constexpr std::size_t longestName = 127;       // class and entry names
inline constexpr std::size_t longestAnnotation = 255; // user-client and bundle texts
inline constexpr std::size_t longestString = 511;     // string values, in UTF-8 bytes
inline constexpr std::int64_t bytesShown = 128;       // of a data value
inline constexpr std::size_t bytesPerLine = 16;

// The platform's type identifier of booleans, which a report prints as
// "<type 21>" like any other kind it does not render.
inline constexpr unsigned long booleanTypeId = 21;

// The key's position in the probe order, if it is one of the probed keys.
std::optional<std::size_t> probedKeyIndex(std::string_view key);

} // namespace explain::report_format

#endif
