// Where real DICOM files written by other systems live.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// pydicom's sample files (Debian's python3-pydicom); PELLA_PYDICOM_DATA overrides the folder.
inline std::filesystem::path PydicomTestFiles() {
    if (const char* env = std::getenv("PELLA_PYDICOM_DATA")) return env;
    return "/usr/lib/python3/dist-packages/pydicom/data/test_files";
}

// One of pydicom's sample files by name.
inline std::string PydicomFile(const std::string& name) {
    return (PydicomTestFiles() / name).string();
}

// Every DICOM sample below the folder (".dcm" files and DICOMDIRs), sorted by path.
inline std::vector<std::filesystem::path> PydicomSamples() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(PydicomTestFiles(), ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (ec) break;
        if (!it->is_regular_file()) continue;
        std::string name = it->path().filename().string();
        if (it->path().extension() == ".dcm" || name.rfind("DICOMDIR", 0) == 0) files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace testing_support
