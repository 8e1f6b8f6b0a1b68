#include "data/json/json_text.h"

#include "data/json/base64.h"

namespace pella {

namespace {

// True when the string can stand between quotes as it is: printable ASCII without a quote or
// a backslash. Anything else goes through the library's escaping.
bool NeedsNoEscaping(const std::string& text) {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7E || c == '"' || c == '\\') return false;
    return true;
}

void AppendString(std::string& out, const std::string& text) {
    if (!NeedsNoEscaping(text)) {
        out += Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
        return;
    }
    out += '"';
    out += text;
    out += '"';
}

}  // namespace

void AppendJsonText(std::string& out, const Json& value) {
    switch (value.type()) {
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : value.items()) {
                if (!first) out += ',';
                first = false;
                AppendString(out, key);
                out += ':';
                AppendJsonText(out, member);
            }
            out += '}';
            return;
        }
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const Json& member : value) {
                if (!first) out += ',';
                first = false;
                AppendJsonText(out, member);
            }
            out += ']';
            return;
        }
        case Json::value_t::string:
            AppendString(out, value.get_ref<const std::string&>());
            return;
        case Json::value_t::binary: {
            const Json::binary_t& bytes = value.get_binary();
            out += '"';
            AppendBase64(out, bytes.data(), bytes.size());
            out += '"';
            return;
        }
        default:
            out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
            return;
    }
}

}  // namespace pella
