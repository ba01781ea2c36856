// The one Qt application of the Qt test program, made on first use by whichever test needs it.
#pragma once

#include <QGuiApplication>

namespace pagewick::test {

inline QGuiApplication& App() {
    static int argc = 1;
    static char name[] = "tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    return app;
}

}  // namespace pagewick::test
