#include "services/storage/short_date_format.h"

#include <cstdio>
#include <mutex>

namespace pella {

namespace {

std::mutex formatMutex;
std::string& CurrentFormat() {
    static std::string format = kDefaultShortDateFormat;
    return format;
}

std::string Number(int value, int digits) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", digits, value);
    return buffer;
}

char LowerLetter(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text of one run of a pattern letter.
std::string FormatRun(const std::tm& date, char letter, std::size_t run) {
    switch (letter) {
        case 'd':
            return Number(date.tm_mday, run >= 2 ? 2 : 1);
        case 'm':
            return Number(date.tm_mon + 1, run >= 2 ? 2 : 1);
        case 'y': {
            int year = date.tm_year + 1900;
            return run >= 3 ? Number(year, 4) : Number(((year % 100) + 100) % 100, 2);
        }
        default:
            return "";
    }
}

}  // namespace

void SetShortDateFormat(const std::string& format) {
    std::lock_guard<std::mutex> lock(formatMutex);
    CurrentFormat() = format;
}

std::string ShortDateFormat() {
    std::lock_guard<std::mutex> lock(formatMutex);
    return CurrentFormat();
}

std::string FormatDate(const std::tm& date, const std::string& format) {
    std::string out;
    for (std::size_t i = 0; i < format.size();) {
        char letter = LowerLetter(format[i]);
        std::size_t run = 1;
        while (i + run < format.size() && LowerLetter(format[i + run]) == letter) ++run;
        if (letter == 'd' || letter == 'm' || letter == 'y')
            out += FormatRun(date, letter, run);
        else
            out.append(format, i, run);
        i += run;
    }
    return out;
}

std::string TodayAsShortDate() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return FormatDate(local, ShortDateFormat());
}

}  // namespace pella
