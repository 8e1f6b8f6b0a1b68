#include "services/storage/index_lines.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

namespace pella {

namespace {

struct Tag {
    uint16_t group;
    uint16_t element;
};

constexpr const char* kLineEnd = "\r\n";
constexpr char kFilingDateMark = static_cast<char>(0xA7);

std::string JoinFields(const ElementList& dataSet, std::initializer_list<Tag> tags) {
    std::string line;
    bool first = true;
    for (const Tag& tag : tags) {
        if (!first) line += ',';
        first = false;
        // A received value never ends an index line early: its own line breaks become spaces.
        std::string value = GetElementText(dataSet, tag.group, tag.element);
        std::replace(value.begin(), value.end(), '\r', ' ');
        std::replace(value.begin(), value.end(), '\n', ' ');
        line += value;
    }
    return line;
}

}  // namespace

std::string StudyIndexLine(const ElementList& dataSet, const std::string& filingDate) {
    std::string line = JoinFields(dataSet, {{0x0020, 0x000D},
                                            {0x0008, 0x0020},
                                            {0x0008, 0x0030},
                                            {0x0010, 0x0020},
                                            {0x0010, 0x0030},
                                            {0x0010, 0x0010},
                                            {0x0008, 0x0090},
                                            {0x0008, 0x0050},
                                            {0x0008, 0x0061},
                                            {0x0008, 0x1030}});
    return line + ',' + kFilingDateMark + filingDate + kLineEnd;
}

std::string SeriesIndexLine(const ElementList& dataSet) {
    return JoinFields(dataSet, {{0x0020, 0x0011},
                                {0x0020, 0x000E},
                                {0x0020, 0x0012},
                                {0x0008, 0x0021},
                                {0x0008, 0x0031},
                                {0x0008, 0x103E},
                                {0x0018, 0x5100},
                                {0x0018, 0x0015},
                                {0x0008, 0x0070},
                                {0x0020, 0x0052}}) +
           kLineEnd;
}

std::string ImageIndexLine(const ElementList& dataSet) {
    return JoinFields(dataSet, {{0x0020, 0x0012},
                                {0x0020, 0x0013},
                                {0x0008, 0x0018},
                                {0x0008, 0x0023},
                                {0x0008, 0x0033},
                                {0x0018, 0x0086},
                                {0x0028, 0x0008},
                                {0x0020, 0x1041},
                                {0x0008, 0x0016},
                                {0x0028, 0x0010},
                                {0x0028, 0x0011},
                                {0x0008, 0x0008}}) +
           kLineEnd;
}

}  // namespace pella
