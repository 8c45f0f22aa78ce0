// SPDX-License-Identifier: MIT
// Turns SIGTERM (stop), SIGINT (shutdown) and SIGHUP (a request the service does not know)
// into Qt signals on the main thread, through a self-pipe watched by a QSocketNotifier: the
// handler itself only writes one byte.
#pragma once

#include <QObject>

class QSocketNotifier;

class ServiceStopSignal : public QObject {
    Q_OBJECT
public:
    explicit ServiceStopSignal(QObject *parent = nullptr);
    ~ServiceStopSignal() override;

    // Installs the handlers; false when the pipe or a handler cannot be set up.
    bool install();

signals:
    void stopRequested();
    void shutdownRequested();
    void otherRequested();

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
