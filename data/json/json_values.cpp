#include "data/json/json_values.h"

#include <charconv>
#include <cstring>
#include <string>
#include <vector>

namespace pella {

namespace {

bool VrIn(const char* vr, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (VrIs(vr, name)) return true;
    return false;
}

// Fixed-width binary numbers of one VR, in the value's byte order.
template <typename T>
T ReadNumber(const uint8_t* bytes, bool bigEndian) {
    uint8_t ordered[sizeof(T)];
    for (std::size_t i = 0; i < sizeof(T); ++i) ordered[i] = bigEndian ? bytes[sizeof(T) - 1 - i] : bytes[i];
    T value;
    std::memcpy(&value, ordered, sizeof(T));
    return value;
}

template <typename T>
Json NumberArray(const DataElement& e, bool bigEndian) {
    Json values = Json::array();
    std::size_t count = static_cast<std::size_t>(e.length) / sizeof(T);
    for (std::size_t i = 0; i < count; ++i)
        values.push_back(ReadNumber<T>(e.value + i * sizeof(T), bigEndian));
    return values;
}

Json TagArray(const DataElement& e, bool bigEndian) {
    Json values = Json::array();
    for (std::size_t i = 0; i + 4 <= static_cast<std::size_t>(e.length); i += 4) {
        char text[16];
        std::snprintf(text, sizeof text, "%04X%04X", ReadNumber<uint16_t>(e.value + i, bigEndian),
                      ReadNumber<uint16_t>(e.value + i + 2, bigEndian));
        values.push_back(text);
    }
    return values;
}

std::string TrimmedEntry(const std::string& text, bool leadingToo) {
    std::size_t end = text.find_last_not_of(std::string(" \0", 2));
    if (end == std::string::npos) return "";
    std::size_t begin = leadingToo ? text.find_first_not_of(' ') : 0;
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

// An IS or DS entry as a JSON number; the text itself when it is not one.
Json NumberFromText(const std::string& text, bool integer) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (!text.empty() && text[0] == '+') ++first;
    if (integer) {
        long long n = 0;
        auto [end, ec] = std::from_chars(first, last, n);
        if (ec == std::errc() && end == last) return n;
    } else {
        double d = 0;
        auto [end, ec] = std::from_chars(first, last, d);
        if (ec == std::errc() && end == last) return d;
    }
    return text;
}

Json PersonName(const std::string& text) {
    static const char* const kGroups[] = {"Alphabetic", "Ideographic", "Phonetic"};
    Json name = Json::object();
    std::vector<std::string> groups = Split(text, '=');
    for (std::size_t i = 0; i < groups.size() && i < 3; ++i) {
        std::string group = TrimmedEntry(groups[i], false);
        if (!group.empty()) name[kGroups[i]] = group;
    }
    return name;
}

bool UsesCharacterSet(const char* vr) {
    return VrIn(vr, {"SH", "LO", "UC", "ST", "LT", "UT", "PN"});
}

// One text entry as the VR wants it in JSON.
Json TextEntry(const char* vr, const std::string& raw) {
    bool leadingToo = !VrIn(vr, {"ST", "LT", "UT", "PN"});
    std::string entry = TrimmedEntry(raw, leadingToo);
    if (entry.empty()) return nullptr;
    if (VrIs(vr, "PN")) return PersonName(entry);
    if (VrIs(vr, "IS")) return NumberFromText(entry, true);
    if (VrIs(vr, "DS")) return NumberFromText(entry, false);
    return entry;
}

Json TextValues(const char* vr, const DataElement& e, const TextDecoder& text) {
    static const TextDecoder ascii;
    const TextDecoder& decoder = UsesCharacterSet(vr) ? text : ascii;
    std::string decoded = decoder.ToUtf8(e.value, static_cast<std::size_t>(e.length));
    bool single = VrIn(vr, {"ST", "LT", "UT", "UR"});
    Json values = Json::array();
    for (const std::string& raw : single ? std::vector<std::string>{decoded} : Split(decoded, '\\'))
        values.push_back(TextEntry(vr, raw));
    bool allEmpty = true;
    for (const Json& v : values) allEmpty = allEmpty && v.is_null();
    return allEmpty ? Json() : values;
}

}  // namespace

bool IsBinaryJsonVR(const char* vr) {
    return VrIn(vr, {"OB", "OD", "OF", "OL", "OV", "OW", "UN"});
}

void SetJsonValue(Json& attribute, const char* vr, const DataElement& e, bool bigEndian,
                  const TextDecoder& text) {
    if (!HasValue(e) || e.value == nullptr) return;
    Json values;
    if (VrIs(vr, "US"))
        values = NumberArray<uint16_t>(e, bigEndian);
    else if (VrIs(vr, "SS"))
        values = NumberArray<int16_t>(e, bigEndian);
    else if (VrIs(vr, "UL"))
        values = NumberArray<uint32_t>(e, bigEndian);
    else if (VrIs(vr, "SL"))
        values = NumberArray<int32_t>(e, bigEndian);
    else if (VrIs(vr, "UV"))
        values = NumberArray<uint64_t>(e, bigEndian);
    else if (VrIs(vr, "SV"))
        values = NumberArray<int64_t>(e, bigEndian);
    else if (VrIs(vr, "FL"))
        values = NumberArray<float>(e, bigEndian);
    else if (VrIs(vr, "FD"))
        values = NumberArray<double>(e, bigEndian);
    else if (VrIs(vr, "AT"))
        values = TagArray(e, bigEndian);
    else
        values = TextValues(vr, e, text);
    if (!values.is_null() && !values.empty()) attribute["Value"] = std::move(values);
}

}  // namespace pella
