#include "app/log_file_name.h"

namespace pellatool {

std::string LogFileName(const std::string& startDirectory, const std::tm& date, const std::string& testName) {
    char day[16] = {};
    std::strftime(day, sizeof day, "%d%m%Y", &date);
    return startDirectory + day + "_" + testName + ".log";
}

std::string TodaysLogFileName(const std::string& startDirectory, const std::string& testName) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LogFileName(startDirectory, local, testName);
}

}  // namespace pellatool
