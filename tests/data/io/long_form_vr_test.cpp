// Explicit VR headers of the VRs added by later editions use the 32-bit length.
#include <gtest/gtest.h>

#include "data/io/element_header.h"
#include "support/dicom_bytes.h"

using namespace pella;
using testing_support::DicomBytes;

TEST(LongFormVR, NewerVRsCarryA32BitLength) {
    for (const char* vr : {"OB", "OW", "SQ", "UN", "UT", "OF", "OD", "OL", "OV", "SV", "UV", "UC", "UR"})
        EXPECT_TRUE(IsLongFormVR(vr)) << vr;
    for (const char* vr : {"US", "SS", "FL", "FD", "LO", "ST", "LT", "AT", "DL"})
        EXPECT_FALSE(IsLongFormVR(vr)) << vr;

    DicomBytes bytes;
    bytes.U16(0x0064).U16(0x0009).Text("OF").U16(0).U32(8).Raw({0, 0, 0x80, 0x3F, 0, 0, 0, 0x40});
    bytes.Explicit(0x0008, 0x0060, "CS", "SR");
    ParseState state{false, true, false};
    MemorySource source(bytes.Bytes().data(), bytes.Size());
    ElementHeader header;
    ASSERT_TRUE(ReadElementHeader(state, source, header));
    EXPECT_EQ(header.length, 8);
    ASSERT_NE(ReadElementValue(source, header, false), nullptr);
    ElementHeader next;
    ASSERT_TRUE(ReadElementHeader(state, source, next));
    EXPECT_EQ(next.element, 0x0060);
    EXPECT_EQ(next.length, 2);
}
