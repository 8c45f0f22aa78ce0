// SPDX-License-Identifier: MIT
// Turns SIGTERM (stop) and SIGINT (shutdown) into a Qt signal on the main thread, through a
// self-pipe watched by a QSocketNotifier: the handler itself only writes one byte.
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

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
