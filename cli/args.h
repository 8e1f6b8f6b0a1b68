// A small command-line parser: options may stand before or after the positional arguments.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace cli {

struct OptionSpec {
    std::vector<std::string> names;  // e.g. {"-aet", "--calling-aet"}
    std::string valueName;           // empty for a flag
    std::string help;
};

struct CommandSpec {
    std::string name;
    std::string usage;  // e.g. "pella elements [options] FILE"
    std::string summary;
    std::vector<OptionSpec> options;
    std::size_t minPositionals = 0;
    std::size_t maxPositionals = 0;
};

class Args {
public:
    bool Has(const std::string& name) const;
    std::optional<std::string> Value(const std::string& name) const;
    std::string ValueOr(const std::string& name, const std::string& fallback) const;
    // Every value given to a repeatable option (such as -k), in command-line order.
    std::vector<std::string> Values(const std::string& name) const;
    const std::vector<std::string>& Positionals() const { return positionals_; }
    // Every option given, as (its first name, its value), in command-line order: for commands
    // whose options are steps applied one after another.
    const std::vector<std::pair<std::string, std::string>>& InOrder() const { return inOrder_; }

private:
    friend bool Parse(const CommandSpec&, const std::vector<std::string>&, Args&, std::string&);
    std::map<std::string, std::string> values_;  // keyed by the option's first name
    std::map<std::string, std::vector<std::string>> allValues_;
    std::vector<std::string> positionals_;
    std::vector<std::pair<std::string, std::string>> inOrder_;
    std::map<std::string, std::string> aliases_;
};

// Parses argv-style arguments (without the program and subcommand names). "--help"/"-h" sets
// the option "--help". Returns false with `error` set for unknown options, missing values and
// a wrong number of positional arguments.
bool Parse(const CommandSpec& spec, const std::vector<std::string>& argv, Args& out, std::string& error);

std::string HelpText(const CommandSpec& spec);

// Parses a whole number in [low, high]; false when the text is not one.
bool ParseNumber(const std::string& text, long low, long high, long& out);

// Parses a size in bytes: a whole number, optionally followed by K, M, G or T (powers of 1024);
// false when the text is not one, is 0, or does not fit 64 bits.
bool ParseByteSize(const std::string& text, uint64_t& out);

// Prints the library's version (and the tool's when it differs) on standard output.
void PrintVersion();

// Parses, prints help or the version (exit 0) or the error (exit 2); returns -1 when the command
// should run.
int ParseOrExit(const CommandSpec& spec, const std::vector<std::string>& argv, Args& out);

}  // namespace cli
