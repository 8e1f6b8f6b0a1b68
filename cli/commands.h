// The subcommands of the `pella` tool; each lives in a file of its own.
#pragma once

#include <string>
#include <vector>

namespace cli {

using CommandMain = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* summary;
    CommandMain run;
};

int RunElements(const std::vector<std::string>& args);
int RunDump(const std::vector<std::string>& args);
int RunHeader(const std::vector<std::string>& args);
int RunEcho(const std::vector<std::string>& args);
int RunServe(const std::vector<std::string>& args);
int RunIndex(const std::vector<std::string>& args);
int RunAddMeta(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);
int RunModify(const std::vector<std::string>& args);
int RunAnonymize(const std::vector<std::string>& args);
int RunStore(const std::vector<std::string>& args);
int RunSendSeries(const std::vector<std::string>& args);
int RunDicomdir(const std::vector<std::string>& args);
int RunFind(const std::vector<std::string>& args);
int RunWorklist(const std::vector<std::string>& args);
int RunMove(const std::vector<std::string>& args);
int RunGet(const std::vector<std::string>& args);
int RunPrint(const std::vector<std::string>& args);
int RunRender(const std::vector<std::string>& args);
int RunEcg(const std::vector<std::string>& args);
int RunThumbnail(const std::vector<std::string>& args);
int RunCheckUid(const std::vector<std::string>& args);
int RunVersion(const std::vector<std::string>& args);
int RunUser(const std::vector<std::string>& args);

// Every subcommand, in the order `pella --help` lists them.
const std::vector<Command>& AllCommands();

}  // namespace cli
