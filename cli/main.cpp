#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace pagewick::cli {

namespace {
std::vector<Command>& Registry() {
    static std::vector<Command> commands;
    return commands;
}
}  // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usage, CommandFn run) {
    Registry().push_back({name, usage, run});
}

const std::vector<Command>& AllCommands() {
    return Registry();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "pagewick: %s\n", message.c_str());
    return 1;
}

Options::Options(const std::vector<std::string>& args) : args_(args) {}

namespace {
// A word such as --title or -o is an option, never another option's value.
bool IsOptionWord(const std::string& word) {
    return word.size() >= 2 && word[0] == '-' &&
           (word[1] == '-' || (word[1] >= 'a' && word[1] <= 'z') ||
            (word[1] >= 'A' && word[1] <= 'Z'));
}
}  // namespace

std::string Options::Take(const std::string& name, const std::string& fallback) {
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] != name) continue;
        // Last, or followed by another option ("--title --author A"): the value is missing, and
        // the option after it keeps its own value.
        if (i + 1 == args_.size() || IsOptionWord(args_[i + 1])) {
            if (missing_.empty()) missing_ = name;
            args_.erase(args_.begin() + std::ptrdiff_t(i));
            return fallback;
        }
        std::string value = args_[i + 1];
        args_.erase(args_.begin() + std::ptrdiff_t(i), args_.begin() + std::ptrdiff_t(i) + 2);
        return value;
    }
    return fallback;
}

bool Options::Flag(const std::string& name) {
    for (size_t i = 0; i < args_.size(); ++i) {
        if (args_[i] == name) {
            args_.erase(args_.begin() + i);
            return true;
        }
    }
    return false;
}

long Options::TakeInt(const std::string& name, long fallback, bool& ok) {
    std::string text = Take(name);
    if (text.empty()) return fallback;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0') ok = false;
    return value;
}

std::string Options::Unknown() const {
    if (!missing_.empty()) return missing_;
    for (const auto& a : args_)
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) return a;
    return "";
}

std::string Options::Problem() const {
    if (!missing_.empty()) return missing_ + " needs a value";
    for (const auto& a : args_)
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) return "unknown option " + a;
    return "";
}

}  // namespace pagewick::cli

int main(int argc, char** argv) {
    using namespace pagewick::cli;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        std::printf("usage: pagewick COMMAND [ARGS]\n");
        for (const auto& c : AllCommands())
            std::printf("  pagewick %s\n", c.usage);
        return args.empty() ? 1 : 0;
    }
    for (const auto& c : AllCommands()) {
        if (args[0] == c.name) {
            return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
        }
    }
    return Fail("unknown command \"" + args[0] + "\" (try \"pagewick help\")");
}
