#include "data/io/dicom_file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pella {

namespace {

Part10Check KindOf(const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return Part10Check::kFolder;
    if (!S_ISREG(info.st_mode)) return Part10Check::kNotRegularFile;
    return Part10Check::kPart10File;
}

// Reads the first 132 bytes of a regular file. The file is opened without waiting (a pipe put
// in its place after the stat must not block) and checked again once open.
Part10Check ReadHead(const std::string& fileName, uint8_t (&head)[kPart10DataOffset], std::size_t& got) {
    int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return errno == ENOENT ? Part10Check::kMissing : Part10Check::kUnreadable;
    struct stat info {};
    Part10Check kind = fstat(fd, &info) == 0 ? KindOf(info) : Part10Check::kUnreadable;
    got = 0;
    while (kind == Part10Check::kPart10File && got < sizeof head) {
        ssize_t n = pread(fd, head + got, sizeof head - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) kind = Part10Check::kUnreadable;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    close(fd);
    return kind;
}

}  // namespace

bool HasPart10Marker(const uint8_t* bytes, std::size_t size) {
    return bytes != nullptr && size >= kPart10DataOffset &&
           std::memcmp(bytes + kPart10PreambleSize, "DICM", 4) == 0;
}

Part10Check CheckPart10File(const std::string& fileName) {
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Part10Check::kMissing : Part10Check::kUnreadable;
    if (Part10Check kind = KindOf(info); kind != Part10Check::kPart10File) return kind;
    uint8_t head[kPart10DataOffset];
    std::size_t got = 0;
    Part10Check kind = ReadHead(fileName, head, got);
    if (kind != Part10Check::kPart10File) return kind;
    return HasPart10Marker(head, got) ? Part10Check::kPart10File : Part10Check::kNoMarker;
}

bool IsPart10File(const std::string& fileName) {
    return CheckPart10File(fileName) == Part10Check::kPart10File;
}

}  // namespace pella
