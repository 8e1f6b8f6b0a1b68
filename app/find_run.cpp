// The FIND test: every study the peer has (a study-level query with every key empty), shown
// field by field in the memo.
#include "app/query_memo.h"
#include "app/query_session.h"
#include "app/service_run.h"

namespace pellatool {
namespace {

constexpr const char* kStudyRootFind = PELLA_STUDY_ROOT_FIND;
constexpr const char* kLevel = "STUDY";

// Memo captions and the record positions they show (Patient's Age is left out).
constexpr FieldCaption kStudyLines[] = {
    {"PatientName: ", 0},    {"PatientID: ", 1},        {"PatientSex: ", 3},
    {"PatientBD: ", 4},      {"StudyID: ", 7},          {"StudyInstanceUID: ", 9},
    {"StudyDate: ", 5},      {"StudyTime: ", 6},        {"StudyDescription: ", 8},
    {"Modalities: ", 12},    {"InstitutionName: ", 10}, {"AccessionNumber: ", 13},
    {"PhysiciansName: ", 11}};

}  // namespace

bool RunFindTest(TestRun& run) {
    QueryMemo shown(kLevel, kStudyLines);
    bool result = RunQuerySession(
        run.settings, kStudyRootFind, kLevel, [&](const void* record) { shown.Add(record); }, run.failure);
    shown.Show(run.memo);
    return result;
}

}  // namespace pellatool
