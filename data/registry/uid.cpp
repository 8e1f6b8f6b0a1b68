#include "data/registry/uid.h"

namespace pella {

std::string_view WithoutUidPadding(std::string_view text) {
    if (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.remove_suffix(1);
    return text;
}

bool IsValidUid(std::string_view text) {
    text = WithoutUidPadding(text);
    if (text.empty() || text.size() > kMaxUidLength) return false;
    bool componentStarted = false;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            componentStarted = true;
        } else if (c == '.' && componentStarted) {
            componentStarted = false;
        } else {
            return false;
        }
    }
    return componentStarted;
}

}  // namespace pella
