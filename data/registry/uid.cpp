#include "data/registry/uid.h"

namespace pella {

std::string_view WithoutUidPadding(std::string_view text) {
    if (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.remove_suffix(1);
    return text;
}

bool IsValidUid(std::string_view text) {
    text = WithoutUidPadding(text);
    if (text.empty() || text.size() > kMaxUidLength) return false;
    std::size_t componentLength = 0;
    bool leadingZero = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            if (leadingZero) return false;  // "01": only a lone "0" may start with zero
            leadingZero = componentLength == 0 && c == '0';
            ++componentLength;
        } else if (c == '.' && componentLength > 0) {
            componentLength = 0;
            leadingZero = false;
        } else {
            return false;
        }
    }
    return componentLength > 0;
}

}  // namespace pella
