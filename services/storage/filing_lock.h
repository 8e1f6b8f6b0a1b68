// The one lock of filing, held while folders, index lines and final names change and the archive
// index's rows are written; it knows how many threads wait for it, so that rows can be committed
// together by the last of the objects that arrived at once (services/storage/filing.cpp).
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

namespace pella {

class FilingSection {
public:
    FilingSection();  // waits for the lock, counted among its waiters meanwhile
    ~FilingSection() = default;
    FilingSection(const FilingSection&) = delete;
    FilingSection& operator=(const FilingSection&) = delete;

    // Another thread waits for the lock now (and will take it after this section).
    bool OthersWaiting() const;
    // Waits until `done` holds, the lock released meanwhile; another section's WakeAll wakes it.
    void Await(const std::function<bool()>& done);
    void WakeAll();

private:
    std::unique_lock<std::mutex> lock_;
};

}  // namespace pella
