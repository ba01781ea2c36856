// Keeps the screen awake: an inhibit through the desktop's screen saver service on the session
// bus, and where asked also logind's idle inhibitor on the system bus, when they exist; nothing
// otherwise. Only idle is inhibited, never sleep or shutdown: the person's own Suspend always
// works. logind's inhibitor is a file descriptor, so it ends with the process even when the
// process does not end cleanly.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QString>
#include <cstdint>

namespace pwview {

class IdleInhibitor {
public:
    IdleInhibitor() = default;
    IdleInhibitor(QString application, QString reason, bool viaLogind)
        : application_(std::move(application)), reason_(std::move(reason)), viaLogind_(viaLogind) {}
    IdleInhibitor(const IdleInhibitor&) = delete;
    IdleInhibitor& operator=(const IdleInhibitor&) = delete;
    ~IdleInhibitor() { Release(); }
    void Hold();
    void Release();
    bool Held() const { return held_; }
    // What was really taken (tests and diagnostics).
    bool ScreenSaverHeld() const { return viaBus_; }
    bool LogindHeld() const { return logind_.isValid(); }
    // What logind is asked to inhibit, and how.
    static constexpr const char* kLogindWhat = "idle";
    static constexpr const char* kLogindMode = "block";

private:
    QString application_ = QStringLiteral("wickstand");
    QString reason_ = QStringLiteral("Scrolling a book automatically");
    bool viaLogind_ = false;
    bool held_ = false;
    uint32_t cookie_ = 0;
    bool viaBus_ = false;
    QDBusUnixFileDescriptor logind_;
};

}  // namespace pwview
