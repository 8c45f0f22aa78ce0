// SPDX-License-Identifier: MIT
// A job in a real question manager whose sets are shown the way the host window shows them:
// the dialog from the factory, manager, set, form mode, direction, then ShowForm.
#pragma once

#include "AesUse.h"
#include "FormFactory.h"
#include "QuestionManager.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>

struct FormJob {
    explicit FormJob(const QStringList &parameters = {QStringLiteral("-Automation")},
                     std::unique_ptr<TJobSource> source = nullptr)
        : manager(parameters, std::move(source)) {
        TAesUse::Init(); // secure answers are held encrypted
        manager.OnPresentQuestionSet = [this](TQuestionManager &, TQuestionSet &set,
                                              TWizardDirection direction) {
            presented.push_back(&set);
            present(set, direction);
        };
        manager.OnFinished = [this](TQuestionManager &) { ++finished; };
        manager.OnCancel = [this](TQuestionManager &) { ++cancelled; };
        manager.FBusy = true;
    }
    ~FormJob() {
        form.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TQuestion &question(const char *formType, const QString &prompt = QStringLiteral("Q?")) {
        auto q = std::make_unique<TQuestion>();
        q->FormType = formType;
        q->Name = prompt;
        q->Prompt = prompt;
        manager.FQuestionList.push_back(std::move(q));
        return *manager.FQuestionList.back();
    }
    // A set of n new questions of the form type.
    TQuestionSet &set(const char *formType, int n = 1) {
        auto s = std::make_unique<TQuestionSet>();
        s->FormType = formType;
        for (int i = 0; i < n; ++i)
            s->Add(&question(formType, QStringLiteral("Question %1").arg(i + 1)));
        manager.FQuestionSetList.push_back(std::move(s));
        return *manager.FQuestionSetList.back();
    }

    void present(TQuestionSet &set, TWizardDirection direction = wdNext) {
        TQuestionForm::CloseForm(std::move(form));
        form = CreateQuestionForm(QString::fromUtf8(set.FormType), nullptr);
        if (!form)
            form = std::make_unique<TQuestionForm>();
        form->resize(manager.FClientWidth, manager.FClientHeight);
        form->SetQuestionManager(&manager);
        form->SetQuestionSet(&set);
        form->SetFormMode(FormModeFor(manager, &set));
        form->SetWizardDirection(direction);
        form->ShowForm();
    }
    // Makes the dialog the active window so that focus changes arrive (runs the event loop,
    // so a skip may replace the dialog meanwhile).
    void activate() {
        form->activateWindow();
        const QPointer<QWidget> shown(form.get());
        for (int i = 0; i < 100 && shown && !shown->isActiveWindow(); ++i)
            QTest::qWait(10);
    }
    // Shows the first set through the manager, as a job start does.
    void start() {
        manager.FCurrentSet = nullptr;
        manager.NextSet();
    }
    template <typename Form> Form &as() { return dynamic_cast<Form &>(*form); }

    zvtest::Sandbox box;
    TQuestionManager manager;
    std::unique_ptr<TQuestionForm> form;
    std::vector<TQuestionSet *> presented;
    int finished = 0;
    int cancelled = 0;
};

// A user with screen-reader settings.
struct JawsUser {
    JawsUser(const zvtest::Sandbox &box)
        : appData("AppData", box.path(QStringLiteral("appdata")).toLocal8Bit()),
          folder(box.path(QStringLiteral("appdata/Freedom Scientific/JAWS/2025/Settings/enu"))) {
        zv::ZvRegKey::create(zv::RegRoot::LocalMachine,
                             QStringLiteral("Software\\Freedom Scientific\\JAWS\\2025"));
        QDir().mkpath(folder);
    }
    QByteArray read(const char *file) const {
        QFile f(folder + QLatin1Char('/') + QLatin1String(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    zvtest::ScopedEnv appData;
    QString folder;
};
