// JSON of damaged files: real samples with bytes changed, lengths garbled and ends cut off
// never crash the conversion, and whatever it returns is valid JSON in valid UTF-8.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "data/json/file_json.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using testing_support::PydicomFile;
using testing_support::ReadAll;
using testing_support::TempDir;

TEST(HostileJson, MutatedSamplesGiveValidJsonOrAFailure) {
    TempDir dir;
    std::mt19937 random(17);
    int converted = 0;
    for (const char* name : {"rtplan.dcm", "nested_priv_SQ.dcm", "JPEG2000.dcm", "MR_small_bigendian.dcm",
                             "MR_small_implicit.dcm", "UN_sequence.dcm", "reportsi.dcm"}) {
        const std::vector<uint8_t> original = ReadAll(PydicomFile(name));
        ASSERT_GT(original.size(), 200u) << name;
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> bytes = original;
            // Past the preamble and "DICM", so that most mutants are still read as DICOM files.
            std::uniform_int_distribution<std::size_t> at(132, bytes.size() - 1);
            for (int i = 0; i < 1 + round % 4; ++i) bytes[at(random)] = static_cast<uint8_t>(random());
            if (round % 5 == 0) bytes.resize(at(random));
            std::string file = dir.Write("mutant.dcm", bytes);
            for (int64_t limit : {int64_t{-1}, int64_t{0}}) {
                std::string text;
                if (!pella::FileToJsonText(file, limit, text)) continue;
                ++converted;
                EXPECT_TRUE(nlohmann::json::accept(text)) << name << " round " << round;
            }
        }
    }
    EXPECT_GT(converted, 100) << "most mutants should still be readable";
}
