#include "services/index/reindex.h"

#include <filesystem>
#include <vector>

#include "data/io/dataset_reader.h"
#include "log/protocol_log.h"

namespace pella {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kBatchSize = 2000;  // records per transaction
constexpr uint64_t kProgressEvery = 1000;

// The real folders directly inside `folder` (no links), names starting with "." left out.
std::vector<fs::path> SubFolders(const fs::path& folder) {
    std::vector<fs::path> folders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.filename().string().front() == '.') continue;
        if (it->is_directory(ec) && !it->is_symlink(ec)) folders.push_back(path);
    }
    return folders;
}

// The ".dcm" regular files (no links) directly inside a series folder.
std::vector<fs::path> ObjectFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".dcm" && it->is_regular_file(ec) && !it->is_symlink(ec))
            files.push_back(it->path());
    return files;
}

class Rebuild {
public:
    Rebuild(ArchiveIndex& index, ReindexCounts& counts, const ReindexProgress& progress)
        : index_(index), counts_(counts), progress_(progress) {}

    bool Add(const fs::path& file, const std::string& relative) {
        DataSetFront front;
        if (!ReadDataSetFront(file.string(), front)) {
            ++counts_.skipped;
            WriteLogLine("Reindex: not a readable DICOM file: " + file.string());
            return true;
        }
        if (!open_ && !(open_ = index_.Begin())) return false;
        if (!index_.Record(IndexedInstanceOf(front.elements, front.syntax, relative))) {
            ++counts_.skipped;
            return true;
        }
        ++counts_.recorded;
        if (counts_.recorded % kBatchSize == 0 && !Flush()) return false;
        if (progress_ && counts_.recorded % kProgressEvery == 0) progress_(counts_, false);
        return true;
    }

    bool Flush() {
        if (!open_) return true;
        open_ = false;
        return index_.Commit();
    }

private:
    ArchiveIndex& index_;
    ReindexCounts& counts_;
    const ReindexProgress& progress_;
    bool open_ = false;
};

}  // namespace

bool RecordFile(ArchiveIndex& index, const std::string& storageFolder, const std::string& file) {
    std::error_code ec;
    fs::path relative = fs::relative(file, storageFolder, ec);
    DataSetFront front;
    if (ec || relative.empty() || *relative.begin() == ".." || !ReadDataSetFront(file, front)) {
        WriteLogLine("Archive index: cannot record " + file);
        return false;
    }
    return index.Record(IndexedInstanceOf(front.elements, front.syntax, relative.string()));
}

bool RebuildIndex(ArchiveIndex& index, const std::string& storageFolder, ReindexCounts& counts,
                  const ReindexProgress& progress) {
    counts = ReindexCounts{};
    if (!index.Clear()) return false;
    Rebuild rebuild(index, counts, progress);
    for (const fs::path& study : SubFolders(storageFolder))
        for (const fs::path& series : SubFolders(study))
            for (const fs::path& file : ObjectFiles(series)) {
                std::string relative = study.filename().string() + "/" + series.filename().string() + "/" +
                                       file.filename().string();
                if (!rebuild.Add(file, relative)) {
                    index.Rollback();
                    return false;
                }
            }
    bool ok = rebuild.Flush();
    if (progress) progress(counts, true);
    return ok;
}

}  // namespace pella
