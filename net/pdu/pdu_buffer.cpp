#include "net/pdu/pdu_buffer.h"

#include <algorithm>
#include <cstring>

namespace pella {

namespace {

// Largest piece Skip and MoveInputTo hold at once.
constexpr std::size_t kScratchSize = 32768;

}  // namespace

PduBuffer::PduBuffer(int timeoutSeconds) : transport_(timeoutSeconds) {}

bool PduBuffer::WriteBytes(const void* bytes, std::size_t count) {
    const auto* source = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        if (outputBlocks_.empty() || outputBlocks_.back().end == outputBlocks_.back().data.size())
            outputBlocks_.push_back(Block{ByteVector(kBlockSize), 0, 0});
        Block& last = outputBlocks_.back();
        std::size_t n = std::min(count, last.data.size() - last.end);
        std::memcpy(last.data.data() + last.end, source, n);
        last.end += n;
        source += n;
        count -= n;
        outputPending_ += n;
    }
    return true;
}

void PduBuffer::WriteU8(uint8_t value) {
    WriteBytes(&value, 1);
}

void PduBuffer::WriteU16(uint16_t value) {
    uint8_t bytes[2];
    if (writeOrder_ == kLittleEndian) {
        bytes[0] = static_cast<uint8_t>(value);
        bytes[1] = static_cast<uint8_t>(value >> 8);
    } else {
        bytes[0] = static_cast<uint8_t>(value >> 8);
        bytes[1] = static_cast<uint8_t>(value);
    }
    WriteBytes(bytes, 2);
}

void PduBuffer::WriteU32(uint32_t value) {
    auto low = static_cast<uint16_t>(value);
    auto high = static_cast<uint16_t>(value >> 16);
    if (writeOrder_ == kLittleEndian) {
        WriteU16(low);
        WriteU16(high);
    } else {
        WriteU16(high);
        WriteU16(low);
    }
}

void PduBuffer::ClearOutput() {
    outputBlocks_.clear();
    outputPending_ = 0;
}

bool PduBuffer::Flush() {
    if (outputPending_ == 0) {
        outputBlocks_.clear();
        return true;
    }
    // Everything written since the last flush leaves in one gathered send, so a PDU built here
    // reaches the transport whole.
    std::vector<iovec> pieces;
    pieces.reserve(outputBlocks_.size());
    for (Block& block : outputBlocks_)
        if (block.end > block.begin)
            pieces.push_back({block.data.data() + block.begin, block.end - block.begin});
    if (!transport_.SendPieces(pieces.data(), pieces.size())) return false;
    outputBlocks_.clear();
    outputPending_ = 0;
    return true;
}

bool PduBuffer::FillInput(std::size_t count) {
    while (inputAvailable_ < count) {
        // Receives go into the free room of the newest block, so a peer that sends one byte at
        // a time costs one block per kInputBlockSize bytes rather than one block per receive.
        if (inputBlocks_.empty() || inputBlocks_.back().end == inputBlocks_.back().data.size())
            inputBlocks_.push_back(Block{ByteVector(kInputBlockSize), 0, 0});
        Block& last = inputBlocks_.back();
        int n = transport_.Receive(last.data.data() + last.end, last.data.size() - last.end);
        if (n <= 0) return false;  // the transport never reports 0; treating it as an end avoids a spin
        last.end += static_cast<std::size_t>(n);
        inputAvailable_ += static_cast<std::size_t>(n);
    }
    return true;
}

void PduBuffer::TakeInput(uint8_t* destination, std::size_t count) {
    inputAvailable_ -= count;
    while (count > 0) {
        Block& first = inputBlocks_.front();
        std::size_t n = std::min(count, first.end - first.begin);
        if (destination != nullptr) {
            std::memcpy(destination, first.data.data() + first.begin, n);
            destination += n;
        }
        first.begin += n;
        count -= n;
        if (first.begin != first.end) continue;
        if (inputBlocks_.size() == 1)
            first.begin = first.end = 0;  // the only block is kept for the next receives
        else
            inputBlocks_.pop_front();
    }
}

bool PduBuffer::ReadBytes(void* destination, std::size_t count) {
    // A large read that the buffered input cannot satisfy receives straight into the
    // destination: one copy fewer and far fewer receive calls for pixel data.
    if (destination != nullptr && count - std::min(count, inputAvailable_) >= kDirectReadSize)
        return ReadLarge(static_cast<uint8_t*>(destination), count);
    if (!FillInput(count)) return false;
    TakeInput(static_cast<uint8_t*>(destination), count);
    return true;
}

bool PduBuffer::ReadLarge(uint8_t* destination, std::size_t count) {
    // Nothing may be consumed on failure, so the buffered part is only copied here and taken
    // once the rest has arrived; the received rest is kept as input if the transport fails.
    std::size_t buffered = inputAvailable_;
    std::size_t got = buffered;
    PeekInput(destination, buffered);
    while (got < count) {
        int n = transport_.Receive(destination + got, count - got);
        if (n <= 0) {
            AppendInput(destination + buffered, got - buffered);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    TakeInput(nullptr, buffered);
    return true;
}

void PduBuffer::PeekInput(uint8_t* destination, std::size_t count) const {
    for (const Block& block : inputBlocks_) {
        if (count == 0) break;
        std::size_t n = std::min(count, block.end - block.begin);
        std::memcpy(destination, block.data.data() + block.begin, n);
        destination += n;
        count -= n;
    }
}

bool PduBuffer::ReadU8(uint8_t& value) {
    value = 0;
    return ReadBytes(&value, 1);
}

bool PduBuffer::ReadU16(uint16_t& value) {
    uint8_t bytes[2];
    value = 0;
    if (!ReadBytes(bytes, 2)) return false;
    if (readOrder_ == kLittleEndian)
        value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    else
        value = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    return true;
}

bool PduBuffer::ReadU32(uint32_t& value) {
    uint16_t first = 0, second = 0;
    value = 0;
    if (!FillInput(4) || !ReadU16(first) || !ReadU16(second)) return false;
    value = readOrder_ == kLittleEndian ? (uint32_t{second} << 16 | first) : (uint32_t{first} << 16 | second);
    return true;
}

bool PduBuffer::Skip(std::size_t count) {
    while (count > 0) {
        std::size_t piece = std::min(count, kScratchSize);
        if (!FillInput(piece)) return false;
        TakeInput(nullptr, piece);
        count -= piece;
    }
    return true;
}

void PduBuffer::AppendInput(const uint8_t* bytes, std::size_t count) {
    if (count == 0) return;
    inputBlocks_.push_back(Block{ByteVector(bytes, bytes + count), 0, count});
    inputAvailable_ += count;
}

bool PduBuffer::MoveInputTo(PduBuffer& destination, std::size_t count) {
    std::vector<uint8_t> piece;
    while (count > 0) {
        piece.resize(std::min(count, kScratchSize));
        if (!ReadBytes(piece.data(), piece.size())) return false;
        destination.AppendInput(piece.data(), piece.size());
        count -= piece.size();
    }
    return true;
}

std::size_t PduBuffer::MoveOutputTo(PduBuffer& destination, std::size_t count) {
    std::size_t moved = 0;
    while (moved < count && !outputBlocks_.empty()) {
        Block& first = outputBlocks_.front();
        std::size_t n = std::min(count - moved, first.end - first.begin);
        destination.WriteBytes(first.data.data() + first.begin, n);
        first.begin += n;
        moved += n;
        if (first.begin == first.end) outputBlocks_.pop_front();
    }
    outputPending_ -= moved;
    return moved;
}

std::size_t PduBuffer::InputMemory() const {
    std::size_t held = 0;
    for (const Block& block : inputBlocks_) held += block.data.size();
    return held;
}

void PduBuffer::Clear() {
    inputBlocks_.clear();
    outputBlocks_.clear();
    inputAvailable_ = 0;
    outputPending_ = 0;
}

}  // namespace pella
