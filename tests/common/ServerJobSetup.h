// SPDX-License-Identifier: MIT
// A popup-server job against the real zvpopupd, as the tests and benchmarks that drive one set
// it up: the server started on a scenario, the client's machine hive pointed at its port, and
// the job section written as the component that holds the job writes it. Asserts nothing, so
// that the benchmarks can use it too; the hives in use are the caller's (a test's sandbox).
#pragma once

#include "PopupServerProcess.h"
#include "SectionBytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class TPopupServerJob;
class TQuestionManager;

namespace zv {
class ZvSharedSection;
}

namespace zvtest {

class ServerJobSetup {
public:
    // arguments: zvpopupd's options besides the scenario and the log (key size, faults).
    ServerJobSetup(const QString &program, const QString &scenarioFile, const QString &logFile,
                   const QStringList &arguments, int receiveTimeoutSeconds);
    ~ServerJobSetup();
    ServerJobSetup(const ServerJobSetup &) = delete;
    ServerJobSetup &operator=(const ServerJobSetup &) = delete;

    // The server's port; 0 when it did not start.
    int port() const { return m_server.port(); }

    // Writes alice's print of document on queue (workstation WS1, print server 127.0.0.1,
    // printer HP) into the section, made on first use and removed with this object.
    void writeJob(const QString &sectionName, const QByteArray &queue,
                  const QByteArray &document = "report.pdf", qint32 pages = 1);
    // The section's first size bytes, as the client left them.
    QByteArray sectionBytes(qsizetype size) const;
    // A question manager over that section with a popup-server job source; source, when
    // given, points at the source afterwards (the manager owns it).
    std::unique_ptr<TQuestionManager> makeManager(TPopupServerJob **source = nullptr) const;

private:
    PopupServerProcess m_server;
    QString m_sectionName;
    std::unique_ptr<zv::ZvSharedSection> m_section;
};

} // namespace zvtest
