#include "data/registry/dimse_statuses.h"

#include <gtest/gtest.h>

namespace pella {
namespace {

using S = StatusCategory;

TEST(DimseStatus, EachValueFallsInItsCategory) {
    const std::pair<int32_t, StatusCategory> cases[] = {
        {0x0000, S::kSuccess}, {0xFF00, S::kPending},  {0xFF01, S::kPending},  {0xFE00, S::kCancel},
        {0x0001, S::kWarning}, {0x0107, S::kWarning},  {0x0116, S::kWarning},  {0xB000, S::kWarning},
        {0xB006, S::kWarning}, {0xB007, S::kWarning},  {0xBFFF, S::kWarning},  {0xAFFF, S::kFailure},
        {0xC000, S::kFailure}, {0xA700, S::kFailure},  {0xA801, S::kFailure},  {0xA900, S::kFailure},
        {0x0110, S::kFailure}, {0x0122, S::kFailure},  {0x0002, S::kFailure},  {0xFF02, S::kFailure},
        {0xFEFF, S::kFailure}, {0xFE01, S::kFailure},  {0xFFFF, S::kFailure},  {-1, S::kFailure},
        {-2, S::kFailure},     {0x10000, S::kFailure}, {0x1FF00, S::kFailure},
    };
    for (const auto& [status, category] : cases) {
        EXPECT_EQ(CategoryOfStatus(status), category) << std::hex << status;
        EXPECT_EQ(IsPendingStatus(status), category == S::kPending) << std::hex << status;
        EXPECT_EQ(IsWarningStatus(status), category == S::kWarning) << std::hex << status;
        EXPECT_EQ(PELLA_STATUS_IS_PENDING(status) != 0, category == S::kPending) << std::hex << status;
    }
}

}  // namespace
}  // namespace pella
