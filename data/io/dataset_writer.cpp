#include "data/io/dataset_writer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "data/io/deflater.h"
#include "data/io/element_header.h"
#include "data/io/list_encoder.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

void Put16(uint8_t* out, uint16_t v, bool bigEndian) {
    out[bigEndian ? 1 : 0] = static_cast<uint8_t>(v & 0xFF);
    out[bigEndian ? 0 : 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* out, uint32_t v, bool bigEndian) {
    Put16(out + (bigEndian ? 2 : 0), static_cast<uint16_t>(v & 0xFFFF), bigEndian);
    Put16(out + (bigEndian ? 0 : 2), static_cast<uint16_t>(v >> 16), bigEndian);
}

std::size_t ValueSize(const DataElement& e) {
    return HasValue(e) ? static_cast<std::size_t>(e.length) : 0;
}

struct FileCloser {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

// Writes the list element by element through the stream's buffer: small elements are
// gathered, large values go to the file without another copy of the whole data set.
bool WriteList(std::FILE* file, const ElementList& list, bool explicitVR, bool bigEndian) {
    for (const auto& e : list) {
        uint8_t header[12];
        std::size_t headerSize = EncodeElementHeader(*e, explicitVR, bigEndian, header);
        if (std::fwrite(header, 1, headerSize, file) != headerSize) return false;
        std::size_t valueSize = ValueSize(*e);
        if (valueSize > 0 && std::fwrite(e->value, 1, valueSize, file) != valueSize) return false;
    }
    return true;
}

// The list's encoding deflated into the file, a piece at a time.
bool WriteDeflatedList(std::FILE* file, const ElementList& list, bool explicitVR, bool bigEndian) {
    Deflater deflater(
        [file](const uint8_t* bytes, std::size_t size) { return std::fwrite(bytes, 1, size, file) == size; });
    ListEncoder encoder(list, explicitVR, bigEndian);
    std::vector<uint8_t> piece(Deflater::kPieceSize);
    while (std::size_t n = encoder.Next(piece.data(), piece.size()))
        if (!deflater.Add(piece.data(), n)) return false;
    return deflater.Finish();
}

bool WriteFileContents(std::FILE* file, const ElementList* metaList, const ElementList& dataList,
                       bool explicitVR, bool bigEndian) {
    bool deflate = false;
    if (metaList != nullptr) {
        uint8_t head[132] = {};
        std::memcpy(head + 128, "DICM", 4);
        if (std::fwrite(head, 1, sizeof head, file) != sizeof head) return false;
        if (!WriteList(file, *metaList, true, false)) return false;
        deflate = TransferSyntax(ElementUid(*metaList, 0x0002, 0x0010)).Deflated();
    }
    return deflate ? WriteDeflatedList(file, dataList, explicitVR, bigEndian)
                   : WriteList(file, dataList, explicitVR, bigEndian);
}

}  // namespace

std::size_t EncodeElementHeader(const DataElement& e, bool explicitVR, bool bigEndian, uint8_t* out) {
    bool big = bigEndian && e.group != 0x0002;
    HeaderForm form = EncodedHeaderForm(e, explicitVR);
    uint32_t length = static_cast<uint32_t>(e.length);  // -1 becomes 0xFFFFFFFF
    Put16(out, e.group, big);
    Put16(out + 2, e.element, big);
    if (!form.withVR) {
        Put32(out + 4, length, big);
        return 8;
    }
    out[4] = static_cast<uint8_t>(form.vr[0]);
    out[5] = static_cast<uint8_t>(form.vr[1]);
    if (!form.longLength) {
        Put16(out + 6, static_cast<uint16_t>(length), big);  // fits: EncodedHeaderForm saw to it
        return 8;
    }
    out[6] = out[7] = 0;
    Put32(out + 8, length, big);
    return 12;
}

int64_t SerializeElements(const ElementList& list, uint8_t* buffer, std::size_t bufferSize, bool explicitVR,
                          bool bigEndian) {
    std::size_t position = 0;
    int64_t count = 0;
    for (const auto& e : list) {
        uint8_t header[12];
        std::size_t headerSize = EncodeElementHeader(*e, explicitVR, bigEndian, header);
        std::size_t valueSize = ValueSize(*e);
        if (bufferSize - position < headerSize || bufferSize - position - headerSize < valueSize) {
            char line[160];
            std::snprintf(line, sizeof line,
                          "SerializeElements: element (%04X,%04X) of %zu bytes does not fit the "
                          "%zu bytes left of the buffer",
                          e->group, e->element, headerSize + valueSize, bufferSize - position);
            WriteLogLine(line);
            return -1;
        }
        std::memcpy(buffer + position, header, headerSize);
        position += headerSize;
        if (valueSize > 0) std::memcpy(buffer + position, e->value, valueSize);
        position += valueSize;
        ++count;
    }
    return count;
}

std::vector<uint8_t> SerializeList(const ElementList& list, bool explicitVR, bool bigEndian) {
    std::vector<uint8_t> bytes(static_cast<std::size_t>(EncodedListLength(list, explicitVR)));
    if (SerializeElements(list, bytes.data(), bytes.size(), explicitVR, bigEndian) < 0)
        throw std::runtime_error("element list does not fit its encoded length");
    return bytes;
}

bool WritePart10File(const std::string& fileName, const ElementList* metaList, const ElementList& dataList,
                     bool explicitVR, bool bigEndian) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
    if (!file) {
        WriteLogLine("WritePart10File: cannot create " + fileName);
        return false;
    }
    bool ok = false;
    try {
        ok = WriteFileContents(file.get(), metaList, dataList, explicitVR, bigEndian);
    } catch (const std::exception& error) {
        WriteLogLine(std::string("WritePart10File: ") + error.what());
    }
    ok = (std::fclose(file.release()) == 0) && ok;
    if (!ok) {
        WriteLogLine("WritePart10File: writing " + fileName + " failed; the file is removed");
        std::remove(fileName.c_str());
    }
    return ok;
}

}  // namespace pella
