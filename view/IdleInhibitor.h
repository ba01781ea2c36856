// Keeps the screen awake: an inhibit through the desktop's screen saver service on the session
// bus, and where asked also logind's idle and sleep inhibitor on the system bus, when they exist;
// nothing otherwise. logind's inhibitor is a file descriptor, so it ends with the process even
// when the process does not end cleanly.
#pragma once

#include <QDBusUnixFileDescriptor>
#include <QString>
#include <cstdint>

namespace pwview {

class IdleInhibitor {
public:
    IdleInhibitor() = default;
    IdleInhibitor(QString application, QString reason, bool sleepToo)
        : application_(std::move(application)), reason_(std::move(reason)), sleepToo_(sleepToo) {}
    IdleInhibitor(const IdleInhibitor&) = delete;
    IdleInhibitor& operator=(const IdleInhibitor&) = delete;
    ~IdleInhibitor() { Release(); }
    void Hold();
    void Release();
    bool Held() const { return held_; }
    // What was really taken (tests and diagnostics).
    bool ScreenSaverHeld() const { return viaBus_; }
    bool LogindHeld() const { return logind_.isValid(); }

private:
    QString application_ = QStringLiteral("wickstand");
    QString reason_ = QStringLiteral("Scrolling a book automatically");
    bool sleepToo_ = false;
    bool held_ = false;
    uint32_t cookie_ = 0;
    bool viaBus_ = false;
    QDBusUnixFileDescriptor logind_;
};

}  // namespace pwview
