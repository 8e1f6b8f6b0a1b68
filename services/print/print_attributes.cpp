#include "services/print/print_attributes.h"

#include <cstring>

#include "net/command_set.h"

namespace pella {

namespace {

bool Given(const char* text) { return text != nullptr && text[0] != '\0'; }

// A density, when given, as a US element; CheckFilmBoxParameters has refused bad texts.
void AddDensity(ElementList& list, uint16_t element, const char* text) {
    uint16_t value = 0;
    if (Given(text) && ParseDensity(text, value)) AppendUS(list, 0x2010, element, value);
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
    if (filmSession == nullptr) return;
    AddPrintAttribute(list, 0x2000, 0x0010, filmSession->numberOfCopies, "IS");
    AddPrintAttribute(list, 0x2000, 0x0020, filmSession->printPriority, "CS");
    AddPrintAttribute(list, 0x2000, 0x0030, filmSession->mediumType, "CS");
    AddPrintAttribute(list, 0x2000, 0x0040, filmSession->filmDestination, "CS");
}

void AddFilmBoxAttributes(const FilmBoxParameters* filmBox, ElementList& list) {
    if (filmBox == nullptr) return;
    AddPrintAttribute(list, 0x2010, 0x0010, filmBox->imageDisplayFormat, "ST");
    AddPrintAttribute(list, 0x2010, 0x0040, filmBox->filmOrientation, "CS");
    AddPrintAttribute(list, 0x2010, 0x0050, filmBox->filmSizeID, "CS");
    AddPrintAttribute(list, 0x2010, 0x0060, filmBox->magnificationType, "CS");
    AddPrintAttribute(list, 0x2010, 0x0100, filmBox->borderDensity, "CS");
    AddPrintAttribute(list, 0x2010, 0x0110, filmBox->emptyImageDensity, "CS");
    AddDensity(list, 0x0120, filmBox->minDensity);
    AddDensity(list, 0x0130, filmBox->maxDensity);
}

}  // namespace pella
