// SPDX-License-Identifier: MIT
#include "CommandLine.h"

TStartAction StartActionFromParameters(const QStringList &parameters) {
    if (HasSwitch(parameters, QStringLiteral("RegServer")))
        return TStartAction::RegServer;
    if (HasSwitch(parameters, QStringLiteral("UnregServer")))
        return TStartAction::UnregServer;
    if (parameters.contains(QStringLiteral("--help")))
        return TStartAction::Help;
    if (parameters.contains(QStringLiteral("--version")))
        return TStartAction::Version;
    return TStartAction::Run;
}

QString UsageText() {
    return QStringLiteral(
        "Usage: queriant [options]\n"
        "Asks the user the questions of a print job.\n"
        "\n"
        "  (no parameters)          test run: the job details are typed into a test form\n"
        "  <section>                popup-server job for the job-details section <section>\n"
        "  <server> <queue>         popup-server job for a print server and queue\n"
        "  /XpNotify <section>      request-file job: the request document waits in <section>,\n"
        "                           the answer document is written back into it\n"
        "  -Embedding, -Automation  automation server on the D-Bus session bus\n"
        "                           (com.zorvant.Queriant, /PopupGUI, PresentData)\n"
        "  -RegServer               write the D-Bus activation file of the automation server\n"
        "  -UnregServer             remove that file\n"
        "  --help, --version\n"
        "\n"
        "Exit code: 1 when the job was answered, 0 when it was cancelled, timed out or failed.\n");
}
