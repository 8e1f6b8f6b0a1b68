#include "net/acse/negotiated_roles.h"

namespace pella {

namespace {

const RoleSelection* ItemFor(const std::vector<RoleSelection>& items, const std::string& sopClass) {
    for (const RoleSelection& item : items)
        if (item.sopClass == sopClass) return &item;
    return nullptr;
}

}  // namespace

NegotiatedRoles RolesFor(const AssociateRQ& request, const AssociateAC& accept, const std::string& sopClass) {
    const RoleSelection* proposed = ItemFor(request.userInformation.roles, sopClass);
    const RoleSelection* answered = ItemFor(accept.userInformation.roles, sopClass);
    if (!proposed || !answered) return {};
    NegotiatedRoles roles;
    roles.requestorIsUser = proposed->scuRole != 0 && answered->scuRole != 0;
    roles.requestorIsProvider = proposed->scpRole != 0 && answered->scpRole != 0;
    return roles;
}

NegotiatedRoles RolesFor(const PDU& pdu, const std::string& sopClass) {
    return RolesFor(pdu.request, pdu.accept, sopClass);
}

}  // namespace pella
