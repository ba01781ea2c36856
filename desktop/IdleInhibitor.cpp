#include "desktop/IdleInhibitor.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

namespace wickstand {
namespace {
constexpr const char* kService = "org.freedesktop.ScreenSaver";
constexpr const char* kPath = "/org/freedesktop/ScreenSaver";
}  // namespace

void IdleInhibitor::Hold() {
    if (held_) return;
    held_ = true;
    viaBus_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusInterface saver(kService, kPath, kService, bus);
    if (!saver.isValid()) return;
    QDBusReply<uint32_t> reply = saver.call(QStringLiteral("Inhibit"), QStringLiteral("wickstand"),
                                            QStringLiteral("Scrolling a book automatically"));
    if (reply.isValid()) {
        cookie_ = reply.value();
        viaBus_ = true;
    }
}

void IdleInhibitor::Release() {
    if (!held_) return;
    held_ = false;
    if (!viaBus_) return;
    viaBus_ = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusInterface saver(kService, kPath, kService, bus);
    if (saver.isValid()) saver.call(QStringLiteral("UnInhibit"), cookie_);
}

}  // namespace wickstand
