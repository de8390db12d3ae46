// Splits `ioreg` text, as people paste it, into lines, undoing what pasting
// does to it where the reading is certain: CRLF line ends, "> " quoting and
// tabs standing for the tree's spaces (a terminal's tabs stop every 8
// columns; an editor's may stop every 4 or 2).
#ifndef PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_LINES_H
#define PORTPROBE_STANDIN_SNAPSHOT_IOREG_TEXT_LINES_H

#include <cstddef>
#include <string>
#include <string_view>

namespace snapshot {

struct TextLine {
    std::size_t number = 0; // from 1
    std::string_view raw;   // as pasted, without its line end
    // Quoting taken off and the tabs of the leading drawing expanded; ends
    // where raw ends, so that a position in its tail is one in raw.
    std::string_view text;
    std::size_t width = 0; // characters of text, as a terminal counts them
};

class TextLines {
public:
    explicit TextLines(std::string_view bytes, std::size_t tabStop = 8);

    // The next line, or false at the end. A line's views last until the
    // next call.
    bool next(TextLine &line);
    // Whether the line last read was the text's last.
    bool atEnd() const { return rest_.empty(); }
    std::size_t tabStop() const { return tabStop_; }

    // What was undone in the lines read so far.
    bool sawCrlf() const { return crlf_; }
    bool sawQuoting() const { return quoting_; }
    bool sawTabs() const { return tabs_; }

private:
    std::string_view rest_;
    std::size_t tabStop_;
    std::size_t number_ = 0;
    std::string expanded_;
    bool crlf_ = false;
    bool quoting_ = false;
    bool tabs_ = false;
};

// The line as a message shows it: at most its first 40 characters, bytes
// that do not print written as \xNN.
std::string lineStartForMessage(std::string_view raw);

// The line numbered number (from 1) of the text, without its line end.
std::string_view lineOfText(std::string_view text, std::size_t number);

} // namespace snapshot

#endif
