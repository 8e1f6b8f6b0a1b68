#include "log/protocol_log.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

namespace pella {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle OpenLog(const std::string& fileName);

struct LogState {
    std::mutex mutex;           // held while the file is opened, changed or written
    std::atomic<int> level{0};  // read on every block sent or received: no lock
    std::string fileName;
    FileHandle file;  // open while a name is set; reopened when the name changes

    // Writes one whole block and flushes it, so that the file is complete at any moment.
    // A file that could not be opened is tried again at the next block; one removed or renamed
    // meanwhile (log rotation) is opened anew under its name.
    void Write(const std::string& block) {
        std::lock_guard lock(mutex);
        if (file && !StillNamed()) file.reset();
        if (!file) file = OpenLog(fileName);
        if (!file) return;
        std::fwrite(block.data(), 1, block.size(), file.get());
        std::fflush(file.get());
    }

    bool StillNamed() const {
        if (fileName == "-") return true;
        struct stat named {
        }, open{};
        return ::stat(fileName.c_str(), &named) == 0 && ::fstat(::fileno(file.get()), &open) == 0 &&
               named.st_ino == open.st_ino && named.st_dev == open.st_dev;
    }

    void Rename(const std::string& name) {
        if (name == fileName && file) return;
        fileName = name;
        file.reset();
    }
};

LogState& State() {
    static LogState state;
    return state;
}

// Opens the log for appending; null when no name is set or it cannot be opened. The name "-"
// is standard error.
FileHandle OpenLog(const std::string& fileName) {
    if (fileName.empty()) return nullptr;
    if (fileName == "-") {
        int copy = ::dup(STDERR_FILENO);
        if (copy < 0) return nullptr;
        FileHandle handle(::fdopen(copy, "ab"));
        if (!handle) ::close(copy);
        return handle;
    }
    return FileHandle(std::fopen(fileName.c_str(), "ab"));
}

std::string TimeOfDay() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

constexpr std::size_t kHexDumpLimit = 256;

thread_local std::string lastFailure;
thread_local std::string context;  // "[tag] " while a LogContext is in scope

std::string Prefix() {
    return TimeOfDay() + ", " + context;
}

}  // namespace

int LogLevel() {
    return State().level.load(std::memory_order_relaxed);
}

void SetLogSettings(int level, const std::string& fileName) {
    std::lock_guard lock(State().mutex);
    State().level = level;
    State().Rename(fileName);
}

void SetLogLevelAndFile(int level, const std::string& fileName) {
    std::lock_guard lock(State().mutex);
    State().level = level;
    if (!fileName.empty()) State().Rename(fileName);
}

void WriteLogLine(const std::string& text) {
    try {
        State().Write(Prefix() + text + "\n");
    } catch (...) {
        // Logging never fails its caller.
    }
}

void LogFailure(const std::string& text) {
    NoteFailure(text);
    WriteLogLine(text);
}

void LogProgress(const std::string& text) {
    if (LogLevel() > 0) WriteLogLine(text);
}

void NoteFailure(const std::string& text) {
    try {
        lastFailure = text;
    } catch (...) {
    }
}

std::string LastFailure() {
    return lastFailure;
}

LogContext::LogContext(const std::string& tag) : previous_(context) {
    try {
        context = tag.empty() ? std::string() : "[" + tag + "] ";
    } catch (...) {
    }
}

LogContext::~LogContext() {
    context.swap(previous_);
}

void ClearLastFailure() {
    lastFailure.clear();
}

void LogHexDump(const uint8_t* bytes, std::size_t count, bool outgoing) {
    try {
        std::size_t shown = count > kHexDumpLimit ? kHexDumpLimit : count;
        bool more = count > kHexDumpLimit;
        char head[32];
        std::snprintf(head, sizeof head, "%6zu %s ", count, outgoing ? ">>" : "<<");
        std::string block = context + std::string(head, 10);
        char pair[4];
        for (std::size_t i = 0; i < shown; ++i) {
            std::snprintf(pair, sizeof pair, "%02X ", bytes[i]);
            block += pair;
        }
        if (more) block += " [MORE DATA...]";
        block += "\r\n";
        for (std::size_t i = 0; i < shown; ++i)
            block += (bytes[i] >= 0x20 && bytes[i] <= 0x7A) ? static_cast<char>(bytes[i]) : '.';
        if (more) block += " [MORE DATA...]";
        block += "\r\n\r\n";
        State().Write(block);
    } catch (...) {
    }
}

}  // namespace pella
