#include "data/anonymize/replacement_values.h"

#include "data/anonymize/value_parts.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

namespace pella {

namespace {

struct DummyText {
    const char* vr;
    const char* value;
};

constexpr std::array<DummyText, 15> kDummyTexts{{
    {"AE", "ANONYMIZED"},
    {"AS", "000D"},
    {"CS", "ANONYMIZED"},
    {"DA", "19000101"},
    {"DS", "0"},
    {"DT", "19000101000000"},
    {"IS", "0"},
    {"LO", "ANONYMIZED"},
    {"LT", "ANONYMIZED"},
    {"PN", "ANONYMIZED"},
    {"SH", "ANONYMIZED"},
    {"ST", "ANONYMIZED"},
    {"TM", "000000"},
    {"UC", "ANONYMIZED"},
    {"UT", "ANONYMIZED"},
}};

constexpr std::array<std::pair<const char*, std::size_t>, 6> kBinarySizes{{
    {"US", 2},
    {"SS", 2},
    {"UL", 4},
    {"SL", 4},
    {"FL", 4},
    {"FD", 8},
}};

bool AllDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

std::optional<std::string> ShiftedDate(std::string_view date, int days) {
    if (date.size() != 8 || !AllDigits(date)) return std::nullopt;
    int year = std::stoi(std::string(date.substr(0, 4)));
    unsigned month = static_cast<unsigned>(std::stoi(std::string(date.substr(4, 2))));
    unsigned day = static_cast<unsigned>(std::stoi(std::string(date.substr(6, 2))));
    std::chrono::year_month_day ymd{std::chrono::year{year}, std::chrono::month{month},
                                    std::chrono::day{day}};
    if (!ymd.ok()) return std::nullopt;
    std::chrono::year_month_day moved{std::chrono::sys_days{ymd} + std::chrono::days{days}};
    int newYear = static_cast<int>(moved.year());
    if (newYear < 0 || newYear > 9999) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02u%02u", newYear, static_cast<unsigned>(moved.month()),
                  static_cast<unsigned>(moved.day()));
    return std::string(text, 8);
}

// A run of at most `most` digits at the front of `text`, taken off it; its length.
std::size_t TakeDigits(std::string_view& text, std::size_t most) {
    std::size_t n = 0;
    while (n < text.size() && n < most && text[n] >= '0' && text[n] <= '9') ++n;
    text.remove_prefix(n);
    return n;
}

// What may follow the date: nothing in a DA value; in a DT value "HHMMSS.FFFFFF" (any leading
// part of it) and a UTC offset "&ZZXX", never a second date.
bool IsTimeRest(std::string_view rest, bool dateTime) {
    if (!dateTime) return rest.empty();
    std::size_t time = TakeDigits(rest, 6);
    if (time % 2) return false;
    if (!rest.empty() && rest.front() == '.') {
        if (time != 6) return false;
        rest.remove_prefix(1);
        if (TakeDigits(rest, 6) == 0) return false;
    }
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        rest.remove_prefix(1);
        if (TakeDigits(rest, 4) != 4) return false;
    }
    return rest.empty();
}

}  // namespace

std::string DummyValue(std::string_view vr) {
    for (const DummyText& dummy : kDummyTexts) {
        if (vr == dummy.vr) {
            std::string value = dummy.value;
            if (value.size() % 2) value.push_back(' ');
            return value;
        }
    }
    for (const auto& [name, size] : kBinarySizes) {
        if (vr == name) return std::string(size, '\0');
    }
    return {};
}

std::optional<std::string> ShiftedDates(std::string_view value, int days, bool dateTime) {
    return ChangeEachValue(value, ' ', [&](std::string_view one) -> std::optional<std::string> {
        std::optional<std::string> date = ShiftedDate(one.substr(0, 8), days);
        std::string_view rest = one.substr(std::min<std::size_t>(8, one.size()));
        if (!date || !IsTimeRest(rest, dateTime)) return std::nullopt;
        return *date + std::string(rest);
    });
}

}  // namespace pella
