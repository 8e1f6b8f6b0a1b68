#include "services/index/sqlite_checkpointer.h"

#include "log/protocol_log.h"

namespace pella {

SqliteCheckpointer::~SqliteCheckpointer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void SqliteCheckpointer::Watch(sqlite3* connection) {
    sqlite3_wal_hook(connection, &SqliteCheckpointer::Committed, this);
}

int SqliteCheckpointer::Committed(void* self, sqlite3* connection, const char* database, int frames) {
    if (frames >= kInlineFrames)
        sqlite3_wal_checkpoint_v2(connection, database, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    else if (frames >= kBackgroundFrames)
        static_cast<SqliteCheckpointer*>(self)->Request(frames);
    return SQLITE_OK;
}

void SqliteCheckpointer::Request(int frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Not for every commit: waking the thread costs more than the frames one commit adds. A
    // request not yet taken copies these frames too.
    if (requested_ || (frames >= requestedAt_ && frames < requestedAt_ + kBackgroundFrames / 2)) return;
    requestedAt_ = frames;
    requested_ = true;
    if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
    wake_.notify_one();
}

void SqliteCheckpointer::Run() {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        WriteLogLine("Archive index: cannot open " + path_ +
                     " to copy its log: " + (db ? sqlite3_errmsg(db) : "out of memory"));
        sqlite3_close_v2(db);
        return;  // the committing connections copy it themselves from kInlineFrames on
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || requested_; });
        if (stopping_) break;
        requested_ = false;
        lock.unlock();
        // Passive: the copy never waits for readers or the writer; what it cannot copy yet is
        // copied by a later request.
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        lock.lock();
    }
    sqlite3_close_v2(db);
}

}  // namespace pella
