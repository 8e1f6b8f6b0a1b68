#include "net/pdu/limited_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "net/pdu/pdu_limits.h"

namespace pella {

bool LimitedReader::Take(std::size_t count) {
    if (count > remaining_) return false;
    remaining_ -= static_cast<uint32_t>(count);
    return true;
}

bool LimitedReader::ReadU8(uint8_t& value) {
    value = 0;
    return Take(1) && buffer_->ReadU8(value);
}

bool LimitedReader::ReadU16(uint16_t& value) {
    value = 0;
    return Take(2) && buffer_->ReadU16(value);
}

bool LimitedReader::ReadU32(uint32_t& value) {
    value = 0;
    return Take(4) && buffer_->ReadU32(value);
}

bool LimitedReader::ReadBytes(void* destination, std::size_t count) {
    return Take(count) && buffer_->ReadBytes(destination, count);
}

bool LimitedReader::Skip(std::size_t count) {
    return Take(count) && buffer_->Skip(count);
}

bool LimitedReader::ReadText(std::string& text, std::size_t length, std::size_t keep) {
    text.clear();
    if (length > remaining_) return false;
    std::vector<char> bytes(std::min(length, keep));
    if (!ReadBytes(bytes.data(), bytes.size()) || !Skip(length - bytes.size())) return false;
    if (!bytes.empty()) text.assign(bytes.data(), strnlen(bytes.data(), bytes.size()));
    return true;
}

std::optional<LimitedReader> LimitedReader::Enclosed(uint32_t length) {
    if (!Take(length)) return std::nullopt;
    return LimitedReader(*buffer_, length);
}

std::optional<LimitedReader> ReadPduBody(PduBuffer& buffer, uint32_t minimum, uint8_t& reserved,
                                         uint32_t& pduLength) {
    pduLength = 0;
    if (!buffer.ReadU8(reserved) || !buffer.ReadU32(pduLength)) return std::nullopt;
    if (pduLength < minimum || pduLength > kMaxPduLength) return std::nullopt;
    return LimitedReader(buffer, pduLength);
}

}  // namespace pella
