#include "app/option_lists.h"

namespace pellatool {

const OptionList& LogLevelNames() {
    static const OptionList names = {"No Log", "PDU Level", "Socket Level"};
    return names;
}

const OptionList& FilmDestinations() {
    static const OptionList names = {"MAGAZINE", "PROCESSOR", "BIN_1", "BIN_2", "BIN_3"};
    return names;
}

const OptionList& FilmOrientations() {
    static const OptionList names = {"PORTRAIT", "LANDSCAPE", ""};
    return names;
}

const OptionList& FilmSizes() {
    static const OptionList names = {"14INX17IN", "14INX14IN", "10INX12IN", "8INX10IN"};
    return names;
}

const OptionList& MagnificationTypes() {
    static const OptionList names = {"REPLICATE", "BILINEAR", "CUBIC", "NONE"};
    return names;
}

int ValidPosition(int32_t position, std::size_t count) {
    return position >= 0 && static_cast<std::size_t>(position) < count ? position : 0;
}

const std::string& EntryAt(const OptionList& list, int32_t position) {
    return list.at(static_cast<std::size_t>(ValidPosition(position, list.size())));
}

int32_t ValidLogLevel(int32_t level) {
    return level >= 1 && static_cast<std::size_t>(level) <= LogLevelNames().size() ? level : 0;
}

}  // namespace pellatool
