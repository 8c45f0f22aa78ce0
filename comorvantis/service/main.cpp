// SPDX-License-Identifier: MIT
// Entry of the comorvantis program.
#include "ComOrvantisModule.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    for (const QString &a : arguments.mid(1)) {
        if (a == QLatin1String("--help") || a == QLatin1String("-h") || a == QLatin1String("-?") ||
            a == QLatin1String("/?")) {
            std::fputs(qPrintable(CComOrvantisModule::usage()), stdout);
            return 0;
        }
        if (a == QLatin1String("--version")) {
            std::printf("comorvantis %s\n", ZV_VERSION);
            return 0;
        }
    }
    CComOrvantisModule module;
    return module.WinMain(arguments);
}
