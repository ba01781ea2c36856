// What the desktop reader's tests share: acting on the modal dialogs the reader opens, and a
// reader over a book in a temporary documents folder. Header only: the desktop tests alone
// include it, and they alone link the desktop reader.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>

#include "desktop/ChildView.h"
#include "desktop/DesktopHost.h"
#include "desktop/MainFrame.h"
#include "support/fixtures.h"

namespace wickstand {

// Acts on the next modal dialog of that class once it is shown (the act closes it).
template <class Dialog = QDialog>
void OnNextModal(std::type_identity_t<std::function<void(Dialog&)>> act) {
    QTimer::singleShot(0, [act] {
        for (int i = 0; i < 300; ++i) {
            if (auto* d = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
                act(*d);
                return;
            }
            QTest::qWait(10);
        }
        ADD_FAILURE() << "no dialog appeared";
    });
}

// Acts on every dialog of a kind while it lives, from a polling timer: unlike OnNextModal it
// never waits inside the event loop, so dialogs that open from paints or nested loops are seen.
template <class Dialog>
struct ModalCloser {
    QTimer timer;
    int seen = 0;
    explicit ModalCloser(std::function<void(Dialog&)> act) {
        QObject::connect(&timer, &QTimer::timeout, [this, act] {
            if (auto* d = dynamic_cast<Dialog*>(QApplication::activeModalWidget())) {
                ++seen;
                act(*d);
            }
        });
        timer.start(10);
    }
};

// The reader in a 700 by 900 window over a book that `write` puts into "My eBooks" of a
// temporary documents folder (so it is opened in place); settings, the configuration file and
// the data folder live in the same temporary folder. Every question is answered OK.
struct DesktopReader {
    pagewick::test::TempDir dir;
    std::unique_ptr<DesktopHost> host;
    std::unique_ptr<CMainFrame> frame;
    std::string book;

    explicit DesktopReader(const std::function<std::string(const std::filesystem::path&)>& write) {
        setenv("XDG_DOCUMENTS_DIR", (dir / "docs").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        std::filesystem::create_directories(dir / "docs" / "My eBooks");
        book = write(dir / "docs" / "My eBooks");
        Start();
    }
    void Start() {
        host = std::make_unique<DesktopHost>(dir / "Pagewick.conf");
        host->answerer = [](const std::string&, pagewick::MessageButtons) {
            return pagewick::MessageAnswer::Ok;
        };
        frame = std::make_unique<CMainFrame>(*host, dir / "Wickstand.cfg");
        frame->resize(700, 900);
        frame->show();
        QApplication::processEvents();
    }
    CChildView& View() { return frame->View(); }
    pagewick::CBookEngine& Doc() { return View().Document(); }
    void Paint() {
        View().repaint();
        QApplication::processEvents();
    }
    void Key(Qt::Key key) {
        QTest::keyClick(&View(), key);
        Paint();
    }
    void Restart() {
        frame->close();
        frame.reset();
        Start();
    }
};

}  // namespace wickstand
