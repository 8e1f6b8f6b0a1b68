// One walk over a flat element list serves every form: a sequence or an item of defined length
// is expanded into the flat form (in the encoding its bytes show) and walked the same way.
#include <optional>

#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"
#include "imaging/decimal_text.h"
#include "imaging/waveform_document.h"

namespace pella {

namespace {

// Defined-length sequences inside defined-length sequences are followed this deep at most.
constexpr int kMaxExpansionDepth = 8;

std::string ValueText(const DataElement& e) {
    if (!HasValue(e) || e.value == nullptr) return {};
    std::string text(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length));
    std::size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

std::string Trimmed(const std::string& text) {
    auto blank = [](unsigned char c) { return c <= ' '; };
    std::size_t start = 0, end = text.size();
    while (start < end && blank(static_cast<unsigned char>(text[start]))) ++start;
    while (end > start && blank(static_cast<unsigned char>(text[end - 1]))) --end;
    return text.substr(start, end - start);
}

// Characters [from, from + count) of the text, as far as they exist.
std::string Slice(const std::string& text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string();
}

std::string FormatDate(const std::string& value) {
    if (value.empty()) return {};
    return Slice(value, 6, 2) + "/" + Slice(value, 4, 2) + "/" + Slice(value, 0, 4);
}

std::string FormatTime(const std::string& value) {
    if (value.empty()) return {};
    return Slice(value, 0, 2) + ":" + Slice(value, 2, 2) + ":" + Slice(value, 4, 2);
}

// A little-endian binary number of up to four value bytes.
uint32_t BinaryValue(const DataElement& e) {
    uint32_t value = 0;
    for (int32_t i = 0; i < e.length && i < 4; ++i) value |= uint32_t{e.value[i]} << (8 * i);
    return value;
}

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

// The likeliest encoding of a defined-length sequence's or item's bytes: big endian when a
// sequence's first item tag reads so, explicit VR when the first element carries a VR.
ParseState GuessedEncoding(const DataElement& e) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = false;
    std::size_t vrAt = IsItem(e) ? 4 : 12;  // an item's value starts with its first element
    if (!IsItem(e) && e.length >= 2 && e.value[0] == 0xFF && e.value[1] == 0xFE) {
        state.explicitVR = true;
        state.bigEndian = true;
    } else if (e.length >= static_cast<int32_t>(vrAt + 2)) {
        const char vr[2] = {static_cast<char>(e.value[vrAt]), static_cast<char>(e.value[vrAt + 1])};
        state.explicitVR = IsKnownVR(vr);
    }
    return state;
}

// The element expanded into the flat form: in the guessed encoding, else in the first other one
// that decodes it whole; when none does, what the guess could decode.
ElementList Expanded(const DataElement& element) {
    ParseState guess = GuessedEncoding(element);
    ParseState otherVR = guess, swapped = guess;
    otherVR.explicitVR = !guess.explicitVR;
    swapped.explicitVR = true;
    swapped.bigEndian = !guess.bigEndian;
    for (ParseState state : {guess, otherVR, swapped}) {
        ElementList list;
        if (FlattenSequence(state, element, list)) return list;
    }
    ElementList partial;
    FlattenSequence(guess, element, partial);
    return partial;
}

void ParseSequenceAt(std::vector<WaveformGroup>& groups, const DataElement& element, int depth);
void ParseChannelsAt(std::vector<WaveformChannel>& channels, const DataElement& element, int depth);

class WaveformWalker {
public:
    explicit WaveformWalker(int depth) : depth_(depth) {}

    // Starts inside one group's channel definitions (for a Channel Definition Sequence alone).
    void StartInGroup() {
        inWaveformSequence_ = true;
        group_.emplace();
    }

    void Walk(const ElementList& list, WaveformDocument* document) {
        NestingTracker nesting;
        for (const auto& element : list) {
            if (nesting.AtTopLevel() && document) TakeHeaderText(*element, *document);
            Take(*element);
            nesting.Observe(*element);
        }
    }

    std::vector<WaveformGroup> groups;
    std::optional<WaveformGroup> group_;

private:
    void TakeHeaderText(const DataElement& e, WaveformDocument& d) {
        std::string text = ValueText(e);
        if (e.group == 0x0008 && e.element == 0x0020) d.studyDate = FormatDate(Trimmed(text));
        if (e.group == 0x0008 && e.element == 0x0030) d.studyTime = FormatTime(Trimmed(text));
        if (e.group == 0x0008 && e.element == 0x0060) d.modality = Trimmed(text);
        if (e.group != 0x0010) return;
        if (e.element == 0x0010) d.patientName = Trimmed(text);
        if (e.element == 0x0020) d.patientId = Trimmed(text);
        if (e.element == 0x0030) d.birthDate = Trimmed(text);
        if (e.element == 0x0040) d.sex = Trimmed(text);
    }

    bool Expandable(const DataElement& e) const { return HasValue(e) && depth_ < kMaxExpansionDepth; }

    void Take(const DataElement& e) {
        if (IsItem(e) && Expandable(e)) {  // an item of defined length: its elements in place
            for (const auto& inner : Expanded(e)) Take(*inner);
            return;
        }
        if (e.group == 0x0008) TakeCode(e);
        if (e.group == 0x5400) TakeWaveform(e);
        if (e.group == 0x003A && inWaveformSequence_) TakeGroupElement(e);
        if (e.group == 0x003A && inChannelDefinitions_) TakeChannelElement(e);
    }

    void TakeCode(const DataElement& e) {
        if (e.element == 0x0104 && inChannelSource_) {
            if (channel_) channel_->label = Trimmed(ValueText(e));
            inChannelSource_ = false;
        }
        if (e.element == 0x0100 && inUnits_) {
            if (channel_) channel_->units = Trimmed(ValueText(e));
            inUnits_ = false;
        }
    }

    void TakeWaveform(const DataElement& e) {
        if (e.element == 0x0100) {
            if (!HasValue(e))
                inWaveformSequence_ = true;
            else if (Expandable(e))
                ParseSequenceAt(groups, e, depth_ + 1);
            return;
        }
        if (!group_) return;
        if (e.element == 0x1004) group_->bitsAllocated = static_cast<uint16_t>(BinaryValue(e));
        if (e.element == 0x1006) group_->sampleInterpretation = Trimmed(ValueText(e));
        if (e.element == 0x1010) {
            if (HasValue(e)) group_->waveformData.assign(e.value, e.value + e.length);
            groups.push_back(std::move(*group_));
            group_.reset();
        }
    }

    void TakeGroupElement(const DataElement& e) {
        if (e.element == 0x0004) {
            group_.emplace();
            return;
        }
        if (!group_) return;
        if (e.element == 0x0005) group_->numberOfChannels = static_cast<uint16_t>(BinaryValue(e));
        if (e.element == 0x0010) group_->numberOfSamples = BinaryValue(e);
        if (e.element == 0x001A) group_->samplingFrequency = LeadingInteger(Trimmed(ValueText(e)));
        if (e.element == 0x0200) {
            group_->channels.clear();
            if (!HasValue(e))
                inChannelDefinitions_ = true;
            else if (Expandable(e))
                ParseChannelsAt(group_->channels, e, depth_ + 1);
        }
    }

    void TakeChannelElement(const DataElement& e) {
        std::string code, meaning;
        if (e.element == 0x0208) {
            channel_.emplace();
            inChannelSource_ = !HasValue(e);
            if (Expandable(e)) {
                ReadCodeItem(e, code, meaning);
                channel_->label = meaning;
            }
            return;
        }
        if (!channel_) return;
        if (e.element == 0x0210)
            channel_->sensitivity = static_cast<float>(LeadingNumber(Trimmed(ValueText(e))));
        if (e.element == 0x0211) {
            inUnits_ = !HasValue(e);
            if (Expandable(e)) {
                ReadCodeItem(e, code, meaning);
                channel_->units = code;
            }
        }
        if (e.element == 0x0212)
            channel_->correctionFactor = static_cast<float>(LeadingNumber(Trimmed(ValueText(e))));
        if (e.element == 0x0213) {
            channel_->channelBaseline = static_cast<float>(LeadingNumber(Trimmed(ValueText(e))));
            if (group_) group_->channels.push_back(std::move(*channel_));
            channel_.reset();
        }
    }

    int depth_;
    bool inWaveformSequence_ = false;
    bool inChannelDefinitions_ = false;
    bool inChannelSource_ = false;
    bool inUnits_ = false;
    std::optional<WaveformChannel> channel_;
};

void ParseSequenceAt(std::vector<WaveformGroup>& groups, const DataElement& element, int depth) {
    WaveformWalker walker(depth);
    walker.Walk(Expanded(element), nullptr);
    for (auto& group : walker.groups) groups.push_back(std::move(group));
}

void ParseChannelsAt(std::vector<WaveformChannel>& channels, const DataElement& element, int depth) {
    WaveformWalker walker(depth);
    walker.StartInGroup();
    walker.Walk(Expanded(element), nullptr);
    for (auto& channel : walker.group_->channels) channels.push_back(std::move(channel));
}

}  // namespace

void ParseWaveformDataset(WaveformDocument& document, const ElementList& dataList) {
    WaveformWalker walker(0);
    walker.Walk(dataList, &document);
    for (auto& group : walker.groups) document.groups.push_back(std::move(group));
}

void ParseWaveformSequence(std::vector<WaveformGroup>& groups, const DataElement& element) {
    ParseSequenceAt(groups, element, 1);
}

void ParseChannelDefinitions(std::vector<WaveformChannel>& channels, const DataElement& element) {
    ParseChannelsAt(channels, element, 1);
}

void ReadCodeItem(const DataElement& element, std::string& codeValue, std::string& codeMeaning) {
    for (const auto& e : Expanded(element)) {
        if (e->group != 0x0008) continue;
        if (e->element == 0x0100) codeValue = Trimmed(ValueText(*e));
        if (e->element == 0x0104) codeMeaning = Trimmed(ValueText(*e));
    }
}

}  // namespace pella
