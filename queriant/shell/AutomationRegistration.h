// SPDX-License-Identifier: MIT
// Registration of the automation server with the session bus: a D-Bus activation file that
// starts this program with -Embedding when a caller asks for its name.
#pragma once

#include <QByteArray>
#include <QString>

inline constexpr const char *AutomationServiceName = "com.zorvant.Queriant";
inline constexpr const char *AutomationObjectPath = "/PopupGUI";
inline constexpr const char *MainFormObjectPath = "/MainForm";

// $XDG_DATA_HOME/dbus-1/services/com.zorvant.Queriant.service (XDG_DATA_HOME defaulting to
// ~/.local/share).
QString ActivationFilePath();
// The activation file's text for the program at executablePath.
QByteArray ActivationFileText(const QString &executablePath);

// Writes the activation file; throws zv::ZvError when it cannot be written.
void RegisterAutomationServer(const QString &executablePath);
// Removes it; false when there was none.
bool UnregisterAutomationServer();
