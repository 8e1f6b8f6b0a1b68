// A run's log file: start directory, the day as ddmmyyyy, "_", the test's name, ".log".
#include <gtest/gtest.h>

#include "app/log_file_name.h"

namespace {

TEST(LogFileName, DayMonthYearThenTheTestName) {
    std::tm day{};
    day.tm_year = 2026 - 1900;
    day.tm_mon = 11;
    day.tm_mday = 6;
    EXPECT_EQ(pellatool::LogFileName("/work/", day, "FIND"), "/work/06122026_FIND.log");
    day.tm_year = 2031 - 1900;
    day.tm_mon = 0;
    day.tm_mday = 29;
    EXPECT_EQ(pellatool::LogFileName("./", day, "WORKLIST"), "./29012031_WORKLIST.log");
}

}  // namespace
