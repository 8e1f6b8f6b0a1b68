#include "net/transport/socket_handle.h"

#include <sys/socket.h>
#include <unistd.h>

namespace pella {

void SocketHandle::Reset(int descriptor) noexcept {
    if (descriptor_ >= 0) {
        ::shutdown(descriptor_, SHUT_RDWR);
        ::close(descriptor_);
    }
    descriptor_ = descriptor;
}

}  // namespace pella
