// Typed command sets on bytes: what goes out for a request and for the response made from it,
// and what a received command set must hold.
#include <gtest/gtest.h>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "net/dimse/dimse_messages.h"
#include "support/scripted_peer.h"

using namespace pella;
using testing_support::Bytes;

namespace {

constexpr const char* kCtImage = "1.2.840.10008.5.1.4.1.1.2";

ElementList Decoded(const Bytes& bytes) {
    ElementList list;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = false;
    EXPECT_TRUE(ReadDatasetBytes(bytes.data(), bytes.size(), state, list));
    return list;
}

}  // namespace

// A C-STORE-RSP made from its request, byte for byte: class, field, the request's ID as the ID
// responded to, no data set, status, instance; the group length in front.
TEST(DimseMessages, StoreResponseIsMadeFromItsRequest) {
    ReceivedCommand request;
    request.contextID = 5;
    request.command.commandField = kCStoreRQ;
    request.command.affectedSopClass = kCtImage;
    request.command.messageID = 7;
    request.command.dataSetType = kDataSetFollows;
    request.command.affectedSopInstance = "1.2.3";
    DimseResponse response = MakeResponse(request, 0xB000);
    EXPECT_EQ(response.ContextID(), 5);
    EXPECT_EQ(response.RespondedTo(), 7);

    Bytes bytes = SerializeList(EncodeCommand(response.command), false, false);
    Bytes expected = {0, 0, 0, 0, 4,  0, 0, 0, 88, 0, 0, 0,  // group length 88
                      0, 0, 2, 0, 26, 0, 0, 0};              // affected class, 26 bytes
    for (char c : std::string(kCtImage)) expected.push_back(static_cast<uint8_t>(c));
    expected.push_back(0);
    for (auto [element, value] :
         {std::pair<uint16_t, uint16_t>{0x0100, 0x8001}, {0x0120, 7}, {0x0800, 0x0101}, {0x0900, 0xB000}})
        testing_support::PutCommandUS(expected, element, value);
    for (uint8_t b : {0, 0, 0, 0x10, 6, 0, 0, 0}) expected.push_back(b);  // affected instance, 6 bytes
    for (char c : std::string("1.2.3")) expected.push_back(static_cast<uint8_t>(c));
    expected.push_back(0);
    EXPECT_EQ(bytes, expected);
}

TEST(DimseMessages, DecodingRefusesWhatCannotBeActedOn) {
    auto command = [](std::optional<uint16_t> field, std::optional<uint16_t> dataSetType,
                      std::optional<uint16_t> messageID, std::optional<uint16_t> status) {
        ElementList list;
        if (field) AppendUS(list, 0, kTagCommandField, *field);
        if (messageID) AppendUS(list, 0, kTagMessageID, *messageID);
        if (dataSetType) AppendUS(list, 0, kTagDataSetType, *dataSetType);
        if (status) AppendUS(list, 0, kTagStatus, *status);
        return list;
    };
    struct Case {
        ElementList list;
        const char* why;  // empty: decodes
    };
    Case cases[] = {
        {command(kCEchoRSP, kNoDataSet, std::nullopt, 0), ""},
        {command(kCEchoRSP, kNoDataSet, std::nullopt, std::nullopt), "without Status"},
        {command(kCStoreRSP, kNoDataSet, std::nullopt, std::nullopt), "without Status"},
        {command(kCEchoRQ, kNoDataSet, 1, std::nullopt), ""},
        {command(kCEchoRQ, kNoDataSet, std::nullopt, std::nullopt), "without Message ID"},
        {command(std::nullopt, kNoDataSet, 1, std::nullopt), "without Command Field"},
        {command(kCStoreRQ, std::nullopt, 1, std::nullopt), "without Data Set Type"},
    };
    for (Case& c : cases) {
        DimseCommand decoded;
        std::string why;
        bool ok = DecodeCommand(c.list, decoded, why);
        EXPECT_EQ(ok, std::string(c.why).empty()) << c.why;
        if (!ok) {
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
        }
    }
}

TEST(DimseMessages, EveryFieldSurvivesEncodingAndDecoding) {
    DimseCommand move;
    move.commandField = kCMoveRSP;
    move.affectedSopClass = "1.2.840.10008.5.1.4.1.2.2.2";
    move.respondedTo = 9;
    move.status = 0xFF00;
    move.remaining = 3;
    move.completed = 2;
    move.failed = 1;
    move.warning = 0;
    move.moveDestination = "DEST";
    Bytes bytes = SerializeList(EncodeCommand(move), false, false);
    DimseCommand back;
    std::string why;
    ASSERT_TRUE(DecodeCommand(Decoded(bytes), back, why)) << why;
    EXPECT_EQ(back.commandField, move.commandField);
    EXPECT_EQ(back.affectedSopClass, move.affectedSopClass);
    EXPECT_EQ(back.respondedTo, move.respondedTo);
    EXPECT_EQ(back.status, move.status);
    EXPECT_EQ(back.remaining, move.remaining);
    EXPECT_EQ(back.completed, move.completed);
    EXPECT_EQ(back.failed, move.failed);
    EXPECT_EQ(back.warning, move.warning);
    EXPECT_EQ(back.moveDestination, "DEST");
    EXPECT_FALSE(back.HasDataSet());
}
