// The audit trail's file: whole lines appended, a file renamed away (rotated) or removed is
// opened anew under its name, and an association's lines carry who called and what it did.
#include "services/storage/audit_trail.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

using namespace pella;

namespace {

std::vector<std::string> Lines(const std::string& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

TEST(AuditTrail, RotatedFilesAreOpenedAnewAndLinesNameTheirAssociation) {
    testing_support::TempDir dir;
    std::string file = dir.File("audit.jsonl");
    auto trail = std::make_shared<AuditTrail>(file);
    std::string why;
    ASSERT_TRUE(trail->Open(why)) << why;
    {
        AssociationAudit audit(trail);
        AuditScope scope(&audit);
        audit.SetPeer(AuditPeer{"WARD", "10.1.2.3", "alice", false});
        CurrentAudit()->NoteStore("1.2.3", true);
        CurrentAudit()->NoteStore("1.2.3", false);
        CurrentAudit()->NoteStore("1.2.4", true);
        CurrentAudit()->NoteRequest("find", "1.2.3", {{"matches", 1}}, "success");
        audit.Finish("ended");
        audit.Finish("ended");  // once only
    }
    EXPECT_EQ(CurrentAudit(), nullptr);
    std::vector<std::string> lines = Lines(file);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(
        lines[0].find(
            R"("peer":"WARD","address":"10.1.2.3","user":"alice","tls":false,"service":"find","study":"1.2.3","counts":{"matches":1},"outcome":"success")"),
        std::string::npos)
        << lines[0];
    EXPECT_NE(
        lines[1].find(
            R"("service":"store","study":"1.2.3","counts":{"failed":1,"stored":1},"outcome":"partial")"),
        std::string::npos)
        << lines[1];
    EXPECT_NE(lines[2].find(R"("study":"1.2.4","counts":{"failed":0,"stored":1},"outcome":"success")"),
              std::string::npos)
        << lines[2];
    EXPECT_NE(lines[3].find(R"("event":"association")"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find(R"("counts":{"objects":3,"requests":1,"studies":2},"outcome":"ended")"),
              std::string::npos)
        << lines[3];

    // Rotation: the old file keeps its lines, the next line starts the file under the name.
    ASSERT_EQ(std::rename(file.c_str(), dir.File("audit.jsonl.1").c_str()), 0);
    AssociationAudit next(trail);
    next.SetPeer(AuditPeer{"BAD\xff\"", "10.1.2.4", "", false});  // any bytes a peer sends
    next.Finish("rejected");
    EXPECT_EQ(Lines(dir.File("audit.jsonl.1")).size(), 4u);
    ASSERT_EQ(Lines(file).size(), 1u);
    EXPECT_NE(Lines(file)[0].find("\"peer\":\"BAD\xEF\xBF\xBD\\\"\""), std::string::npos) << Lines(file)[0];
    std::remove(file.c_str());
    next.Finish("again");  // finished already: nothing
    AssociationAudit third(trail);
    third.Finish("ended");
    EXPECT_EQ(Lines(file).size(), 1u);
}
