#include "platform/standin/snapshot/ioreg_text_values.h"

#include <cstdint>
#include <limits>
#include <vector>

#include <plist/plist.h>

#include "platform/standin/utf.h"

namespace snapshot {

void PlistFree::operator()(void *node) const { plist_free(node); }

namespace {

struct CutShort {};
struct Unexpected {
    std::string expected;
};

const char *const anyValue =
    "a value: a number, \"text\", Yes, No, <data>, (an array) or {a dictionary}";

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

// Reads one line; nesting is bounded by deepest, so is the recursion.
class ValueParser {
public:
    ValueParser(std::string_view text, unsigned deepest) : text_(text), deepest_(deepest) {}

    PropertyLine property()
    {
        PropertyLine line;
        try {
            line.keyAt = at_ + 1;
            line.key = quoted();
            skipSpaces();
            if (peek() != '=') {
                throw Unexpected{"\" = \" after the key"};
            }
            ++at_;
            skipSpaces();
            line.valueAt = at_;
            if (at_ == text_.size()) {
                line.outcome = PropertyLine::Outcome::empty;
                return line;
            }
            readWholeValue(line);
        } catch (const CutShort &) {
            line.value.reset();
            line.outcome = PropertyLine::Outcome::cut;
        } catch (Unexpected &unexpected) {
            line.value.reset();
            line.outcome = PropertyLine::Outcome::bad;
            line.expected = std::move(unexpected.expected);
        }
        return line;
    }

    PropertyLine valueAlone()
    {
        PropertyLine line;
        try {
            readWholeValue(line);
        } catch (const CutShort &) {
            line.value.reset();
            line.outcome = PropertyLine::Outcome::cut;
        } catch (Unexpected &unexpected) {
            line.value.reset();
            line.outcome = PropertyLine::Outcome::bad;
            line.expected = std::move(unexpected.expected);
        }
        return line;
    }

private:
    void readWholeValue(PropertyLine &line)
    {
        line.value = value(1);
        skipSpaces();
        if (at_ != text_.size()) {
            throw Unexpected{"the end of the line after the value"};
        }
        line.outcome = PropertyLine::Outcome::value;
    }

    char peek() const
    {
        if (at_ >= text_.size()) {
            throw CutShort{};
        }
        return text_[at_];
    }

    void skipSpaces()
    {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t')) {
            ++at_;
        }
    }

    PlistTree value(unsigned level)
    {
        if (level > deepest_) {
            throw Unexpected{"values nested at most " + std::to_string(deepest_) +
                             " levels deep here"};
        }
        char c = peek();
        switch (c) {
        case '"': return PlistTree(plist_new_string(quoted().c_str()));
        case '(': return array(level);
        case '{': return dictionary(level);
        case '<': return data();
        case 'Y': return word("Yes", true);
        case 'N': return word("No", false);
        default:
            if (c >= '0' && c <= '9') {
                return number();
            }
            throw Unexpected{anyValue};
        }
    }

    // A double-quoted text; there are no escapes.
    std::string quoted()
    {
        if (peek() != '"') {
            throw Unexpected{"a double-quoted key"};
        }
        std::size_t end = text_.find('"', at_ + 1);
        if (end == std::string_view::npos) {
            throw CutShort{};
        }
        std::string_view inner = text_.substr(at_ + 1, end - at_ - 1);
        at_ = end + 1;
        bool ascii = true;
        for (char byte : inner) {
            if (byte == '\0') {
                throw Unexpected{"text without a zero byte"};
            }
            ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
        }
        if (!ascii && !standin::utf16FromUtf8(inner)) {
            throw Unexpected{"text in UTF-8"};
        }
        return std::string(inner);
    }

    PlistTree word(std::string_view spelled, bool truth)
    {
        std::string_view rest = text_.substr(at_, spelled.size());
        if (rest.size() < spelled.size() && spelled.substr(0, rest.size()) == rest) {
            throw CutShort{};
        }
        if (rest != spelled) {
            throw Unexpected{anyValue};
        }
        at_ += spelled.size();
        return PlistTree(plist_new_bool(truth ? 1 : 0));
    }

    PlistTree number()
    {
        const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
        std::uint64_t value = 0;
        bool hex = text_.substr(at_, 2) == "0x";
        unsigned base = hex ? 16 : 10;
        at_ += hex ? 2 : 0;
        std::size_t first = at_;
        for (; at_ < text_.size(); ++at_) {
            int digit = hexDigit(text_[at_]);
            if (digit < 0 || static_cast<unsigned>(digit) >= base) {
                break;
            }
            if (value > (most - static_cast<unsigned>(digit)) / base) {
                throw Unexpected{"a number below 2^64"};
            }
            value = value * base + static_cast<unsigned>(digit);
        }
        if (at_ == first) {
            if (at_ == text_.size()) {
                throw CutShort{};
            }
            throw Unexpected{"hex digits after 0x"};
        }
        return PlistTree(plist_new_uint(value));
    }

    PlistTree data()
    {
        ++at_;
        if (peek() == '"') {
            std::size_t end = text_.find("\">", at_ + 1);
            if (end == std::string_view::npos) {
                throw CutShort{};
            }
            std::string_view inner = text_.substr(at_ + 1, end - at_ - 1);
            at_ = end + 2;
            return PlistTree(plist_new_data(inner.data(), inner.size()));
        }
        std::vector<char> bytes;
        std::size_t digits = 0;
        int high = 0;
        for (char c = peek(); c != '>'; c = peek()) {
            int digit = hexDigit(c);
            if (digit < 0) {
                throw Unexpected{"hex digits or \">\" in data"};
            }
            if (digits++ % 2 == 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<char>(high << 4 | digit));
            }
            ++at_;
        }
        ++at_;
        if (digits % 2 != 0) {
            throw Unexpected{"an even number of hex digits in data"};
        }
        return PlistTree(plist_new_data(bytes.data(), bytes.size()));
    }

    PlistTree array(unsigned level)
    {
        ++at_;
        PlistTree array(plist_new_array());
        if (peek() == ')') {
            ++at_;
            return array;
        }
        for (;;) {
            plist_array_append_item(array.get(), value(level + 1).release());
            char c = peek();
            ++at_;
            if (c == ')') {
                return array;
            }
            if (c != ',') {
                --at_;
                throw Unexpected{"\",\" or \")\" after an array's value"};
            }
        }
    }

    PlistTree dictionary(unsigned level)
    {
        ++at_;
        PlistTree dictionary(plist_new_dict());
        if (peek() == '}') {
            ++at_;
            return dictionary;
        }
        for (;;) {
            std::string key = quoted();
            if (peek() != '=') {
                throw Unexpected{"\"=\" after a dictionary's key"};
            }
            ++at_;
            char c = peek();
            if (c != ',' && c != '}') {
                plist_dict_set_item(dictionary.get(), key.c_str(), value(level + 1).release());
            }
            c = peek();
            ++at_;
            if (c == '}') {
                return dictionary;
            }
            if (c != ',') {
                --at_;
                throw Unexpected{"\",\" or \"}\" after a dictionary's value"};
            }
        }
    }

    std::string_view text_;
    unsigned deepest_;
    std::size_t at_ = 0;
};

} // namespace

PropertyLine readPropertyLine(std::string_view text, unsigned deepest)
{
    return ValueParser(text, deepest).property();
}

PropertyLine readValueLine(std::string_view text, unsigned deepest)
{
    return ValueParser(text, deepest).valueAlone();
}

} // namespace snapshot
