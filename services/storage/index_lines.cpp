#include "services/storage/index_lines.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "data/io/staged_file.h"
#include "log/protocol_log.h"
#include "services/index/index_attributes.h"
#include "services/storage/index_appender.h"
#include "services/storage/index_file_lock.h"

namespace pella {

namespace {

struct Tag {
    uint16_t group;
    uint16_t element;
};

constexpr char kFieldSeparator = ',';
constexpr const char* kLineEnd = "\r\n";
constexpr char kFilingDateMark = static_cast<char>(0xA7);

// The attributes of each line, in field order (the study line's filing date follows its own).
constexpr Tag kStudyFields[] = {{0x0020, 0x000D}, {0x0008, 0x0020}, {0x0008, 0x0030}, {0x0010, 0x0020},
                                {0x0010, 0x0030}, {0x0010, 0x0010}, {0x0008, 0x0090}, {0x0008, 0x0050},
                                {0x0008, 0x0061}, {0x0008, 0x1030}};
constexpr Tag kSeriesFields[] = {{0x0020, 0x0011}, {0x0020, 0x000E}, {0x0020, 0x0012}, {0x0008, 0x0021},
                                 {0x0008, 0x0031}, {0x0008, 0x103E}, {0x0018, 0x5100}, {0x0018, 0x0015},
                                 {0x0008, 0x0070}, {0x0020, 0x0052}};
constexpr Tag kImageFields[] = {{0x0020, 0x0012}, {0x0020, 0x0013}, {0x0008, 0x0018}, {0x0008, 0x0023},
                                {0x0008, 0x0033}, {0x0018, 0x0086}, {0x0028, 0x0008}, {0x0020, 0x1041},
                                {0x0008, 0x0016}, {0x0028, 0x0010}, {0x0028, 0x0011}, {0x0008, 0x0008}};
constexpr Tag kStudyInstanceUid{0x0020, 0x000D};
constexpr Tag kSeriesInstanceUid{0x0020, 0x000E};
constexpr Tag kSopInstanceUid{0x0008, 0x0018};

// The field number (from 1) of an attribute in a line's field list; 0 when it has none.
template <std::size_t N>
constexpr int FieldNumber(const Tag (&fields)[N], Tag tag) {
    for (std::size_t i = 0; i < N; ++i)
        if (fields[i].group == tag.group && fields[i].element == tag.element) return static_cast<int>(i) + 1;
    return 0;
}

constexpr int kImageSopInstanceField = FieldNumber(kImageFields, kSopInstanceUid);
static_assert(kImageSopInstanceField == 3, "other programs read the file name from field 3");

// The escapes of a field: "%2C" for ",", "%0D" for CR, "%0A" for LF, and "%25" for a "%" that
// would otherwise read as one of these four. Every other byte stands for itself, so a line
// whose values hold none of them reads as it always did.
constexpr const char* kEscapes[] = {"%2C", "%0D", "%0A", "%25"};
constexpr char kEscaped[] = {',', '\r', '\n', '%'};

// The byte an escape at `at` stands for, or -1 when no escape starts there (case-insensitive
// hexadecimal digits).
int EscapedByteAt(const std::string& text, std::size_t at) {
    if (at + 3 > text.size() || text[at] != '%') return -1;
    for (std::size_t i = 0; i < std::size(kEscapes); ++i) {
        const char* escape = kEscapes[i];
        if (text[at + 1] == escape[1] && std::toupper(static_cast<unsigned char>(text[at + 2])) == escape[2])
            return static_cast<unsigned char>(kEscaped[i]);
    }
    return -1;
}

template <std::size_t N>
std::string JoinFields(const ElementList& dataSet, const Tag (&fields)[N]) {
    std::string line;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) line += kFieldSeparator;
        line += EscapeIndexField(GetElementText(dataSet, fields[i].group, fields[i].element));
    }
    return line;
}

}  // namespace

std::string EscapeIndexField(const std::string& value) {
    std::string field;
    field.reserve(value.size());
    for (std::size_t at = 0; at < value.size(); ++at) {
        char c = value[at];
        if (c == '%' && EscapedByteAt(value, at) < 0) {
            field += c;
            continue;
        }
        std::size_t i = 0;
        while (i < std::size(kEscaped) && kEscaped[i] != c) ++i;
        field += i < std::size(kEscaped) ? std::string(kEscapes[i]) : std::string(1, c);
    }
    return field;
}

std::string UnescapeIndexField(const std::string& field) {
    std::string value;
    value.reserve(field.size());
    for (std::size_t at = 0; at < field.size(); ++at) {
        int byte = EscapedByteAt(field, at);
        if (byte < 0) {
            value += field[at];
            continue;
        }
        value += static_cast<char>(byte);
        at += 2;
    }
    return value;
}

std::string IndexLineField(const std::string& line, int n) {
    return UnescapeIndexField(GetDelimitedField(line, n, kFieldSeparator));
}

std::string StudyIndexLine(const ElementList& dataSet, const std::string& filingDate) {
    return JoinFields(dataSet, kStudyFields) + kFieldSeparator + kFilingDateMark + filingDate + kLineEnd;
}

std::string SeriesIndexLine(const ElementList& dataSet) {
    return JoinFields(dataSet, kSeriesFields) + kLineEnd;
}

std::string ImageIndexLine(const ElementList& dataSet) {
    return JoinFields(dataSet, kImageFields) + kLineEnd;
}

bool IsIndexedAttribute(uint16_t group, uint16_t element) {
    Tag tag{group, element};
    return FieldNumber(kStudyFields, tag) > 0 || FieldNumber(kSeriesFields, tag) > 0 ||
           FieldNumber(kImageFields, tag) > 0 || IsArchiveIndexAttribute(group, element);
}

bool TakeBackLastLine(const std::string& indexFile, const std::string& line) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(indexFile, ec)) return false;
    IndexFileLock lock(indexFile);
    const int fd = lock.Descriptor();
    if (fd < 0) return false;
    struct stat status {};
    std::string tail(line.size(), '\0');
    bool ok = ::fstat(fd, &status) == 0 && static_cast<std::size_t>(status.st_size) >= line.size();
    const off_t start = ok ? status.st_size - static_cast<off_t>(line.size()) : 0;
    ok = ok && ::pread(fd, tail.data(), tail.size(), start) == static_cast<ssize_t>(tail.size()) &&
         tail == line && ::ftruncate(fd, start) == 0;
    if (!ok) WriteLogLine("Filing: cannot take back the last line of " + indexFile);
    return ok;
}

bool AppendIndexLine(const std::string& indexFile, const std::string& line) {
    IndexAppender once;  // opened for this line alone, closed again at once
    return once.Append(indexFile, line);
}

std::vector<std::string> ReadIndexLines(const std::string& indexFile) {
    std::vector<std::string> lines;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(indexFile, ec)) return lines;
    std::ifstream in(indexFile, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::string GetDelimitedField(const std::string& text, int n, char delimiter) {
    if (n < 1) return "";
    std::size_t start = 0;
    for (int field = 1; field < n; ++field) {
        std::size_t next = text.find(delimiter, start);
        if (next == std::string::npos) return "";
        start = next + 1;
    }
    std::size_t end = text.find(delimiter, start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string ImageLineSopInstance(const std::string& line) {
    return IndexLineField(line, kImageSopInstanceField);
}

std::string IndexLineKey(IndexKind kind, const std::string& line) {
    switch (kind) {
        case IndexKind::Study:
            return GetDelimitedField(line, FieldNumber(kStudyFields, kStudyInstanceUid), kFieldSeparator);
        case IndexKind::Series:
            return GetDelimitedField(line, FieldNumber(kSeriesFields, kSeriesInstanceUid), kFieldSeparator);
        case IndexKind::Image:
            return ImageLineSopInstance(line);
    }
    return "";
}

bool IndexListsKey(const std::string& indexFile, IndexKind kind, const std::string& key) {
    for (const std::string& line : ReadIndexLines(indexFile))
        if (IndexLineKey(kind, line) == key) return true;
    return false;
}

bool ReplaceImageLine(const std::string& indexFile, const std::string& line) {
    std::string body = line;
    if (!body.empty() && body.back() == '\n') body.pop_back();
    if (!body.empty() && body.back() == '\r') body.pop_back();
    const std::string key = ImageLineSopInstance(body);
    // The old file stays locked until the new one is renamed over it (index_file_lock.h).
    IndexFileLock lock(indexFile);
    if (!lock.Held()) return false;
    std::string text;
    for (const std::string& kept : ReadIndexLines(indexFile))
        if (ImageLineSopInstance(kept) != key) text.append(kept).append(kLineEnd);
    text.append(body).append(kLineEnd);
    // Staged beside the index (same file system, so the rename is atomic), hidden from readers:
    // ".Image.dir.<pid>-<start>-<boot>-<n>.part".
    std::filesystem::path index(indexFile);
    std::string hidden = ".";
    hidden.append(index.filename().string()).append(".");
    StagedFile staged((index.parent_path() / hidden).string(), ".part", 0644);
    bool ok = staged.Valid();
    if (ok) {
        std::ofstream out(staged.Name(), std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        ok = static_cast<bool>(out) && staged.MoveTo(indexFile);
    }
    if (!ok) WriteLogLine("Filing: cannot rewrite " + indexFile);
    return ok;
}

}  // namespace pella
