// The exported storage user functions as a C host calls them, against storescp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pella.h"
#include "support/storescp_run.h"

using namespace testing_support;

namespace {

// The UID value of an element of a list read with DICOMFile, without its padding.
std::string UidOf(ElementList* list, uint16_t group, uint16_t element) {
    for (int32_t i = 0; i < ElementCount(list); ++i) {
        DataElement* e = ElementAt(list, i);
        if (e->group == group && e->element == element && e->length > 0)
            return std::string(
                reinterpret_cast<const char*>(e->value),
                strnlen(reinterpret_cast<const char*>(e->value), static_cast<std::size_t>(e->length)));
    }
    return "";
}

}  // namespace

TEST(StoreApi, CallerDrivenStoreOfAFileReadWithDICOMFile) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    ElementList* meta = CreateElementList();
    ElementList* data = CreateElementList();
    uint8_t explicitVR = 0;
    ASSERT_EQ(DICOMFile(PydicomFile("CT_small.dcm").c_str(), meta, data, &explicitVR), 1);
    std::string sopClass = UidOf(data, 0x0008, 0x0016);
    std::string syntax = UidOf(meta, 0x0002, 0x0010);
    int32_t before = ElementCount(data);

    PDU* pdu = NewPDU();
    char calling[17] = "HOST";
    ASSERT_EQ(OpenAssoc(pdu, "127.0.0.1", peer.Port().c_str(), calling, "STORESCP", sopClass.c_str(),
                        syntax.c_str()),
              1);
    EXPECT_EQ(WriteStoreRQ(pdu, data, sopClass.c_str(), syntax.c_str(), 0), 1);
    EXPECT_EQ(ReadStoreRSP(pdu), 0);
    // No context for another class: nothing sent.
    EXPECT_EQ(WriteStoreRQ(pdu, data, "1.2.840.10008.5.1.4.1.1.4", syntax.c_str(), 0), 0);
    EXPECT_EQ(CloseAssoc(pdu), 1);
    DeletePDU(pdu);
    EXPECT_EQ(ElementCount(data), before);  // the caller's list keeps its elements
    DestroyElementList(meta);
    DestroyElementList(data);
    EXPECT_EQ(peer.Compare(PydicomFile("CT_small.dcm")).exitCode, 0);
}

TEST(StoreApi, OneCallFunctionsAndOutcomeCallbacks) {
    StorescpRun peer;
    ASSERT_TRUE(peer.Start());
    char calling[17] = "";
    EXPECT_EQ(StoreSCU("127.0.0.1", peer.Port().c_str(), calling, "STORESCP",
                       PydicomFile("MR_small.dcm").c_str(), nullptr, 0),
              1);
    EXPECT_STREQ(calling, "KESTRA          ");

    struct Seen {
        std::vector<std::pair<std::string, int32_t>> outcomes;
    } seen;
    auto record = [](const char* file, int32_t status, const char*, uint64_t, void* context) {
        static_cast<Seen*>(context)->outcomes.push_back({file, status});
    };
    std::string missing = peer.Dir().File("missing.dcm");
    std::string ct = PydicomFile("CT_small.dcm");
    const char* files[] = {ct.c_str(), missing.c_str()};
    char title[17] = "HOST";
    EXPECT_EQ(
        StoreFileList("127.0.0.1", peer.Port().c_str(), title, "STORESCP", files, 2, "", 0, record, &seen),
        0);
    ASSERT_EQ(seen.outcomes.size(), 2u);
    EXPECT_EQ(seen.outcomes[0], std::make_pair(ct, 0));
    EXPECT_EQ(seen.outcomes[1], std::make_pair(missing, -1));

    std::string folder = peer.Dir().File("series");
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(CopyWithNewInstance(PydicomTestFiles() / "CT_small.dcm", folder + "/a.dcm"));
    EXPECT_EQ(SendSeries("127.0.0.1", peer.Port().c_str(), title, "STORESCP", folder.c_str(), nullptr, 0), 1);
    seen.outcomes.clear();
    EXPECT_EQ(SendSeriesReport("127.0.0.1", peer.Port().c_str(), title, "STORESCP", folder.c_str(), nullptr,
                               0, record, &seen),
              1);
    EXPECT_EQ(seen.outcomes.size(), 1u);
}

TEST(StoreApi, NullArgumentsFailSafely) {
    EXPECT_EQ(WriteStoreRQ(nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(ReadStoreRSP(nullptr), -1);
    PDU* pdu = NewPDU();
    EXPECT_EQ(ReadStoreRSP(pdu), -1);  // not connected
    ElementList* list = CreateElementList();
    EXPECT_EQ(WriteStoreRQ(pdu, list, "1.2.3", nullptr, 1), 0);
    DestroyElementList(list);
    DeletePDU(pdu);
    EXPECT_EQ(StoreSCU(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(SendSeries(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 0), 0);
    EXPECT_EQ(StoreFileList("127.0.0.1", "1", nullptr, "X", nullptr, 3, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(StoreFileList("127.0.0.1", "1", nullptr, "X", nullptr, 0, nullptr, 0, nullptr, nullptr),
              0);  // nothing to send is no success
}
