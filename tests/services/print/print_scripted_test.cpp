// The print user against scripted print servers: conforming answers in both encodings of the
// film box response, warnings and failures at each step, and hostile servers. Each call must
// end with the right step's line and never print what was refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pella.h"
#include "support/log_file.h"
#include "support/print_bytes.h"
#include "support/sample_files.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

using namespace testing_support;

namespace {

const std::string kImageBoxClass = "1.2.840.10008.5.1.1.4";
const std::string kImageBoxUid = "1.2.826.0.1.3680043.2.1.4.77";
const std::string kFilmBoxUid = "1.2.826.0.1.3680043.2.1.2.55";
const std::string kSessionUid = "1.2.826.0.1.3680043.2.1.1.33";

// One exchange of the print: the PDUs the user sends, then the server's answer.
struct Exchange {
    int pdusRead;
    Bytes answer;
};

Bytes Answer(const Bytes& command, const Bytes& dataSet = {}) {
    Bytes pdus = PData(1, kCommandPdv, command);
    if (!dataSet.empty()) {
        Bytes data = PData(1, kDataPdv, dataSet);
        pdus.insert(pdus.end(), data.begin(), data.end());
    }
    return pdus;
}

// A conforming printer's answers: printer status, film session, film box (with `reference` as
// its data set), image box, action, deletion. Message IDs 1 to 6.
std::vector<Exchange> Conforming(const Bytes& reference) {
    return {
        {1, Answer(NResponse(0x8110, 1, 0, false))},
        {2, Answer(NResponse(0x8140, 2, 0, false, kSessionUid))},
        {2, Answer(NResponse(0x8140, 3, 0, true, kFilmBoxUid), reference)},
        {2, Answer(NResponse(0x8120, 4, 0, false))},
        {1, Answer(NResponse(0x8130, 5, 0, false))},
        {1, Answer(NResponse(0x8150, 6, 0, false))},
    };
}

Bytes DefinedImageBox() {
    return DefinedReference(ImageBoxItem(kImageBoxClass, kImageBoxUid));
}

struct Result {
    bool printed = false;
    std::string log;
    std::vector<Bytes> received;
};

// Plays the exchanges, then answers the release (or, with `hangUp`, closes the connection
// instead), and prints CT_small with the film session and film box attributes a front end
// sends.
Result Print(const std::vector<Exchange>& exchanges, bool hangUp = false,
             const FilmSessionParameters* sessionGiven = nullptr,
             const FilmBoxParameters* boxGiven = nullptr) {
    TempDir dir;
    LogSettingsGuard restore;
    SetLOG(dir.File("print.log").c_str(), 1);
    ScriptedPeer peer;
    peer.ReadPdu().Send(AcceptBytes(1, kImplicitLE, 0, 1 << 20));
    for (const Exchange& e : exchanges) {
        for (int i = 0; i < e.pdusRead; ++i) peer.ReadPdu();
        if (!e.answer.empty()) peer.Send(e.answer);
    }
    if (hangUp) {
        peer.Close();
    } else {
        peer.ReadPdu().Send(kReleaseRP);
    }
    peer.Start();
    FilmSessionParameters session{"1", "MED", "BLUE FILM", "MAGAZINE"};
    FilmBoxParameters box{"STANDARD\\1,1", "PORTRAIT", "14INX17IN", "REPLICATE", "", nullptr, "", ""};
    char calling[17] = "";
    Result r;
    r.printed = PrintSCU(PydicomFile("CT_small.dcm").c_str(), "127.0.0.1", peer.PortText().c_str(), calling,
                         "PRINTSCP", sessionGiven ? sessionGiven : &session, boxGiven ? boxGiven : &box) == 1;
    r.received = peer.Finish();
    r.log = ReadText(dir.File("print.log"));
    return r;
}

bool Contains(const Bytes& pdu, const std::string& text) {
    return std::search(pdu.begin(), pdu.end(), text.begin(), text.end()) != pdu.end();
}

}  // namespace

// The film box response's image box reference in both encodings: the image box set is the one
// referenced, and the film box printed and deleted is the one created.
TEST(PrintScripted, PrintsWithTheReferenceInEitherEncoding) {
    const Bytes item = ImageBoxItem(kImageBoxClass, kImageBoxUid);
    for (const Bytes& reference : {DefinedReference(item), FlatReference(item)}) {
        Result r = Print(Conforming(reference));
        EXPECT_TRUE(r.printed) << r.log;
        for (const char* line :
             {"Create Film Session: OK!", "Create Film Box: OK!", "Width: 128, Height: 128",
              "Set Image Box: OK!", "FilmBox Action: OK!", "FilmBox Delete: OK!"})
            EXPECT_NE(r.log.find(line), std::string::npos) << line << "\n" << r.log;
        ASSERT_GE(r.received.size(), 11u);
        EXPECT_TRUE(Contains(r.received[5], kSessionUid));   // the film box names its session
        EXPECT_TRUE(Contains(r.received[6], kImageBoxUid));  // N-SET of the referenced box
        EXPECT_TRUE(Contains(r.received[6], kImageBoxClass));
        EXPECT_TRUE(Contains(r.received[8], kFilmBoxUid));  // N-ACTION
        EXPECT_TRUE(Contains(r.received[9], kFilmBoxUid));  // N-DELETE
        EXPECT_EQ(r.received[10][0], 0x05);                 // then the release
    }
}

// A printer that names the new film session or film box only among the returned attributes
// (SOP Instance UID), not in Affected SOP Instance UID: the UID is taken from there.
TEST(PrintScripted, CreatedUidsAreTakenFromTheReturnedAttributes) {
    auto sopInstance = [](const std::string& uid) {
        return DicomBytes()
            .Implicit(0x0008, 0x0016, PaddedUid("1.2.840.10008.5.1.1.1"))
            .Implicit(0x0008, 0x0018, PaddedUid(uid))
            .Bytes();
    };
    Bytes boxAttributes = sopInstance(kFilmBoxUid);
    Bytes reference = DefinedImageBox();
    boxAttributes.insert(boxAttributes.end(), reference.begin(), reference.end());
    std::vector<Exchange> exchanges = Conforming(DefinedImageBox());
    exchanges[1].answer = Answer(NResponse(0x8140, 2, 0, true), sopInstance(kSessionUid));
    exchanges[2].answer = Answer(NResponse(0x8140, 3, 0, true), boxAttributes);
    Result r = Print(exchanges);
    EXPECT_TRUE(r.printed) << r.log;
    ASSERT_GE(r.received.size(), 10u);
    EXPECT_TRUE(Contains(r.received[5], kSessionUid));  // the film box names its session
    EXPECT_TRUE(Contains(r.received[8], kFilmBoxUid));  // N-ACTION
    EXPECT_TRUE(Contains(r.received[9], kFilmBoxUid));  // N-DELETE

    // An invalid UID in either place still fails the step.
    exchanges[1].answer = Answer(NResponse(0x8140, 2, 0, true), sopInstance("1.2.3a"));
    exchanges.resize(2);
    r = Print(exchanges);
    EXPECT_FALSE(r.printed);
    EXPECT_NE(r.log.find("Create Film Session: Failed!"), std::string::npos) << r.log;
}

// A printer whose status cannot be read still prints.
TEST(PrintScripted, PrinterStatusFailureDoesNotStopThePrint) {
    for (uint16_t status : {uint16_t{0xC000}, uint16_t{0x0001}}) {
        std::vector<Exchange> exchanges = Conforming(DefinedImageBox());
        exchanges[0].answer = Answer(NResponse(0x8110, 1, status, false));
        Result r = Print(exchanges);
        EXPECT_TRUE(r.printed) << r.log;
        EXPECT_NE(r.log.find("Unable to Get Status"), std::string::npos) << r.log;
        EXPECT_NE(r.log.find("FilmBox Delete: OK!"), std::string::npos) << r.log;
    }
}

// A warning, a failure status or no status at any step after the printer status fails the call
// at that step; nothing after it is sent.
TEST(PrintScripted, AnyStatusButSuccessFailsItsStep) {
    const char* lines[] = {"Create Film Session: Failed!", "Create Film Box: Failed!",
                           "Set Image Box: Failed!", "Film Box Action: Failed!", "FilmBox Delete: Failed!"};
    const uint16_t fields[] = {0x8140, 0x8140, 0x8120, 0x8130, 0x8150};
    for (int step = 1; step <= 5; ++step) {
        for (std::optional<uint16_t> status :
             {std::optional<uint16_t>(0x0001), std::optional<uint16_t>(0xB605),
              std::optional<uint16_t>(0xC616), std::optional<uint16_t>()}) {
            SCOPED_TRACE("step " + std::to_string(step) + " status " +
                         (status ? std::to_string(*status) : std::string("absent")));
            std::vector<Exchange> exchanges = Conforming(DefinedImageBox());
            exchanges.resize(static_cast<std::size_t>(step) + 1);
            uint16_t id = static_cast<uint16_t>(step + 1);
            exchanges[step].answer =
                step == 1
                    ? Answer(NResponse(fields[0], id, status, false, kSessionUid))
                    : Answer(NResponse(fields[step - 1], id, status, false, step == 2 ? kFilmBoxUid : ""));
            Result r = Print(exchanges);
            EXPECT_FALSE(r.printed);
            EXPECT_NE(r.log.find(lines[step - 1]), std::string::npos) << r.log;
            if (step < 5) {
                EXPECT_EQ(r.log.find("FilmBox Delete: OK!"), std::string::npos) << r.log;
            }
        }
    }
}

// Hostile printers: each call fails cleanly at the step they break.
TEST(PrintScripted, HostilePrintersFailTheirStep) {
    const std::string longUid = "1.2." + std::string(70, '3');
    Bytes cutItem = ImageBoxItem(kImageBoxClass, kImageBoxUid);
    cutItem.resize(cutItem.size() - 5);
    struct Case {
        const char* name;
        std::function<void(std::vector<Exchange>&)> change;
        std::size_t exchanges;  // the failing one is the last the printer answers
        const char* line;
    };
    const Case cases[] = {
        {"over-long image box UID",
         [&](auto& x) {
             x[2].answer = Answer(NResponse(0x8140, 3, 0, true, kFilmBoxUid),
                                  DefinedReference(ImageBoxItem(kImageBoxClass, longUid)));
         },
         3, "Create Film Box: Failed!"},
        {"over-long film box UID",
         [&](auto& x) { x[2].answer = Answer(NResponse(0x8140, 3, 0, true, longUid), DefinedImageBox()); }, 3,
         "Create Film Box: Failed!"},
        {"over-long film session UID",
         [&](auto& x) { x[1].answer = Answer(NResponse(0x8140, 2, 0, false, longUid)); }, 2,
         "Create Film Session: Failed!"},
        {"film session without a UID", [&](auto& x) { x[1].answer = Answer(NResponse(0x8140, 2, 0, false)); },
         2, "Create Film Session: Failed!"},
        {"truncated image box reference",
         [&](auto& x) {
             x[2].answer = Answer(NResponse(0x8140, 3, 0, true, kFilmBoxUid), DefinedReference(cutItem));
         },
         3, "Create Film Box: Failed!"},
        {"no image box reference",
         [&](auto& x) { x[2].answer = Answer(NResponse(0x8140, 3, 0, false, kFilmBoxUid)); }, 3,
         "Set Image Box: Failed!"},
        {"answer to another message",
         [&](auto& x) { x[1].answer = Answer(NResponse(0x8140, 7, 0, false, kSessionUid)); }, 2,
         "Create Film Session: Failed!"},
        {"answer of another service", [&](auto& x) { x[3].answer = Answer(NResponse(0x8130, 4, 0, false)); },
         4, "Set Image Box: Failed!"},
        {"no response: the printer closes", [&](auto& x) { x[1].answer.clear(); }, 2,
         "Create Film Session: Failed!"},
        {"abort after the film box", [&](auto& x) { x[3].answer = kAbort; }, 4, "Set Image Box: Failed!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Exchange> exchanges = Conforming(DefinedImageBox());
        c.change(exchanges);
        exchanges.resize(c.exchanges);
        Result r = Print(exchanges, exchanges.back().answer.empty());
        EXPECT_FALSE(r.printed);
        EXPECT_NE(r.log.find(c.line), std::string::npos) << r.log;
        EXPECT_EQ(r.log.find("FilmBox Action: OK!"), std::string::npos) << r.log;
    }
}

// What the caller leaves empty is not sent: a film session without attributes is an N-CREATE
// that announces no data set (and sends none); Min and Max Density go out as US numbers. Image
// Display Format, mandatory in a film box, goes out as one image when left empty.
TEST(PrintScripted, SendsOnlyWhatIsGivenDensitiesAsNumbers) {
    FilmSessionParameters session{"", nullptr, "", nullptr};
    FilmBoxParameters box{"", nullptr, "", nullptr, "", "", "20", "300"};
    std::vector<Exchange> exchanges = Conforming(DefinedImageBox());
    exchanges[1].pdusRead = 1;
    Result r = Print(exchanges, false, &session, &box);
    EXPECT_TRUE(r.printed) << r.log;
    ASSERT_GE(r.received.size(), 10u);
    const Bytes& sessionCommand = r.received[2];
    Bytes noDataSet = {0x00, 0x00, 0x00, 0x08, 2, 0, 0, 0, 0x01, 0x01};
    EXPECT_TRUE(std::search(sessionCommand.begin(), sessionCommand.end(), noDataSet.begin(),
                            noDataSet.end()) != sessionCommand.end());
    EXPECT_EQ(r.received[3][0], 0x04);
    EXPECT_TRUE(Contains(r.received[3], std::string("\x00\x00\x00\x01\x02\x00\x00\x00\x40\x01", 10)))
        << "the film box N-CREATE comes next";
    const Bytes& filmBox = r.received[4];
    Bytes expected = DicomBytes()
                         .Implicit(0x2010, 0x0010, "STANDARD\\1,1")
                         .U16(0x2010)
                         .U16(0x0120)
                         .U32(2)
                         .U16(20)
                         .U16(0x2010)
                         .U16(0x0130)
                         .U32(2)
                         .U16(300)
                         .Implicit(0x2010, 0x0150, "")
                         .Bytes();
    ASSERT_GT(filmBox.size(), 12u);
    Bytes start(filmBox.begin() + 12,
                filmBox.begin() + 12 + static_cast<long>(std::min(expected.size(), filmBox.size() - 12)));
    EXPECT_EQ(start, expected);
}
