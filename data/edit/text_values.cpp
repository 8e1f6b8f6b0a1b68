#include "data/edit/text_values.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "data/edit/tag_path.h"
#include "data/registry/uid.h"

namespace pella {

namespace {

// Longest value an element can hold (an even count below the undefined length).
constexpr std::size_t kMaxValueBytes = 0xFFFFFFFEu - 1;

struct TextRule {
    const char* vr;
    std::size_t maxChars;  // per value; 0 = no limit but the element's
    bool multiValued;      // "\" separates values
    bool extendedChars;    // characters of other character sets allowed (not only ASCII)
    bool controlChars;     // CR, LF, FF and TAB allowed (free text)
};

// Text VRs; the number VRs (DS, IS) and the formatted ones (DA, TM, DT, AS, UI, PN) also have
// a rule for their length, their other checks follow below.
constexpr TextRule kTextRules[] = {
    {"AE", 16, true, false, false}, {"AS", 4, true, false, false},  {"CS", 16, true, false, false},
    {"DA", 8, true, false, false},  {"DS", 16, true, false, false}, {"DT", 26, true, false, false},
    {"IS", 12, true, false, false}, {"LO", 64, true, true, false},  {"LT", 10240, false, true, true},
    {"PN", 0, true, true, false},   {"SH", 16, true, true, false},  {"ST", 1024, false, true, true},
    {"TM", 16, true, false, false}, {"UC", 0, true, true, false},   {"UI", 64, true, false, false},
    {"UR", 0, false, false, false}, {"UT", 0, false, true, true},
};

const TextRule* FindTextRule(std::string_view vr) {
    for (const TextRule& rule : kTextRules)
        if (vr == rule.vr) return &rule;
    return nullptr;
}

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

int Number(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// Characters, not bytes: each UTF-8 continuation byte belongs to the character before it.
std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
    return count;
}

std::vector<std::string_view> SplitValues(std::string_view text, char separator) {
    std::vector<std::string_view> values;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        values.push_back(
            text.substr(start, at == std::string_view::npos ? std::string_view::npos : at - start));
        if (at == std::string_view::npos) return values;
        start = at + 1;
    }
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool IsDate(std::string_view text) {
    if (text.size() != 8 || !IsDigits(text)) return false;
    int year = Number(text.substr(0, 4)), month = Number(text.substr(4, 2)), day = Number(text.substr(6, 2));
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    int days = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= days;
}

// ".F" to ".FFFFFF" at the front of `text`; consumes it.
bool TakeFraction(std::string_view& text) {
    if (text.empty() || text[0] != '.') return true;
    std::size_t digits = 1;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 1 || digits > 7) return false;
    text.remove_prefix(digits);
    return true;
}

// HH[MM[SS[.F{1,6}]]]; `text` keeps what follows.
bool TakeTime(std::string_view& text) {
    static constexpr int kLimits[] = {23, 59, 60};
    for (int part = 0; part < 3; ++part) {
        if (part > 0 && (text.size() < 2 || !std::isdigit(static_cast<unsigned char>(text[0])))) return true;
        if (text.size() < 2 || !IsDigits(text.substr(0, 2)) || Number(text.substr(0, 2)) > kLimits[part])
            return false;
        text.remove_prefix(2);
        if (part == 2) return TakeFraction(text);
    }
    return true;
}

bool IsTime(std::string_view text) {
    return TakeTime(text) && text.empty();
}

// YYYY[MM[DD[HH[MM[SS[.F]]]]]][&ZZXX]
bool IsDateTime(std::string_view text) {
    std::size_t offsetAt = text.find_first_of("+-");
    std::string_view offset = offsetAt == std::string_view::npos ? "" : text.substr(offsetAt);
    text = text.substr(0, offsetAt);
    if (!offset.empty() && (offset.size() != 5 || !IsDigits(offset.substr(1)) ||
                            Number(offset.substr(1, 2)) > 14 || Number(offset.substr(3, 2)) > 59))
        return false;
    if (text.size() < 4 || !IsDigits(text.substr(0, 4))) return false;
    if (text.size() == 4) return true;
    if (text.size() == 6)
        return IsDigits(text) && Number(text.substr(4, 2)) >= 1 && Number(text.substr(4, 2)) <= 12;
    if (text.size() < 8 || !IsDate(text.substr(0, 8))) return false;
    std::string_view time = text.substr(8);
    return time.empty() || IsTime(time);
}

bool IsAge(std::string_view text) {
    return text.size() == 4 && IsDigits(text.substr(0, 3)) && std::strchr("DWMY", text[3]) != nullptr;
}

bool IsCodeString(std::string_view text) {
    for (char c : text)
        if (!(std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) ||
              c == ' ' || c == '_'))
            return false;
    return true;
}

bool IsDecimalString(std::string_view text) {
    text = Trimmed(text);
    if (text.empty()) return false;
    std::string copy(text);
    if (copy.find_first_not_of("0123456789+-.eE") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    double value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && errno == 0 && std::isfinite(value);
}

bool IsIntegerString(std::string_view text) {
    text = Trimmed(text);
    std::string_view digits = !text.empty() && (text[0] == '+' || text[0] == '-') ? text.substr(1) : text;
    if (!IsDigits(digits) || digits.size() > 11) return false;
    long long value = std::strtoll(std::string(text).c_str(), nullptr, 10);
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// At most three groups ("="), each of at most five components ("^") and 64 characters.
bool IsPersonName(std::string_view text, std::string& why) {
    std::vector<std::string_view> groups = SplitValues(text, '=');
    if (groups.size() > 3) {
        why = "more than three component groups";
        return false;
    }
    for (std::string_view group : groups) {
        if (CharacterCount(group) > 64) {
            why = "a component group longer than 64 characters";
            return false;
        }
        if (SplitValues(group, '^').size() > 5) {
            why = "more than five components";
            return false;
        }
    }
    return true;
}

bool IsUrl(std::string_view text) {
    for (char c : text)
        if (c == ' ') return false;
    return true;
}

// The checks of one value beyond its characters and length; `why` says what is wrong.
bool CheckFormat(std::string_view vr, std::string_view value, std::string& why) {
    if (value.empty()) return true;  // an empty value is allowed in every VR
    if (vr == "DA" && !IsDate(value))
        why = "is not a date YYYYMMDD";
    else if (vr == "TM" && !IsTime(Trimmed(value)))
        why = "is not a time HHMMSS.FFFFFF";
    else if (vr == "DT" && !IsDateTime(Trimmed(value)))
        why = "is not a date and time YYYYMMDDHHMMSS.FFFFFF&ZZXX";
    else if (vr == "AS" && !IsAge(value))
        why = "is not an age nnnD, nnnW, nnnM or nnnY";
    else if (vr == "CS" && !IsCodeString(value))
        why = "holds characters other than A-Z, 0-9, space and _";
    else if (vr == "DS" && !IsDecimalString(value))
        why = "is not a decimal number";
    else if (vr == "IS" && !IsIntegerString(value))
        why = "is not a whole number within 32 bits";
    else if (vr == "UI" && !IsValidUid(value))
        why = "is not a UID (digits in groups separated by single dots)";
    else if (vr == "UR" && !IsUrl(value))
        why = "holds a space";
    else if (vr == "PN" && !IsPersonName(value, why))
        why = "is not a person name: " + why;
    return why.empty();
}

bool CheckCharacters(const TextRule& rule, std::string_view value, std::string& why) {
    for (char c : value) {
        auto byte = static_cast<unsigned char>(c);
        bool control = byte < 0x20 || byte == 0x7F;
        if (byte == 0x1B && rule.extendedChars) continue;  // escape sequences of character sets
        if (control && !(rule.controlChars && (c == '\r' || c == '\n' || c == '\f' || c == '\t'))) {
            why = "holds a control character";
            return false;
        }
        if (byte >= 0x80 && !rule.extendedChars) {
            why = "holds a character outside ASCII";
            return false;
        }
    }
    return true;
}

bool EncodeText(const TextRule& rule, std::string_view text, std::vector<uint8_t>& out, std::string& error) {
    std::vector<std::string_view> values =
        rule.multiValued ? SplitValues(text, '\\') : std::vector<std::string_view>{text};
    for (std::string_view value : values) {
        std::string why;
        if (rule.maxChars > 0 && CharacterCount(value) > rule.maxChars)
            why = "is longer than " + std::to_string(rule.maxChars) + " characters";
        else if (CheckCharacters(rule, value, why))
            CheckFormat(rule.vr, value, why);
        if (!why.empty()) {
            error = std::string("\"").append(value.substr(0, 80)) + "\" " + why + " (" + rule.vr + ")";
            return false;
        }
    }
    if (text.size() > kMaxValueBytes) {
        error = "the value is longer than an element can hold";
        return false;
    }
    out.assign(text.begin(), text.end());
    if (out.size() % 2 != 0) out.push_back(std::string_view(rule.vr) == "UI" ? 0 : ' ');
    return true;
}

template <typename T>
void AppendNumber(T value, bool bigEndian, std::vector<uint8_t>& out) {
    uint8_t bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if (bigEndian)
        for (std::size_t i = sizeof(T); i > 0; --i) out.push_back(bytes[i - 1]);
    else
        out.insert(out.end(), bytes, bytes + sizeof(T));
}

template <typename T>
bool ParseInteger(std::string_view text, T& out) {
    text = Trimmed(text);
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    auto [end, result] = std::from_chars(text.data(), text.data() + text.size(), out);
    return result == std::errc() && end == text.data() + text.size() && !text.empty();
}

template <typename T>
bool ParseFloat(std::string_view text, T& out) {
    if (!IsDecimalString(text)) return false;
    std::string copy(Trimmed(text));
    double value = std::strtod(copy.c_str(), nullptr);
    if (std::fabs(value) > static_cast<double>(std::numeric_limits<T>::max())) return false;
    out = static_cast<T>(value);
    return true;
}

template <typename T>
bool EncodeNumbers(std::string_view vr, std::string_view text, bool bigEndian, std::vector<uint8_t>& out,
                   std::string& error) {
    out.clear();
    if (text.empty()) return true;
    for (std::string_view value : SplitValues(text, '\\')) {
        T number{};
        bool ok;
        if constexpr (std::is_floating_point_v<T>)
            ok = ParseFloat(value, number);
        else
            ok = ParseInteger(value, number);
        if (!ok) {
            error = std::string("\"").append(value.substr(0, 80)) +
                    std::string("\" is not a number of VR ").append(vr);
            return false;
        }
        AppendNumber(number, bigEndian, out);
    }
    return true;
}

bool EncodeTags(std::string_view text, bool bigEndian, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (text.empty()) return true;
    for (std::string_view value : SplitValues(text, '\\')) {
        uint16_t group = 0, element = 0;
        std::string ignored;
        // A bare "ggggeeee" is accepted as well as the tag forms of paths.
        std::string tagText(Trimmed(value));
        if (tagText.size() == 8 && tagText.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
            std::string withComma = tagText.substr(0, 4);
            withComma += ',';
            withComma += tagText.substr(4);
            tagText = std::move(withComma);
        }
        if (!ParseTag(tagText, group, element, ignored)) {
            error = std::string("\"").append(value.substr(0, 80)) + "\" is not a tag (AT)";
            return false;
        }
        AppendNumber(group, bigEndian, out);
        AppendNumber(element, bigEndian, out);
    }
    return true;
}

}  // namespace

bool EncodeTextValue(const char* vr, std::string_view text, bool bigEndian, std::vector<uint8_t>& out,
                     std::string& error) {
    std::string_view name(vr, vr[0] != '\0' && vr[1] != '\0' ? 2 : 0);
    if (const TextRule* rule = FindTextRule(name)) return EncodeText(*rule, text, out, error);
    if (name == "US") return EncodeNumbers<uint16_t>(name, text, bigEndian, out, error);
    if (name == "SS") return EncodeNumbers<int16_t>(name, text, bigEndian, out, error);
    if (name == "UL") return EncodeNumbers<uint32_t>(name, text, bigEndian, out, error);
    if (name == "SL") return EncodeNumbers<int32_t>(name, text, bigEndian, out, error);
    if (name == "UV") return EncodeNumbers<uint64_t>(name, text, bigEndian, out, error);
    if (name == "SV") return EncodeNumbers<int64_t>(name, text, bigEndian, out, error);
    if (name == "FL") return EncodeNumbers<float>(name, text, bigEndian, out, error);
    if (name == "FD") return EncodeNumbers<double>(name, text, bigEndian, out, error);
    if (name == "AT") return EncodeTags(text, bigEndian, out, error);
    error = "a value of VR " + (name.empty() ? std::string("unknown") : std::string(name)) +
            " cannot be given as text";
    return false;
}

}  // namespace pella
