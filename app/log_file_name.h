// The protocol log of one test run: start directory + date as ddmmyyyy + "_" + test name + ".log".
#pragma once

#include <ctime>
#include <string>

namespace pellatool {

std::string LogFileName(const std::string& startDirectory, const std::tm& date, const std::string& testName);

// The same for today (local time).
std::string TodaysLogFileName(const std::string& startDirectory, const std::string& testName);

}  // namespace pellatool
