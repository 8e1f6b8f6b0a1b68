#include "net/transport/descriptor_limit.h"

#include <sys/resource.h>

#include <algorithm>
#include <string>

#include "log/protocol_log.h"

namespace pella {

std::size_t RaiseDescriptorLimit(std::size_t wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur == RLIM_INFINITY) return wanted;
    if (limit.rlim_cur >= wanted) return static_cast<std::size_t>(limit.rlim_cur);
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
    if (raised.rlim_cur <= limit.rlim_cur || ::setrlimit(RLIMIT_NOFILE, &raised) != 0)
        return static_cast<std::size_t>(limit.rlim_cur);
    LogProgress("Open descriptor limit raised from " + std::to_string(limit.rlim_cur) + " to " +
                std::to_string(raised.rlim_cur));
    return static_cast<std::size_t>(raised.rlim_cur);
}

}  // namespace pella
