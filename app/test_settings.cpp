#include "app/test_settings.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace pellatool {
namespace {

// Every byte of the file is combined with this mask, so that the file is not plain text.
constexpr uint8_t kMask = 0xA5;

void PutText(std::vector<uint8_t>& out, const std::string& text, std::size_t width) {
    std::size_t length = std::min(text.size(), width - 1);
    out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    out.insert(out.end(), width - length, 0);
}

void PutInt(std::vector<uint8_t>& out, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

// The text up to its first zero byte, at most width - 1 characters.
std::string TakeText(const uint8_t*& in, std::size_t width) {
    std::size_t length = 0;
    while (length < width - 1 && in[length] != 0) ++length;
    std::string text(reinterpret_cast<const char*>(in), length);
    in += width;
    return text;
}

int32_t TakeInt(const uint8_t*& in) {
    uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(in[i]) << (8 * i);
    in += 4;
    return static_cast<int32_t>(bits);
}

}  // namespace

std::vector<uint8_t> EncodeSettings(const TestSettings& settings) {
    std::vector<uint8_t> out;
    out.reserve(kSettingsFileSize);
    PutText(out, settings.remoteHost, kHostFieldWidth);
    PutText(out, settings.remotePort, kPortFieldWidth);
    PutText(out, settings.localAETitle, kTitleFieldWidth);
    PutText(out, settings.remoteAETitle, kTitleFieldWidth);
    for (int32_t value : {settings.logLevel, settings.filmDestination, settings.filmOrientation,
                          settings.filmSize, settings.magnificationType})
        PutInt(out, value);
    for (uint8_t& byte : out) byte ^= kMask;
    return out;
}

std::optional<TestSettings> DecodeSettings(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < kSettingsFileSize) return std::nullopt;
    std::vector<uint8_t> plain(bytes.begin(), bytes.begin() + kSettingsFileSize);
    for (uint8_t& byte : plain) byte ^= kMask;
    const uint8_t* in = plain.data();
    TestSettings settings;
    settings.remoteHost = TakeText(in, kHostFieldWidth);
    settings.remotePort = TakeText(in, kPortFieldWidth);
    settings.localAETitle = TakeText(in, kTitleFieldWidth);
    settings.remoteAETitle = TakeText(in, kTitleFieldWidth);
    for (int32_t* field : {&settings.logLevel, &settings.filmDestination, &settings.filmOrientation,
                           &settings.filmSize, &settings.magnificationType})
        *field = TakeInt(in);
    return settings;
}

TestSettings LoadSettings(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    std::vector<uint8_t> bytes(kSettingsFileSize);
    if (!file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size())))
        return TestSettings{};
    return DecodeSettings(bytes).value_or(TestSettings{});
}

std::string SaveSettings(const std::string& fileName, const TestSettings& settings) {
    std::vector<uint8_t> bytes = EncodeSettings(settings);
    errno = 0;
    std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
    if (file)
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file) file.close();
    if (file) return "";
    return fileName + ": " + (errno != 0 ? std::strerror(errno) : "cannot be written");
}

}  // namespace pellatool
