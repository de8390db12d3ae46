#include "explain/input/report/report_reader.h"

#include "explain/input/report/report_format.h"
#include "explain/input/report/report_line_shape.h"
#include "explain/input/report/report_values.h"
#include "explain/input/report/report_view.h"

namespace explain::report_reading {

using namespace report_format;

RegistryWalk ReportReader::read()
{
    try {
        readSections();
    } catch (const InputEnded &) {
    } catch (const LineError &error) {
        // A paste cut in the middle of a line leaves that line without
        // its line feed; it is dropped rather than refused.
        if (text_.lastLineWhole || error.line != text_.lines.back().number ||
            text_.lines.size() == 1) {
            throw;
        }
        // Said as any other end of the report is: where it stops, and what
        // is missing after it.
        note("the report ends at line " + std::to_string(error.line) +
             (firstSectionWhole_ ? ", " : ", within its first section, ") +
             "in a line cut short that is left out (it ends without a line feed and does not "
             "read as a whole line: " +
             error.message + ")" +
             (firstSectionWhole_ ? "; its first section is whole"
                                 : ": entries after it, if the registry had any, are not in "
                                   "the report"));
    }
    walk_.notes = std::move(text_.notes);
    for (std::string &limit : notesOnWhatReportsCannotHold(walk_)) {
        walk_.notes.push_back(std::move(limit));
    }
    return std::move(walk_);
}

std::size_t ReportReader::lineNumber() const
{
    return at_ < text_.lines.size() ? text_.lines[at_].number
                                    : (text_.lines.empty() ? 1 : text_.lines.back().number);
}

// The message names what was expected, then shows the line, and the likely
// cause when the line looks damaged by pasting.
void ReportReader::fail(const std::string &message) const
{
    std::string full = message;
    if (!atEnd()) {
        const ReportLine &current = text_.lines[at_];
        const bool saysNot = message.find(", not ") != std::string::npos;
        full += (startsWith(message, "expected") && !saysNot ? ", not " : "; the line reads ") +
                excerptOf(current.text);
        for (const auto &[number, cause] : text_.causes) {
            if (number == current.number) {
                full += "; " + cause;
                break;
            }
        }
    }
    throw LineError{lineNumber(), full};
}

// Where the input stops before the report's end: after the first
// section's walk the rest is never needed, so a report cut there, or
// pasted with its first section alone, is read with a note.
void ReportReader::ended(const std::string &where)
{
    const std::size_t last = text_.lines.back().number;
    note("the report ends at line " + std::to_string(last) + ", " + where);
    throw InputEnded{};
}

// Whether the current line is text after the report rather than a line of
// it: it lacks the prefix the report's lines have, or reads as no report line.
bool ReportReader::textFollows() const
{
    return !atEnd() && (text_.lines[at_].outside ||
                        (shapeOf(line()) == LineShape::none && !startsWith(line(), "===")));
}

// The report stops before the current line, which is text after it.
void ReportReader::endsBefore(const std::string &where)
{
    std::size_t last = at_;
    while (last > 0 && isBlank(text_.lines[last - 1].text)) {
        --last;
    }
    note("the report ends at line " +
         std::to_string(last > 0 ? text_.lines[last - 1].number : lineNumber()) + ", " + where +
         "; the text after it, from line " + std::to_string(lineNumber()) + ", is left out");
    throw InputEnded{};
}

void ReportReader::endedInFirstSection()
{
    ended("within its first section (the IOPower section does not follow): it may have "
          "been cut short, and entries after that line, if the registry had any, are not in "
          "the report");
}

void ReportReader::readSections()
{
    if (line() != serviceHeader) {
        fail("expected the report's first line " + quoted(serviceHeader));
    }
    ++at_;
    if (atEnd()) {
        endedInFirstSection();
    }
    expectEmpty("an empty line after the first section's header");
    if (!atEnd() && line() == noControllers) {
        note("the report's first section says " + quoted(noControllers) +
             ": the registry lookup failed, and the report shows no entries");
        ++at_;
    } else {
        readWalk(Section::service);
    }
    firstSectionWhole_ = true;
    if (atEnd()) {
        endedInFirstSection();
    }
    expectSectionBreak(powerHeader, "IOPower");
    expectEmpty("an empty line after the IOPower section's header");
    readWalk(Section::power);
    if (atEnd()) {
        ended("within its IOPower section (the notification section does not follow); its "
              "first section is whole");
    }
    expectSectionBreak(interestHeader, "notification");
    readInterestLines();
}

void ReportReader::expectEmpty(const std::string &what)
{
    if (atEnd()) {
        ended("before its next section; its first section is whole");
    }
    if (!isBlank(line())) {
        fail("expected " + what);
    }
    ++at_;
}

// Two empty lines, then the header.
void ReportReader::expectSectionBreak(std::string_view header, const char *section)
{
    const std::string before = std::string("before the ") + section + " section's header";
    expectEmpty("an empty line " + before);
    if (atEnd()) {
        ended("before its " + std::string(section) + " section; its first section is whole");
    }
    if (textFollows()) {
        endsBefore("before its " + std::string(section) + " section; its first section is whole");
    }
    if (!isBlank(line())) {
        // One empty line inside a walk, where a report has none.
        --at_;
        fail("expected an entry or probe line, or two empty lines " + before);
    }
    ++at_;
    if (atEnd()) {
        ended("before its " + std::string(section) + " section; its first section is whole");
    }
    if (line() != header && textFollows()) {
        endsBefore("before its " + std::string(section) + " section; its first section is whole");
    }
    if (line() != header) {
        fail("expected the " + std::string(section) + " section's header " + quoted(header));
    }
    ++at_;
}

void ReportReader::readInterestLines()
{
    while (!atEnd()) {
        // Text after the report, maybe past blank lines.
        std::size_t next = at_;
        while (!atEnd(next) && isBlank(text_.lines[next].text)) {
            ++next;
        }
        if (next != at_ && !atEnd(next)) {
            std::swap(next, at_);
            if (!textFollows()) {
                at_ = next;
            }
        }
        if (textFollows()) {
            endsBefore("its last section whole");
        }
        readInterestLine(generalInterest);
        if (atEnd()) {
            ended("in its notification section, between the two lines of one service; its "
                  "first section is whole");
        }
        readInterestLine(busyInterest);
    }
}

void ReportReader::readInterestLine(std::string_view opening)
{
    std::string_view rest = line();
    const std::string expected = "expected " + quoted(std::string(opening) + "STATUS SUCCESS") +
                                 " or " + quoted(std::string(opening) + "STATUS FAILED");
    if (!startsWith(rest, opening)) {
        fail(expected);
    }
    rest.remove_prefix(opening.size());
    auto status = readDigits(rest, 16);
    if (!status || *status > 0xffffffffULL) {
        fail(expected + ", with a 32-bit STATUS in lower-case hexadecimal");
    }
    if (rest != (*status == 0 ? " SUCCESS" : " FAILED")) {
        fail(expected + ": SUCCESS for status 0 and FAILED for any other");
    }
    ++at_;
}

} // namespace explain::report_reading
