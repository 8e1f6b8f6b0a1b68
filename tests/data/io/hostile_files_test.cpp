// Damaged input: real sample files cut short and with bytes flipped at random must be read or
// refused, never crash, hang or over-allocate (the sanitizer build checks the memory side).
#include <gtest/gtest.h>

#include <random>

#include "data/io/dataset_reader.h"
#include "data/io/sequence_decoding.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace pella;
using namespace testing_support;

namespace {

// Reads a damaged file through every reader; the result does not matter, surviving does.
void ReadEveryWay(const std::string& file) {
    ElementList meta, data, header, raw;
    ParseState state;
    if (ReadPart10File(file, meta, data, state)) {
        for (const auto& e : data) {
            if (VrIs(e->vr, "SQ") && HasValue(*e)) {
                ElementList flat;
                ParseState inner{false, state.explicitVR, state.bigEndian};
                FlattenSequence(inner, *e, flat);
            }
        }
    }
    ReadHeaderForDump(file, header);
    ReadRawDataset(file, raw, "1.2.840.10008.1.2");
}

}  // namespace

TEST(HostileFiles, TruncatedAndCorruptedSamplesNeverCrashTheReaders) {
    TempDir dir;
    std::mt19937 random(20261207);
    int files = 0;
    for (const auto& path : PydicomSamples()) {
        std::vector<uint8_t> original = ReadAll(path.string());
        if (original.size() > 200000 || original.size() < 140) continue;  // keep the run short
        ++files;
        for (int round = 0; round < 12; ++round) {
            std::vector<uint8_t> bytes = original;
            if (round % 3 == 0) {
                bytes.resize(132 + random() % (bytes.size() - 132));
            } else {
                int flips = 1 + static_cast<int>(random() % 8);
                for (int i = 0; i < flips; ++i) {
                    std::size_t at = 128 + random() % (bytes.size() - 128);
                    bytes[at] = static_cast<uint8_t>(random());
                }
            }
            ReadEveryWay(dir.Write("damaged.dcm", bytes));
        }
    }
    EXPECT_GT(files, 30);
}
