// Everything that is a person or the operating system, as the core sees it: message boxes, the
// settings store that stands for the registry key, the desktop shell, the wait cursor, sleeping
// while polling, and the temporary and documents folders.
#pragma once

#include <string>

namespace pagewick {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The registry key "SOFTWARE\Ambervale\Pagewick" is the section kRegistrySection; the user's
// profile section "Settings" is kProfileSection.
inline constexpr const char* kRegistrySection = "Pagewick";
inline constexpr const char* kProfileSection = "Settings";
// The handheld reader's own section: on one machine it keeps its own "AutoOpen", "LastBook" and
// "LastBookTitle" beside the desktop's, so neither program opens the other's last book.
inline constexpr const char* kHandheldSection = "Wickpad";

class Host {
public:
    virtual ~Host() = default;
    virtual MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                      MessageButtons buttons, MessageIcon icon) = 0;
    // A stored string value; fallback when it is not set.
    virtual std::string GetSetting(const std::string& section, const std::string& name,
                                   const std::string& fallback = "") = 0;
    // Stores a string value; a store that cannot be written is ignored.
    virtual void SetSetting(const std::string& section, const std::string& name,
                            const std::string& value) = 0;
    // The section of the program's own values ("AutoOpen", "LastBook", "LastBookTitle",
    // "LastBookMember"): kRegistrySection unless the program has its own.
    virtual std::string ProgramSection() const { return kRegistrySection; }
    // Hands a file or address to the desktop shell to open; false when nothing took it.
    virtual bool OpenWithShell(const std::string& target) = 0;
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
    virtual void Sleep(int milliseconds) = 0;
    virtual std::string TempFolder() = 0;
    virtual std::string DocumentsFolder() = 0;
};

// Shows the wait cursor for the life of the object.
class WaitCursor {
public:
    explicit WaitCursor(Host* host) : host_(host) {
        if (host_) host_->BeginWaitCursor();
    }
    ~WaitCursor() {
        if (host_) host_->EndWaitCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    Host* host_;
};

}  // namespace pagewick
