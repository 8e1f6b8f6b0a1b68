// A tiny acceptor for tests: listens on a free loopback port, accepts one connection and plays
// a script of steps (read a whole PDU and record it, send bytes, close), so that tests can see
// exactly what the library sends and answer anything, conforming or hostile.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

namespace testing_support {

using Bytes = std::vector<uint8_t>;

class ScriptedPeer {
public:
    struct Step {
        enum Kind { kReadPdu, kSend, kClose, kWaitForClose, kAcceptProposed } kind;
        Bytes bytes;  // for kSend
    };

    ScriptedPeer() = default;
    ~ScriptedPeer() {
        if (thread_.joinable()) thread_.join();
    }

    int Port() const { return listener_.Port(); }
    std::string PortText() const { return std::to_string(Port()); }

    ScriptedPeer& ReadPdu() { return Add({Step::kReadPdu, {}}); }
    ScriptedPeer& Send(const Bytes& bytes) { return Add({Step::kSend, bytes}); }
    ScriptedPeer& Close() { return Add({Step::kClose, {}}); }
    ScriptedPeer& WaitForClose() { return Add({Step::kWaitForClose, {}}); }
    // Reads the A-ASSOCIATE-RQ and accepts every proposed context in its first transfer syntax.
    ScriptedPeer& AcceptProposed() { return Add({Step::kAcceptProposed, {}}); }

    // Accepts one connection and plays the script on a thread of its own.
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    // Waits for the script to end; returns the PDUs read, whole (header included).
    std::vector<Bytes> Finish() {
        if (thread_.joinable()) thread_.join();
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    ScriptedPeer& Add(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }

    // Waits up to 20 s for data; false on time-out or close.
    static bool ReadExactly(int fd, uint8_t* out, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) return false;
            ssize_t r = recv(fd, out + got, n - got, 0);
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

    void Run() {
        int fd = listener_.Accept(20000);
        if (fd < 0) return;
        for (const Step& step : steps_) {
            if (step.kind == Step::kSend) {
                send(fd, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL);
            } else if (step.kind == Step::kClose) {
                break;
            } else if (step.kind == Step::kWaitForClose) {
                uint8_t scratch[256];
                pollfd q{fd, POLLIN, 0};
                while (poll(&q, 1, 20000) > 0 && recv(fd, scratch, sizeof scratch, 0) > 0) {
                }
                break;
            } else {
                Bytes pdu(6);
                if (!ReadExactly(fd, pdu.data(), 6)) break;
                uint32_t length =
                    (uint32_t{pdu[2]} << 24) | (uint32_t{pdu[3]} << 16) | (uint32_t{pdu[4]} << 8) | pdu[5];
                if (length > (1u << 24)) break;
                pdu.resize(6 + length);
                if (!ReadExactly(fd, pdu.data() + 6, length)) break;
                if (step.kind == Step::kAcceptProposed) {
                    Bytes accept = AcceptAll(pdu);
                    send(fd, accept.data(), accept.size(), MSG_NOSIGNAL);
                }
                std::lock_guard lock(mutex_);
                received_.push_back(std::move(pdu));
            }
        }
        close(fd);
    }

    // The A-ASSOCIATE-AC for a request: every presentation context item accepted with its first
    // transfer syntax.
    static Bytes AcceptAll(const Bytes& request);

    LoopbackListener listener_;
    std::vector<Step> steps_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Bytes> received_;
};

// Big-endian helpers for building PDUs in tests.
inline void PutU16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
inline void PutU32(Bytes& b, uint32_t v) {
    PutU16(b, static_cast<uint16_t>(v >> 16));
    PutU16(b, static_cast<uint16_t>(v));
}
inline void PutText(Bytes& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
}

// One presentation context of an A-ASSOCIATE-AC.
struct AnsweredContext {
    uint8_t id = 1;
    std::string syntax;
    uint8_t result = 0;  // 0 acceptance
};

// An A-ASSOCIATE-AC answering the contexts in order.
inline Bytes AcceptContextsBytes(const std::vector<AnsweredContext>& contexts, uint32_t maxLength = 16384) {
    Bytes items;
    items.push_back(0x10);
    items.push_back(0);
    PutU16(items, 21);
    PutText(items, "1.2.840.10008.3.1.1.1");
    for (const AnsweredContext& context : contexts) {
        items.push_back(0x21);
        items.push_back(0);
        PutU16(items, static_cast<uint16_t>(8 + context.syntax.size()));
        items.push_back(context.id);
        items.push_back(0);
        items.push_back(context.result);
        items.push_back(0);
        items.push_back(0x40);
        items.push_back(0);
        PutU16(items, static_cast<uint16_t>(context.syntax.size()));
        PutText(items, context.syntax);
    }
    const std::string uid = "1.2.3.4";
    items.push_back(0x50);
    items.push_back(0);
    PutU16(items, static_cast<uint16_t>(8 + 4 + uid.size()));
    items.push_back(0x51);
    items.push_back(0);
    PutU16(items, 4);
    PutU32(items, maxLength);
    items.push_back(0x52);
    items.push_back(0);
    PutU16(items, static_cast<uint16_t>(uid.size()));
    PutText(items, uid);

    Bytes pdu = {0x02, 0};
    PutU32(pdu, static_cast<uint32_t>(68 + items.size()));
    PutU16(pdu, 1);
    PutU16(pdu, 0);
    std::string called = "ANY-SCP         ", calling = "KESTRA          ";
    PutText(pdu, called);
    PutText(pdu, calling);
    pdu.insert(pdu.end(), 32, 0);
    pdu.insert(pdu.end(), items.begin(), items.end());
    return pdu;
}

// An A-ASSOCIATE-AC accepting context `id` with `syntax` (result 0) or refusing it.
inline Bytes AcceptBytes(uint8_t id, const std::string& syntax, uint8_t result = 0,
                         uint32_t maxLength = 16384) {
    return AcceptContextsBytes({{id, syntax, result}}, maxLength);
}

inline Bytes ScriptedPeer::AcceptAll(const Bytes& request) {
    auto u16 = [&](std::size_t at) { return static_cast<std::size_t>((request[at] << 8) | request[at + 1]); };
    std::vector<AnsweredContext> contexts;
    // Items follow the 6-byte PDU header and the 68 fixed bytes of the request.
    for (std::size_t at = 74; at + 4 <= request.size(); at += 4 + u16(at + 2)) {
        if (request[at] != 0x20 || at + 8 > request.size()) continue;
        AnsweredContext context{request[at + 4], "", 0};
        std::size_t end = std::min(request.size(), at + 4 + u16(at + 2));
        for (std::size_t sub = at + 8; sub + 4 <= end; sub += 4 + u16(sub + 2)) {
            if (request[sub] != 0x40 || sub + 4 + u16(sub + 2) > end) continue;
            context.syntax.assign(request.begin() + static_cast<long>(sub + 4),
                                  request.begin() + static_cast<long>(sub + 4 + u16(sub + 2)));
            break;
        }
        contexts.push_back(context);
    }
    return AcceptContextsBytes(contexts);
}

// A P-DATA-TF carrying one value.
inline Bytes PData(uint8_t id, uint8_t control, const Bytes& fragment) {
    Bytes pdu = {0x04, 0};
    PutU32(pdu, static_cast<uint32_t>(fragment.size() + 6));
    PutU32(pdu, static_cast<uint32_t>(fragment.size() + 2));
    pdu.push_back(id);
    pdu.push_back(control);
    pdu.insert(pdu.end(), fragment.begin(), fragment.end());
    return pdu;
}

// An implicit VR little endian command element holding a 16-bit value.
inline void PutCommandUS(Bytes& b, uint16_t element, uint16_t value) {
    for (uint8_t x : {uint8_t{0}, uint8_t{0}, static_cast<uint8_t>(element),
                      static_cast<uint8_t>(element >> 8), uint8_t{2}, uint8_t{0}, uint8_t{0}, uint8_t{0},
                      static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)})
        b.push_back(x);
}

// A response command set (implicit VR little endian): affected class, command field, ID
// responded to, Data Set Type (by default none), and the status (left out with withStatus false).
inline Bytes ResponseCommand(const std::string& sopClassUid, uint16_t commandField, uint16_t status,
                             uint16_t respondedTo = 1, bool withStatus = true,
                             uint16_t dataSetType = 0x0101) {
    std::string uid = sopClassUid;
    if (uid.size() % 2 != 0) uid.push_back('\0');
    Bytes body = {0, 0, 2, 0, static_cast<uint8_t>(uid.size()), 0, 0, 0};
    PutText(body, uid);
    PutCommandUS(body, 0x0100, commandField);
    PutCommandUS(body, 0x0120, respondedTo);
    PutCommandUS(body, 0x0800, dataSetType);
    if (withStatus) PutCommandUS(body, 0x0900, status);
    Bytes command = {0, 0, 0, 0, 4, 0, 0, 0};
    uint32_t length = static_cast<uint32_t>(body.size());
    for (int shift = 0; shift < 32; shift += 8) command.push_back(static_cast<uint8_t>(length >> shift));
    command.insert(command.end(), body.begin(), body.end());
    return command;
}

// A C-ECHO-RSP command set.
inline Bytes EchoResponseCommand(uint16_t status, uint16_t respondedTo = 1, bool withStatus = true) {
    return ResponseCommand("1.2.840.10008.1.1", 0x8030, status, respondedTo, withStatus);
}

inline const Bytes kReleaseRP = {0x06, 0, 0, 0, 0, 4, 0, 0, 0, 0};
inline const Bytes kAbort = {0x07, 0, 0, 0, 0, 4, 0, 0, 0, 0};

}  // namespace testing_support
