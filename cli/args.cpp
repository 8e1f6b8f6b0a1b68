#include "cli/args.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

const OptionSpec* FindOption(const CommandSpec& spec, const std::string& name) {
    for (const auto& option : spec.options)
        for (const auto& n : option.names)
            if (n == name) return &option;
    return nullptr;
}

}  // namespace

bool Args::Has(const std::string& name) const {
    auto alias = aliases_.find(name);
    return values_.count(alias == aliases_.end() ? name : alias->second) > 0;
}

std::optional<std::string> Args::Value(const std::string& name) const {
    auto alias = aliases_.find(name);
    auto it = values_.find(alias == aliases_.end() ? name : alias->second);
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

std::vector<std::string> Args::Values(const std::string& name) const {
    auto alias = aliases_.find(name);
    auto it = allValues_.find(alias == aliases_.end() ? name : alias->second);
    return it == allValues_.end() ? std::vector<std::string>{} : it->second;
}

std::string Args::ValueOr(const std::string& name, const std::string& fallback) const {
    return Value(name).value_or(fallback);
}

bool Parse(const CommandSpec& spec, const std::vector<std::string>& argv, Args& out, std::string& error) {
    for (const auto& option : spec.options)
        for (const auto& n : option.names) out.aliases_[n] = option.names.front();
    bool optionsEnded = false;
    for (std::size_t i = 0; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && (arg == "--help" || arg == "-h" || arg == "--version")) {
            out.values_[arg == "--version" ? "--version" : "--help"] = "";
            return true;
        }
        bool looksLikeOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!looksLikeOption) {
            out.positionals_.push_back(arg);
            continue;
        }
        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }
        const OptionSpec* option = FindOption(spec, name);
        if (option == nullptr) {
            error = "unknown option " + name;
            return false;
        }
        std::string value;
        if (!option->valueName.empty()) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < argv.size()) {
                value = argv[++i];
            } else {
                error = "option " + name + " needs a value (" + option->valueName + ")";
                return false;
            }
        }
        out.values_[option->names.front()] = value;
        out.allValues_[option->names.front()].push_back(value);
        out.inOrder_.emplace_back(option->names.front(), value);
    }
    std::size_t count = out.positionals_.size();
    if (count < spec.minPositionals || count > spec.maxPositionals) {
        error = "wrong number of arguments";
        return false;
    }
    return true;
}

bool ParseNumber(const std::string& text, long low, long high, long& out) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseByteSize(const std::string& text, uint64_t& out) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || value == 0) return false;
    const std::string units = "KMGT";
    std::string suffix(end);
    if (suffix.size() > 1) return false;
    std::size_t shift = suffix.empty() ? 0 : 10 * (units.find(suffix[0]) + 1);
    if (!suffix.empty() && units.find(suffix[0]) == std::string::npos) return false;
    if (shift > 0 && value > (~0ull >> shift)) return false;
    out = static_cast<uint64_t>(value) << shift;
    return true;
}

std::string HelpText(const CommandSpec& spec) {
    std::string text = "usage: " + spec.usage + "\n\n" + spec.summary + "\n";
    if (!spec.options.empty()) text += "\noptions:\n";
    for (const auto& option : spec.options) {
        std::string names;
        for (const auto& n : option.names) names += (names.empty() ? "" : ", ") + n;
        if (!option.valueName.empty()) names += " " + option.valueName;
        text += "  " + names + "\n      " + option.help + "\n";
    }
    text += "  -h, --help\n      show this help\n";
    text += "  --version\n      show the version of the library and exit\n";
    return text;
}

int ParseOrExit(const CommandSpec& spec, const std::vector<std::string>& argv, Args& out) {
    std::string error;
    if (!Parse(spec, argv, out, error)) {
        std::fprintf(stderr, "pella %s: %s\nusage: %s\n", spec.name.c_str(), error.c_str(),
                     spec.usage.c_str());
        return 2;
    }
    if (out.Has("--help")) {
        std::fputs(HelpText(spec).c_str(), stdout);
        return 0;
    }
    if (out.Has("--version")) {
        PrintVersion();
        return 0;
    }
    return -1;
}

}  // namespace cli
