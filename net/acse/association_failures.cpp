#include "net/acse/association_failures.h"

namespace pella {

namespace {

std::string Coded(const char* field, unsigned value, const char* meaning) {
    return std::string(field) + " " + std::to_string(value) + " (" + meaning + ")";
}

const char* RejectResult(uint8_t result) {
    if (result == 1) return "permanent";
    if (result == 2) return "transient";
    return "unknown";
}

const char* RejectSource(uint8_t source) {
    if (source == 1) return "service user";
    if (source == 2) return "service provider, ACSE";
    if (source == 3) return "service provider, presentation";
    return "unknown";
}

const char* RejectReason(uint8_t source, uint8_t reason) {
    if (source == 1) {
        switch (reason) {
            case 1:
                return "no reason given";
            case 2:
                return "application context name not supported";
            case 3:
                return "calling AE title not recognized";
            case 7:
                return "called AE title not recognized";
            default:
                return "reserved";
        }
    }
    if (source == 2) {
        if (reason == 1) return "no reason given";
        if (reason == 2) return "protocol version not supported";
        return "reserved";
    }
    if (source == 3) {
        if (reason == 1) return "temporary congestion";
        if (reason == 2) return "local limit exceeded";
        return "reserved";
    }
    return "unknown";
}

const char* AbortSource(uint8_t source) {
    if (source == 0) return "service user";
    if (source == 2) return "service provider";
    return "reserved";
}

const char* AbortReason(uint8_t source, uint8_t reason) {
    if (source != 2) return "not significant";
    switch (reason) {
        case 0:
            return "reason not specified";
        case 1:
            return "unrecognized PDU";
        case 2:
            return "unexpected PDU";
        case 4:
            return "unrecognized PDU parameter";
        case 5:
            return "unexpected PDU parameter";
        case 6:
            return "invalid PDU parameter value";
        default:
            return "reserved";
    }
}

}  // namespace

std::string RejectText(uint8_t result, uint8_t source, uint8_t reason) {
    return Coded("result", result, RejectResult(result)) + ", " +
           Coded("source", source, RejectSource(source)) + ", " +
           Coded("reason", reason, RejectReason(source, reason));
}

std::string AbortText(uint8_t source, uint8_t reason) {
    return Coded("source", source, AbortSource(source)) + ", " +
           Coded("reason", reason, AbortReason(source, reason));
}

std::string ContextResultText(uint8_t result) {
    switch (result) {
        case 0:
            return "acceptance";
        case 1:
            return "user rejection";
        case 2:
            return "no reason (provider rejection)";
        case 3:
            return "abstract syntax not supported";
        case 4:
            return "transfer syntaxes not supported";
        default:
            return "unknown result " + std::to_string(result);
    }
}

}  // namespace pella
