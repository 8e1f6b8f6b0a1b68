#include "services/print/print_contexts.h"

#include "data/registry/sop_classes.h"

namespace pella {

std::string PrintContextSyntax(const PDU& pdu, const std::string& sopClass) {
    std::string carrier = sopClass;
    for (const auto& context : pdu.request.presentationContexts) {
        const std::string& abstract = context.abstractSyntax.text;
        if (abstract == sopClass) return sopClass;
        if (IsPrintMetaMember(abstract, sopClass)) carrier = abstract;
    }
    return carrier;
}

}  // namespace pella
