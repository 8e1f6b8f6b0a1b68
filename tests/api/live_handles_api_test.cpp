// Handles given to the exported functions are checked against the live ones: a handle freed
// already, one never made by the library, one of another kind and a query record freed as the
// wrong level each fail with a reason and leave everything else as it was.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "pella.h"
#include "support/last_failure.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

struct Case {
    const char* name;
    std::function<void()> setup;   // makes and frees whatever the misuse needs (may be empty)
    std::function<bool()> misuse;  // true when the call returned its failure value
    const char* function;          // the exported function the reason names
    const char* reason;            // what the reason says
};

}  // namespace

TEST(LiveHandlesApi, FreedForeignAndMistypedHandlesFailWithAReason) {
    TempDir dir;
    ElementList* list = nullptr;
    PDU* pdu = nullptr;
    QueryRecordList* records = nullptr;
    StoreServerHandle* server = nullptr;
    void* record = nullptr;
    void* study = nullptr;
    int local = 0;
    void* foreign = &local;  // the address of a local: never a handle

    const Case cases[] = {
        {"second DestroyElementList",
         [&] {
             list = CreateElementList();
             DestroyElementList(list);
         },
         [&] {
             DestroyElementList(list);
             return true;
         },
         "DestroyElementList", "not a live element list"},
        {"ClearTags of a destroyed list",
         [&] {
             list = CreateElementList();
             DestroyElementList(list);
         },
         [&] {
             ClearTags(list);
             return true;
         },
         "ClearTags", "not a live element list"},
        {"ElementCount of a destroyed list",
         [&] {
             list = CreateElementList();
             DestroyElementList(list);
         },
         [&] { return ElementCount(list) == 0; }, "ElementCount", "not a live element list"},
        {"DestroyElementList of a local",
         {},
         [&] {
             DestroyElementList(static_cast<ElementList*>(foreign));
             return true;
         },
         "DestroyElementList",
         "not a live element list"},
        {"DICOMHeader into a destroyed list",
         [&] {
             list = CreateElementList();
             DestroyElementList(list);
         },
         [&] { return DICOMHeader("/nonexistent.dcm", list) == 0; }, "DICOMHeader",
         "not a live element list"},
        {"second DeletePDU",
         [&] {
             pdu = NewPDU();
             DeletePDU(pdu);
         },
         [&] {
             DeletePDU(pdu);
             return true;
         },
         "DeletePDU", "not a live association handle"},
        {"CloseAssoc of a deleted handle",
         [&] {
             pdu = NewPDU();
             DeletePDU(pdu);
         },
         [&] {
             CloseAssoc(pdu);
             return true;
         },
         "CloseAssoc", "not a live association handle"},
        {"DeletePDU of an element list", [&] { list = CreateElementList(); },
         [&] {
             DeletePDU(reinterpret_cast<PDU*>(list));
             return true;
         },
         "DeletePDU", "not a live association handle"},
        {"ReadEchoRSP on a local",
         {},
         [&] { return ReadEchoRSP(static_cast<PDU*>(foreign)) == 0; },
         "ReadEchoRSP",
         "not a live association handle"},
        {"second FreeQueryRecordList",
         [&] {
             records = NewQueryRecordList();
             AppendQueryRecord(records, NewQueryRecord("STUDY"));
             FreeQueryRecordList(records, "STUDY");
         },
         [&] {
             FreeQueryRecordList(records, "STUDY");
             return true;
         },
         "FreeQueryRecordList", "not a live query record list"},
        {"QueryRecordCount of a freed list",
         [&] {
             records = NewQueryRecordList();
             FreeQueryRecordList(records, "STUDY");
         },
         [&] { return QueryRecordCount(records) == 0; }, "QueryRecordCount", "not a live query record list"},
        {"FreeQueryRecordList of a local",
         {},
         [&] {
             FreeQueryRecordList(static_cast<QueryRecordList*>(foreign), "IMAGE");
             return true;
         },
         "FreeQueryRecordList",
         "not a live query record list"},
        {"FreeQueryRecord with the wrong level", [&] { study = NewQueryRecord("STUDY"); },
         [&] {
             FreeQueryRecord(study, "IMAGE");
             return true;
         },
         "FreeQueryRecord", "is a STUDY record, not a IMAGE one"},
        {"second FreeQueryRecord",
         [&] {
             record = NewQueryRecord("SERIES");
             FreeQueryRecord(record, "SERIES");
         },
         [&] {
             FreeQueryRecord(record, "SERIES");
             return true;
         },
         "FreeQueryRecord", "not a live query record"},
        {"FreeQueryRecord of a local",
         {},
         [&] {
             FreeQueryRecord(foreign, "WORKLIST");
             return true;
         },
         "FreeQueryRecord",
         "not a live query record"},
        {"second StopStoreServer",
         [&] {
             server = StartStoreServer(dir.File("store").c_str(), "0", dir.File("index").c_str());
             StopStoreServer(server);
         },
         [&] {
             StopStoreServer(server);
             return true;
         },
         "StopStoreServer", "not a live store server handle"},
        {"StoreServerPort of a local",
         {},
         [&] { return StoreServerPort(static_cast<StoreServerHandle*>(foreign)) == 0; },
         "StoreServerPort",
         "not a live store server handle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.setup) c.setup();
        EXPECT_TRUE(c.misuse());
        std::string reason = Reason();
        EXPECT_NE(reason.find(std::string(c.function) + ": "), std::string::npos) << reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
    // What a refused call was given stays live and is freed as it should be.
    DestroyElementList(list);
    EXPECT_EQ(Reason(), "");
    FreeQueryRecord(study, "STUDY");
    EXPECT_EQ(Reason(), "");
}

// A record list holding a record of another level, or the same record twice, is refused whole:
// nothing is freed, and the right level then frees it.
TEST(LiveHandlesApi, RecordListIsFreedOnlyAsTheLevelOfItsRecords) {
    QueryRecordList* records = NewQueryRecordList();
    void* study = NewQueryRecord("STUDY");
    ASSERT_EQ(SetQueryField(study, "STUDY", 0, "DOE^JANE"), 1);
    AppendQueryRecord(records, study);
    AppendQueryRecord(records, nullptr);

    FreeQueryRecordList(records, "IMAGE");
    EXPECT_NE(Reason().find("is a STUDY record, not a IMAGE one"), std::string::npos) << Reason();
    ClearQuery(records, "WORKLIST");
    EXPECT_NE(Reason().find("ClearQuery: "), std::string::npos) << Reason();
    ClearWL(records);
    EXPECT_NE(Reason().find("ClearWL: "), std::string::npos) << Reason();
    ASSERT_EQ(QueryRecordCount(records), 2);
    EXPECT_STREQ(GetQueryField(QueryRecordAt(records, 0), "STUDY", 0), "DOE^JANE");

    AppendQueryRecord(records, study);
    FreeQueryRecordList(records, "STUDY");
    EXPECT_NE(Reason().find("the same query record twice"), std::string::npos) << Reason();
    EXPECT_EQ(QueryRecordCount(records), 3);

    EmptyQueryRecordList(records);
    AppendQueryRecord(records, study);
    FreeQueryRecordList(records, "STUDY");
    EXPECT_EQ(Reason(), "");
}
