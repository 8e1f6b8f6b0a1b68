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

#include <random>

namespace pella {

std::string NewUid() {
    static thread_local std::mt19937_64 engine{[] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }()};
    unsigned __int128 value = (static_cast<unsigned __int128>(engine()) << 64) | engine();
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return "2.25." + digits;
}

}  // namespace pella
