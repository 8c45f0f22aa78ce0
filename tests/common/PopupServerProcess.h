// SPDX-License-Identifier: MIT
// The test popup server, zvpopupd, run as a real process on a port of its own choosing.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zvtest {

class PopupServerProcess {
public:
    // program: the zvpopupd binary; arguments: its options (scenario, log, faults). The
    // server's errors go to this process's standard error.
    PopupServerProcess(const QString &program, const QStringList &arguments);
    ~PopupServerProcess();
    PopupServerProcess(const PopupServerProcess &) = delete;
    PopupServerProcess &operator=(const PopupServerProcess &) = delete;

    // The port the server listens on; 0 when it did not start.
    int port() const { return m_port; }
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    int m_port = 0;
};

} // namespace zvtest
