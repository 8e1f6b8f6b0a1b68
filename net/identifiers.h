// The process-wide counter from which presentation context IDs and message IDs are drawn.
#pragma once

#include <cstdint>

namespace pella {

// Sets the counter to 1; the next request's single presentation context then gets ID 1.
void ResetIdentifiers();

// The next odd value, cut to 8 bits (context IDs must be odd).
uint8_t NextContextID();

// The next odd value, cut to 16 bits: messages of an association get 3, 5, 7, ...
uint16_t NextMessageID();

// Takes a value without the odd step; moves the counter on for an acceptor's context item.
int TakeIdentifier();

}  // namespace pella
