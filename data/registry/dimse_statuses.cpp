#include "data/registry/dimse_statuses.h"

#include <initializer_list>

namespace pella {

namespace {

// The pending test that pella.h gives hosts agrees with the table: both are ranges, so checking
// each range's edges and their neighbours covers every value (a loop over all 65,538 values
// exceeds clang's constant-evaluation step limit).
constexpr bool PublicPendingTestAgrees() {
    auto agrees = [](int32_t status) {
        return (PELLA_STATUS_IS_PENDING(status) != 0) == IsPendingStatus(status);
    };
    if (!agrees(-1) || !agrees(0x10000)) return false;
    for (const StatusRange& range : kStatusRanges)
        for (int32_t status : {range.first - 1, int32_t{range.first}, int32_t{range.last}, range.last + 1})
            if (!agrees(status)) return false;
    return true;
}
static_assert(PublicPendingTestAgrees());

static_assert(CategoryOfStatus(PELLA_STATUS_SUCCESS) == StatusCategory::kSuccess);
static_assert(CategoryOfStatus(PELLA_STATUS_CANCEL) == StatusCategory::kCancel);
static_assert(CategoryOfStatus(PELLA_STATUS_SUBOPERATIONS_FAILED) == StatusCategory::kWarning);
static_assert(CategoryOfStatus(PELLA_STATUS_ELEMENTS_DISCARDED) == StatusCategory::kWarning);
static_assert(CategoryOfStatus(PELLA_STATUS_DATA_SET_MISMATCH_WARNING) == StatusCategory::kWarning);
static_assert(CategoryOfStatus(PELLA_STATUS_PROCESSING_FAILURE) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_SOP_CLASS_NOT_SUPPORTED) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_OUT_OF_RESOURCES) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_OUT_OF_RESOURCES_MATCHES) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_OUT_OF_RESOURCES_SUBOPERATIONS) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_MOVE_DESTINATION_UNKNOWN) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_IDENTIFIER_MISMATCH) == StatusCategory::kFailure);
static_assert(CategoryOfStatus(PELLA_STATUS_CANNOT_UNDERSTAND) == StatusCategory::kFailure);

}  // namespace

}  // namespace pella
