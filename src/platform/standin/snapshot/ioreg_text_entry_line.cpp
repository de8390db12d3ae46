#include "platform/standin/snapshot/ioreg_text_entry_line.h"

namespace snapshot {

const char *const entryLineForm = "an entry line (\"+-o NAME  <class CLASS, id 0xID, ...>\")";

namespace {

const std::string_view classStart = "<class ";
const std::string_view idStart = "id 0x";

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The "<class " that starts the details: the last one after a space (a name
// may hold the words itself).
std::size_t detailsAt(std::string_view rest)
{
    std::size_t at = rest.rfind(classStart);
    while (at != std::string_view::npos && at > 0 && rest[at - 1] != ' ' && rest[at - 1] != '\t') {
        at = rest.rfind(classStart, at - 1);
    }
    return at;
}

// Reads the ID's hex digits, which end at "," or ">"; a line that ends
// inside them has lost its ID.
std::optional<std::string> readId(std::string_view digits, EntryLine &line)
{
    std::uint64_t id = 0;
    std::size_t count = 0;
    for (; count < digits.size(); ++count) {
        int digit = hexDigit(digits[count]);
        if (digit < 0) {
            break;
        }
        if (count == 16) {
            return std::string("expected an entry ID of at most 16 hex digits");
        }
        id = id << 4 | static_cast<unsigned>(digit);
    }
    if (count == digits.size()) {
        line.lost = EntryLine::Lost::id;
        return std::nullopt;
    }
    if (count == 0 || (digits[count] != ',' && digits[count] != '>')) {
        return std::string("expected hex digits and \",\" or \">\" after \"id 0x\"");
    }
    line.id = id;
    return std::nullopt;
}

} // namespace

std::optional<std::string> readEntryLine(std::string_view rest, EntryLine &line)
{
    line = EntryLine();
    if (rest.find('\0') != std::string_view::npos) {
        return std::string("expected ") + entryLineForm + " without a zero byte";
    }
    line.cut = rest.empty() || rest.back() != '>';
    std::size_t classAt = detailsAt(rest);
    if (classAt == std::string_view::npos) {
        line.lost = EntryLine::Lost::nameClassAndId;
        return std::nullopt;
    }
    std::string_view fullName = rest.substr(0, classAt);
    while (!fullName.empty() && (fullName.back() == ' ' || fullName.back() == '\t')) {
        fullName.remove_suffix(1);
    }
    std::size_t at = fullName.rfind('@');
    line.name = at == std::string_view::npos ? fullName : fullName.substr(0, at);
    if (at != std::string_view::npos) {
        line.location = fullName.substr(at + 1);
    }
    std::string_view details = rest.substr(classAt + classStart.size());
    std::size_t classEnd = details.find_first_of(",>");
    if (classEnd == std::string_view::npos) {
        line.lost = EntryLine::Lost::classAndId;
        return std::nullopt;
    }
    if (classEnd == 0) {
        return std::string("expected a class name in ") + entryLineForm;
    }
    line.className = details.substr(0, classEnd);
    std::string_view after = details.substr(classEnd);
    if (after == ",") {
        line.lost = EntryLine::Lost::id;
        return std::nullopt;
    }
    if (after.substr(0, 2) == ", ") {
        after.remove_prefix(2);
        if (after.size() < idStart.size() && idStart.substr(0, after.size()) == after) {
            line.lost = EntryLine::Lost::id;
            return std::nullopt;
        }
        if (after.substr(0, idStart.size()) == idStart) {
            return readId(after.substr(idStart.size()), line);
        }
        return std::nullopt;
    }
    if (after.front() != '>') {
        return std::string("expected \", \" or \">\" after the class of ") + entryLineForm;
    }
    return std::nullopt;
}

} // namespace snapshot
