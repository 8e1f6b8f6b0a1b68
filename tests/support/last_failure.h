// The calling thread's last failure reason, as LastFailureText gives it to a host.
#pragma once

#include <string>

#include "pella.h"

namespace testing_support {

inline std::string Reason() {
    char text[512];
    LastFailureText(text, sizeof text);
    return text;
}

}  // namespace testing_support
