#include "support/ScriptedHost.h"

#include "platform/ConsoleHost.h"

namespace pagewick::test {

MessageAnswer ScriptedHost::ShowMessage(const std::string& text, const std::string& caption,
                                        MessageButtons buttons, MessageIcon icon) {
    MessageAnswer choice = DefaultAnswer;
    // Only questions take an answer from the script; a plain message leaves it for the next one.
    if (buttons != MessageButtons::Ok && !Answers.empty()) {
        choice = Answers.front();
        Answers.pop_front();
    }
    MessageAnswer answer = AnswerForButtons(buttons, choice);
    Messages.push_back({text, caption, buttons, icon, answer});
    return answer;
}

std::string ScriptedHost::GetSetting(const std::string& section, const std::string& name,
                                     const std::string& fallback) {
    auto found = Settings.find({section, name});
    return found == Settings.end() ? fallback : found->second;
}

void ScriptedHost::SetSetting(const std::string& section, const std::string& name,
                              const std::string& value) {
    Settings[{section, name}] = value;
}

bool ScriptedHost::OpenWithShell(const std::string& target) {
    ShellOpens.push_back(target);
    return ShellOpenSucceeds;
}

std::vector<std::string> ScriptedHost::MessageTexts() const {
    std::vector<std::string> texts;
    for (const RecordedMessage& m : Messages)
        texts.push_back(m.text);
    return texts;
}

}  // namespace pagewick::test
