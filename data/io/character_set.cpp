#include "data/io/character_set.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace pella {

namespace {

constexpr const char* kReplacementCharacter = "\xEF\xBF\xBD";

struct TermMapping {
    const char* term;   // the defined term, without "ISO_IR " / "ISO 2022 IR "
    const char* iconv;  // the converter's name for it
};

// Single-byte and multi-byte sets, by the number after "ISO_IR" / "ISO 2022 IR", or by name.
constexpr TermMapping kTerms[] = {
    {"6", "ASCII"},        {"100", "ISO-8859-1"}, {"101", "ISO-8859-2"},  {"109", "ISO-8859-3"},
    {"110", "ISO-8859-4"}, {"144", "ISO-8859-5"}, {"127", "ISO-8859-6"},  {"126", "ISO-8859-7"},
    {"138", "ISO-8859-8"}, {"148", "ISO-8859-9"}, {"203", "ISO-8859-15"}, {"166", "TIS-620"},
    {"13", "SHIFT_JIS"},   {"192", "UTF-8"},      {"GB18030", "GB18030"}, {"GBK", "GBK"},
};

std::string Trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \0", 0, 2);
    if (begin == std::string::npos) return "";
    std::size_t end = text.find_last_not_of(" \0", std::string::npos, 2);
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> Terms(const std::string& value) {
    std::vector<std::string> terms;
    std::size_t start = 0;
    while (true) {
        std::size_t slash = value.find('\\', start);
        terms.push_back(Trimmed(value.substr(start, slash - start)));
        if (slash == std::string::npos) return terms;
        start = slash + 1;
    }
}

// The converter name of one defined term; null when it is not known.
const char* IconvName(const std::string& term) {
    std::string key = term;
    for (const char* prefix : {"ISO_IR ", "ISO 2022 IR "})
        if (key.rfind(prefix, 0) == 0) key = key.substr(std::string(prefix).size());
    for (const TermMapping& m : kTerms)
        if (key == m.term) return m.iconv;
    return nullptr;
}

bool IsJapaneseExtension(const std::string& term) {
    return term == "ISO 2022 IR 87" || term == "ISO 2022 IR 159";
}

}  // namespace

struct TextDecoder::Converter {
    iconv_t handle;
    explicit Converter(iconv_t h) : handle(h) {}
    ~Converter() { iconv_close(handle); }
};

TextDecoder::TextDecoder() : TextDecoder(std::string()) {}

TextDecoder::TextDecoder(const std::string& specificCharacterSet) {
    std::vector<std::string> terms = Terms(specificCharacterSet);
    const char* name = IconvName(terms.front());
    if (terms.front().empty()) name = "ASCII";
    for (std::size_t i = 1; i < terms.size(); ++i) {
        if (IsJapaneseExtension(terms[i])) {
            name = "ISO-2022-JP-2";  // switches sets by the escape sequences in the text
            asciiPassesThrough_ = false;
        }
    }
    if (name == nullptr || std::string(name) == "ASCII") return;  // no converter: stateless
    iconv_t handle = iconv_open("UTF-8", name);
    if (handle != reinterpret_cast<iconv_t>(-1)) converter_ = std::make_unique<Converter>(handle);
}

TextDecoder::~TextDecoder() = default;

std::string TextDecoder::ToUtf8(const uint8_t* bytes, std::size_t size) const {
    bool ascii = true;
    for (std::size_t i = 0; i < size && ascii; ++i) ascii = bytes[i] < 0x80;
    if ((ascii && asciiPassesThrough_) || size == 0)
        return std::string(reinterpret_cast<const char*>(bytes), size);
    std::string out;
    if (!converter_) {
        for (std::size_t i = 0; i < size; ++i)
            out += bytes[i] < 0x80 ? std::string(1, static_cast<char>(bytes[i])) : kReplacementCharacter;
        return out;
    }
    iconv(converter_->handle, nullptr, nullptr, nullptr, nullptr);  // initial shift state
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes));
    std::size_t inLeft = size;
    std::vector<char> buffer(size * 4 + 16);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        std::size_t result = iconv(converter_->handle, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
        if (result != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An undecodable or cut-short sequence: replace one byte and go on from the next.
        out += kReplacementCharacter;
        ++in;
        --inLeft;
    }
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    iconv(converter_->handle, nullptr, nullptr, &outPtr, &outLeft);  // flush a pending shift
    out.append(buffer.data(), static_cast<std::size_t>(outPtr - buffer.data()));
    return out;
}

}  // namespace pella
