// SPDX-License-Identifier: MIT
#include "ShortcutMngFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "FormLook.h"
#include "Log.h"
#include "QuestionManager.h"
#include "Questions.h"
#include "ResourceStrings.h"
#include "ShortCutManager.h"
#include "ShortcutsModel.h"
#include "SimpleTranslator.h"
#include "WindowPlacement.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace {

constexpr int RowSpacing = 24;

QString translateCaption(const QString &controlName, const QString &designCaption) {
    return Translate(QStringLiteral("ShortcutMngForm") + controlName, designCaption);
}

QString withoutMnemonic(QString caption) {
    return caption.remove(QLatin1Char('&'));
}

} // namespace

TShortcutMngForm::TShortcutMngForm(TQuestionManager &manager, QWidget *parent)
    : QDialog(parent), m_manager(manager) {
    setObjectName(QStringLiteral("ShortcutMngForm"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);
    setFixedSize(DesignWidth, DesignHeight);
    createControls();
    translateCaptions();
    if (RightToLeftLayout())
        applyRightToLeft();
}

TShortcutMngForm::~TShortcutMngForm() = default;

TShortCutManager &TShortcutMngForm::store() const {
    return m_manager.ShortCutManager();
}

void TShortcutMngForm::createControls() {
    setFont(FormLook::FormFont());
    FormLook::SetBackground(this, FormLook::DialogBackground());
    m_layout = std::make_unique<TDesignLayout>(this, QSize(DesignWidth, DesignHeight));

    TopPnl = new QFrame(this);
    TopPnl->setObjectName(QStringLiteral("TopPnl"));
    FormLook::SetBackground(TopPnl, Qt::white);
    m_layout->Place(TopPnl, QRect(0, 0, DesignWidth, 44), akLeft | akTop | akRight);
    auto *separator = new QFrame(this);
    separator->setObjectName(QStringLiteral("Shape1"));
    FormLook::SetBackground(separator, FormLook::SeparatorColor());
    m_layout->Place(separator, QRect(0, 44, DesignWidth, 1), akLeft | akTop | akRight);

    DetailLbl = new TAlignLabel(this);
    DetailLbl->setObjectName(QStringLiteral("DetailLbl"));
    DetailLbl->setPen(Qt::NoPen);
    DetailLbl->setWordWrap(true);
    DetailLbl->setVAlign(vtMiddle);
    DetailLbl->setMargin(2);
    m_layout->Place(DetailLbl, QRect(8, 2, DesignWidth - 16, 40), akLeft | akTop | akRight);

    m_model = new TShortcutsModel(this);
    ShortcutsLb = new QListView(this);
    ShortcutsLb->setObjectName(QStringLiteral("ShortcutsLb"));
    ShortcutsLb->setModel(m_model);
    ShortcutsLb->setItemDelegate(new TShortcutItemDelegate(ShortcutsLb));
    ShortcutsLb->setUniformItemSizes(true);
    ShortcutsLb->setSelectionMode(QAbstractItemView::SingleSelection);
    ShortcutsLb->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_layout->Place(ShortcutsLb, QRect(8, 52, 170, 202), akLeft | akTop | akBottom);
    connect(ShortcutsLb, &QListView::clicked, this, &TShortcutMngForm::ShortcutsLbClick);
    // Arrow keys move the selection as a click does.
    connect(ShortcutsLb->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_filling)
            ShortcutsLbClick();
    });

    auto makeMoveButton = [this](const char *name, const QString &glyph, const QString &hint,
                                 int top) {
        auto *button = new QToolButton(this);
        button->setObjectName(QLatin1String(name));
        button->setText(glyph);
        button->setToolTip(hint);
        button->setAccessibleName(hint);
        m_layout->Place(button, QRect(182, top, 20, 20));
        return button;
    };
    MoveUpBtn = makeMoveButton("MoveUpBtn", QStringLiteral("\u25B2"),
                               QStringLiteral("Move shortcut up"), 52);
    MoveDownBtn = makeMoveButton("MoveDownBtn", QStringLiteral("\u25BC"),
                                 QStringLiteral("Move shortcut Down"), 76);
    connect(MoveUpBtn, &QToolButton::clicked, this, &TShortcutMngForm::MoveUpBtnClick);
    connect(MoveDownBtn, &QToolButton::clicked, this, &TShortcutMngForm::MoveDownBtnClick);

    Label6 = new QLabel(QStringLiteral("Shortcut name"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    m_layout->Place(Label6, QRect(208, 56, 80, 13));
    NameEdt = new QLineEdit(this);
    NameEdt->setObjectName(QStringLiteral("NameEdt"));
    Label6->setBuddy(NameEdt);
    m_layout->Place(NameEdt, QRect(292, 52, 110, 21));
    connect(NameEdt, &QLineEdit::textEdited, this, &TShortcutMngForm::nameEdited);

    CatBox = new QGroupBox(this);
    CatBox->setObjectName(QStringLiteral("CatBox"));
    m_layout->Place(CatBox, QRect(208, 78, 194, 176), akLeft | akTop | akBottom);
    m_catLayout = std::make_unique<TDesignLayout>(CatBox, QSize(194, 176));
    for (int i = 0; i < MaxLevels; ++i) {
        CatLbl[size_t(i)] = new QLabel(CatBox);
        CatLbl[size_t(i)]->setObjectName(QStringLiteral("Cat%1Lbl").arg(i));
        m_catLayout->Place(CatLbl[size_t(i)], QRect(0, 12 + RowSpacing * i, 80, 13));
        CatEdt[size_t(i)] = new QLineEdit(CatBox);
        CatEdt[size_t(i)]->setObjectName(QStringLiteral("Cat%1Edt").arg(i));
        CatLbl[size_t(i)]->setBuddy(CatEdt[size_t(i)]);
        m_catLayout->Place(CatEdt[size_t(i)], QRect(84, 8 + RowSpacing * i, 104, 21));
        CatLbl[size_t(i)]->hide();
        CatEdt[size_t(i)]->hide();
        connect(CatEdt[size_t(i)], &QLineEdit::textEdited, this,
                [this, i](const QString &text) { codeEdited(i, text); });
    }

    auto makeButton = [this](const char *name, const QString &caption, int left, int anchors) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        m_layout->Place(button, QRect(left, 260, 75, 25), anchors);
        return button;
    };
    AddBtn = makeButton("AddBtn", QStringLiteral("&New"), 8, akLeft | akBottom);
    DeleteBtn = makeButton("DeleteBtn", QStringLiteral("&Delete"), 88, akLeft | akBottom);
    SaveBtn = makeButton("SaveBtn", QStringLiteral("&OK"), 246, akRight | akBottom);
    CancelBtn = makeButton("CancelBtn", QStringLiteral("&Cancel"), 327, akRight | akBottom);
    SaveBtn->setDefault(true);
    connect(AddBtn, &QPushButton::clicked, this, &TShortcutMngForm::AddBtnClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TShortcutMngForm::DeleteBtnClick);
    connect(SaveBtn, &QPushButton::clicked, this, &TShortcutMngForm::SaveBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(ShortcutsLb, NameEdt);
    QWidget *previous = NameEdt;
    for (QLineEdit *edit : CatEdt) {
        setTabOrder(previous, edit);
        previous = edit;
    }
    for (QWidget *next : {static_cast<QWidget *>(AddBtn), static_cast<QWidget *>(DeleteBtn),
                          static_cast<QWidget *>(SaveBtn), static_cast<QWidget *>(CancelBtn)}) {
        setTabOrder(previous, next);
        previous = next;
    }
}

void TShortcutMngForm::translateCaptions() {
    setWindowTitle(translateCaption(QStringLiteral("Title"), QStringLiteral("Shortcut Manager")));
    for (QPushButton *button : {DeleteBtn, AddBtn, CancelBtn, SaveBtn}) {
        button->setText(translateCaption(button->objectName(), button->text()));
        button->setAccessibleName(withoutMnemonic(button->text()));
    }
    Label6->setText(translateCaption(Label6->objectName(), Label6->text()));
    NameEdt->setAccessibleName(withoutMnemonic(Label6->text()));
    ShortcutsLb->setAccessibleName(windowTitle());
    DetailLbl->setAccessibleName(windowTitle());
}

void TShortcutMngForm::applyRightToLeft() {
    setLayoutDirection(Qt::RightToLeft);
    m_layout->SetMirrored(true);
    m_catLayout->SetMirrored(true);
    DetailLbl->setAlignment(taRightJustify);
    // The level labels end where the name label ends: both columns start at the same place.
    Label6->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    for (QLabel *label : CatLbl)
        label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
}

// ---- The set, the list and the editors -------------------------------------------------------

void TShortcutMngForm::SetQuestionSet(TQuestionSet &set) {
    m_set = &set;
    const int levels = std::min(set.Count(), MaxLevels);
    for (int i = 0; i < levels; ++i) {
        const QString code = set.Question(i)->Code;
        CatLbl[size_t(i)]->setText(code);
        CatLbl[size_t(i)]->show();
        CatEdt[size_t(i)]->setAccessibleName(code);
        CatEdt[size_t(i)]->show();
    }
    const int extraRows = std::max(0, levels - DesignLevelRows);
    setFixedSize(DesignWidth, DesignHeight + extraRows * RowSpacing);
    fillList();
    selectRow(0);
    loadShortcut(store().Item(0));
    updateMoveButtons();
}

void TShortcutMngForm::fillList() {
    const int row = selectedRow();
    QStringList names;
    for (int i = 0; i < store().Count(); ++i)
        names << QString::fromUtf8(store().Item(i)->Name());
    m_filling = true;
    m_model->SetNames(names);
    m_filling = false;
    selectRow(row);
    const bool any = store().Count() > 0;
    NameEdt->setEnabled(any);
    DeleteBtn->setEnabled(any);
    for (QLineEdit *edit : CatEdt)
        edit->setEnabled(any);
}

int TShortcutMngForm::selectedRow() const {
    const QModelIndex current = ShortcutsLb->selectionModel()->currentIndex();
    return current.isValid() && ShortcutsLb->selectionModel()->isSelected(current) ? current.row()
                                                                                   : -1;
}

void TShortcutMngForm::selectRow(int row) {
    m_filling = true;
    if (row >= 0 && row < m_model->rowCount())
        ShortcutsLb->setCurrentIndex(m_model->index(row));
    else
        ShortcutsLb->selectionModel()->clear();
    m_filling = false;
}

TShortCutDef *TShortcutMngForm::selectedShortcut() const {
    return store().Item(selectedRow());
}

// Every level row shows the shortcut's own code, empty where it has none: a row keeping the
// previous shortcut's text would show a code this shortcut does not hold.
void TShortcutMngForm::loadShortcut(TShortCutDef *shortcut) {
    m_edited = shortcut;
    if (!shortcut) {
        setDetail(QString());
        return;
    }
    NameEdt->setText(QString::fromUtf8(shortcut->Name()));
    const QByteArrayList &codes = shortcut->Codes();
    for (int i = 0; i < MaxLevels; ++i)
        CatEdt[size_t(i)]->setText(i < codes.size() ? QString::fromUtf8(codes[i]) : QString());
    setDetail(shortcut->DisplayText());
}

void TShortcutMngForm::clearEditors() {
    NameEdt->clear();
    for (QLineEdit *edit : CatEdt)
        edit->clear();
}

void TShortcutMngForm::setDetail(const QString &text) {
    DetailLbl->setCaption(text);
    DetailLbl->setAccessibleDescription(text);
}

void TShortcutMngForm::updateMoveButtons() {
    const int row = selectedRow();
    const int count = m_model->rowCount();
    MoveUpBtn->setEnabled(row > 0 && count > 1);
    MoveDownBtn->setEnabled(row >= 0 && row < count - 1 && count > 1);
}

void TShortcutMngForm::focusName() {
    NameEdt->selectAll();
    if (NameEdt->isEnabled() && NameEdt->isVisibleTo(this))
        NameEdt->setFocus(Qt::OtherFocusReason);
}

void TShortcutMngForm::ShortcutsLbClick() {
    if (m_model->rowCount() == 0)
        return;
    int row = selectedRow();
    if (row < 0) {
        row = m_model->rowCount() - 1;
        selectRow(row);
    }
    loadShortcut(store().Item(row));
    updateMoveButtons();
}

void TShortcutMngForm::ShowShortcut(TShortCutDef *shortcut) {
    const int row = store().IndexOf(shortcut);
    selectRow(row);
    loadShortcut(row >= 0 ? shortcut : nullptr);
    updateMoveButtons();
}

// ---- Editing ---------------------------------------------------------------------------------

void TShortcutMngForm::nameEdited(const QString &text) {
    if (!m_edited)
        return;
    m_edited->SetName(text.toUtf8());
    m_model->SetName(store().IndexOf(m_edited), text);
}

// The description follows the code until the server check brings the real one at OK.
void TShortcutMngForm::codeEdited(int level, const QString &text) {
    if (!m_edited)
        return;
    m_edited->SetCode(level, text.toUtf8());
    m_edited->SetDescription(level, text.toUtf8());
}

// ---- Buttons ---------------------------------------------------------------------------------

TShortCutDef *TShortcutMngForm::AddShortcut() {
    clearEditors();
    TShortCutDef *shortcut = store().AddNew();
    fillList();
    const int row = std::max(0, store().IndexOf(shortcut));
    selectRow(row);
    loadShortcut(store().Item(row));
    focusName();
    updateMoveButtons();
    return shortcut;
}

void TShortcutMngForm::AddBtnClick() {
    AddShortcut();
}

void TShortcutMngForm::DeleteBtnClick() {
    if (TShortCutDef *shortcut = selectedShortcut()) {
        if (shortcut == m_edited)
            m_edited = nullptr;
        store().Remove(shortcut);
    }
    clearEditors();
    fillList();
    const int last = m_model->rowCount() - 1;
    selectRow(last);
    loadShortcut(store().Item(last));
    updateMoveButtons();
}

void TShortcutMngForm::MoveUpBtnClick() {
    moveSelected(&TShortCutManager::MoveUp);
}

void TShortcutMngForm::MoveDownBtnClick() {
    moveSelected(&TShortCutManager::MoveDown);
}

void TShortcutMngForm::moveSelected(int (TShortCutManager::*move)(TShortCutDef *)) {
    if (TShortCutDef *shortcut = selectedShortcut()) {
        const int row = (store().*move)(shortcut);
        fillList();
        selectRow(row);
        loadShortcut(shortcut);
    }
    updateMoveButtons();
}

void TShortcutMngForm::removeEmptyShortcuts() {
    for (int i = store().Count() - 1; i >= 0; --i) {
        TShortCutDef *shortcut = store().Item(i);
        if (!shortcut->IsEmpty())
            continue;
        if (shortcut == m_edited)
            m_edited = nullptr;
        store().Remove(shortcut);
    }
}

bool TShortcutMngForm::validateModified() {
    const TQuestionSet noLevels;
    const TQuestionSet &set = m_set ? *m_set : noLevels;
    for (int i = 0; i < store().Count(); ++i) {
        TShortCutDef *shortcut = store().Item(i);
        if (!shortcut->Modified())
            continue;
        try {
            m_manager.ValidateShortcut(*shortcut, set);
        } catch (const zv::ZvError &e) {
            ShowShortcut(shortcut);
            setDetail(e.message());
            return false;
        }
    }
    return true;
}

bool TShortcutMngForm::namesAreUnique() {
    for (int i = 1; i < store().Count(); ++i) {
        const QString name = QString::fromUtf8(store().Item(i)->Name());
        for (int k = 0; k < i; ++k) {
            if (name.compare(QString::fromUtf8(store().Item(k)->Name()), Qt::CaseInsensitive) != 0)
                continue;
            ShowShortcut(store().Item(i));
            setDetail(LoadResString(Res::SDuplicateShortCutNames));
            return false;
        }
    }
    return true;
}

void TShortcutMngForm::SaveBtnClick() {
    removeEmptyShortcuts();
    fillList();
    if (!m_edited)
        ShortcutsLbClick();
    if (!validateModified() || !namesAreUnique())
        return;
    try {
        store().Save();
    } catch (const zv::ZvError &e) {
        // The list stays as the user left it; OK may be pressed again.
        setDetail(e.message());
        return;
    }
    if (m_onSaved)
        m_onSaved();
    setDetail(LoadResString(Res::SSortcutsSaved));
    accept();
}

void TShortcutMngForm::done(int result) {
    m_edited = nullptr;
    try {
        store().Load();
    } catch (const zv::ZvError &e) {
        LogError("TShortcutMngForm reload of the shortcuts failed: %s", e.message());
    }
    m_model->SetNames({});
    QDialog::done(result);
}

// ---- Showing ---------------------------------------------------------------------------------

void TShortcutMngForm::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    fillList();
    focusName();
    QScreen *monitor = screen() ? screen() : QGuiApplication::primaryScreen();
    if (monitor) {
        const QRect area = monitor->availableGeometry();
        const QRect frame = frameGeometry();
        PlaceTopLevel(*this, QPoint(area.left() + (area.width() - frame.width()) / 2,
                                    area.top() + (area.height() - frame.height()) / 2));
    }
}

void TShortcutMngForm::resizeEvent(QResizeEvent *event) {
    QDialog::resizeEvent(event);
    if (m_layout)
        m_layout->Apply();
}

bool OpenShortcutManager(TQuestionManager &manager, TQuestionSet &set, QWidget *owner,
                         std::function<void()> onSaved,
                         const std::optional<TShortcutLevels> &newShortcut) {
    TShortcutMngForm form(manager, owner);
    form.SetQuestionSet(set);
    if (newShortcut) {
        TShortCutDef *shortcut = form.AddShortcut();
        shortcut->SetCodes(newShortcut->Codes);
        shortcut->SetDescriptions(newShortcut->Descriptions);
        form.ShowShortcut(shortcut);
    }
    form.SetOnSaved(std::move(onSaved));
    form.exec();
    return form.result() == QDialog::Accepted;
}
