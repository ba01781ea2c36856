// Turns the system's requests to end (SIGTERM when the session ends or the handheld shuts down,
// SIGINT, SIGHUP) into a call on the user-interface thread, so that the reader ends as on a
// normal close: its place saved, its power keeper released.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace wickpad {

class SignalWatcher : public QObject {
public:
    // One watcher per process; onEnd runs once per signal received.
    explicit SignalWatcher(std::function<void(int signal)> onEnd, QObject* parent = nullptr);
    ~SignalWatcher() override;

private:
    std::function<void(int)> onEnd_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace wickpad
