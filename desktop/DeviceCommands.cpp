// CMainFrame's handheld commands: install the reader (through CAskMobileInstall), remove it and
// send the open book. Each makes its own link; none is offered while the link library is missing.
#include "desktop/AskMobileInstall.h"
#include "desktop/Commands.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"

namespace wickstand {
using namespace pagewick;

void CMainFrame::AddDeviceCommands() {
    commands_[ID_INSTALL_MOBILE] = [this] {
        CDeviceTransfer transfer(host_, programFolder_, linkFactory_);
        CAskMobileInstall ask(transfer, programFolder_, this);
        ask.exec();
    };
    commands_[ID_UNINSTALL_MOBILE] = [this] {
        CDeviceTransfer(host_, programFolder_, linkFactory_).UninstallFromDevice();
    };
    commands_[ID_SEND_MOBILE] = [this] {
        CDeviceTransfer(host_, programFolder_, linkFactory_)
            .SendBookToDevice(view_->Document().BookPath);
    };
    EnableDeviceCommands();
}

void CMainFrame::EnableDeviceCommands() {
    // Asked of a freshly made link each time, so a library put in place later is seen.
    const bool linked = CDeviceTransfer(host_, programFolder_, linkFactory_).LinkAvailable();
    for (int id : {ID_SEND_MOBILE, ID_INSTALL_MOBILE, ID_UNINSTALL_MOBILE})
        if (QAction* action = Action(id)) action->setEnabled(linked);
}

}  // namespace wickstand
