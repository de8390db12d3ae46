#include "platform/standin/snapshot/ioreg_text_lines.h"

#include <cstdio>

namespace snapshot {
namespace {

const std::string_view byteOrderMark = "\xef\xbb\xbf";
const std::size_t messageLineStart = 40;

std::size_t characters(std::string_view text)
{
    std::size_t count = 0;
    for (char byte : text) {
        count += (static_cast<unsigned char>(byte) & 0xc0) != 0x80;
    }
    return count;
}

} // namespace

TextLines::TextLines(std::string_view bytes, std::size_t tabStop) : rest_(bytes), tabStop_(tabStop)
{
    if (rest_.substr(0, byteOrderMark.size()) == byteOrderMark) {
        rest_.remove_prefix(byteOrderMark.size());
    }
}

bool TextLines::next(TextLine &line)
{
    if (rest_.empty()) {
        return false;
    }
    std::size_t end = rest_.find('\n');
    std::string_view raw = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    if (!raw.empty() && raw.back() == '\r') {
        raw.remove_suffix(1);
        crlf_ = true;
    }
    line.number = ++number_;
    line.raw = raw;

    // Mail quotes a line with ">", nested ">>" or "> >"; a tree line never
    // starts with one.
    std::string_view text = raw;
    while (!text.empty() && text.front() == '>') {
        text.remove_prefix(text.size() > 1 && text[1] == ' ' ? 2 : 1);
        quoting_ = true;
    }
    std::size_t drawing = text.find_first_not_of(" |\t");
    std::size_t firstTab = text.substr(0, drawing).find('\t');
    if (firstTab != std::string_view::npos) {
        tabs_ = true;
        expanded_.clear();
        std::size_t prefix = drawing == std::string_view::npos ? text.size() : drawing;
        for (std::size_t at = 0; at < prefix; ++at) {
            if (text[at] == '\t') {
                expanded_.append(tabStop_ - expanded_.size() % tabStop_, ' ');
            } else {
                expanded_ += text[at];
            }
        }
        expanded_.append(text.substr(prefix));
        text = expanded_;
    }
    line.text = text;
    line.width = characters(text);
    return true;
}

std::string lineStartForMessage(std::string_view raw)
{
    std::string shown;
    std::size_t count = 0;
    std::size_t at = 0;
    for (; at < raw.size(); ++at) {
        auto byte = static_cast<unsigned char>(raw[at]);
        bool continuation = (byte & 0xc0) == 0x80;
        if (!continuation && count == messageLineStart) {
            break;
        }
        count += !continuation;
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            shown += escaped;
        } else {
            shown += static_cast<char>(byte);
        }
    }
    if (at < raw.size()) {
        shown += "...";
    }
    return shown;
}

std::string_view lineOfText(std::string_view text, std::size_t number)
{
    TextLines lines(text);
    TextLine line;
    while (lines.next(line)) {
        if (line.number == number) {
            return line.raw;
        }
    }
    return {};
}

} // namespace snapshot
