// A Host for tests: records every message, answers questions from a script, keeps settings in
// memory, records what was handed to the shell, counts wait cursors and sleeps (without
// sleeping), and reports the folders a test sets.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "util/Host.h"

namespace pagewick::test {

struct RecordedMessage {
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    MessageAnswer answer = MessageAnswer::Ok;  // what the host answered
};

class ScriptedHost : public Host {
public:
    // The answers the next questions get, in order; once they run out, DefaultAnswer.
    std::deque<MessageAnswer> Answers;
    // Used when the script is empty. Ok and Cancel stand for Yes and No where those are the
    // buttons, and the other way round; a message with only an Ok button is always answered Ok.
    MessageAnswer DefaultAnswer = MessageAnswer::Ok;

    std::vector<RecordedMessage> Messages;
    std::map<std::pair<std::string, std::string>, std::string> Settings;  // (section, name)
    std::vector<std::string> ShellOpens;
    bool ShellOpenSucceeds = true;
    int WaitCursorBegins = 0;
    int WaitCursorEnds = 0;
    std::vector<int> Sleeps;  // milliseconds asked for, in order
    std::string Temp = "/tmp";
    std::string Documents = "/tmp/Documents";

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                              MessageButtons buttons, MessageIcon icon) override;
    std::string GetSetting(const std::string& section, const std::string& name,
                           const std::string& fallback = "") override;
    void SetSetting(const std::string& section, const std::string& name,
                    const std::string& value) override;
    bool OpenWithShell(const std::string& target) override;
    void BeginWaitCursor() override { ++WaitCursorBegins; }
    void EndWaitCursor() override { ++WaitCursorEnds; }
    void Sleep(int milliseconds) override { Sleeps.push_back(milliseconds); }
    std::string TempFolder() override { return Temp; }
    std::string DocumentsFolder() override { return Documents; }

    // The texts of the messages shown so far, in order.
    std::vector<std::string> MessageTexts() const;
    // True while every wait cursor begun has ended.
    bool WaitCursorBalanced() const { return WaitCursorBegins == WaitCursorEnds; }
};

}  // namespace pagewick::test
