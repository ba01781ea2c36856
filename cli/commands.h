// The pagewick tool's commands. Each command file declares its options on a CLI11 app and
// registers itself with a CommandRegistrar at static-initialisation time, so main() needs no list
// of them and a new command touches no shared file.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>
#include <vector>

namespace pagewick::cli {

// One command: its options and arguments are declared once, on the app it is given; Run is
// called once they are parsed and returns the process exit status.
class Command {
public:
    virtual ~Command() = default;
    virtual void Declare(CLI::App& app) = 0;
    virtual int Run() = 0;
};

using CommandFactory = std::unique_ptr<Command> (*)();

struct CommandInfo {
    const char* name;
    const char* usage;  // one line, shown by "pagewick help" and by "pagewick NAME --help"
    // What "pagewick NAME --help" says between the usage line and the options, or nullptr.
    std::string (*help)();
    CommandFactory make;
    // The exit status of a command line the command cannot take (an unknown option, a missing
    // value): 1 for most, 2 for a command that keeps 1 for an answer, as search does.
    int usageStatus = 1;
};

struct CommandRegistrar {
    explicit CommandRegistrar(const CommandInfo& info);
};

template <class T>
std::unique_ptr<Command> Make() {
    return std::make_unique<T>();
}

const std::vector<CommandInfo>& AllCommands();

// Prints "pagewick: MESSAGE" on standard error and returns 1; an empty message, one the book's
// reader has said already, prints nothing.
int Fail(const std::string& message);

// Sets the app up the way every command's app is: "--help" shows the usage line, the help text and
// the options; options the command does not know are left for ParseCommand to name.
void SetUpCommandApp(CLI::App& app, const std::string& usage, const std::string& help = "");

// Parses the arguments after the command word on an app set up by SetUpCommandApp, and says what
// is wrong with them as every command does: "PREFIX: --title needs a value", "PREFIX: unknown
// option --bogus". Returns -1 when the command is to run, else the exit status (0 after --help).
int ParseCommand(CLI::App& app, const std::string& prefix, std::vector<std::string> args);

// "--name N": a whole number. A value that is not one leaves value as it was and sets ok to
// false, so the command says which numbers it takes in its own words.
CLI::Option* AddNumber(CLI::App& app, const std::string& name, long& value, bool& ok,
                       const std::string& description);

}  // namespace pagewick::cli
