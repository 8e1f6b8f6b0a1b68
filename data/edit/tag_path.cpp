#include "data/edit/tag_path.h"

#include <cctype>
#include <cstdio>

#include "data/dictionary/dictionary.h"

namespace pella {

namespace {

// Item indexes above this are refused as text: no data set holds that many items.
constexpr std::size_t kMaxItemIndex = 1u << 30;

bool ParseHex16(std::string_view text, uint16_t& out) {
    if (text.size() != 4) return false;
    unsigned value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        value =
            value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
    }
    out = static_cast<uint16_t>(value);
    return true;
}

bool IsKeyword(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// "[n]" or "[*]" at the front of `rest`; consumes it.
bool ParseItemIndex(std::string_view& rest, PathStep& step, std::string& error) {
    std::size_t close = rest.find(']');
    if (rest.empty() || rest[0] != '[' || close == std::string_view::npos) {
        error = "an item index \"[n]\" must follow every sequence on a path";
        return false;
    }
    std::string_view index = rest.substr(1, close - 1);
    rest.remove_prefix(close + 1);
    if (index == "*") {
        step.allItems = true;
        return true;
    }
    if (index.empty() || index.size() > 10) {
        error = std::string("item index \"[").append(index) + "]\" is not a number";
        return false;
    }
    std::size_t value = 0;
    for (char c : index) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            error = std::string("item index \"[").append(index) + "]\" is not a number";
            return false;
        }
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    if (value > kMaxItemIndex) {
        error = std::string("item index ").append(index) + " is too large";
        return false;
    }
    step.item = value;
    return true;
}

}  // namespace

bool ParseTag(std::string_view text, uint16_t& group, uint16_t& element, std::string& error) {
    std::string_view inner = text;
    if (inner.size() >= 2 && inner.front() == '(' && inner.back() == ')')
        inner = inner.substr(1, inner.size() - 2);
    if (inner.size() == 9 && inner[4] == ',' && ParseHex16(inner.substr(0, 4), group) &&
        ParseHex16(inner.substr(5, 4), element))
        return true;
    if (IsKeyword(text)) {
        if (const DictionaryEntry* entry = FindDictionaryEntryByKeyword(text)) {
            group = entry->group;
            element = entry->element;
            return true;
        }
        error = std::string("\"").append(text) + "\" is no attribute keyword of the dictionary";
        return false;
    }
    error = std::string("\"").append(text) + "\" is no tag (a keyword, gggg,eeee or (gggg,eeee))";
    return false;
}

bool ParseTagPath(std::string_view text, TagPath& out, std::string& error) {
    out.steps.clear();
    std::string_view rest = text;
    while (true) {
        if (out.steps.size() == kMaxPathSteps) {
            error = "the path has more than " + std::to_string(kMaxPathSteps) + " steps";
            return false;
        }
        // A tag ends at "[" or at a "." outside its parentheses.
        std::size_t end = 0;
        while (end < rest.size() && rest[end] != '[' && rest[end] != '.') ++end;
        PathStep step;
        if (!ParseTag(rest.substr(0, end), step.group, step.element, error)) return false;
        rest.remove_prefix(end);
        if (rest.empty()) {
            out.steps.push_back(step);
            return true;
        }
        if (!ParseItemIndex(rest, step, error)) return false;
        out.steps.push_back(step);
        if (rest.empty()) {
            error = std::string("the path \"").append(text) + "\" ends in an item, not an element";
            return false;
        }
        if (rest[0] != '.') {
            error = std::string("a \".\" must follow the item index in \"").append(text) + "\"";
            return false;
        }
        rest.remove_prefix(1);
    }
}

std::string TagText(uint16_t group, uint16_t element) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", group, element);
    return text;
}

}  // namespace pella
