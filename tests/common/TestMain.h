// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace zvtest {

// Environment every test process starts from: offscreen windows (ZV_TEST_PLATFORM=xcb shows
// them on a real X server, to look at a dialog), a UTF-8 locale when the caller gave none, and
// no session bus unless a test starts its own.
inline void prepareTestProcess() {
    const QByteArray platform = qgetenv("ZV_TEST_PLATFORM");
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    if (qEnvironmentVariableIsEmpty("LC_ALL") && qEnvironmentVariableIsEmpty("LANG"))
        qputenv("LC_ALL", "C.UTF-8");
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/zvtest-no-session-bus");
    qputenv("ZV_TESTING", "1");
}

} // namespace zvtest
