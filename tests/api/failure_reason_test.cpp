// The calling thread's failure reason (LastFailureText) belongs to the exported call just made:
// every call but LastFailureText forgets an earlier reason on entry, and every failure leaves
// one, an exception caught at the boundary included.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "pella.h"
#include "support/last_failure.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

// Leaves an earlier, unrelated failure behind and returns its reason.
std::string LeaveStaleReason(ElementList* scratch) {
    DICOMFile("/nonexistent/stale.dcm", scratch, scratch, nullptr);
    return Reason();
}

struct Call {
    const char* name;
    std::function<bool()> run;  // true when the call gave its expected result
};

struct Fixture {
    TempDir dir;
    ElementList* list = CreateElementList();
    ElementList* meta = CreateElementList();
    ElementList* scratch = CreateElementList();
    StoreServerHandle* server = StartStoreServer(dir.File("db").c_str(), "0", dir.File("db").c_str());
    std::string port = std::to_string(StoreServerPort(server));
    std::string mr = PydicomFile("MR_small.dcm");
    char calling[17] = "PELLA-TEST";
    ~Fixture() {
        StopStoreServer(server);
        DestroyElementList(list);
        DestroyElementList(meta);
        DestroyElementList(scratch);
    }
};

void Ignore(const char*, void*) {}

// pydicom's deflated sample cut 200 bytes into its deflated data set.
std::string CutDeflatedSample(const TempDir& dir) {
    std::vector<uint8_t> bytes = ReadAll(PydicomFile("image_dfl.dcm"));
    bytes.resize(std::min<std::size_t>(bytes.size(), 600));
    return dir.Write("cut_dfl.dcm", bytes);
}

}  // namespace

TEST(FailureReason, EverySucceedingCallForgetsAnEarlierReason) {
    Fixture f;
    ASSERT_NE(f.server, nullptr);
    ASSERT_EQ(DICOMFile(f.mr.c_str(), f.meta, f.list, nullptr), 1);
    std::filesystem::copy_file(PydicomFile("ExplVR_LitEndNoMeta.dcm"), f.dir.File("bare.dcm"));
    const Call calls[] = {
        {"GenerateTag",
         [] {
             DataElement* e = GenerateTag(0x0010, 0x0010, 4, "AB^C", "PN");
             bool ok = e != nullptr;
             FreeElement(e);
             return ok;
         }},
        {"FreeElement",
         [] {
             FreeElement(nullptr);
             return true;
         }},
        {"CreateElementList",
         [] {
             ElementList* l = CreateElementList();
             bool ok = l;
             DestroyElementList(l);
             return ok;
         }},
        {"AddElement",
         [&] {
             AddElement(nullptr, nullptr);
             return true;
         }},
        {"ElementCount", [&] { return ElementCount(f.list) > 0; }},
        {"ElementAt", [&] { return ElementAt(f.list, 0) != nullptr; }},
        {"ClearTags",
         [] {
             ClearTags(nullptr);
             return true;
         }},
        {"DestroyElementList",
         [] {
             DestroyElementList(nullptr);
             return true;
         }},
        {"DICOMFile",
         [&] {
             ElementList* m = CreateElementList();
             ElementList* d = CreateElementList();
             bool ok = DICOMFile(f.mr.c_str(), m, d, nullptr) == 1;
             DestroyElementList(m);
             DestroyElementList(d);
             return ok;
         }},
        {"DICOMHeader",
         [&] {
             ElementList* l = CreateElementList();
             bool ok = DICOMHeader(f.mr.c_str(), l) == 1;
             DestroyElementList(l);
             return ok;
         }},
        {"DumpListToLines", [&] { return DumpListToLines(f.meta, 1, Ignore, nullptr) == 1; }},
        {"AppendMetaHeader",
         [&] { return AppendMetaHeader(f.dir.File("bare.dcm").c_str(), "1.2.840.10008.1.2.1") == 1; }},
        {"ConvertFileTS",
         [&] {
             return ConvertFileTS(f.dir.File("big.dcm").c_str(), f.mr.c_str(), "1.2.840.10008.1.2.2") == 1;
         }},
        {"ConvertTS", [&] { return ConvertTS(f.list, "1.2.840.10008.1.2", "1.2.840.10008.1.2.1") == 1; }},
        {"NewPDU",
         [] {
             PDU* p = NewPDU();
             bool ok = p;
             DeletePDU(p);
             return ok;
         }},
        {"DeletePDU",
         [] {
             DeletePDU(nullptr);
             return true;
         }},
        {"CloseAssoc", [] { return CloseAssoc(nullptr) == 1; }},
        {"SetLOG",
         [] {
             SetLOG(nullptr, 0);
             return true;
         }},
        {"Version",
         [] {
             char v[PELLA_VERSION_BUFFER_SIZE];
             Version(v);
             return std::string(v) == PELLA_VERSION;
         }},
        {"EchoSCU", [&] { return EchoSCU("127.0.0.1", f.port.c_str(), f.calling, "ANY-SCP") == 1; }},
        {"StoreSCU",
         [&] {
             return StoreSCU("127.0.0.1", f.port.c_str(), f.calling, "ANY-SCP", f.mr.c_str(), "", 0) == 1;
         }},
        {"StoreFileList",
         [&] {
             const char* files[] = {f.mr.c_str()};
             return StoreFileList("127.0.0.1", f.port.c_str(), f.calling, "ANY-SCP", files, 1, "", 0, nullptr,
                                  nullptr) == 1;
         }},
        {"StoreServerPort", [&] { return StoreServerPort(f.server) > 0; }},
        {"StopStoreServer",
         [] {
             StopStoreServer(nullptr);
             return true;
         }},
        {"StopStoreSCP",
         [] {
             StopStoreSCP();
             return true;
         }},
    };
    for (const Call& call : calls) {
        SCOPED_TRACE(call.name);
        std::string stale = LeaveStaleReason(f.scratch);
        ASSERT_FALSE(stale.empty());
        EXPECT_EQ(Reason(), stale) << "LastFailureText keeps the reason";
        EXPECT_TRUE(call.run());
        EXPECT_EQ(Reason(), "");
    }
}

TEST(FailureReason, EveryFailingCallLeavesItsOwnReason) {
    TempDir dir;
    ElementList* scratch = CreateElementList();
    std::string mr = PydicomFile("MR_small.dcm");
    const struct {
        const char* name;
        std::function<bool()> fails;  // true when the call failed
        const char* reason;           // the text its reason holds
    } calls[] = {
        {"GenerateTag (exception inside)",
         [] { return GenerateTag(0x0010, 0x0010, -5, nullptr, "PN") == nullptr; },
         "GenerateTag: negative element length"},
        {"DICOMFile", [] { return DICOMFile(nullptr, nullptr, nullptr, nullptr) == 0; },
         "DICOMFile: a required argument is NULL"},
        {"DICOMHeader", [] { return DICOMHeader(nullptr, nullptr) == 0; },
         "DICOMHeader: a required argument is NULL"},
        {"AppendMetaHeader", [] { return AppendMetaHeader(nullptr, "1.2.840.10008.1.2") == 0; },
         "AppendMetaHeader: a required argument is NULL"},
        {"ConvertTS", [] { return ConvertTS(nullptr, "1.2.840.10008.1.2", "1.2.840.10008.1.2") == 0; },
         "ConvertTS: a required argument is NULL"},
        {"ConvertFileTS", [] { return ConvertFileTS("a", nullptr, "1.2.840.10008.1.2") == 0; },
         "ConvertFileTS: a required argument is NULL"},
        {"ConvertFileTS (deflated, cut short)",
         [&] {
             return ConvertFileTS(dir.File("o.dcm").c_str(), CutDeflatedSample(dir).c_str(),
                                  "1.2.840.10008.1.2") == 0;
         },
         "the deflated data set is cut short"},
        {"DumpListToLines", [] { return DumpListToLines(nullptr, 1, nullptr, nullptr) == 0; },
         "DumpListToLines: a required argument is NULL"},
        {"OpenAssoc",
         [] {
             char c[17] = "";
             return OpenAssoc(nullptr, "h", "1", c, "X", "1.2", nullptr) == 0;
         },
         "OpenAssoc: a required argument is NULL"},
        {"WriteEchoRQ", [] { return WriteEchoRQ(nullptr, "1.2.840.10008.1.1") == 0; },
         "WriteEchoRQ: a required argument is NULL"},
        {"ReadEchoRSP", [] { return ReadEchoRSP(nullptr) == 0; }, "ReadEchoRSP: a required argument is NULL"},
        {"WriteStoreRQ", [] { return WriteStoreRQ(nullptr, nullptr, nullptr, nullptr, 0) == 0; },
         "WriteStoreRQ: a required argument is NULL"},
        {"ReadStoreRSP", [] { return ReadStoreRSP(nullptr) < 0; },
         "ReadStoreRSP: a required argument is NULL"},
        {"StoreFileList",
         [] {
             char c[17] = "";
             return StoreFileList("h", "1", c, "X", nullptr, 2, "", 0, nullptr, nullptr) == 0;
         },
         "StoreFileList: a required argument is NULL"},
    };
    for (const auto& call : calls) {
        SCOPED_TRACE(call.name);
        std::string stale = LeaveStaleReason(scratch);
        ASSERT_FALSE(stale.empty());
        EXPECT_TRUE(call.fails());
        std::string reason = Reason();
        EXPECT_NE(reason, stale);
        EXPECT_NE(reason.find(call.reason), std::string::npos) << reason;
    }
    DestroyElementList(scratch);
}

TEST(FailureReason, CutDeflatedFilesAreRefusedByName) {
    TempDir dir;
    std::string deflated = CutDeflatedSample(dir);
    ElementList* meta = CreateElementList();
    ElementList* data = CreateElementList();
    EXPECT_EQ(DICOMFile(deflated.c_str(), meta, data, nullptr), 0);
    EXPECT_NE(Reason().find("the deflated data set is cut short"), std::string::npos) << Reason();
    DestroyElementList(meta);
    DestroyElementList(data);
    ElementList* header = CreateElementList();
    EXPECT_EQ(DICOMHeader(deflated.c_str(), header), 0);
    EXPECT_NE(Reason().find("the deflated data set is cut short"), std::string::npos) << Reason();
    DestroyElementList(header);
}
