// SPDX-License-Identifier: MIT
// The peers of a start without parameters, run for real: zvpopupd serving the job, and
// zvdbserver whose popup service names zvpopupd's port, with the registry of the test's
// sandbox pointing the database client at it.
#pragma once

#include "PopupServerProcess.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

namespace zvtest {

class TestRunServers {
public:
    explicit TestRunServers(const Sandbox &sandbox) : m_sandbox(sandbox) {}

    // Two print servers that both reach zvpopupd: 127.0.0.1 with the queues E2E and Colour,
    // localhost with Mono. "@POPUP_PORT@" stands for zvpopupd's port.
    static QByteArray Tables();
    // Every queue of Tables() asks a comment (category "Remark") and a one-level cost center
    // (category "Dept", codes D100 and D200).
    static QByteArray Scenario();

    // Starts zvpopupd on the scenario; its log goes to popupd.log in the sandbox.
    bool StartPopupServer(const QByteArray &scenario = Scenario());
    // Starts zvdbserver over the tables and points the database client at it.
    bool StartDatabase(const QByteArray &tables = Tables(), const QStringList &options = {},
                       int timeOutSeconds = 3);
    // The registry's database server settings: localhost on the port, time-out in seconds.
    void PointDatabaseClientAt(int port, int timeOutSeconds);
    // A loopback port nothing listens on.
    static int ClosedPort();

    QByteArray PopupLog() const;
    int PopupPort() const { return m_popup ? m_popup->port() : 0; }

private:
    const Sandbox &m_sandbox;
    std::unique_ptr<PopupServerProcess> m_popup;
    std::unique_ptr<PopupServerProcess> m_database;
};

} // namespace zvtest
