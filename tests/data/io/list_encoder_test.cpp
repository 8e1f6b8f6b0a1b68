// ListEncoder gives, piece by piece, exactly the bytes SerializeList gives at once, for every
// sample file in both little-endian forms and whatever the size of the pieces asked for.
#include <gtest/gtest.h>

#include <vector>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/io/list_encoder.h"
#include "support/sample_files.h"

using namespace pella;
using namespace testing_support;

TEST(ListEncoder, PiecesMakeTheWholeEncoding) {
    int compared = 0;
    for (const auto& path : PydicomSamples()) {
        ElementList data;
        std::string syntax;
        if (!ReadDatasetAndSyntax(path.string(), data, syntax)) continue;
        SCOPED_TRACE(path.string());
        for (bool explicitVR : {true, false}) {
            std::vector<uint8_t> whole = SerializeList(data, explicitVR, false);
            for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}, whole.size() + 5}) {
                ListEncoder encoder(data, explicitVR, false);
                std::vector<uint8_t> pieces, buffer(piece);
                std::size_t n;
                while ((n = encoder.Next(buffer.data(), piece)) > 0) {
                    pieces.insert(pieces.end(), buffer.begin(), buffer.begin() + static_cast<long>(n));
                    if (n < piece) break;  // fewer only at the end
                }
                EXPECT_EQ(encoder.Next(buffer.data(), piece), 0u);
                ASSERT_EQ(pieces, whole) << piece;
            }
        }
        ++compared;
    }
    EXPECT_GE(compared, 40);
}
