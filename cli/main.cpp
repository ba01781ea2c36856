#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace pagewick::cli {

namespace {
std::vector<CommandInfo>& Registry() {
    static std::vector<CommandInfo> commands;
    return commands;
}

// "--help" of a command: its usage line, what it does, then its options as CLI11 lists them.
class CommandFormatter : public CLI::Formatter {
public:
    CommandFormatter(std::string usage, std::string help)
        : usage_(std::move(usage)), help_(std::move(help)) {
        column_width(24);
    }
    std::string make_help(const CLI::App* app, std::string,
                          CLI::AppFormatMode mode) const override {
        std::string out = "usage: pagewick " + usage_ + "\n";
        if (!help_.empty()) out += "\n" + help_;
        out += make_groups(app, mode);
        out += make_subcommands(app, mode);
        return out;
    }
    // The usage line names the arguments already.
    std::string make_option_opts(const CLI::Option* option) const override {
        return option->get_type_size() == 0 ? "" : " " + option->get_type_name();
    }

private:
    std::string usage_;
    std::string help_;
};

// CLI11 says "--title: 1 required TEXT missing" and "--title: At Most 1 required but received
// 2"; the tool says "--title needs a value" and "--title given more than once".
std::string Described(const CLI::ParseError& error) {
    std::string text = error.what();
    const size_t colon = text.find(": ");
    const std::string missing = " missing";
    if (!text.empty() && text[0] == '-' && colon != std::string::npos &&
        text.find(" required ", colon) != std::string::npos && text.size() > missing.size() &&
        text.compare(text.size() - missing.size(), missing.size(), missing) == 0)
        return text.substr(0, colon) + " needs a value";
    if (!text.empty() && text[0] == '-' && colon != std::string::npos &&
        text.compare(colon, 10, ": At Most ") == 0)
        return text.substr(0, colon) + " given more than once";
    return text;
}
// A word such as --title or -o is an option, never another option's value.
bool IsOptionWord(const std::string& word) {
    return word.size() >= 2 && word[0] == '-' &&
           (word[1] == '-' || (word[1] >= 'a' && word[1] <= 'z') ||
            (word[1] >= 'A' && word[1] <= 'Z'));
}

// CLI11 gives an option its value whatever the next word is; here "--title --author A" is a
// title missing, not the title "--author". Returns the option given last or followed by another
// option, or "", and adds the subcommand it belongs to to where.
std::string OptionWithoutValue(const CLI::App& app, const std::vector<std::string>& args,
                               std::string& where) {
    const CLI::App* current = &app;
    for (size_t i = 0; i < args.size(); ++i) {
        if (current == &app)
            for (const CLI::App* sub : app.get_subcommands({}))
                if (sub->check_name(args[i])) current = sub;
        const CLI::Option* option = current->get_option_no_throw(args[i]);
        if (option && !option->get_positional() && option->get_items_expected_min() > 0 &&
            (i + 1 == args.size() || IsOptionWord(args[i + 1]))) {
            if (current != &app) where += " " + current->get_name();
            return args[i];
        }
    }
    return "";
}
}  // namespace

CommandRegistrar::CommandRegistrar(const CommandInfo& info) {
    Registry().push_back(info);
}

const std::vector<CommandInfo>& AllCommands() {
    return Registry();
}

int Fail(const std::string& message) {
    if (!message.empty()) std::fprintf(stderr, "pagewick: %s\n", message.c_str());
    return 1;
}

void SetUpCommandApp(CLI::App& app, const std::string& usage, const std::string& help) {
    app.formatter(std::make_shared<CommandFormatter>(usage, help));
    app.set_help_flag("-h,--help", "show this help");
    // Unknown options are named by ParseCommand; other words left over are the command's.
    app.allow_extras();
}

int ParseCommand(CLI::App& app, const std::string& prefix, std::vector<std::string> args) {
    std::string where = prefix;
    if (std::string option = OptionWithoutValue(app, args, where); !option.empty())
        return Fail(where + ": " + option + " needs a value");
    std::reverse(args.begin(), args.end());  // CLI11 takes the arguments from the back
    try {
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::ParseError& error) {
        for (const CLI::App* sub : app.get_subcommands())
            where += " " + sub->get_name();
        return Fail(where + ": " + Described(error));
    }
    for (const CLI::App* sub : app.get_subcommands())
        where += " " + sub->get_name();
    for (const std::string& word : app.remaining(true))
        if (word.size() >= 2 && word[0] == '-' && word != "--")
            return Fail(where + ": unknown option " + word);
    return -1;
}

CLI::Option* AddNumber(CLI::App& app, const std::string& name, long& value, bool& ok,
                       const std::string& description) {
    return app
        .add_option_function<std::string>(
            name,
            [&value, &ok](const std::string& text) {
                if (text.empty()) return;
                char* end = nullptr;
                long number = std::strtol(text.c_str(), &end, 10);
                if (end == text.c_str() || *end != '\0')
                    ok = false;
                else
                    value = number;
            },
            description)
        ->type_name("N");
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
        if (args[0] != c.name) continue;
        std::unique_ptr<Command> command = c.make();
        CLI::App app("", std::string("pagewick ") + c.name);
        SetUpCommandApp(app, c.usage, c.help ? c.help() : std::string());
        command->Declare(app);
        int status =
            ParseCommand(app, c.name, std::vector<std::string>(args.begin() + 1, args.end()));
        if (status > 0) return c.usageStatus;
        return status == 0 ? 0 : command->Run();
    }
    return Fail("unknown command \"" + args[0] + "\" (try \"pagewick help\")");
}
