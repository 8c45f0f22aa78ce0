// SPDX-License-Identifier: MIT
// Description files for the JAWS screen reader: per dialog kind one ini file in the user's
// JAWS settings folder that tells the reader's scripts the screen's title, the focused control,
// its prompt and the current error. Nothing is written when the user has no JAWS settings.
#pragma once

#include <QString>
#include <QStringList>

enum class TJawsScreen { Integer, String, Float, Money, Logon, GuestCard, List, Button };

// "<AppData>/Freedom Scientific/JAWS/<first installed version>/Settings/enu" when AppData is
// set, HKLM "Software\Freedom Scientific\JAWS" has a subkey and the folder exists; else empty.
// Looked up again at every call.
QString JawsSettingsFolder();

QString JawsScreenFileName(TJawsScreen screen);
QString JawsScreenSection(TJawsScreen screen);

// Ini writes in the manner of the private-profile functions: the file, the section and the
// key are created as needed, an existing key (matched ignoring case) keeps its place, lines
// end in CR LF. Every call reads and rewrites the file.
void WriteProfileString(const QString &file, const QString &section, const QString &key,
                        const QString &value);
void DeleteProfileKey(const QString &file, const QString &section, const QString &key);

// Entry dialogs and the guest card dialog: a fresh screen file holding only the title.
void JawsWriteScreen(TJawsScreen screen, const QString &title);

// The focused control of an entry dialog and its prompt; an empty controlName writes only the
// error. The error key is removed when error is empty. Does nothing without the screen file.
void JawsWriteControl(TJawsScreen screen, const QString &controlName, const QString &prompt,
                      const QString &error);

// List dialog: title, question, search text, description without parentheses, the answer
// values each followed by a tab, and the error (removed when empty).
void JawsWriteListScreen(const QString &title, const QString &question, const QString &defaultValue,
                         const QString &description, const QStringList &listOptions,
                         const QString &error);

// Button dialog: title, question without parentheses and apostrophes and with line feeds as
// blanks, description without parentheses, and the error (removed when empty).
void JawsWriteButtonScreen(const QString &title, const QString &question,
                           const QString &description, const QString &error);
