#include "data/registry/dimse_statuses.h"

namespace pella {

namespace {

// The pending test that pella.h gives hosts agrees with the table for every status value.
constexpr bool PublicPendingTestAgrees() {
    for (int32_t status = -1; status <= 0x10000; ++status)
        if ((PELLA_STATUS_IS_PENDING(status) != 0) != IsPendingStatus(status)) return false;
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
