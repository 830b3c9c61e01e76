// SIGINT, SIGTERM and SIGHUP as a Qt signal from the event loop. The handler does nothing
// but write the signal's number into a pipe, which is safe wherever the signal lands; a
// QSocketNotifier reads it on the GUI thread, where the program can stop its run and end.
#pragma once

#include <QObject>

class QSocketNotifier;

class SignalWatcher : public QObject {
    Q_OBJECT

public:
    // One at a time: the handler has a single pipe to write to.
    explicit SignalWatcher(QObject* parent = nullptr);
    // Gives the signals their default handling back.
    ~SignalWatcher() override;

signals:
    void signalled(int signal);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
