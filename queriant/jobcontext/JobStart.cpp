// SPDX-License-Identifier: MIT
#include "JobStart.h"

#include <algorithm>

bool HasSwitch(const QStringList &parameters, const QString &name) {
    return std::any_of(parameters.begin(), parameters.end(), [&](const QString &p) {
        return (p.startsWith(u'/') || p.startsWith(u'-')) &&
               QStringView(p).mid(1).compare(name, Qt::CaseInsensitive) == 0;
    });
}

quint8 RunModeFromParameters(const QStringList &parameters) {
    quint8 mode = rmTestRun;
    if (!parameters.isEmpty())
        mode = rmJobParameters;
    if (HasSwitch(parameters, QStringLiteral("AUTOMATION")) ||
        HasSwitch(parameters, QStringLiteral("EMBEDDING")))
        mode = rmAutomation;
    if (HasSwitch(parameters, QStringLiteral("XpNotify")))
        mode = rmRequestFile;
    return mode;
}

TJobStart::TJobStart(const QStringList &parameters)
    : RunMode(RunModeFromParameters(parameters)), Parameters(parameters) {
    if (NamesJobSection())
        SectionName = parameters.first();
    else if (RunMode == rmRequestFile)
        SectionName = parameters.value(1);
}

QStringList TJobStart::JobParameters() const {
    return RunMode == rmJobParameters ? Parameters : QStringList();
}
