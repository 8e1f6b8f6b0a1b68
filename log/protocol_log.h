// The process-wide protocol log: one text file, kept open and flushed after every line, so that
// it is complete at any moment. Every layer writes to it; it depends on nothing else in the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pella {

// Verbosity: 0 failures only, 1 association progress, 2 message dumps, 3 hex dumps of blocks.
int LogLevel();

// Replaces level and file name; an empty name writes nothing anywhere, "-" writes to standard
// error.
void SetLogSettings(int level, const std::string& fileName);

// Sets the level; a non-empty file name replaces the current one, an empty one keeps it.
void SetLogLevelAndFile(int level, const std::string& fileName);

// Appends "HH:MM:SS, text" ("HH:MM:SS, [tag] text" inside a LogContext). Lines from several
// threads never interleave. Never fails its caller:
// a file that cannot be opened drops the line.
void WriteLogLine(const std::string& text);

// Logs an association progress line: written at level 1 and above.
void LogProgress(const std::string& text);

// Logs a failure line (at every level) and keeps it as the calling thread's last failure, so
// that a caller can tell the user why an operation failed.
void LogFailure(const std::string& text);

// Keeps `text` as the calling thread's last failure without writing a log line (for events
// that are failures to some callers and normal to others).
void NoteFailure(const std::string& text);

// The calling thread's last failure text; empty when none since the last ClearLastFailure.
std::string LastFailure();
void ClearLastFailure();

// While in scope, every line and hex dump the calling thread writes carries "[tag] " after the
// time, so that lines of associations served side by side can be told apart. Nests.
class LogContext {
public:
    explicit LogContext(const std::string& tag);
    ~LogContext();
    LogContext(const LogContext&) = delete;
    LogContext& operator=(const LogContext&) = delete;

private:
    std::string previous_;
};

// Appends a hex dump of at most 256 bytes of one block sent (">>") or received ("<<"):
// a count line with hex pairs, a line with the printable characters, and an empty line.
void LogHexDump(const uint8_t* bytes, std::size_t count, bool outgoing);

}  // namespace pella
