// SPDX-License-Identifier: MIT
// Dialog for the cost center a job is charged to ("costcenterform"): one level per question,
// filled from the user's recent combinations (history), a search per level, saved shortcuts
// (with F1 to F10) or the code the document-management plug-in proposes. The popup server
// confirms every choice before the job moves on; all of it goes through the question manager.
//
// A set of more than ten levels is refused (the error screen names the count): the dialog has
// ten level edits, and a level it cannot show could never be answered. In a job without a popup
// server (a request document) nothing can be looked up or checked: the levels are plain edits
// whose text is the answer, without history, search or shortcuts.
#pragma once

#include "CostCenter.h"
#include "CostCenterGrid.h"
#include "CostCenterModel.h"
#include "QuestionFrm.h"
#include "ShortCutManager.h"

#include <QFrame>
#include <QList>
#include <QPointer>

#include <array>
#include <functional>

class QMenu;
class QListView;
class QTableView;
class TAniProperty;
class TEnhLabeledEdit;

// Yes/No questions of the dialog go through this one function (tests run offscreen). The
// default is a modal message box with an empty caption and a question icon.
using TQuestionBoxHandler = std::function<bool(QWidget *owner, const QString &text)>;
TQuestionBoxHandler SetQuestionBoxHandler(TQuestionBoxHandler handler);
bool AskYesNo(QWidget *owner, const QString &text);

// The shortcuts pane: its left edge is what the slide animates.
class TSlidePanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(int Left READ Left WRITE SetLeft)

public:
    using QFrame::QFrame;
    int Left() const { return m_left; }
    void SetLeft(int left);
    // Called after every change of Left, with the new value.
    std::function<void(int)> OnLeftChanged;

private:
    int m_left = 0;
};

class TCostCenterQuestionForm : public TQuestionForm {
    Q_OBJECT

public:
    static constexpr int MaxLevels = 10;

    explicit TCostCenterQuestionForm(QWidget *parent = nullptr);
    ~TCostCenterQuestionForm() override;

    void SetFormMode(TFormMode mode) override;
    void PresentQuestions() override;
    void HostKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    bool ValidateAnswers() override;
    void ShowForm() override;

    // The level being searched; -1 in history mode.
    int ActiveLevel() const { return m_activeLevel; }
    bool DmsPromptShown() const { return m_dmsPrompt; }
    // Without a popup server the levels are plain edits.
    bool PlainLevels() const { return m_plainLevels; }
    bool ShortcutsCollapsed() const;
    TCostCenterModel &GridModel() { return m_gridModel; }
    const QList<int> &ColumnWidths() const { return m_widths; }
    // The text of HistoryLbl, and of the grid's header.
    QString HistoryText() const;
    QString GridHeaderText() const;

    // Actions a user takes, also used by the tests.
    void SearchBtnClick();
    void ToggleHistoryOther();
    void AcceptRow(int row, bool automatic);
    void ApplyShortcut(int index, bool automatic);
    void SlideShortcuts();
    void YesBtnClick();
    void NoBtnClick();
    void OpenShortcutDialog(bool addRow);
    // The handler of the Next button: asks about the own account when nothing is chosen.
    void CostCenterNextBtnClick();
    // Shows one level's rows in the grid, the first selected.
    void FillGrid(const TCostCenterList &rows);
    // Recomputes the column widths for the grid's rows and its current width.
    void ComputeColumnWidths();

    TGridColors RowColors;
    std::array<TEnhLabeledEdit *, MaxLevels> Search{};
    QPushButton *SearchBtn = nullptr;
    TAlignLabel *HistoryLbl = nullptr;
    QFrame *DataPnl = nullptr;
    TAlignLabel *GridHeaderLbl = nullptr;
    QTableView *DataDG = nullptr;
    TLinkLabel *MoreLbl = nullptr;
    TLinkLabel *HistoryOtherToggleLbl = nullptr;
    TLinkLabel *Label1 = nullptr;
    TSlidePanel *ShortcutPnl = nullptr;
    TLinkLabel *ShortCutHeaderLbl = nullptr;
    QListView *ShortCutsDG = nullptr;
    QFrame *SlideBtnPnl = nullptr;
    QLabel *CollapseImg = nullptr;
    QLabel *ExpandImg = nullptr;
    TAniProperty *AniProperty1 = nullptr;
    QMenu *ShortCutPopup = nullptr;
    QAction *AddtoShortcuts1 = nullptr;
    TAlignLabel *DMSLbl = nullptr;
    QPushButton *YesBtn = nullptr;
    QPushButton *NoBtn = nullptr;
    QLabel *CostCenterDataLbl = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void translateCaptions();
    void applyCollapsedSetting();
    void setToggleCaption(const QString &caption);
    void layoutLevels();
    void describeLists();
    void hideShortcutsPane();
    void mirrorForRightToLeft();
    int levelCount() const;
    TQuestion *level(int i) const;
    TQuestion *previousLevel(int i) const;
    int levelOf(const QObject *edit) const;
    QString levelNames() const;
    bool anyAnswered() const;
    TShortCutManager *shortcuts() const;

    void showPlainLevels();
    void enterHistoryMode();
    bool proposeDmsValue();
    void goToSearch();
    void activateLevel(int i);
    void showGridRows();
    void takeRow(int row);
    // Answers, descriptions and edits of the levels the codes reach.
    void applyCodes(const QByteArrayList &codes, const QByteArrayList &descriptions);
    void complete(bool automatic);
    void showSummary();
    void clearDeeperLevels(int i);
    void setEditText(int i, const QString &text);

    void searchEditChanged(int i);
    bool searchEditKey(int i, QKeyEvent *event);
    void searchEditFocused(int i);
    bool dataGridKey(QKeyEvent *event);
    bool shortcutsGridKey(QKeyEvent *event);
    void dataGridContextMenu(const QPoint &pos);
    void fillShortcuts();
    void previewShortcut(int row);
    void restoreHeader();
    void moveShortcutPane(int left);
    void slideCompleted();
    void showDmsPrompt();
    void hideDmsPrompt();
    void openHelp();

    TCostCenterModel m_gridModel;
    TShortcutPaneModel m_shortcutModel;
    TShortCutDef m_dmsShortcut;
    int m_activeLevel = -1;
    QString m_savedHeader;
    bool m_headerSaved = false;
    QList<int> m_measured;
    QList<int> m_widths;
    bool m_expanding = false;
    bool m_clearing = false;
    bool m_settingText = false;
    bool m_dmsPrompt = false;
    bool m_plainLevels = false;
    bool m_showAll = false;
    QList<QPointer<QWidget>> m_hiddenByPrompt;
};
