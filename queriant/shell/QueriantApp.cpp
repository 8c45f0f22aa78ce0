// SPDX-License-Identifier: MIT
#include "QueriantApp.h"

#include "Log.h"

#include <QMetaObject>

int TQueriantApplication::s_exitCode = 0;
QString TQueriantApplication::s_title;

TQueriantApplication::TQueriantApplication(int &argc, char **argv) : QApplication(argc, argv) {}

void TQueriantApplication::HandleException(const std::exception &e) {
    if (m_handler) {
        try {
            m_handler(e);
            return;
        } catch (const std::exception &inner) {
            LogError("Exception in the exception handler: %s", inner.what());
        }
    }
    LogError("Unhandled exception: %s", e.what());
}

bool TQueriantApplication::notify(QObject *receiver, QEvent *event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        HandleException(e);
    }
    return false;
}

void TQueriantApplication::Terminate() {
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}
