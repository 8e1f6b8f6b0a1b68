// Copies an SQLite database's write-ahead log into the database file on a thread of its own.
// Left to the committing connection, that copy and its flushes would fall to whichever object's
// commit filled the log, while it holds the filing lock every other object waits for.
#pragma once

#include <sqlite3.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace pella {

class SqliteCheckpointer {
public:
    explicit SqliteCheckpointer(std::string path) : path_(std::move(path)) {}
    ~SqliteCheckpointer();  // waits for a copy under way, then ends the thread
    SqliteCheckpointer(const SqliteCheckpointer&) = delete;
    SqliteCheckpointer& operator=(const SqliteCheckpointer&) = delete;

    // Installs the commit hook on the connection: from kBackgroundFrames frames in the log on
    // (then each time another half of that has been added), a
    // copy is asked of the thread (started on first use); from kInlineFrames on (the thread is
    // kept from copying, or cannot open the database), the committing connection copies itself.
    void Watch(sqlite3* connection);

    static constexpr int kBackgroundFrames = 1000;
    static constexpr int kInlineFrames = 20000;

private:
    static int Committed(void* self, sqlite3* connection, const char* database, int frames);
    void Request(int frames);
    void Run();

    std::string path_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool requested_ = false;
    int requestedAt_ = 0;  // frames in the log at the last request (fewer: the log began again)
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace pella
