#include "services/print/print_attributes.h"

#include <cstring>

#include "net/dimse/command_set.h"

namespace pella {

namespace {

bool Given(const char* text) {
    return text != nullptr && text[0] != '\0';
}

// A density, when given, as a US element; CheckFilmBoxParameters has refused bad texts.
void AddDensity(ElementList& list, uint16_t element, const char* text) {
    uint16_t value = 0;
    if (Given(text) && ParseDensity(text, value)) AppendUS(list, 0x2010, element, value);
}

// One text attribute of a parameter record: its tag, VR and field.
template <typename Record>
struct TextField {
    uint16_t group, element;
    const char* vr;
    const char* const Record::*text;
};

template <typename Record, std::size_t N>
void AddTextFields(const Record* record, const TextField<Record> (&fields)[N], ElementList& list) {
    if (record == nullptr) return;
    for (const TextField<Record>& f : fields)
        AddPrintAttribute(list, f.group, f.element, record->*f.text, f.vr);
}

bool CheckDensity(const char* name, const char* text, std::string& reason) {
    uint16_t value = 0;
    if (!Given(text) || ParseDensity(text, value)) return true;
    reason = std::string(name) + " '" + text + "' is not a number from 0 to 65535";
    return false;
}

}  // namespace

void AddPrintAttribute(ElementList& list, uint16_t group, uint16_t element, const char* text,
                       const char* vr) {
    if (Given(text)) AppendText(list, group, element, text, vr);
}

bool ParseDensity(const char* text, uint16_t& value) {
    if (!Given(text) || std::strlen(text) > 5) return false;
    uint32_t number = 0;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return false;
        number = number * 10 + static_cast<uint32_t>(*c - '0');
    }
    if (number > 0xFFFF) return false;
    value = static_cast<uint16_t>(number);
    return true;
}

bool CheckFilmBoxParameters(const FilmBoxParameters* filmBox, std::string& reason) {
    if (filmBox == nullptr) return true;
    return CheckDensity("Min Density", filmBox->minDensity, reason) &&
           CheckDensity("Max Density", filmBox->maxDensity, reason);
}

void AddFilmSessionAttributes(const FilmSessionParameters* filmSession, ElementList& list) {
    static constexpr TextField<FilmSessionParameters> kFields[] = {
        {0x2000, 0x0010, "IS", &FilmSessionParameters::numberOfCopies},
        {0x2000, 0x0020, "CS", &FilmSessionParameters::printPriority},
        {0x2000, 0x0030, "CS", &FilmSessionParameters::mediumType},
        {0x2000, 0x0040, "CS", &FilmSessionParameters::filmDestination},
    };
    AddTextFields(filmSession, kFields, list);
}

void AddFilmBoxAttributes(const FilmBoxParameters* filmBox, ElementList& list) {
    // Image Display Format is mandatory in the film box N-CREATE: conforming printers refuse a
    // film box without it, so one image on the film is asked for when the caller names none.
    const char* format = filmBox != nullptr ? filmBox->imageDisplayFormat : nullptr;
    AddPrintAttribute(list, 0x2010, 0x0010, Given(format) ? format : kDefaultImageDisplayFormat, "ST");
    static constexpr TextField<FilmBoxParameters> kFields[] = {
        {0x2010, 0x0040, "CS", &FilmBoxParameters::filmOrientation},
        {0x2010, 0x0050, "CS", &FilmBoxParameters::filmSizeID},
        {0x2010, 0x0060, "CS", &FilmBoxParameters::magnificationType},
        {0x2010, 0x0100, "CS", &FilmBoxParameters::borderDensity},
        {0x2010, 0x0110, "CS", &FilmBoxParameters::emptyImageDensity},
    };
    AddTextFields(filmBox, kFields, list);
    if (filmBox == nullptr) return;
    AddDensity(list, 0x0120, filmBox->minDensity);
    AddDensity(list, 0x0130, filmBox->maxDensity);
}

}  // namespace pella
