#include "support/ScriptedHost.h"

namespace pagewick::test {

namespace {

// The scripted choice as one of the buttons the message really has.
MessageAnswer Fit(MessageButtons buttons, MessageAnswer choice) {
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

}  // namespace

MessageAnswer ScriptedHost::ShowMessage(const std::string& text, const std::string& caption,
                                        MessageButtons buttons, MessageIcon icon) {
    MessageAnswer choice = DefaultAnswer;
    // Only questions take an answer from the script; a plain message leaves it for the next one.
    if (buttons != MessageButtons::Ok && !Answers.empty()) {
        choice = Answers.front();
        Answers.pop_front();
    }
    MessageAnswer answer = Fit(buttons, choice);
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
