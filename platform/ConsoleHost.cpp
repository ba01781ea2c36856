#include "platform/ConsoleHost.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

extern char** environ;

namespace pagewick {

MessageAnswer AnswerForButtons(MessageButtons buttons, MessageAnswer choice) {
    bool agree = choice == MessageAnswer::Yes || choice == MessageAnswer::Ok;
    switch (buttons) {
        case MessageButtons::Ok:
            return MessageAnswer::Ok;
        case MessageButtons::OkCancel:
            return agree ? MessageAnswer::Ok : MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return agree ? MessageAnswer::Yes : MessageAnswer::No;
        case MessageButtons::YesNoCancel:
            if (choice == MessageAnswer::Cancel) return MessageAnswer::Cancel;
            return agree ? MessageAnswer::Yes : MessageAnswer::No;
    }
    return MessageAnswer::Cancel;
}

ConsoleHost::ConsoleHost() : messages_(stderr) {}

ConsoleHost::ConsoleHost(std::filesystem::path settingsFile, std::FILE* messages)
    : settings_(std::move(settingsFile)), messages_(messages ? messages : stderr) {}

MessageAnswer ConsoleHost::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon) {
    // Message texts break their lines with "\r\n"; a terminal wants only the line feed.
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        shown += text[i];
    }
    std::fprintf(messages_, "%s: %s\n", caption.c_str(), shown.c_str());
    std::fflush(messages_);
    return AnswerForButtons(buttons, answer_);
}

std::string ConsoleHost::GetSetting(const std::string& section, const std::string& name,
                                    const std::string& fallback) {
    return settings_.Get(section, name, fallback);
}

void ConsoleHost::SetSetting(const std::string& section, const std::string& name,
                             const std::string& value) {
    settings_.Set(section, name, value);  // a store that cannot be written is ignored
}

bool ConsoleHost::OpenWithShell(const std::string& target) {
    if (target.empty() || opener_.empty()) return false;
    // A name that begins with "-" would read as an option of the opener.
    std::string argument = target[0] == '-' ? "./" + target : target;
    std::vector<char*> argv{opener_.data(), argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, opener_.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void ConsoleHost::Sleep(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::string ConsoleHost::TempFolder() {
    std::error_code error;
    std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    return error ? std::string("/tmp") : folder.string();
}

std::string ConsoleHost::DocumentsFolder() {
    const char* documents = std::getenv("XDG_DOCUMENTS_DIR");
    if (documents && documents[0]) return documents;
    const char* home = std::getenv("HOME");
    return (std::filesystem::path(home && home[0] ? home : ".") / "Documents").string();
}

}  // namespace pagewick
