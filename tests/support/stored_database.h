// What a storage server filed, as the tests check it: the consistency of its folder (index
// files, files and archive index, by tests/services/scripts/check_database.py) and the objects
// storescu was told were stored.
#pragma once

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace testing_support {

// The SOP Instance UIDs of the database's indexed objects; fails the test when the database is
// not consistent (an index line without its whole file, a file without its line, ...).
inline std::set<std::string> CheckedDatabase(const std::string& root) {
    CommandResult result = Capture(
        "/usr/bin/python3 " PELLA_SOURCE_DIR "/tests/services/scripts/check_database.py " + Quote(root));
    EXPECT_EQ(result.exitCode, 0) << "the database is not consistent:\n" << result.out;
    std::set<std::string> uids;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.rfind("problem: ", 0) != 0) uids.insert(line);
    return uids;
}

// The files storescu -v reports as answered with success, from its output.
inline std::vector<std::string> AcknowledgedFiles(const std::string& output) {
    std::vector<std::string> files;
    std::string sending;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (auto at = line.find("Sending file: "); at != std::string::npos) sending = line.substr(at + 14);
        if (line.find("Received Store Response (Success)") != std::string::npos && !sending.empty())
            files.push_back(sending);
    }
    return files;
}

}  // namespace testing_support
