// SPDX-License-Identifier: MIT
#include "BalloonQuestionFrm.h"

#include "Log.h"
#include "QuestionManager.h"

TBalloonQuestionForm::TBalloonQuestionForm(QWidget *parent) : TQuestionForm(parent) {
    setObjectName(QStringLiteral("BalloonQuestionForm"));
    // Stays hidden when its host shows.
    hide();
}

TBalloonQuestionForm::~TBalloonQuestionForm() {
    if (m_balloon) {
        m_balloon->HideBalloon();
        m_balloon->Hide();
    }
}

// The manager is known only once the host hands the set over, so the notifier is made then.
void TBalloonQuestionForm::createNotifier() {
    if (m_balloon || !QuestionManager())
        return;
    m_balloon = QuestionManager()->CreateBalloon();
    if (!m_balloon)
        return;
    m_balloon->SetVersion(1);
    m_balloon->OnClick = [this](TBalloonNotifier &) { BalloonEnded(); };
    m_balloon->OnBalloonTimeout = [this](TBalloonNotifier &) { BalloonEnded(); };
}

void TBalloonQuestionForm::PresentQuestions() {
    if (QWidget *host = parentWidget())
        host->window()->hide();
    TQuestionSet *set = QuestionSet();
    if (!set || set->Count() == 0)
        throw zv::ZvError(QStringLiteral("TQuestionForm needs at least one question"));
    createNotifier();
    if (!m_balloon) {
        LogError("TBalloonQuestionForm has no balloon to show; moving on");
        QMetaObject::invokeMethod(
            this, [this] { BalloonEnded(); }, Qt::QueuedConnection);
        return;
    }
    m_balloon->Show();
    const QString caption = QString::fromUtf8(set->Caption);
    const QString text = caption.isEmpty() ? set->First()->Prompt : caption;
    m_balloon->ShowBalloon(QString::fromUtf8(set->Title), text,
                           quint8(QuestionManager()->FDialogTimeout & 0xFF),
                           int(set->First()->Icon));
}

void TBalloonQuestionForm::ShowForm() {}

void TBalloonQuestionForm::BalloonEnded() {
    if (m_balloon) {
        m_balloon->HideBalloon();
        m_balloon->Hide();
    }
    TQuestionManager *manager = QuestionManager();
    // A dialog the host has already replaced, or whose job ended, moves nothing on.
    if (!manager || !manager->Busy() || manager->FCurrentSet != QuestionSet())
        return;
    manager->NotifyActivity();
    manager->NextSet();
}
