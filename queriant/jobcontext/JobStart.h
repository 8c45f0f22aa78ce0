// SPDX-License-Identifier: MIT
// The command line of a job, read once at start-up: the run mode it selects and the job
// parameters that the question manager, the job sources and the print data manager use.
#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>

// Run modes, decided from the command line.
enum : quint8 {
    rmAutomation = 0,
    rmTestRun = 1,
    rmJobParameters = 2,
    rmRequestFile = 3,
};

// A switch given with a leading "/" or "-", compared case-insensitively.
bool HasSwitch(const QStringList &parameters, const QString &name);

// Run mode of a command line (parameters without the program path): 1 without parameters,
// 2 with any, 0 with the switch AUTOMATION or EMBEDDING, 3 with XpNotify.
quint8 RunModeFromParameters(const QStringList &parameters);

class TJobStart {
public:
    // A test run: no parameters.
    TJobStart() = default;
    // parameters: the command line without the program path.
    TJobStart(const QStringList &parameters);
    TJobStart(std::initializer_list<QString> parameters) : TJobStart(QStringList(parameters)) {}

    quint8 RunMode = rmTestRun;
    // The command line without the program path, as given.
    QStringList Parameters;
    // The section the job's data waits in: the job-details section of a popup-server job
    // started with one parameter, or the request-file section (the second parameter) of a
    // request-file job; empty otherwise.
    QString SectionName;

    // A popup-server job started with the name of its job-details section, which receives
    // the answer record at the end.
    bool NamesJobSection() const { return RunMode == rmJobParameters && Parameters.size() == 1; }
    // The positional parameters of a popup-server job: the section name, or print server and
    // queue; none in the test run and in the other modes.
    QStringList JobParameters() const;
};
