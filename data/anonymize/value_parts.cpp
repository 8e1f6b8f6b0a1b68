#include "data/anonymize/value_parts.h"

namespace pella {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

}  // namespace

std::optional<std::string> ChangeEachValue(
    std::string_view value, char pad,
    const std::function<std::optional<std::string>(std::string_view)>& change) {
    std::string out;
    std::size_t start = 0;
    while (true) {
        std::size_t end = value.find('\\', start);
        std::string_view one =
            Trimmed(value.substr(start, end == std::string_view::npos ? end : end - start));
        if (!one.empty()) {
            std::optional<std::string> changed = change(one);
            if (!changed) return std::nullopt;
            out += *changed;
        }
        if (end == std::string_view::npos) break;
        out += '\\';
        start = end + 1;
    }
    if (out.size() % 2) out.push_back(pad);
    return out;
}

}  // namespace pella
