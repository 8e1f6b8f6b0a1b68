#include "services/print/print_contexts.h"

namespace pella {

bool IsGrayscalePrintClass(const std::string& uid) {
    return uid == "1.2.840.10008.5.1.1.16" || uid == "1.2.840.10008.5.1.1.1" ||
           uid == "1.2.840.10008.5.1.1.2" || uid == "1.2.840.10008.5.1.1.4";
}

bool IsColorPrintClass(const std::string& uid) {
    return uid == "1.2.840.10008.5.1.1.16" || uid == "1.2.840.10008.5.1.1.1" ||
           uid == "1.2.840.10008.5.1.1.2" || uid == "1.2.840.10008.5.1.1.4.1";
}

std::string PrintContextSyntax(const PDU& pdu, const std::string& sopClass) {
    std::string carrier = sopClass;
    for (const auto& context : pdu.request.presentationContexts) {
        const std::string& abstract = context.abstractSyntax.text;
        if (abstract == kGrayscalePrintMetaSopClass && IsGrayscalePrintClass(sopClass)) {
            carrier = abstract;
        } else if (abstract == kColorPrintMetaSopClass) {
            if (IsColorPrintClass(sopClass)) carrier = abstract;
        } else if (abstract == sopClass) {
            return sopClass;
        }
    }
    return carrier;
}

}  // namespace pella
