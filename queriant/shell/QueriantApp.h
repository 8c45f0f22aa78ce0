// SPDX-License-Identifier: MIT
// The application object: catches every exception that escapes an event handler and hands
// it to the installed handler (the error screen), and keeps the process's exit code.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

class TQueriantApplication : public QApplication {
    Q_OBJECT

public:
    using TExceptionHandler = std::function<void(const std::exception &)>;

    TQueriantApplication(int &argc, char **argv);

    void SetExceptionHandler(TExceptionHandler handler) { m_handler = std::move(handler); }
    // Hands an exception to the handler (or logs it when there is none).
    void HandleException(const std::exception &e);

    bool notify(QObject *receiver, QEvent *event) override;

    // The application's title. Not Qt's display name: that would be appended to every window
    // title, and the window is named after its dialog alone.
    static QString Title() { return s_title; }
    static void SetTitle(const QString &title) { s_title = title; }

    static int ExitCode() { return s_exitCode; }
    static void SetExitCode(int code) { s_exitCode = code; }
    // Ends the event loop once control is back in it; safe before the loop has started.
    static void Terminate();

private:
    TExceptionHandler m_handler;
    static int s_exitCode;
    static QString s_title;
};
