// SPDX-License-Identifier: MIT
// Base of every question dialog: the frame with its title bar, the question, description and
// error texts, the navigation buttons for the dialog's place in the job, the guest and
// answer-settings links, and the decision to pass over a dialog whose answers are already
// known. A dialog writes answers into its questions and moves the job on through the question
// manager; it hands nothing back to the host.
//
// Host use, in this order: create with the host window as parent; size the dialog and its
// MainPanel; SetQuestionManager, SetQuestionSet, SetFormMode, SetWizardDirection; route the
// host's key presses to HostKeyDown; ShowForm. Free a dialog with CloseForm (never delete it
// directly: the job may move on from inside the dialog's own handlers).
#pragma once

#include "Questions.h"

#include <QColor>
#include <QFrame>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class TAlignLabel;
class TDesignLayout;
class TLinkLabel;
class TQuestionManager;

// Every message box a dialog opens goes through this one function so that it can be observed
// or replaced (tests run offscreen). The default shows a modal QMessageBox with an OK button.
using TMessageBoxHandler =
    std::function<void(QWidget *owner, const QString &caption, const QString &text)>;
// Installs a handler and returns the previous one; an empty handler restores the default.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler);
void ShowMessageBox(QWidget *owner, const QString &caption, const QString &text);

class TQuestionForm : public QWidget {
    Q_OBJECT

public:
    // Design size of the client area; the host resizes the dialog to the job's client size.
    static constexpr int DesignWidth = 534;
    static constexpr int DesignHeight = 380;

    explicit TQuestionForm(QWidget *parent = nullptr);
    ~TQuestionForm() override;

    // Hides the dialog and frees it once control is back in the event loop.
    static void CloseForm(std::unique_ptr<TQuestionForm> form);

    // Properties
    TQuestionManager *QuestionManager() const { return m_manager; }
    // Also decides whether the answer-settings link shows.
    void SetQuestionManager(TQuestionManager *manager);
    TQuestionSet *QuestionSet() const { return m_set; }
    // Applies usable last answers, decides the skip and fills the dialog (PresentQuestions).
    void SetQuestionSet(TQuestionSet *set);
    TFormMode FormMode() const { return m_formMode; }
    TWizardDirection WizardDirection() const { return m_direction; }
    void SetWizardDirection(TWizardDirection direction) { m_direction = direction; }
    QString QuestionCaption() const;
    void SetQuestionCaption(const QString &caption);
    int FirstQuestionToAsk() const { return m_firstQuestionToAsk; }
    QWidget *FocusToControl() const { return m_focusToControl; }
    bool Loading() const { return m_loading; }

    void SetPromptFontColor(const QColor &color);
    void SetPromptFontName(const QString &name);
    void SetPromptFontSize(int pointSize);
    void SetErrorFontColor(const QColor &color);
    void SetErrorFontName(const QString &name);
    void SetErrorFontSize(int pointSize);

    // Virtual operations, in this order in every dialog.
    virtual void SetFormMode(TFormMode mode);
    virtual void PresentQuestions();
    // Key presses of the host window; setting key to 0 consumes it.
    virtual void HostKeyDown(int &key, Qt::KeyboardModifiers shift);
    virtual bool ValidateAnswers();
    virtual void ShowForm();

    // The text of the error line, and setting it (also tells screen readers).
    QString ErrorText() const;
    void SetErrorText(const QString &text);

    // Controls of the base layout. MainPanel holds all others.
    QFrame *MainPanel = nullptr;
    QFrame *Panel2 = nullptr;
    QLabel *TopLeftBmp = nullptr;
    QLabel *TopRightBmp = nullptr;
    TAlignLabel *TitleLbl = nullptr;
    QWidget *TitleBarPb = nullptr;
    TAlignLabel *QuestionLbl = nullptr;
    TAlignLabel *DescriptionLbl = nullptr;
    QLabel *ErrorLbl = nullptr;
    QFrame *Shape1 = nullptr;
    TLinkLabel *SwitchUserLabel = nullptr;
    TLinkLabel *LaunchConfigToolLabel = nullptr;
    QPushButton *PrevBtn = nullptr;
    QPushButton *NextBtn = nullptr;
    QPushButton *CancelBtn = nullptr;
    QPushButton *LastAnswersBtn = nullptr;
    QLabel *BottomLeftBmp = nullptr;

public slots:
    void NextBtnClick();
    void PrevBtnClick();
    void CancelBtnClick();
    void SwitchUserLabelClick();
    void LastAnswersBtnClick();
    void LaunchConfigToolLabelClick();

protected:
    // Posted to itself on show; the skip check runs when it arrives.
    static const int AfterFormShowEvent;

    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    void AfterFormShow();
    void SetFocusToControl(QWidget *control) { m_focusToControl = control; }

    // Geometry of MainPanel's children in design pixels; mirrored under right-to-left layout.
    TDesignLayout &Layout() const { return *m_layout; }
    // Right-to-left reading for the whole dialog: mirrored children, right-justified texts.
    void ApplyRightToLeft();
    // Accessible name and description of an answer control; required for a mandatory answer.
    void DescribeControl(QWidget *control, const QString &name, const QString &description,
                         bool required = false);
    // The dialog, its window and the window's title take the title bar's caption.
    void NameAfterTitle();
    // Called whenever the error line changes; dialogs refresh what screen readers see.
    virtual void ErrorTextChanged() {}

private:
    void createControls();
    void translateCaptions();
    void applyPrintOrOkCaption();
    void showButton(QWidget *button, bool on);
    void startTitleDrag();
    void mirrorTitleBar();
    // The job options of the manager's job.
    bool CostCenterMandatory() const;
    bool ServerAllowsLastAnswers() const;

    void forgetSetWhenJobEnded();

    TQuestionManager *m_manager = nullptr;
    TQuestionSet *m_set = nullptr;
    TFormMode m_formMode = fmFirst;
    TWizardDirection m_direction = wdNext;
    QWidget *m_focusToControl = nullptr;
    int m_firstQuestionToAsk = -1;
    bool m_loading = false;
    std::unique_ptr<TDesignLayout> m_layout;
    std::unique_ptr<TDesignLayout> m_titleLayout;
};
