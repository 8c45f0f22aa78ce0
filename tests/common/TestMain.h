// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace zvtest {

// Environment every test process starts from: offscreen windows, a UTF-8 locale when the
// caller gave none, and no session bus unless a test starts its own.
inline void prepareTestProcess() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("LC_ALL") && qEnvironmentVariableIsEmpty("LANG"))
        qputenv("LC_ALL", "C.UTF-8");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zvtest-no-session-bus");
    qputenv("ZV_TESTING", "1");
}

} // namespace zvtest
