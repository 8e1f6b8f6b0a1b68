#include "cli/query_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

#include <nlohmann/json.hpp>

namespace cli {

namespace {

struct FieldInfo {
    uint16_t group = 0;
    uint16_t element = 0;
    char vr[3] = {0, 0, 0};
    const char* keyword = "";
};

bool Field(const std::string& level, int position, FieldInfo& out) {
    return QueryFieldInfo(level.c_str(), position, &out.group, &out.element, out.vr, &out.keyword) != 0;
}

std::string TagText(uint16_t group, uint16_t element, const char* format) {
    char text[16];
    std::snprintf(text, sizeof text, format, group, element);
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A key written as a tag, "(gggg,eeee)" or "gggg,eeee", as "GGGG,EEEE"; a keyword as it is.
std::string TagOrKeyword(const std::string& key) {
    std::string inner = key;
    if (inner.size() == 11 && inner.front() == '(' && inner.back() == ')') inner = inner.substr(1, 9);
    bool tag = inner.size() == 9 && inner[4] == ',';
    for (std::size_t i = 0; tag && i < inner.size(); ++i)
        tag = i == 4 || std::isxdigit(static_cast<unsigned char>(inner[i])) != 0;
    return tag ? Upper(inner) : key;
}

// The record position of a key (keyword or tag); -1 when the level has none.
int FindKey(const std::string& level, const std::string& key) {
    std::string wanted = TagOrKeyword(key);
    for (int i = 0; i < QueryFieldCount(level.c_str()); ++i) {
        FieldInfo f;
        if (!Field(level, i, f) || f.group == 0) continue;
        if (wanted == f.keyword || wanted == TagText(f.group, f.element, "%04X,%04X")) return i;
    }
    return -1;
}

std::string AcceptedKeys(const std::string& level) {
    std::string list;
    for (int i = 0; i < QueryFieldCount(level.c_str()); ++i) {
        FieldInfo f;
        if (!Field(level, i, f) || f.group == 0) continue;
        list += "  " + std::string(f.keyword) + " (" + TagText(f.group, f.element, "%04X,%04X") + ")\n";
    }
    return list;
}

bool IsLevelKey(const std::string& key) {
    std::string wanted = TagOrKeyword(key);
    return wanted == "QueryRetrieveLevel" || wanted == "0008,0052";
}

}  // namespace

std::vector<OptionSpec> QueryOptions(bool withLevel, bool withJson) {
    std::vector<OptionSpec> options;
    if (withLevel)
        options.push_back({{"-L", "--level"},
                           "LEVEL",
                           "query/retrieve level: STUDY (default), SERIES, IMAGE or PATIENT (with -P)"});
    options.push_back(
        {{"-k", "--key"},
         "KEY=VALUE",
         "match value of an attribute of the level's record, by keyword or tag\n"
         "((gggg,eeee) or gggg,eeee); repeatable; wildcards, ranges and lists are passed on as written"});
    if (withJson) options.push_back({{"--json"}, "", "print the matches as a DICOM JSON array"});
    options.push_back({{"--max-results"},
                       "N",
                       "pending responses taken before the association is aborted and the command\n"
                       "fails (default 100000)"});
    return options;
}

bool BuildQueryRecord(const std::string& command, const Args& args, std::string* levelOut,
                      const std::string& recordLevel, void*& record) {
    std::string level = recordLevel;
    std::vector<std::pair<std::string, std::string>> keys;
    for (const std::string& text : args.Values("-k")) {
        std::size_t eq = text.find('=');
        std::string key = text.substr(0, eq);
        std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
        if (levelOut && IsLevelKey(key))
            level = value;
        else
            keys.emplace_back(key, value);
    }
    if (levelOut) {
        if (auto given = args.Value("-L")) level = *given;
        level = Upper(level);
        if (level != "STUDY" && level != "SERIES" && level != "IMAGE" && level != "PATIENT") {
            std::fprintf(stderr, "pella %s: level \"%s\" is none of PATIENT, STUDY, SERIES and IMAGE\n",
                         command.c_str(), level.c_str());
            return false;
        }
        if (level == "PATIENT" && !args.Has("-P")) {
            std::fprintf(stderr, "pella %s: the PATIENT level needs the Patient Root model (-P)\n",
                         command.c_str());
            return false;
        }
        *levelOut = level;
    }
    record = NewQueryRecord(level.c_str());
    for (const auto& [key, value] : keys) {
        int position = FindKey(level, key);
        if (position < 0) {
            std::fprintf(stderr, "pella %s: \"%s\" is no key of the %s record; accepted keys:\n%s",
                         command.c_str(), key.c_str(), level.c_str(), AcceptedKeys(level).c_str());
            FreeQueryRecord(record, level.c_str());
            record = nullptr;
            return false;
        }
        SetQueryField(record, level.c_str(), position, value.c_str());
    }
    return true;
}

void PrintMatchBlock(const std::string& level, const void* record, long number) {
    std::printf("# match %ld\n", number);
    for (int i = 0; i < QueryFieldCount(level.c_str()); ++i) {
        FieldInfo f;
        const char* value = GetQueryField(record, level.c_str(), i);
        if (!Field(level, i, f) || f.group == 0 || value == nullptr || *value == '\0') continue;
        std::printf("%s (%04X,%04X): %s\n", f.keyword, f.group, f.element, value);
    }
    std::printf("\n");
    std::fflush(stdout);
}

namespace {

// One value of the DICOM JSON model: numbers for IS and DS where they parse, person names as
// objects, every other text as a string.
nlohmann::ordered_json JsonValue(const char* vr, const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && (trimmed.back() == ' ' || trimmed.back() == '\0')) trimmed.pop_back();
    std::size_t start = trimmed.find_first_not_of(' ');
    trimmed = start == std::string::npos ? "" : trimmed.substr(start);
    std::string v = vr;
    if (v == "PN") return {{"Alphabetic", trimmed}};
    if (v == "IS" || v == "DS") {
        char* end = nullptr;
        if (v == "IS") {
            long long n = std::strtoll(trimmed.c_str(), &end, 10);
            if (!trimmed.empty() && end && *end == '\0') return n;
        } else {
            double d = std::strtod(trimmed.c_str(), &end);
            if (!trimmed.empty() && end && *end == '\0') return d;
        }
    }
    return trimmed;
}

}  // namespace

void JsonBegin() {
    std::printf("[");
}

namespace {

// The attribute of one field: its VR and, when not empty, its values split at backslashes.
nlohmann::ordered_json JsonAttribute(const FieldInfo& f, const std::string& value) {
    nlohmann::ordered_json attribute = {{"vr", f.vr}};
    if (value.empty()) return attribute;
    nlohmann::ordered_json values = nlohmann::ordered_json::array();
    std::size_t p = 0;
    for (;;) {
        std::size_t q = value.find('\\', p);
        values.push_back(JsonValue(f.vr, value.substr(p, q == std::string::npos ? q : q - p)));
        if (q == std::string::npos) break;
        p = q + 1;
    }
    attribute["Value"] = values;
    return attribute;
}

// The record's fields as JSON attributes keyed "GGGGEEEE", in tag order: top-level fields in
// `top`, fields of a sequence item (the worklist's step) in `items`, keyed by the sequence.
void CollectAttributes(const std::string& level, const void* record,
                       std::map<std::string, nlohmann::ordered_json>& top,
                       std::map<std::string, std::map<std::string, nlohmann::ordered_json>>& items) {
    for (int i = 0; i < QueryFieldCount(level.c_str()); ++i) {
        FieldInfo f;
        if (!Field(level, i, f) || f.group == 0) continue;
        std::string tag = TagText(f.group, f.element, "%04X%04X");
        nlohmann::ordered_json attribute = JsonAttribute(f, GetQueryField(record, level.c_str(), i));
        uint16_t group = 0, element = 0;
        if (QueryFieldSequence(level.c_str(), i, &group, &element))
            items[TagText(group, element, "%04X%04X")][tag] = attribute;
        else
            top[tag] = attribute;
    }
}

}  // namespace

void PrintMatchJson(const std::string& level, const void* record, long number) {
    std::map<std::string, nlohmann::ordered_json> top;
    std::map<std::string, std::map<std::string, nlohmann::ordered_json>> items;
    CollectAttributes(level, record, top, items);
    for (const auto& [sequence, fields] : items) {
        nlohmann::ordered_json item = nlohmann::ordered_json::object();
        for (const auto& [tag, attribute] : fields) item[tag] = attribute;
        top[sequence] = {{"vr", "SQ"}, {"Value", nlohmann::ordered_json::array({item})}};
    }
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [tag, attribute] : top) object[tag] = attribute;
    std::string text = object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::printf("%s\n%s", number > 1 ? "," : "", text.c_str());
    std::fflush(stdout);
}

void JsonEnd() {
    std::printf("\n]\n");
}

std::string StatusWords(int32_t status) {
    if (status < 0) return "no valid response";
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", unsigned(status));
    if (status == PELLA_STATUS_SUCCESS) return "success";
    if (PELLA_STATUS_IS_PENDING(status)) return std::string("pending ") + hex;
    if (status == PELLA_STATUS_CANCEL) return std::string("cancelled ") + hex;
    if (status == PELLA_STATUS_SUBOPERATIONS_FAILED)
        return std::string("warning ") + hex + ": sub-operations completed with failures";
    if (status == PELLA_STATUS_MOVE_DESTINATION_UNKNOWN)
        return std::string("failure ") + hex + ": move destination unknown";
    if (status == PELLA_STATUS_OUT_OF_RESOURCES || status == PELLA_STATUS_OUT_OF_RESOURCES_MATCHES ||
        status == PELLA_STATUS_OUT_OF_RESOURCES_SUBOPERATIONS)
        return std::string("failure ") + hex + ": out of resources";
    if (status == PELLA_STATUS_IDENTIFIER_MISMATCH)
        return std::string("failure ") + hex + ": identifier does not match SOP class";
    if ((status & 0xF000) == PELLA_STATUS_CANNOT_UNDERSTAND)
        return std::string("failure ") + hex + ": unable to process";
    return std::string("failure ") + hex;
}

}  // namespace cli
