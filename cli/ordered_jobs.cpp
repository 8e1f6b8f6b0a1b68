#include "cli/ordered_jobs.h"

#include <condition_variable>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace cli {

namespace {

FileOutput RunGuarded(const FileJob& job, const std::string& file) {
    try {
        return job(file);
    } catch (const std::exception& e) {
        return {false, "", "cannot read '" + file + "': " + e.what() + "\n"};
    }
}

void Print(const FileOutput& output) {
    std::fwrite(output.out.data(), 1, output.out.size(), stdout);
    if (!output.err.empty()) {
        std::fflush(stdout);  // keep the reason next to the output it follows
        std::fwrite(output.err.data(), 1, output.err.size(), stderr);
    }
}

// Hands out file indexes to the workers, never more than `window` ahead of printing.
class OrderedResults {
public:
    OrderedResults(std::size_t count, std::size_t window) : results_(count), window_(window) {}

    std::optional<std::size_t> Take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return taken_ >= results_.size() || taken_ < printed_ + window_; });
        if (taken_ >= results_.size()) return std::nullopt;
        return taken_++;
    }

    void Put(std::size_t index, FileOutput output) {
        {
            std::lock_guard lock(mutex_);
            results_[index] = std::move(output);
        }
        changed_.notify_all();
    }

    FileOutput Next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return results_[printed_].has_value(); });
        FileOutput output = std::move(*results_[printed_]);
        results_[printed_].reset();
        ++printed_;
        lock.unlock();
        changed_.notify_all();
        return output;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::optional<FileOutput>> results_;
    std::size_t window_;
    std::size_t taken_ = 0;
    std::size_t printed_ = 0;
};

}  // namespace

unsigned DefaultJobs() {
    unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

bool RunInOrder(const std::vector<std::string>& files, unsigned jobs, const FileJob& job) {
    bool allOk = true;
    if (jobs <= 1 || files.size() <= 1) {
        for (const std::string& file : files) {
            FileOutput output = RunGuarded(job, file);
            allOk = allOk && output.ok;
            Print(output);
        }
        return allOk;
    }
    OrderedResults results(files.size(), std::size_t{jobs} * 4);
    std::vector<std::thread> workers;
    for (unsigned i = 0; i < jobs && i < files.size(); ++i) {
        workers.emplace_back([&] {
            while (auto index = results.Take()) results.Put(*index, RunGuarded(job, files[*index]));
        });
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        FileOutput output = results.Next();
        allOk = allOk && output.ok;
        Print(output);
    }
    for (auto& worker : workers) worker.join();
    return allOk;
}

}  // namespace cli
