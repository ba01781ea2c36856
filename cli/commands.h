// The pagewick tool's commands. Each command file registers itself with a CommandRegistrar at
// static-initialisation time, so main() needs no list of them.
#pragma once

#include <string>
#include <vector>

namespace pagewick::cli {

// Arguments after the command word. Returns the process exit status.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
    const char* name;
    const char* usage;  // one line, shown by "pagewick help"
    CommandFn run;
};

struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* usage, CommandFn run);
};

const std::vector<Command>& AllCommands();

// Prints "pagewick: MESSAGE" on standard error and returns 1.
int Fail(const std::string& message);

// Small option scanner shared by the commands: "--name value" pairs and flags.
class Options {
public:
    explicit Options(const std::vector<std::string>& args);
    // Removes "--name VALUE" and returns VALUE, or fallback when absent. An option given last or
    // followed by another option (a word starting "--", or "-" and a letter) has no value:
    // fallback, and Problem() says so.
    std::string Take(const std::string& name, const std::string& fallback = "");
    // Removes "--name" and says whether it was there.
    bool Flag(const std::string& name);
    // Integer option; sets ok to false when the value is not a whole number.
    long TakeInt(const std::string& name, long fallback, bool& ok);
    // What is left once the options are taken: the positional arguments.
    const std::vector<std::string>& Rest() const { return args_; }
    // The first argument still starting with "--" (or an option given without its value), or ""
    // when none is left.
    std::string Unknown() const;
    // What is wrong with the options, for the command's message: an option given without its
    // value ("--title needs a value"), else an unknown one; "" when nothing is.
    std::string Problem() const;

private:
    std::vector<std::string> args_;
    std::string missing_;  // the first option given without its value
};

}  // namespace pagewick::cli
