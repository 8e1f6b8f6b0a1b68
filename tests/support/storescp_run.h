// DCMTK's storescp as the receiving peer of a storage test: started on a free port writing into
// a folder of its own, with a debug log that tells what each association proposed.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/log_file.h"
#include "support/peer_process.h"
#include "support/run_command.h"
#include "support/sample_files.h"
#include "support/temp_dir.h"

namespace testing_support {

class StorescpRun {
public:
    // Extra storescp arguments (e.g. "+xi", "+xs"); false when it did not start.
    bool Start(const std::vector<std::string>& extra = {}) {
        std::filesystem::create_directories(Out());
        std::vector<std::string> args = {"-d"};
        args.insert(args.end(), extra.begin(), extra.end());
        port_ = StartStorescp(peer_, Out(), args, Log());
        return port_ > 0;
    }
    std::string Port() const { return std::to_string(port_); }
    std::string Out() const { return dir_.File("received"); }
    std::string Log() const { return dir_.File("storescp.log"); }
    const TempDir& Dir() const { return dir_; }
    void Stop() { peer_.Stop(); }

    // Association requests received with at least one presentation context (the start-up
    // probe's bare connection shows up as an empty request).
    int Associations() const {
        std::string log = ReadText(Log());
        int count = 0;
        for (std::size_t at = log.find("BEGIN A-ASSOCIATE-RQ"); at != std::string::npos;
             at = log.find("BEGIN A-ASSOCIATE-RQ", at + 1)) {
            std::size_t end = log.find("END A-ASSOCIATE-RQ", at);
            if (log.substr(at, end == std::string::npos ? std::string::npos : end - at)
                    .find("Abstract Syntax: =") != std::string::npos)
                ++count;
        }
        return count;
    }

    // Per proposed presentation context, in order: its abstract syntax and proposed transfer
    // syntaxes, by DCMTK's names (e.g. "CTImageStorage", "LittleEndianExplicit").
    std::vector<std::pair<std::string, std::vector<std::string>>> Proposals() const {
        std::vector<std::pair<std::string, std::vector<std::string>>> out;
        std::string log = ReadText(Log());
        std::size_t at = 0;
        bool inRequest = false, inSyntaxes = false;
        while (at < log.size()) {
            std::size_t end = log.find('\n', at);
            if (end == std::string::npos) end = log.size();
            std::string line = log.substr(at, end - at);
            at = end + 1;
            if (line.find("BEGIN A-ASSOCIATE-RQ") != std::string::npos) inRequest = true;
            if (line.find("END A-ASSOCIATE-RQ") != std::string::npos) inRequest = inSyntaxes = false;
            if (!inRequest) continue;
            std::size_t abstract = line.find("Abstract Syntax: =");
            if (abstract != std::string::npos) {
                out.push_back({line.substr(abstract + 18), {}});
                inSyntaxes = false;
            } else if (line.find("Proposed Transfer Syntax(es):") != std::string::npos) {
                inSyntaxes = true;
            } else if (inSyntaxes && line.rfind("D:       =", 0) == 0 && !out.empty()) {
                out.back().second.push_back(line.substr(10));
            } else {
                inSyntaxes = false;
            }
        }
        return out;
    }

    // Compares a source file with the copy storescp wrote: the exit code of the comparison (0
    // equal, 1 different, 2 not received) and its output (the stored transfer syntax first).
    CommandResult Compare(const std::string& source) const {
        return RunCommand({"/usr/bin/python3", PELLA_SOURCE_DIR "/tests/services/scripts/compare_stored.py",
                           source, Out()});
    }

private:
    TempDir dir_;
    PeerProcess peer_;
    int port_ = -1;
};

// A copy of a sample file with a new SOP Instance UID (meta header updated too).
inline bool CopyWithNewInstance(const std::filesystem::path& source, const std::string& copy) {
    std::error_code ec;
    std::filesystem::copy_file(source, copy, std::filesystem::copy_options::overwrite_existing, ec);
    return !ec && RunCommand({"dcmodify", "-nb", "-gin", copy}).exitCode == 0;
}

// The SOP Instance UID of a file, as DCMTK reads it.
inline std::string InstanceUid(const std::string& file) {
    std::string out = RunCommand({"dcmdump", "-q", "-s", "+P", "0008,0018", file}).out;
    std::size_t open = out.find('['), close = out.find(']');
    return open == std::string::npos || close == std::string::npos ? ""
                                                                   : out.substr(open + 1, close - open - 1);
}

}  // namespace testing_support
