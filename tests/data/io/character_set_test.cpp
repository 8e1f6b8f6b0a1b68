#include "data/io/character_set.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

using pella::TextDecoder;

namespace {

std::string Decode(const std::string& charset, const std::string& bytes) {
    TextDecoder decoder(charset);
    return decoder.ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

struct Case {
    const char* charset;
    std::string bytes;
    std::string utf8;
};

}  // namespace

TEST(TextDecoder, DecodesEachCharacterSetAndReplacesWhatItCannot) {
    const Case cases[] = {
        {"", "Caf\xE9", "Caf\uFFFD"},  // the default repertoire has no byte above 0x7F
        {"ISO_IR 6", "abc", "abc"},
        {"ISO_IR 100", "Caf\xE9", "Café"},
        {"ISO 2022 IR 100", "M\xFCller", "Müller"},
        {"ISO_IR 100 ", "\xC5", "Å"},  // padding space
        {"ISO_IR 192", "\xCE\xA9", "Ω"},
        {"ISO_IR 192",
         "a\xFF"
         "b",
         "a\uFFFDb"},                                  // never valid in UTF-8
        {"ISO_IR 192", "x\xE6\x97", "x\uFFFD\uFFFD"},  // cut short at the end
        {"ISO_IR 192", "\xC0\xAF", "\uFFFD\uFFFD"},    // overlong form of '/'
        {"ISO_IR 144", "\xB0\xB8", "АИ"},
        {"ISO_IR 101", "\xA3", "Ł"},
        {"GB18030", "\xCD\xF5", "王"},
        {"\\ISO 2022 IR 87", "\x1B$B;3ED\x1B(B^T", "山田^T"},
        {"ISO_IR 999", "ok\xE9", "ok\uFFFD"},  // unknown: the default repertoire
    };
    for (const Case& c : cases) EXPECT_EQ(Decode(c.charset, c.bytes), c.utf8) << c.charset;
}

TEST(TextDecoder, EveryByteGivesValidUtf8InEveryCharacterSet) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    for (const char* charset : {"", "ISO_IR 100", "ISO_IR 192", "ISO_IR 144", "ISO_IR 126", "ISO_IR 13",
                                "GB18030", "GBK", "\\ISO 2022 IR 87", "ISO_IR 166"}) {
        // Serialising with the strict handler throws on invalid UTF-8.
        nlohmann::json text = Decode(charset, all + all);
        EXPECT_NO_THROW(text.dump()) << charset;
    }
}
