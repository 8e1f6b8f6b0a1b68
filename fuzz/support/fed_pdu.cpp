#include "support/fed_pdu.h"

#include <sys/socket.h>
#include <unistd.h>

namespace pella_fuzz {

FedPdu::FedPdu(const uint8_t* data, std::size_t size) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) {
        pdu.buffer.Transport().Adopt(pella::SocketHandle(ends[0]));
        peer_ = ends[1];
        ::shutdown(peer_, SHUT_WR);
    }
    pdu.buffer.AppendInput(data, size);
}

FedPdu::~FedPdu() {
    // The association goes first: its destructor may still send (a release request).
    pdu.buffer.Transport().Close();
    if (peer_ >= 0) ::close(peer_);
}

std::vector<uint8_t> FedPdu::TakeSent() {
    std::vector<uint8_t> sent;
    uint8_t chunk[16384];
    ssize_t n;
    while (peer_ >= 0 && (n = ::recv(peer_, chunk, sizeof chunk, MSG_DONTWAIT)) > 0)
        sent.insert(sent.end(), chunk, chunk + n);
    return sent;
}

}  // namespace pella_fuzz
