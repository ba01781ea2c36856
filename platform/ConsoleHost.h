// The Host of the command-line tool: messages go to standard error as "CAPTION: TEXT", questions
// take a fixed answer, settings live in the user's settings store, the desktop shell is reached
// through xdg-open, and there is no cursor to change.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/SettingsStore.h"
#include "util/Host.h"

namespace pagewick {

class ConsoleHost : public Host {
public:
    // Settings in the user's own store, messages on standard error.
    ConsoleHost();
    ConsoleHost(std::filesystem::path settingsFile, std::FILE* messages);

    // The answer to every question: Yes or No for Yes/No questions; Ok and Cancel stand for Yes
    // and No where those are the buttons. No unless told otherwise, so a tool run by a script
    // never agrees to anything it was not told to.
    void SetAnswer(MessageAnswer answer) { answer_ = answer; }
    // The program that hands targets to the desktop shell (xdg-open unless set).
    void SetOpener(std::string program) { opener_ = std::move(program); }

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::string GetSetting(const std::string& section, const std::string& name,
                           const std::string& fallback = "") override;
    void SetSetting(const std::string& section, const std::string& name,
                    const std::string& value) override;
    // Runs the opener with the target as its one argument (no shell in between) and waits for
    // it; true when it ran and reported success.
    bool OpenWithShell(const std::string& target) override;
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void Sleep(int milliseconds) override;
    std::string TempFolder() override;
    // $XDG_DOCUMENTS_DIR when set, otherwise ~/Documents.
    std::string DocumentsFolder() override;

private:
    SettingsStore settings_;
    std::FILE* messages_;
    MessageAnswer answer_ = MessageAnswer::No;
    std::string opener_ = "xdg-open";
};

// The answer a fixed choice gives for a set of buttons (exposed for the tests).
MessageAnswer AnswerForButtons(MessageButtons buttons, MessageAnswer choice);

}  // namespace pagewick
