// A shared library loaded on its first use rather than with libpella: cairo (ECG pages), libpq
// (PostgreSQL indexes), SQLite (archive indexes), OpenSSL (TLS, password hashes, keyed UIDs) and
// the HTJ2K encoder module each bring libraries whose loading would otherwise cost every run of
// every command. The functions callers use are defined with
// PELLA_FORWARD_ON_DEMAND and forward to their namesakes in the loaded library.
#pragma once

#include <dlfcn.h>

#include <mutex>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace pella {

class LibraryOnDemand {
public:
    // `files` are tried in turn (a path, or a name the dynamic loader looks up); nothing is loaded yet.
    explicit LibraryOnDemand(std::vector<std::string> files) : files_(std::move(files)) {}
    LibraryOnDemand(const LibraryOnDemand&) = delete;
    LibraryOnDemand& operator=(const LibraryOnDemand&) = delete;

    // The library's handle, loaded once for the life of the process (never closed: the functions
    // resolved from it stay in use); null when no file loads.
    void* Handle() {
        std::call_once(once_, [this] { Load(); });
        return handle_;
    }

    // Loads the library; false with `reason` ("`what` cannot be loaded: <loader's message>").
    bool Available(const char* what, std::string& reason) {
        if (Handle() != nullptr) return true;
        reason = std::string(what).append(" cannot be loaded: ").append(error_);
        return false;
    }

    // The function `name` of the library, null without the library or the function.
    template <typename Function>
    Function Resolve(const char* name) {
        void* handle = Handle();
        return handle != nullptr ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
    }

private:
    void Load() {
        for (const std::string& file : files_) {
            handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle_ != nullptr) return;
            const char* error = dlerror();
            error_ = error != nullptr ? error : file + ": not found";
        }
    }

    const std::vector<std::string> files_;
    std::once_flag once_;
    void* handle_ = nullptr;
    std::string error_ = "no file to load";
};

}  // namespace pella

// Defines `LibraryOnDemand& getter()`, the process's one handle on the library `file` (never
// destroyed, so that forwarders called while the process exits still find it), and
// `bool available(std::string& reason)`, which loads it or sets `reason` to "`what` cannot be
// loaded: <loader's message>".
#define PELLA_LIBRARY_ON_DEMAND(getter, file, available, what)                            \
    LibraryOnDemand& getter() {                                                           \
        static LibraryOnDemand* const library = new LibraryOnDemand({std::string(file)}); \
        return *library;                                                                  \
    }                                                                                     \
    bool available(std::string& reason) {                                                 \
        return getter().Available(what, reason);                                          \
    }

// The symbol `name` names once the macros that rename it are applied, as a string.
#define PELLA_ON_DEMAND_SYMBOL(name) #name

// Defines the C function `name` to resolve its namesake in `library` (an expression giving a
// LibraryOnDemand&) once and call it; without the library it does nothing and gives the zero
// value, so callers check Available before the first call.
#define PELLA_FORWARD_ON_DEMAND(library, Result, name, parameters, arguments)                      \
    extern "C" Result name parameters {                                                            \
        static const auto real = (library).Resolve<decltype(&name)>(PELLA_ON_DEMAND_SYMBOL(name)); \
        if (real == nullptr) return std::type_identity_t<Result>();                                \
        return real arguments;                                                                     \
    }
