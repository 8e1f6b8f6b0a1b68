// Transfer-syntax conversion of a data set read from an arbitrary Part 10 file into every
// target syntax the converter writes. Each converted data set is encoded in its target syntax,
// and the bytes must read back into as many elements.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/convert/conversion_syntax.h"
#include "data/convert/file_conversion.h"
#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/element_header.h"
#include "data/model/element_list.h"
#include "support/memory_file.h"

using namespace pella;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    static const char* const kTargets[] = {kImplicitLittleEndian, kExplicitLittleEndian, kExplicitBigEndian,
                                           kJpegLossless, kJpegBaseline};
    if (!file.Write(data, size)) return 0;
    // The library's own functions: the exported ones accept only lists they handed out.
    ElementList meta, dataSet;
    ParseState read;
    if (!ReadPart10File(file.Path(), meta, dataSet, read)) return 0;
    std::string source = GetElementText(meta, 0x0002, 0x0010);
    for (const char* target : kTargets) {
        ElementList converted;
        CopyElements(converted, dataSet);
        if (!ConvertListInPlace(converted, target, source)) continue;
        ConversionFlags flags = MakeConversionFlags(target, source);
        std::vector<uint8_t> bytes = SerializeList(converted, flags.targetExplicit, flags.targetBigEndian);
        ParseState state{false, flags.targetExplicit, flags.targetBigEndian, false};
        ElementList again;
        if (!ReadDatasetBytes(bytes.data(), bytes.size(), state, again) || again.size() != converted.size())
            std::abort();
    }
    return 0;
}
