// The print classes find the context of their meta class among the proposed ones; a context
// proposed for the class itself wins at once, a later meta class overrides an earlier one.
#include "services/print/print_contexts.h"

#include <gtest/gtest.h>

#include "net/dimse/dimse.h"

using namespace pella;

namespace {

const std::string kGray = "1.2.840.10008.5.1.1.9";
const std::string kColor = "1.2.840.10008.5.1.1.18";
const std::string kPrinter = "1.2.840.10008.5.1.1.16";
const std::string kSession = "1.2.840.10008.5.1.1.1";
const std::string kFilmBox = "1.2.840.10008.5.1.1.2";
const std::string kGrayImageBox = "1.2.840.10008.5.1.1.4";
const std::string kColorImageBox = "1.2.840.10008.5.1.1.4.1";
const std::string kCt = "1.2.840.10008.5.1.4.1.1.2";

// An association that proposed the abstract syntaxes with IDs 1, 3, 5, ...
void Propose(PDU& pdu, const std::vector<std::string>& abstracts) {
    uint8_t id = 1;
    for (const std::string& abstract : abstracts) {
        PresentationContextRQ context;
        context.contextID = id;
        id = static_cast<uint8_t>(id + 2);
        context.SetAbstractSyntax(abstract);
        pdu.request.presentationContexts.push_back(context);
    }
}

}  // namespace

TEST(PrintContexts, ClassesTravelOnTheirMetaClassContext) {
    struct Case {
        std::vector<std::string> proposed;
        std::string sopClass;
        std::string carrier;
        uint8_t contextID;  // 0: none
    };
    const Case cases[] = {
        {{kGray}, kFilmBox, kGray, 1},
        {{kGray}, kPrinter, kGray, 1},
        {{kGray}, kGrayImageBox, kGray, 1},
        {{kGray}, kColorImageBox, kColorImageBox, 0},
        {{kColor}, kColorImageBox, kColor, 1},
        {{kColor}, kGrayImageBox, kGrayImageBox, 0},
        {{kGray, kColor}, kSession, kColor, 3},  // the later meta class wins
        {{kColor, kGray}, kSession, kGray, 3},
        {{kGray, kFilmBox}, kFilmBox, kFilmBox, 3},  // the class's own context
        {{kFilmBox, kGray}, kFilmBox, kFilmBox, 1},
        {{kGray}, kCt, kCt, 0},
        {{kCt, kGray}, kCt, kCt, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sopClass);
        PDU pdu(1);
        Propose(pdu, c.proposed);
        std::string carrier = PrintContextSyntax(pdu, c.sopClass);
        EXPECT_EQ(carrier, c.carrier);
        EXPECT_EQ(FindContextID(pdu, carrier), c.contextID);
    }
    // net/ knows no print classes: the class alone finds no context.
    PDU pdu(1);
    Propose(pdu, {kGray});
    EXPECT_EQ(FindContextID(pdu, kFilmBox), 0);
}
