// SPDX-License-Identifier: MIT
// Process entry of the popup client.
#include "AesUse.h"
#include "AutomationRegistration.h"
#include "CommandLine.h"
#include "FontWarmUp.h"
#include "FormLook.h"
#include "Log.h"
#include "MainFormAdaptor.h"
#include "MainFrm.h"
#include "PopupGUISvr.h"
#include "QueriantApp.h"
#include "RightToLeft.h"
#include "SimpleTranslator.h"
#include "ZvProcessInfo.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QScopeGuard>

#include <cstdio>

namespace {

QStringList parametersOf(int argc, char **argv) {
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters.append(QString::fromLocal8Bit(argv[i]));
    return parameters;
}

// Registration switches and --help/--version end the process before any window exists.
std::optional<int> runStartAction(TStartAction action) {
    switch (action) {
    case TStartAction::Run:
        return std::nullopt;
    case TStartAction::Help:
        std::fputs(qPrintable(UsageText()), stdout);
        return 0;
    case TStartAction::Version:
        std::printf("queriant %s\n", ZV_VERSION);
        return 0;
    case TStartAction::RegServer:
        try {
            RegisterAutomationServer(zv::modulePath());
        } catch (const zv::ZvError &e) {
            std::fprintf(stderr, "queriant: %s\n", qPrintable(e.message()));
            return 1;
        }
        return 0;
    case TStartAction::UnregServer:
        UnregisterAutomationServer();
        return 0;
    }
    return 0;
}

// Automation mode: the objects first, then the name, so that no call finds the name without
// its object. False when the server cannot run.
bool publishAutomationServer(QDBusConnection &bus, TPopupGUI &gui) {
    if (!bus.isConnected()) {
        LogError("Automation server: no session bus: %s", bus.lastError().message());
        std::fprintf(stderr, "queriant: automation needs a D-Bus session bus\n");
        return false;
    }
    if (!gui.RegisterObject()) {
        LogError("Automation server: cannot export %s", AutomationObjectPath);
        return false;
    }
    const QString name = QString::fromLatin1(AutomationServiceName);
    const auto reply =
        bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        LogError("Automation server: the name %s is taken", name);
        std::fprintf(stderr, "queriant: %s is already served by another process\n",
                     qPrintable(name));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const QStringList parameters = parametersOf(argc, argv);
    if (const std::optional<int> done = runStartAction(StartActionFromParameters(parameters)))
        return *done;

    TFontWarmUp fontWarmUp;
    TQueriantApplication app(argc, argv);
    const auto waitForFonts = qScopeGuard([&fontWarmUp] { fontWarmUp.Wait(); });
    QApplication::setApplicationName(QStringLiteral("queriant"));
    // The Wayland application id: compositors find the name and icon in the desktop entry of
    // that name installed with the client.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZV_APPLICATION_ID));
    TQueriantApplication::SetTitle(QStringLiteral("Print job question"));
    SetRightToLeftLayout(IsRightToLeftLocale());
    FormLook::HideAcceleratorUnderlinesForArabic(UserLanguage(), RightToLeftLayout());
    TAesUse::Init();

    TMainForm mainForm(app.arguments());
    app.SetExceptionHandler([&mainForm](const std::exception &e) { mainForm.HandleException(e); });

    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        new TMainFormAdaptor(&mainForm);
        bus.registerObject(QString::fromLatin1(MainFormObjectPath), &mainForm);
    }

    std::unique_ptr<TPopupGUI> gui;
    if (mainForm.Manager()->RunMode() == rmAutomation) {
        gui = std::make_unique<TPopupGUI>(mainForm, bus);
        QObject::connect(&mainForm, &TMainForm::AutomationJobEnded, gui.get(), &TPopupGUI::JobEnded,
                         Qt::QueuedConnection);
        QObject::connect(&mainForm, &TMainForm::AutomationJobFailed, gui.get(),
                         &TPopupGUI::JobFailed, Qt::QueuedConnection);
        QObject::connect(gui.get(), &TPopupGUI::AllCallersLeft, &app, [&bus] {
            // Give the name back first so that a new call starts a fresh process.
            bus.unregisterService(QString::fromLatin1(AutomationServiceName));
            TQueriantApplication::Terminate();
        });
        if (!publishAutomationServer(bus, *gui))
            return 0;
    } else {
        try {
            mainForm.StartJob();
        } catch (const std::exception &e) {
            mainForm.HandleException(e);
        }
    }
    app.exec();
    return TQueriantApplication::ExitCode();
}
