#include "services/storage/filing_lock.h"

#include <atomic>

namespace pella {

namespace {

std::mutex filingMutex;
std::condition_variable filingChanged;
std::atomic<int> waiting{0};

}  // namespace

FilingSection::FilingSection() : lock_(filingMutex, std::defer_lock) {
    waiting.fetch_add(1);
    lock_.lock();
    waiting.fetch_sub(1);
}

bool FilingSection::OthersWaiting() const {
    return waiting.load() > 0;
}

void FilingSection::Await(const std::function<bool()>& done) {
    filingChanged.wait(lock_, done);
}

void FilingSection::WakeAll() {
    filingChanged.notify_all();
}

}  // namespace pella
