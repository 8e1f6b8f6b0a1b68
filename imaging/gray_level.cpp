#include "imaging/gray_level.h"

namespace pella {

uint8_t Luminance(uint8_t red, uint8_t green, uint8_t blue) {
    // In thousandths, rounded half up.
    return static_cast<uint8_t>((299 * red + 587 * green + 114 * blue + 500) / 1000);
}

}  // namespace pella
