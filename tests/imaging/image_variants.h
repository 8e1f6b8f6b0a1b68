// Test-made variants of an image file (MONOCHROME1, two frames, ...), written by the imaging
// tests' pydicom script.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace testing_support {

inline const std::string kPrintImagesScript = PELLA_SOURCE_DIR "/tests/imaging/scripts/print_images.py";

// Writes the variant `kind` of `source` into the folder and returns its name.
inline std::string MakeVariant(const TempDir& dir, const std::string& kind, const std::string& source) {
    std::string out = dir.File(kind + ".dcm");
    EXPECT_TRUE(RunTool("/usr/bin/python3 " + Quote(kPrintImagesScript) + " make " + kind + " " +
                        Quote(source) + " " + Quote(out)));
    return out;
}

}  // namespace testing_support
