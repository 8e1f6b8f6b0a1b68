// The categories of DIMSE status values: one table, every value not in it is a failure.
#pragma once

#include <cstdint>

#include "pella.h"

namespace pella {

constexpr uint16_t kStatusSuccess = PELLA_STATUS_SUCCESS;
constexpr uint16_t kStatusPending = PELLA_STATUS_PENDING;
constexpr uint16_t kStatusOutOfResources = PELLA_STATUS_OUT_OF_RESOURCES;
constexpr uint16_t kStatusCannotUnderstand = PELLA_STATUS_CANNOT_UNDERSTAND;

enum class StatusCategory : uint8_t { kSuccess, kWarning, kFailure, kPending, kCancel };

struct StatusRange {
    uint16_t first;
    uint16_t last;
    StatusCategory category;
};

inline constexpr StatusRange kStatusRanges[] = {
    {PELLA_STATUS_SUCCESS, PELLA_STATUS_SUCCESS, StatusCategory::kSuccess},
    {PELLA_STATUS_OPTIONAL_ATTRIBUTES_UNSUPPORTED, PELLA_STATUS_OPTIONAL_ATTRIBUTES_UNSUPPORTED,
     StatusCategory::kWarning},
    {PELLA_STATUS_ATTRIBUTE_LIST_ERROR, PELLA_STATUS_ATTRIBUTE_LIST_ERROR, StatusCategory::kWarning},
    {PELLA_STATUS_ATTRIBUTE_VALUE_OUT_OF_RANGE, PELLA_STATUS_ATTRIBUTE_VALUE_OUT_OF_RANGE,
     StatusCategory::kWarning},
    {0xB000, 0xBFFF, StatusCategory::kWarning},
    {PELLA_STATUS_CANCEL, PELLA_STATUS_CANCEL, StatusCategory::kCancel},
    {PELLA_STATUS_PENDING, PELLA_STATUS_PENDING_WARNING, StatusCategory::kPending},
};

constexpr StatusCategory CategoryOfStatus(uint16_t status) {
    for (const StatusRange& range : kStatusRanges)
        if (status >= range.first && status <= range.last) return range.category;
    return StatusCategory::kFailure;
}

// The category of a status as the response readers return it (-1 and other values outside
// 0..0xFFFF, "no valid response", are failures).
constexpr StatusCategory CategoryOfStatus(int32_t status) {
    if (status < 0 || status > 0xFFFF) return StatusCategory::kFailure;
    return CategoryOfStatus(static_cast<uint16_t>(status));
}

constexpr bool IsPendingStatus(int32_t status) {
    return CategoryOfStatus(status) == StatusCategory::kPending;
}
constexpr bool IsWarningStatus(int32_t status) {
    return CategoryOfStatus(status) == StatusCategory::kWarning;
}

}  // namespace pella
