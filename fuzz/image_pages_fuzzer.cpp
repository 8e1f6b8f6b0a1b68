// The pictures made from an arbitrary file: the print page (windowing, JPEG-compressed pixel
// data decoded through the converter), the ECG page (waveform sequences, channel definitions,
// sample data of any length) and the thumbnail, written into a folder of its own. Rows,
// Columns, frame counts and sample counts may lie about the data behind them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pella.h"
#include "support/memory_file.h"
#include "support/sandbox_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static pella_fuzz::MemoryFile file;
    static pella_fuzz::SandboxFolder folder;
    if (!file.Write(data, size)) return 0;
    const char* path = file.Path().c_str();

    Bitmap* page = CreateBitmap(1, 1, 8);
    if (page != nullptr) {
        RenderPrintImage(path, page);
        FreeBitmap(page);
    }
    ElementList* meta = CreateElementList();
    ElementList* dataSet = CreateElementList();
    uint8_t explicitVR = 1;
    if (DICOMFile(path, meta, dataSet, &explicitVR)) {
        Bitmap* ecg = CreateBitmap(320, 240, 24);
        if (ecg != nullptr) {
            ECG2Bitmap(ecg, dataSet);
            FreeBitmap(ecg);
        }
    }
    DestroyElementList(meta);
    DestroyElementList(dataSet);

    const auto& sandbox = folder.Fresh();
    CreateThumbnail((sandbox / "thumb").c_str(), path, 32);
    if (!folder.NothingOutside()) std::abort();  // a file was written outside its folder
    return 0;
}
