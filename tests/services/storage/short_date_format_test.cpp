#include "services/storage/short_date_format.h"

#include <gtest/gtest.h>

#include <ctime>

namespace pella {
namespace {

std::tm Date(int year, int month, int day) {
    std::tm date{};
    date.tm_year = year - 1900;
    date.tm_mon = month - 1;
    date.tm_mday = day;
    return date;
}

// Restores the process-wide format when a test changed it.
class ShortDateFormatTest : public ::testing::Test {
protected:
    void TearDown() override { SetShortDateFormat(saved); }
    std::string saved = ShortDateFormat();
};

TEST_F(ShortDateFormatTest, DefaultIsDayMonthYearWithoutSeparators) {
    EXPECT_EQ(ShortDateFormat(), "ddmmyyyy");
    EXPECT_EQ(FormatDate(Date(2024, 3, 5), ShortDateFormat()), "05032024");
}

TEST_F(ShortDateFormatTest, PatternLettersAndLiterals) {
    std::tm date = Date(2009, 11, 7);
    EXPECT_EQ(FormatDate(date, "dd.mm.yyyy"), "07.11.2009");
    EXPECT_EQ(FormatDate(date, "d/m/yy"), "7/11/09");
    EXPECT_EQ(FormatDate(date, "yyyy-mm-dd"), "2009-11-07");
    EXPECT_EQ(FormatDate(date, "MM/DD/YYYY"), "11/07/2009");
    EXPECT_EQ(FormatDate(Date(2000, 1, 31), "yymd"), "00131");
    EXPECT_EQ(FormatDate(date, ""), "");
    EXPECT_EQ(FormatDate(date, "x ddd"), "x 07");
}

TEST_F(ShortDateFormatTest, TodayFollowsTheProcessWideSetting) {
    SetShortDateFormat("yyyy|mm|dd");
    EXPECT_EQ(ShortDateFormat(), "yyyy|mm|dd");
    std::time_t before = std::time(nullptr);
    std::string today = TodayAsShortDate();
    std::time_t after = std::time(nullptr);
    std::tm a{}, b{};
    localtime_r(&before, &a);
    localtime_r(&after, &b);
    // The date may turn over between the readings; either day is right then.
    EXPECT_TRUE(today == FormatDate(a, "yyyy|mm|dd") || today == FormatDate(b, "yyyy|mm|dd")) << today;
}

}  // namespace
}  // namespace pella
