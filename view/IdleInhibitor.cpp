#include "view/IdleInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace pwview {
namespace {
constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginManager = "org.freedesktop.login1.Manager";
}  // namespace

void IdleInhibitor::Hold() {
    if (held_) return;
    held_ = true;
    viaBus_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusInterface saver(kService, kPath, kService, bus);
        if (saver.isValid()) {
            QDBusReply<uint32_t> reply =
                saver.call(QStringLiteral("Inhibit"), application_, reason_);
            if (reply.isValid()) {
                cookie_ = reply.value();
                viaBus_ = true;
            }
        }
    }
    if (!viaLogind_) return;
    QDBusConnection system = QDBusConnection::systemBus();
    if (!system.isConnected()) return;
    QDBusInterface login(kLogin, kLoginPath, kLoginManager, system);
    if (!login.isValid()) return;
    QDBusReply<QDBusUnixFileDescriptor> reply =
        login.call(QStringLiteral("Inhibit"), QString::fromLatin1(kLogindWhat), application_,
                   reason_, QString::fromLatin1(kLogindMode));
    if (reply.isValid()) logind_ = reply.value();
}

void IdleInhibitor::Release() {
    if (!held_) return;
    held_ = false;
    // Closing our copy of the descriptor ends logind's inhibitor.
    logind_ = QDBusUnixFileDescriptor();
    if (!viaBus_) return;
    viaBus_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusInterface saver(kService, kPath, kService, bus);
    if (saver.isValid()) saver.call(QStringLiteral("UnInhibit"), cookie_);
}

}  // namespace pwview
