// The DICOMDIR reader on an arbitrary file: record offsets may point anywhere, loop, or lead
// outside the file; nested sequences may be cut short. Every record read must be freed cleanly.
#include <cstddef>
#include <cstdint>

#include "pella.h"
#include "support/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    if (!file.Write(data, size)) return 0;
    ElementList* records = CreateElementList();
    ReadDCMDIR(file.Path().c_str(), records);
    DestroyElementList(records);
    return 0;
}
