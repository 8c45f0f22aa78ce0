// SPDX-License-Identifier: MIT
// The modal dialog in which the user keeps his cost-center shortcuts: lists them with their
// function keys, renames them, edits one code per level, adds, deletes and reorders them, and
// on OK checks every changed one with the popup server, refuses duplicate names and saves the
// list. Every close reloads the store from the registry, so unsaved changes vanish.
//
// The dialog works on the question manager's shortcut store and asks the server only through
// the manager. Opening it the usual way is OpenShortcutManager below.
#pragma once

#include <QByteArrayList>
#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QToolButton;
class TAlignLabel;
class TDesignLayout;
class TQuestionManager;
class TQuestionSet;
class TShortCutDef;
class TShortCutManager;
class TShortcutsModel;

// A new shortcut's levels, as the cost-center dialog's "Add to Shortcuts" proposes them.
struct TShortcutLevels {
    QByteArrayList Codes;
    QByteArrayList Descriptions;
};

class TShortcutMngForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int DesignWidth = 410;
    static constexpr int DesignHeight = 291;
    // Level rows that fit the design height; the dialog grows by a row for each further one.
    static constexpr int DesignLevelRows = 7;
    static constexpr int MaxLevels = 10;

    TShortcutMngForm(TQuestionManager &manager, QWidget *parent = nullptr);
    ~TShortcutMngForm() override;

    // Shows the set's levels, fills the list and loads its first entry.
    void SetQuestionSet(TQuestionSet &set);
    // What the New button does; returns the new shortcut.
    TShortCutDef *AddShortcut();
    // Selects the shortcut's entry and loads it into the editors.
    void ShowShortcut(TShortCutDef *shortcut);
    // Called after a successful save, before the dialog closes.
    void SetOnSaved(std::function<void()> onSaved) { m_onSaved = std::move(onSaved); }

    TShortCutDef *EditedShortcut() const { return m_edited; }
    TShortcutsModel &Model() const { return *m_model; }

    // Controls, named as the translation keys and screen readers know them.
    QFrame *TopPnl = nullptr;
    TAlignLabel *DetailLbl = nullptr;
    QListView *ShortcutsLb = nullptr;
    QToolButton *MoveUpBtn = nullptr;
    QToolButton *MoveDownBtn = nullptr;
    QLabel *Label6 = nullptr;
    QLineEdit *NameEdt = nullptr;
    QGroupBox *CatBox = nullptr;
    std::array<QLabel *, MaxLevels> CatLbl{};
    std::array<QLineEdit *, MaxLevels> CatEdt{};
    QPushButton *AddBtn = nullptr;
    QPushButton *DeleteBtn = nullptr;
    QPushButton *SaveBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

public slots:
    void AddBtnClick();
    void DeleteBtnClick();
    void MoveUpBtnClick();
    void MoveDownBtnClick();
    void SaveBtnClick();
    void ShortcutsLbClick();

    // Every close (OK, Cancel, Escape, the window's close box) reloads the store.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createControls();
    void translateCaptions();
    void applyRightToLeft();
    TShortCutManager &store() const;

    void fillList();
    void loadShortcut(TShortCutDef *shortcut);
    void clearEditors();
    void selectRow(int row);
    int selectedRow() const;
    TShortCutDef *selectedShortcut() const;
    void updateMoveButtons();
    void moveSelected(int (TShortCutManager::*move)(TShortCutDef *));
    void focusName();
    void setDetail(const QString &text);
    void nameEdited(const QString &text);
    void codeEdited(int level, const QString &text);

    // The steps of OK; each false return leaves the dialog open with its message shown.
    void removeEmptyShortcuts();
    bool validateModified();
    bool namesAreUnique();

    TQuestionManager &m_manager;
    TQuestionSet *m_set = nullptr;
    TShortCutDef *m_edited = nullptr;
    std::function<void()> m_onSaved;
    TShortcutsModel *m_model = nullptr;
    std::unique_ptr<TDesignLayout> m_layout;
    std::unique_ptr<TDesignLayout> m_catLayout;
    // Set while the list is refilled or selected from code, when no selection event counts.
    bool m_filling = false;
};

// Opens the dialog modally over owner for the cost-center set: with a new shortcut holding
// levels when given, otherwise on the first entry. onSaved runs after a successful save.
// Returns whether the list was saved. The store's shortcuts are new objects afterwards (the
// dialog reloads them as it closes): an opener that keeps pointers to them takes them afresh.
bool OpenShortcutManager(TQuestionManager &manager, TQuestionSet &set, QWidget *owner,
                         std::function<void()> onSaved,
                         const std::optional<TShortcutLevels> &newShortcut = std::nullopt);
