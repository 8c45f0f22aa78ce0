// SPDX-License-Identifier: MIT
#include "PopupServerProcess.h"

namespace zvtest {

PopupServerProcess::PopupServerProcess(const QString &program, const QStringList &arguments) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(5000))
        return;
    // The server announces its port on its first line.
    while (m_process.state() == QProcess::Running && !m_process.canReadLine())
        m_process.waitForReadyRead(200);
    const QByteArray line = m_process.readLine().trimmed();
    if (line.startsWith("PORT "))
        m_port = line.mid(5).toInt();
}

PopupServerProcess::~PopupServerProcess() {
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace zvtest
