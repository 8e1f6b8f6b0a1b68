// The WL Find test: every scheduled procedure step the worklist provider has (a query with every
// key empty), shown field by field in the memo.
#include "app/query_memo.h"
#include "app/query_session.h"
#include "app/service_run.h"

namespace pellatool {
namespace {

constexpr const char* kWorklistFind = PELLA_MODALITY_WORKLIST_FIND;
constexpr const char* kLevel = "WORKLIST";

constexpr FieldCaption kStepLines[] = {{"PatientName: ", 0},
                                       {"PatientID: ", 1},
                                       {"PatientBD: ", 2},
                                       {"PatientSex: ", 3},
                                       {"Modality: ", 12},
                                       {"Scheduled Station AET: ", 13},
                                       {"Scheduled Procedure Step Start Date: ", 11},
                                       {"Scheduled Procedure Step Start Time: ", 10},
                                       {"Scheduled Performing Physician: ", 14}};

}  // namespace

bool RunWorklistTest(TestRun& run) {
    QueryMemo shown(kLevel, kStepLines);
    bool result = RunQuerySession(
        run.settings, kWorklistFind, kLevel, [&](const void* record) { shown.Add(record); }, run.failure);
    shown.Show(run.memo);
    return result;
}

}  // namespace pellatool
