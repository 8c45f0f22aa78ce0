// SPDX-License-Identifier: MIT
// A set that only informs the user ("balloonform"): its text shows in a notification balloon
// instead of a window, and the job moves on when the balloon ends, clicked or timed out.
#pragma once

#include "BalloonNotifier.h"
#include "QuestionFrm.h"

#include <memory>

class TBalloonQuestionForm : public TQuestionForm {
    Q_OBJECT
public:
    explicit TBalloonQuestionForm(QWidget *parent = nullptr);
    // Takes balloon and icon away.
    ~TBalloonQuestionForm() override;

    // Hides the host and shows the balloon: the set's title, its caption (else the first
    // prompt), the manager's time-out and the first question's icon.
    void PresentQuestions() override;
    // The dialog window is never shown.
    void ShowForm() override;

    // The notifier, made from the manager's factory when the set is presented.
    TBalloonNotifier *Notifier() const { return m_balloon.get(); }

private:
    void createNotifier();
    void BalloonEnded();

    std::unique_ptr<TBalloonNotifier> m_balloon;
};
