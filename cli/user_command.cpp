// pella user add FILE NAME: adds a user to a storage server's credentials file (--users).
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/network_options.h"
#include "pella.h"

namespace cli {

namespace {

const CommandSpec kSpec{
    "user",
    "pella user [options] add FILE NAME",
    "Adds the user NAME to the credentials file FILE that 'pella serve --users FILE' checks user\n"
    "identities against, or replaces its entry; FILE is made (readable by its owner only) when\n"
    "missing. The password is the first line of standard input and is stored as a salted\n"
    "PBKDF2-SHA256 hash; with --no-password the user is known by name alone (a username\n"
    "without password is then admitted, and a password never is).",
    {
        {{"--no-password"}, "", "the user presents a name alone; nothing is read from standard input"},
    },
    3,
    3,
};

// The first line of standard input, without its line end; nothing when there is none. Typed
// at a terminal, it is not echoed.
bool ReadPasswordLine(std::string& password) {
    termios saved{};
    bool terminal = ::isatty(STDIN_FILENO) == 1 && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        std::fprintf(stderr, "Password: ");
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    bool read = static_cast<bool>(std::getline(std::cin, password)) || !password.empty();
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return read;
}

}  // namespace

int RunUser(const std::vector<std::string>& argv) {
    Args args;
    if (int exit = ParseOrExit(kSpec, argv, args); exit >= 0) return exit;
    const std::vector<std::string>& words = args.Positionals();
    if (words[0] != "add") {
        std::fprintf(stderr, "pella user: unknown action '%s' (add is the one there is)\n", words[0].c_str());
        return 2;
    }
    std::string password;
    bool withPassword = !args.Has("--no-password");
    if (withPassword && (!ReadPasswordLine(password) || password.empty())) {
        std::fprintf(stderr, "pella user: no password on standard input (or --no-password)\n");
        return 2;
    }
    if (AddServerUser(words[1].c_str(), words[2].c_str(), withPassword ? password.c_str() : nullptr) == 0) {
        std::fprintf(stderr, "pella user: %s\n", FailureReason("the user could not be added").c_str());
        return 1;
    }
    std::fprintf(stderr, "pella user: %s added to %s\n", words[2].c_str(), words[1].c_str());
    return 0;
}

}  // namespace cli
