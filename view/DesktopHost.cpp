#include "view/DesktopHost.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace pwview {
using namespace pagewick;

MessageAnswer DesktopHost::ShowMessage(const std::string& text, const std::string& caption,
                                       MessageButtons buttons, MessageIcon icon) {
    messagesShown.push_back(text);
    if (answerer) return answerer(text, buttons);
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(caption));
    // The system's texts end lines with "\r\n".
    box.setText(QString::fromStdString(text).remove(QLatin1Char('\r')));
    switch (icon) {
        case MessageIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MessageIcon::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MessageIcon::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MessageIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MessageIcon::None:
            break;
    }
    switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MessageButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return MessageAnswer::Cancel;
    }
}

std::string DesktopHost::GetSetting(const std::string& section, const std::string& name,
                                    const std::string& fallback) {
    return settings_.Get(section, name, fallback);
}

void DesktopHost::SetSetting(const std::string& section, const std::string& name,
                             const std::string& value) {
    settings_.Set(section, name, value);
}

bool DesktopHost::OpenWithShell(const std::string& target) {
    QUrl url = target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0
                   ? QUrl(QString::fromStdString(target))
                   : QUrl::fromLocalFile(QString::fromStdString(target));
    return QDesktopServices::openUrl(url);
}

void DesktopHost::BeginWaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}
void DesktopHost::EndWaitCursor() {
    QApplication::restoreOverrideCursor();
}
void DesktopHost::Sleep(int milliseconds) {
    QThread::msleep(uint32_t(std::max(0, milliseconds)));
}

std::string DesktopHost::TempFolder() {
    return QDir::tempPath().toStdString();
}

std::string DesktopHost::DocumentsFolder() {
    if (const char* docs = std::getenv("XDG_DOCUMENTS_DIR"); docs && docs[0] == '/') return docs;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

}  // namespace pwview
