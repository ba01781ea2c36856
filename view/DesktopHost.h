// The Host of both reader programs: message boxes, the user's settings store, the desktop shell,
// the wait cursor and the user's folders. Each program names its own section of the store.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/SettingsStore.h"
#include "util/Host.h"

class QWidget;

namespace pwview {

class DesktopHost : public pagewick::Host {
public:
    DesktopHost() = default;
    explicit DesktopHost(std::filesystem::path settingsFile) : settings_(std::move(settingsFile)) {}

    // The window message boxes belong to.
    void SetParentWindow(QWidget* parent) { parent_ = parent; }
    // The section of the program's own values (the handheld reader keeps its own).
    void SetProgramSection(std::string section) { section_ = std::move(section); }
    std::string ProgramSection() const override { return section_; }
    // Answers questions instead of a message box (tests); every message is still recorded.
    std::function<pagewick::MessageAnswer(const std::string& text, pagewick::MessageButtons)>
        answerer;
    std::vector<std::string> messagesShown;

    pagewick::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                        pagewick::MessageButtons buttons,
                                        pagewick::MessageIcon icon) override;
    std::string GetSetting(const std::string& section, const std::string& name,
                           const std::string& fallback = "") override;
    void SetSetting(const std::string& section, const std::string& name,
                    const std::string& value) override;
    bool OpenWithShell(const std::string& target) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    void Sleep(int milliseconds) override;
    std::string TempFolder() override;
    std::string DocumentsFolder() override;

private:
    pagewick::SettingsStore settings_;
    QWidget* parent_ = nullptr;
    std::string section_ = pagewick::kRegistrySection;
};

}  // namespace pwview
