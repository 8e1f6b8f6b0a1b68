#include "data/sequence_expansion.h"

#include <string>

#include "data/dictionary.h"
#include "data/encoded_element.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool ExpandValue(const DataElement& element, ElementList& list, bool explicitVR, bool bigEndian) {
    if (!HasValue(element) || element.value == nullptr) return true;
    MemorySource source(element.value, static_cast<std::size_t>(element.length));
    while (source.Remaining() > 0) {
        ElementPtr inner = ReadEncodedElement(source, explicitVR, bigEndian);
        if (!inner) return false;
        if (!explicitVR) LookupVR(*inner);
        list.Append(std::move(inner));
    }
    return true;
}

}  // namespace

bool dictionary::Exp_One_SQ(const DataElement& element, ElementList& list, bool explicitVR,
                            bool bigEndian) {
    if (LogLevel() > 1)
        WriteLogLine("dictionary::Exp_One_SQ::tag->length=" + std::to_string(element.length));
    bool ok = ExpandValue(element, list, explicitVR, bigEndian);
    if (LogLevel() > 1)
        WriteLogLine("dictionary::Exp_One_SQ::out->Count=" + std::to_string(list.size()));
    return ok;
}

}  // namespace pella
