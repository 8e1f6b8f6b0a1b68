// Values given as text become value bytes by their VR, and texts that break the VR are refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/edit/text_values.h"

using pella::EncodeTextValue;

namespace {

std::vector<uint8_t> Bytes(std::string text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

struct Accepted {
    const char* vr;
    std::string text;
    bool bigEndian;
    std::vector<uint8_t> expected;
};

TEST(TextValues, EncodesByVR) {
    const Accepted cases[] = {
        {"LO", "abc", false, Bytes("abc ")},
        {"UI", "1.2.3", false, Bytes(std::string("1.2.3\0", 6))},
        {"UI", "1.2\\1.23", false, Bytes("1.2\\1.23")},
        {"PN", "Doe^John^^Dr=Do^Jo", false, Bytes("Doe^John^^Dr=Do^Jo")},
        {"DA", "20240229", false, Bytes("20240229")},
        {"TM", "235960.123456", false, Bytes("235960.123456 ")},
        {"TM", "0730", false, Bytes("0730")},
        {"DT", "20240101120000.5+0100", false, Bytes("20240101120000.5+0100 ")},
        {"DS", " -1.5e3\\2", false, Bytes(" -1.5e3\\2 ")},
        {"IS", "-2147483648", false, Bytes("-2147483648 ")},
        {"CS", "ORIGINAL\\PRIMARY", false, Bytes("ORIGINAL\\PRIMARY")},
        {"AS", "045Y", false, Bytes("045Y")},
        {"LT", "line one\r\nline two", false, Bytes("line one\r\nline two")},
        {"US", "512\\1", false, {0x00, 0x02, 0x01, 0x00}},
        {"US", "512", true, {0x02, 0x00}},
        {"SS", "-2", false, {0xFE, 0xFF}},
        {"UL", "65536", true, {0x00, 0x01, 0x00, 0x00}},
        {"SL", "-1", false, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"FL", "1.5", false, {0x00, 0x00, 0xC0, 0x3F}},
        {"FD", "-2", true, {0xC0, 0x00, 0, 0, 0, 0, 0, 0}},
        {"AT", "(0010,0020)\\00100010", false, {0x10, 0x00, 0x20, 0x00, 0x10, 0x00, 0x10, 0x00}},
        {"SH", "", false, {}},
        {"US", "", false, {}},
    };
    for (const Accepted& c : cases) {
        std::vector<uint8_t> out;
        std::string error;
        ASSERT_TRUE(EncodeTextValue(c.vr, c.text, c.bigEndian, out, error))
            << c.vr << " " << c.text << ": " << error;
        EXPECT_EQ(out, c.expected) << c.vr << " " << c.text;
    }
}

TEST(TextValues, RefusesTextsThatBreakTheVR) {
    const std::pair<const char*, std::string> cases[] = {
        {"DA", "20230229"},  // not a leap year
        {"DA", "2024-01-01"},
        {"DA", "20241301"},
        {"TM", "240000"},
        {"TM", "12.5"},
        {"TM", "1200001.1234567"},
        {"DT", "2024130112"},
        {"DT", "20240101+25"},
        {"DS", "one"},
        {"DS", "12345678901234567"},  // 17 characters
        {"DS", "1e999"},
        {"IS", "2147483648"},
        {"IS", "1.0"},
        {"CS", "lower"},
        {"CS", "ABCDEFGHIJKLMNOPQ"},  // 17 characters
        {"AS", "45Y"},
        {"AS", "045X"},
        {"UI", "1..2"},
        {"UI", "01.2"},
        {"UI", "1.2\\x"},
        {"UI", std::string(65, '1')},
        {"PN", "a=b=c=d"},
        {"PN", "a^b^c^d^e^f"},
        {"PN", std::string(65, 'x')},
        {"LO", std::string(65, 'x')},
        {"SH", "tab\there"},
        {"LO", "bell\a"},
        {"AE", "\xC3\xA9t\xC3\xA9"},  // not ASCII
        {"US", "65536"},
        {"US", "-1"},
        {"SS", "40000"},
        {"UL", "4294967296"},
        {"FL", "1e39"},
        {"FD", "x"},
        {"US", "1\\"},
        {"AT", "(0010,00G0)"},
        {"OB", "00"},
        {"SQ", ""},
        {"UN", "a"},
        {"", "a"},
    };
    for (const auto& [vr, text] : cases) {
        std::vector<uint8_t> out;
        std::string error;
        EXPECT_FALSE(EncodeTextValue(vr, text, false, out, error)) << vr << " " << text;
        EXPECT_FALSE(error.empty()) << vr << " " << text;
    }
}

TEST(TextValues, LimitsCountCharactersNotBytes) {
    std::string sixtyFourAccented;
    for (int i = 0; i < 64; ++i) sixtyFourAccented += "\xC3\xA9";
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeTextValue("LO", sixtyFourAccented, false, out, error)) << error;
    EXPECT_EQ(out.size(), 128u);
    EXPECT_FALSE(EncodeTextValue("LO", sixtyFourAccented + "\xC3\xA9", false, out, error));
}

}  // namespace
