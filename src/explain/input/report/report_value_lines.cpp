#include "explain/input/report/report_reader.h"

#include "explain/input/report/report_format.h"
#include "explain/input/report/report_values.h"

namespace explain::report_reading {

using namespace report_format;

// The value, and the lines after the probe line that it takes up. Nothing
// when the input ended inside a value that cannot be read in part.
std::optional<PropertyValue> ReportReader::readValue(const WalkedEntry &entry, std::string_view key,
                                                     std::string_view text)
{
    PropertyValue value;
    if (startsWith(text, "<data ")) {
        readDump(key, text, value);
        return value;
    }
    if (startsWith(text, "\"")) {
        return readString(entry, key, text);
    }
    if (text == "<unconvertible string>") {
        value.kind = PropertyValue::Kind::unconvertibleString;
    } else if (auto keys = readCount(text, "<dict with ", " keys>")) {
        value.kind = PropertyValue::Kind::dictionary;
        value.count = static_cast<std::int64_t>(*keys);
        value.contentsKnown = false;
    } else if (auto items = readCount(text, "<array with ", " items>")) {
        value.kind = PropertyValue::Kind::array;
        value.count = static_cast<std::int64_t>(*items);
        value.contentsKnown = false;
    } else if (auto type = readCount(text, "<type ", ">", UINT64_MAX)) {
        if (*type == booleanTypeId) {
            value.kind = PropertyValue::Kind::boolean;
            value.contentsKnown = false;
        } else {
            value.kind = PropertyValue::Kind::other;
            value.typeId = static_cast<unsigned long>(*type);
        }
    } else if (auto number = readNumber(text)) {
        if (number->hexadecimal != static_cast<std::uint64_t>(number->decimal)) {
            fail("the number's decimal " + std::to_string(number->decimal) +
                 " and hexadecimal do not agree: a report prints both from the same 64 "
                 "bits, so one of them was changed");
        }
        value.kind = PropertyValue::Kind::integer;
        value.integer = number->decimal;
    } else {
        fail("expected a value as a report prints it: \"%lld (0x%llx)\", \"text\", "
             "\"<data N bytes> \" and its bytes, \"<dict with N keys>\", "
             "\"<array with N items>\", \"<type N>\" or \"<unconvertible string>\"");
    }
    ++at_;
    return value;
}

bool ReportReader::lastLineCut(std::size_t index) const
{
    return !text_.lastLineWhole && index + 1 == text_.lines.size();
}

void ReportReader::readDump(std::string_view key, std::string_view text, PropertyValue &value)
{
    value.kind = PropertyValue::Kind::data;
    auto length = readDumpHead(text);
    if (!length) {
        fail("expected \"<data N bytes> \" and the bytes");
    }
    value.length = *length;
    const auto shown = static_cast<std::size_t>(std::min(*length, bytesShown));
    value.bytes.reserve(shown);
    const std::string rowShape = "up to 16 bytes as \"xx \"";
    if (text.empty() && shown == 0) {
        trailingSpaceMissing();
    } else if (!startsWith(text, " ")) {
        fail("expected \"<data N bytes> \" and the bytes");
    } else {
        text.remove_prefix(1);
    }
    for (bool first = true; first || value.bytes.size() < shown; first = false) {
        if (!first) {
            ++at_;
            if (atEnd()) {
                dumpCut(key, value, "the report ends");
                return;
            }
            text = line();
            if (!startsWith(text, dumpIndent)) {
                fail("expected the next line of the dump of " + quoted(key) + ": 8 spaces and " +
                     rowShape);
            }
            text.remove_prefix(dumpIndent.size());
        }
        const std::size_t wanted = std::min(bytesPerLine, shown - value.bytes.size());
        DumpRow row = readDumpRow(text, wanted, value.bytes);
        const bool lastRow = value.bytes.size() - row.bytesRead + wanted == shown;
        bool rowWhole = row.bytesRead == wanted;
        if (rowWhole && lastRow && *length > bytesShown) {
            rowWhole =
                !row.trailingSpaceMissing && text == "... (" + std::to_string(*length) + " total)";
            text = rowWhole ? std::string_view() : text;
        }
        if (!rowWhole || !text.empty()) {
            if (lastLineCut(at_)) {
                dumpCut(key, value, "the report's last line is cut short");
                return;
            }
            fail("expected " + std::to_string(wanted) + " bytes as \"xx \" on this line of " +
                 "the dump of " + quoted(key) +
                 (lastRow && *length > bytesShown
                      ? ", then \"... (" + std::to_string(*length) + " total)\""
                      : std::string()) +
                 ", and nothing after them");
        }
        if (row.trailingSpaceMissing) {
            trailingSpaceMissing();
        }
    }
    ++at_;
}

void ReportReader::dumpCut(std::string_view key, const PropertyValue &value,
                           const std::string &what)
{
    if (section_ == Section::service) {
        note("line " + std::to_string(lineNumber()) + ": " + what + " in the dump of " +
             quoted(key) + ": " + std::to_string(value.bytes.size()) + " of its " +
             std::to_string(value.length) + " bytes are in the report");
    }
    at_ = text_.lines.size();
}

void ReportReader::trailingSpaceMissing()
{
    if (!trailingSpacesNoted_) {
        trailingSpacesNoted_ = true;
        note("line " + std::to_string(lineNumber()) +
             ": a dump line lacks the space a report prints after its last byte (a "
             "terminal's copy drops trailing spaces); such lines are read as if it were "
             "there");
    }
}

// A string is printed unescaped, so its text may hold quotes and line
// feeds. It ends at the first line that ends with a quote and is
// followed by a line the report could print next; its text is never
// longer than 511 bytes, which bounds the search. When no such line
// comes, the first line that ends with a quote ends it after all, and
// the line after it is where the report breaks.
std::optional<PropertyValue> ReportReader::readString(const WalkedEntry &entry,
                                                      std::string_view key, std::string_view text)
{
    const std::size_t first = at_;
    std::string content;
    std::optional<std::pair<std::size_t, std::size_t>> firstClosing; // line, text length
    text.remove_prefix(1);
    for (std::size_t index = first;; ++index) {
        if (index != first) {
            if (atEnd(index)) {
                if (firstClosing) {
                    break;
                }
                at_ = text_.lines.size();
                if (section_ == Section::service) {
                    note("line " + std::to_string(text_.lines[first].number) +
                         ": the report ends inside the string value of " + quoted(key) +
                         ", which is left out");
                }
                return std::nullopt;
            }
            if (text_.lines[index].cutAmbiguously) {
                at_ = index;
                fail("expected the string value of " + quoted(key) +
                     " to go on without a line feed");
            }
            text = text_.lines[index].text;
            content += '\n';
        }
        const bool closes = !text.empty() && text.back() == '"';
        content.append(text.substr(0, closes ? text.size() - 1 : text.size()));
        if (content.size() > longestString) {
            if (firstClosing) {
                break;
            }
            at_ = first;
            fail("expected the string value of " + quoted(key) +
                 " to close with a quote within the 511 bytes a report shows of a string");
        }
        if (closes && followsProbe(index + 1, entry.depth, *lastKey_)) {
            return closedString(key, first, index, std::move(content));
        }
        if (closes && !firstClosing) {
            firstClosing = std::make_pair(index, content.size());
        }
        content.append(closes ? "\"" : "");
    }
    content.resize(firstClosing->second);
    return closedString(key, first, firstClosing->first, std::move(content));
}

PropertyValue ReportReader::closedString(std::string_view key, std::size_t first, std::size_t last,
                                         std::string content)
{
    if (last != first && section_ == Section::service) {
        note("line " + std::to_string(text_.lines[first].number) + ": the string value of " +
             quoted(key) + " holds line feeds; it is read up to line " +
             std::to_string(text_.lines[last].number) +
             ", the first that ends with a quote and is followed by a report line");
    }
    at_ = last + 1;
    PropertyValue value;
    value.kind = PropertyValue::Kind::string;
    value.text = std::move(content);
    return value;
}

} // namespace explain::report_reading
