#include "platform/standin/snapshot/ioreg_text_value_lines.h"

#include <plist/plist.h>

namespace snapshot {

SpreadValue::SpreadValue(char opener, std::size_t keyColumn, unsigned deepest)
    : keyColumn_(keyColumn), deepest_(deepest)
{
    open(opener, std::string());
}

bool SpreadValue::open(char opener, const std::string &key)
{
    if (open_.size() + 1 > deepest_) {
        return false;
    }
    plist_t container = opener == '{' ? plist_new_dict() : plist_new_array();
    if (open_.empty()) {
        value_.reset(container);
    } else if (plist_get_node_type(open_.back()) == PLIST_DICT) {
        plist_dict_set_item(open_.back(), key.c_str(), container);
    } else {
        plist_array_append_item(open_.back(), container);
    }
    open_.push_back(container);
    return true;
}

SpreadValue::Step SpreadValue::bad(std::string expected)
{
    expected_ = std::move(expected);
    return Step::bad;
}

SpreadValue::Step SpreadValue::read(std::string_view content, std::size_t column)
{
    while (!content.empty() && (content.back() == ' ' || content.back() == '\t')) {
        content.remove_suffix(1);
    }
    std::string_view member = content;
    if (!member.empty() && member.back() == ',') {
        member.remove_suffix(1);
    }
    const bool inDictionary = plist_get_node_type(open_.back()) == PLIST_DICT;
    if (member == "}" || member == ")") {
        if (column < keyColumn_) {
            return Step::notMine;
        }
        if ((member == "}") != inDictionary) {
            return bad(std::string("\"") + (inDictionary ? "}" : ")") +
                       "\" closing the value begun above, or a member of it");
        }
        open_.pop_back();
        return open_.empty() ? Step::closed : Step::member;
    }
    if (column <= keyColumn_) {
        return Step::notMine;
    }
    const auto budget = static_cast<unsigned>(deepest_ - open_.size());
    PropertyLine line =
        inDictionary ? readPropertyLine(member, budget) : readValueLine(member, budget);
    switch (line.outcome) {
    case PropertyLine::Outcome::bad: return bad(line.expected);
    case PropertyLine::Outcome::empty: return Step::member; // left out, as on one line
    case PropertyLine::Outcome::value:
        if (inDictionary) {
            plist_dict_set_item(open_.back(), line.key.c_str(), line.value.release());
        } else {
            plist_array_append_item(open_.back(), line.value.release());
        }
        return Step::member;
    case PropertyLine::Outcome::cut: break;
    }
    std::string_view rest = member.substr(line.valueAt);
    if (rest == "{" || rest == "(") {
        if (!open(rest.front(), line.key)) {
            return bad("values nested at most " + std::to_string(deepest_) + " levels deep here");
        }
        return Step::member;
    }
    spoiled_ = true;
    return Step::member;
}

} // namespace snapshot
