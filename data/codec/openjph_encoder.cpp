#include "data/codec/openjph_encoder.h"

#include <dlfcn.h>

#include <filesystem>

#include "data/codec/htj2k_module.h"
#include "data/codec/native_samples.h"
#include "log/library_on_demand.h"

namespace pella {
namespace {

// The folder of the file this code was loaded from (libpella, or a program linking it
// statically); empty when the loader cannot say.
std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || info.dli_fname == nullptr) return "";
    return std::filesystem::path(info.dli_fname).parent_path().string();
}

// The module beside libpella first (the build tree, an installed or moved tree), then wherever
// the dynamic loader finds it by name.
LibraryOnDemand& Htj2kModule() {
    static LibraryOnDemand* const module = [] {
        std::vector<std::string> files;
        const std::string folder = OwnFolder();
        if (!folder.empty()) files.push_back(std::string(folder).append("/" PELLA_HTJ2K_MODULE_FILE));
        files.push_back(PELLA_HTJ2K_MODULE_FILE);
        return new LibraryOnDemand(std::move(files));
    }();
    return *module;
}

// The module's function `name`; null with `reason` when the module or the function is missing.
template <typename Function>
Function Htj2kFunction(const char* name, std::string& reason) {
    if (!Htj2kModule().Available("HTJ2K encoding needs " PELLA_HTJ2K_MODULE_FILE ", which", reason))
        return nullptr;
    auto function = Htj2kModule().Resolve<Function>(name);
    if (function == nullptr)
        reason = std::string(PELLA_HTJ2K_MODULE_FILE " is of another version: it lacks ").append(name);
    return function;
}

void KeepBytes(void* context, const uint8_t* bytes, size_t size) {
    static_cast<std::vector<uint8_t>*>(context)->assign(bytes, bytes + size);
}

}  // namespace

std::string OpenJphLibrary() {
    std::string reason;
    auto library = Htj2kFunction<PellaHtj2kLibrary>(PELLA_HTJ2K_LIBRARY, reason);
    return library != nullptr ? library() : std::string("OpenJPH (").append(reason).append(")");
}

bool EncodeHtj2kLosslessFrame(std::span<const uint8_t> frame, const FrameFormat& native, CodedFrame& out,
                              std::string& reason) {
    if (!IsEncodableFrame(frame, native, reason)) return false;
    auto encode = Htj2kFunction<PellaHtj2kEncodeFrame>(PELLA_HTJ2K_ENCODE_FRAME, reason);
    if (encode == nullptr) return false;
    const bool rgb = native.samplesPerPixel == 3 && native.photometric == "RGB";
    const PellaHtj2kFrame input{frame.data(),
                                frame.size(),
                                native.rows,
                                native.columns,
                                native.samplesPerPixel,
                                native.bitsAllocated,
                                native.bitsStored,
                                static_cast<uint8_t>(native.isSigned),
                                static_cast<uint8_t>(native.planar),
                                static_cast<uint8_t>(rgb)};
    char failure[256] = "";
    if (encode(&input, KeepBytes, &out.bytes, failure, sizeof failure) == 0) {
        reason = failure;
        return false;
    }
    out.format = native;
    out.format.planar = false;
    if (rgb) out.format.photometric = "YBR_RCT";
    return true;
}

}  // namespace pella
