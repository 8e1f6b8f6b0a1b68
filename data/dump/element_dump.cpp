#include "data/dump/element_dump.h"

#include <cstdio>
#include <string>

#include "data/dictionary/dictionary.h"
#include "data/dump/dump_value_text.h"
#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

bool IsExpandable(const DataElement& element, int level) {
    if (element.length == kUndefinedLength) return false;
    return VrIs(element.vr, "SQ") || (IsItem(element) && level > 1);
}

std::string Repeat(const char* text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::string FirstPart(const DataElement& element, int level) {
    char tag[48];
    std::snprintf(tag, sizeof tag, "(%04X,%04X), %2d,\t", element.group, element.element, element.length);
    return Repeat("...", level - 1) + tag + DumpVRText(element);
}

bool DumpContents(const DataElement& element, bool explicitVR, int level) {
    try {
        ElementList contents;
        bool decoded = dictionary::Exp_One_SQ(element, contents, explicitVR, false);
        for (const auto& inner : contents)
            if (!DumpElement(*inner, explicitVR, level + 1)) return false;
        if (!decoded) WriteLogLine(Repeat("...", level) + "contents do not fit the length of the element");
        return decoded;
    } catch (...) {
        return false;
    }
}

}  // namespace

bool DumpElement(DataElement& element, bool explicitVR, int level) {
    if (level > kMaxDumpLevel) {
        WriteLogLine("DumpElement: nesting deeper than " + std::to_string(kMaxDumpLevel) +
                     " levels is not dumped");
        return false;
    }
    const char* name = LookupName(element, explicitVR);
    std::string line = FirstPart(element, level);
    if (IsExpandable(element, level)) {
        WriteLogLine(line);
        return DumpContents(element, explicitVR, level);
    }
    if (static_cast<uint32_t>(element.length) < 255) line += ", \"" + DumpValueText(element) + "\" - " + name;
    WriteLogLine(line);
    return true;
}

}  // namespace pella
