// SPDX-License-Identifier: MIT
#include "CostCenterQuestionFrm.h"

#include "AlignLabel.h"
#include "AniProperty.h"
#include "CostCenterServices.h"
#include "DesignLayout.h"
#include "EnhLabeledEdit.h"
#include "FormLook.h"
#include "Log.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"
#include "ShortcutMngFrm.h"
#include "SimpleTranslator.h"
#include "ZvRegistry.h"

#include <algorithm>

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QUrl>

#include <cmath>

namespace {

const QString ClientKey = QStringLiteral("SOFTWARE\\Zorvant\\Popup Client");
const QString CollapsedValue = QStringLiteral("ShortCutCollapsed");
const QString ShowAllValue = QStringLiteral("ShowAllCostcenters");

// Design geometry of the dialog's own controls (left-to-right; the layout mirrors it).
constexpr int EditTop = 60;
constexpr int DataLeft = 16;
// The history/other link's design width; the help link follows it.
constexpr int ToggleWidth = 46;
constexpr int DataTop = 104;
constexpr int DataHeight = 22 + 10 * 18;
constexpr int PaneWidth = 114;
constexpr int HandleLeft = 506;
constexpr int HandleWidth = 10;
constexpr int GridRowHeight = 18;

TQuestionBoxHandler &questionBoxHandler() {
    static TQuestionBoxHandler handler;
    return handler;
}

// A boolean registry value as the client writes them (DWORD 0 or 1); a text "1" or "true"
// written by hand counts too.
std::optional<bool> readBool(const zv::ZvRegKey &key, const QString &name) {
    const std::optional<zv::RegValue> value = key.value(name);
    if (!value)
        return std::nullopt;
    if (value->type == zv::RegType::DWord)
        return value->dword != 0;
    if (value->type == zv::RegType::String || value->type == zv::RegType::ExpandString)
        return value->text.trimmed() == QLatin1String("1") ||
               value->text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    return std::nullopt;
}

QString translateControl(const QString &name, const QString &caption) {
    return Translate(QStringLiteral("CostCenterQuestionForm") + name, caption);
}

QPixmap arrowPicture(bool pointsLeft) {
    QPixmap pm(HandleWidth, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(FormLook::TitleBarColor());
    const qreal w = HandleWidth - 3;
    QPolygonF arrow;
    if (pointsLeft)
        arrow << QPointF(1.5 + w, 2) << QPointF(1.5, 8) << QPointF(1.5 + w, 14);
    else
        arrow << QPointF(1.5, 2) << QPointF(1.5 + w, 8) << QPointF(1.5, 14);
    p.drawPolygon(arrow);
    return pm;
}

bool isFunctionKey(int key) {
    return key >= Qt::Key_F1 && key <= Qt::Key_F10;
}

} // namespace

TQuestionBoxHandler SetQuestionBoxHandler(TQuestionBoxHandler handler) {
    TQuestionBoxHandler previous = std::move(questionBoxHandler());
    questionBoxHandler() = std::move(handler);
    return previous;
}

bool AskYesNo(QWidget *owner, const QString &text) {
    if (questionBoxHandler())
        return questionBoxHandler()(owner, text);
    QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No,
                    owner);
    return box.exec() == QMessageBox::Yes;
}

void TSlidePanel::SetLeft(int left) {
    m_left = left;
    if (OnLeftChanged)
        OnLeftChanged(left);
}

// ---- Creation --------------------------------------------------------------------------------

TCostCenterQuestionForm::TCostCenterQuestionForm(QWidget *parent) : TQuestionForm(parent) {
    setObjectName(QStringLiteral("CostCenterQuestionForm"));
    createControls();
    translateCaptions();
    m_dmsShortcut.SetName("DMS");
    applyCollapsedSetting();
    Label1->setVisible(UserLanguage() == zv::LANG_ENGLISH);
}

TCostCenterQuestionForm::~TCostCenterQuestionForm() {
    try {
        zv::ZvRegKey::create(zv::RegRoot::CurrentUser, ClientKey)
            .writeDWord(CollapsedValue, ShortcutsCollapsed() ? 1 : 0);
    } catch (const std::exception &e) {
        LogError("CostCenterQuestionFrm could not keep the shortcuts pane state: %s", e.what());
    }
}

void TCostCenterQuestionForm::createControls() {
    QuestionLbl->hide();
    DescriptionLbl->hide();
    Layout().SetRect(QuestionLbl, QRect(DataLeft, 70, 502, 70));
    Layout().SetRect(ErrorLbl, QRect(150, DataTop + DataHeight + 2, 368, 20));

    // Creation order is the tab order: the search button, then the level edits.
    SearchBtn = new QPushButton(QStringLiteral("&Search"), MainPanel);
    SearchBtn->setObjectName(QStringLiteral("SearchBtn"));
    Layout().Place(SearchBtn, QRect(DesignWidth - 64, EditTop - 1, 60, 22));
    connect(SearchBtn, &QPushButton::clicked, this, &TCostCenterQuestionForm::SearchBtnClick);

    for (int i = 0; i < MaxLevels; ++i) {
        auto *edit = new TEnhLabeledEdit(MainPanel);
        edit->setObjectName(QStringLiteral("Search%1").arg(i));
        edit->setLabelPosition(lpInside);
        edit->setWantTabKey(true);
        edit->hide();
        Layout().Place(edit, QRect(DataLeft + i * 52, EditTop, 48, 21));
        edit->installEventFilter(this);
        connect(edit, &TEnhLabeledEdit::OnChange, this, [this, i] { searchEditChanged(i); });
        Search[size_t(i)] = edit;
    }

    HistoryLbl = new TAlignLabel(MainPanel);
    HistoryLbl->setObjectName(QStringLiteral("HistoryLbl"));
    HistoryLbl->setPen(Qt::NoPen);
    HistoryLbl->setMargin(0);
    HistoryLbl->setVAlign(vtMiddle);
    QFont bold = font();
    bold.setBold(true);
    bold.setPixelSize(13);
    HistoryLbl->setFont(bold);
    FormLook::SetTextColor(HistoryLbl, Qt::darkGray);
    Layout().Place(HistoryLbl, QRect(DataLeft, 84, 502, 18));

    DataPnl = new QFrame(MainPanel);
    DataPnl->setObjectName(QStringLiteral("DataPnl"));
    DataPnl->installEventFilter(this);
    Layout().Place(DataPnl,
                   QRect(DataLeft, DataTop, HandleLeft - PaneWidth - 1 - 8 - DataLeft, DataHeight));
    GridHeaderLbl = new TAlignLabel(DataPnl);
    GridHeaderLbl->setObjectName(QStringLiteral("GridHeaderLbl"));
    GridHeaderLbl->setPen(Qt::NoPen);
    GridHeaderLbl->setVAlign(vtMiddle);
    GridHeaderLbl->setAutoFillBackground(true);
    FormLook::SetBackground(GridHeaderLbl, FormLook::TitleBarColor());
    FormLook::SetTextColor(GridHeaderLbl, Qt::white);

    DataDG = new QTableView(DataPnl);
    DataDG->setObjectName(QStringLiteral("DataDG"));
    DataDG->setModel(&m_gridModel);
    auto *gridDelegate = new TCostCenterGridDelegate(RowColors, DataDG);
    gridDelegate->SetRightToLeft(RightToLeftLayout());
    DataDG->setItemDelegate(gridDelegate);
    DataDG->horizontalHeader()->hide();
    DataDG->verticalHeader()->hide();
    DataDG->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DataDG->verticalHeader()->setDefaultSectionSize(GridRowHeight);
    DataDG->horizontalHeader()->setMinimumSectionSize(4);
    DataDG->setShowGrid(false);
    DataDG->setSelectionBehavior(QAbstractItemView::SelectRows);
    DataDG->setSelectionMode(QAbstractItemView::SingleSelection);
    DataDG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DataDG->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DataDG->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    DataDG->setTabKeyNavigation(false);
    DataDG->setContextMenuPolicy(Qt::CustomContextMenu);
    DataDG->installEventFilter(this);
    connect(DataDG, &QTableView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid() && index.row() == DataDG->currentIndex().row())
            AcceptRow(index.row(), false);
    });
    connect(DataDG->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (QuestionManager())
            QuestionManager()->NotifyActivity();
        SetErrorText(QString());
        DataDG->viewport()->update();
    });
    connect(DataDG, &QWidget::customContextMenuRequested, this,
            &TCostCenterQuestionForm::dataGridContextMenu);

    MoreLbl = new TLinkLabel(MainPanel);
    MoreLbl->setObjectName(QStringLiteral("MoreLbl"));
    MoreLbl->setText(QStringLiteral("&More"));
    MoreLbl->hide();
    Layout().Place(MoreLbl, QRect(DataLeft, DataTop + DataHeight + 4, 36, 14));
    connect(MoreLbl, &TLinkLabel::clicked, this, [this] {
        DataDG->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        MoreLbl->hide();
    });
    HistoryOtherToggleLbl = new TLinkLabel(MainPanel);
    HistoryOtherToggleLbl->setObjectName(QStringLiteral("HistoryOtherToggleLbl"));
    HistoryOtherToggleLbl->setText(QStringLiteral("&Other"));
    Layout().Place(HistoryOtherToggleLbl,
                   QRect(DataLeft + 40, DataTop + DataHeight + 4, ToggleWidth, 14));
    connect(HistoryOtherToggleLbl, &TLinkLabel::clicked, this,
            &TCostCenterQuestionForm::ToggleHistoryOther);
    Label1 = new TLinkLabel(MainPanel);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setText(QStringLiteral("&Help"));
    Layout().Place(Label1, QRect(DataLeft + 90, DataTop + DataHeight + 4, 36, 14));
    connect(Label1, &TLinkLabel::clicked, this, &TCostCenterQuestionForm::openHelp);

    ShortcutPnl = new TSlidePanel(MainPanel);
    ShortcutPnl->setObjectName(QStringLiteral("ShortcutPnl"));
    ShortcutPnl->installEventFilter(this);
    Layout().Place(ShortcutPnl, QRect(HandleLeft - PaneWidth - 1, DataTop, PaneWidth, DataHeight));
    ShortcutPnl->SetLeft(HandleLeft - PaneWidth - 1);
    ShortcutPnl->OnLeftChanged = [this](int left) { moveShortcutPane(left); };
    ShortCutHeaderLbl = new TLinkLabel(ShortcutPnl);
    ShortCutHeaderLbl->setObjectName(QStringLiteral("ShortCutHeaderLbl"));
    ShortCutHeaderLbl->setText(QStringLiteral("Shortcuts"));
    ShortCutHeaderLbl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(ShortCutHeaderLbl, &TLinkLabel::clicked, this, [this] { OpenShortcutDialog(false); });
    ShortCutsDG = new QListView(ShortcutPnl);
    ShortCutsDG->setObjectName(QStringLiteral("ShortCutsDG"));
    ShortCutsDG->setModel(&m_shortcutModel);
    ShortCutsDG->setItemDelegate(new TCostCenterGridDelegate(RowColors, ShortCutsDG));
    ShortCutsDG->setUniformItemSizes(true);
    ShortCutsDG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ShortCutsDG->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ShortCutsDG->setMouseTracking(true);
    ShortCutsDG->installEventFilter(this);
    ShortCutsDG->viewport()->installEventFilter(this);
    connect(ShortCutsDG, &QListView::clicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            ApplyShortcut(index.row(), false);
    });
    connect(ShortCutsDG, &QListView::entered, this, [this](const QModelIndex &index) {
        const int top = ShortCutsDG->indexAt(QPoint(1, 1)).row();
        if (index.isValid() && index.row() - std::max(0, top) < 10)
            previewShortcut(index.row());
    });
    connect(ShortCutsDG->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (current.isValid() && ShortCutsDG->hasFocus())
                    previewShortcut(current.row());
            });

    SlideBtnPnl = new QFrame(MainPanel);
    SlideBtnPnl->setObjectName(QStringLiteral("SlideBtnPnl"));
    SlideBtnPnl->setAutoFillBackground(true);
    FormLook::SetBackground(SlideBtnPnl, FormLook::SeparatorColor());
    Layout().Place(SlideBtnPnl, QRect(HandleLeft, DataTop, HandleWidth, DataHeight));
    CollapseImg = new QLabel(SlideBtnPnl);
    CollapseImg->setObjectName(QStringLiteral("CollapseImg"));
    CollapseImg->setPixmap(arrowPicture(RightToLeftLayout()));
    ExpandImg = new QLabel(SlideBtnPnl);
    ExpandImg->setObjectName(QStringLiteral("ExpandImg"));
    ExpandImg->setPixmap(arrowPicture(!RightToLeftLayout()));
    for (QLabel *picture : {CollapseImg, ExpandImg}) {
        picture->setGeometry(0, (DataHeight - 16) / 2, HandleWidth, 16);
        picture->setCursor(Qt::PointingHandCursor);
        picture->installEventFilter(this);
    }
    ExpandImg->hide();
    SlideBtnPnl->raise();

    AniProperty1 = new TAniProperty(this);
    AniProperty1->setObj(ShortcutPnl);
    AniProperty1->setPropName(QStringLiteral("Left"));
    AniProperty1->setStep(10);
    AniProperty1->setInterval(10);
    AniProperty1->setDamper(8);
    AniProperty1->setAniType(TAniProperty::atDecreasing);
    connect(AniProperty1, &TAniProperty::OnComplete, this,
            &TCostCenterQuestionForm::slideCompleted);

    ShortCutPopup = new QMenu(this);
    ShortCutPopup->setObjectName(QStringLiteral("ShortCutPopup"));
    AddtoShortcuts1 = ShortCutPopup->addAction(QStringLiteral("Add to Shortcuts"));
    AddtoShortcuts1->setObjectName(QStringLiteral("AddtoShortcuts1"));
    connect(AddtoShortcuts1, &QAction::triggered, this, [this] { OpenShortcutDialog(true); });

    DMSLbl = new TAlignLabel(MainPanel);
    DMSLbl->setObjectName(QStringLiteral("DMSLbl"));
    DMSLbl->setPen(Qt::NoPen);
    DMSLbl->setAlignment(taCenter);
    DMSLbl->setVAlign(vtMiddle);
    DMSLbl->setFont(FormLook::TitleFont());
    FormLook::SetTextColor(DMSLbl, Qt::darkGray);
    DMSLbl->hide();
    Layout().Place(DMSLbl, QRect(DataLeft, 150, 502, 44));
    YesBtn = new QPushButton(QStringLiteral("&Yes"), MainPanel);
    YesBtn->setObjectName(QStringLiteral("YesBtn"));
    YesBtn->hide();
    Layout().Place(YesBtn, QRect(180, 214, 75, 25));
    NoBtn = new QPushButton(QStringLiteral("&No"), MainPanel);
    NoBtn->setObjectName(QStringLiteral("NoBtn"));
    NoBtn->hide();
    Layout().Place(NoBtn, QRect(280, 214, 75, 25));
    connect(YesBtn, &QPushButton::clicked, this, &TCostCenterQuestionForm::YesBtnClick);
    connect(NoBtn, &QPushButton::clicked, this, &TCostCenterQuestionForm::NoBtnClick);

    CostCenterDataLbl = new QLabel(MainPanel);
    CostCenterDataLbl->setObjectName(QStringLiteral("CostCenterDataLbl"));
    CostCenterDataLbl->hide();

    // The dialog's own Next handler asks about the own account first.
    disconnect(NextBtn, &QPushButton::clicked, this, &TQuestionForm::NextBtnClick);
    connect(NextBtn, &QPushButton::clicked, this, &TCostCenterQuestionForm::CostCenterNextBtnClick);
    for (TAlignLabel *label : {GridHeaderLbl, HistoryLbl})
        connect(label, &TAlignLabel::captionChanged, this, &TCostCenterQuestionForm::describeLists);
}

void TCostCenterQuestionForm::translateCaptions() {
    for (QPushButton *button : {YesBtn, NoBtn, SearchBtn}) {
        button->setText(translateControl(button->objectName(), button->text()));
        button->setAccessibleName(QString(button->text()).remove(QLatin1Char('&')));
    }
    SearchBtn->setAccessibleDescription(LoadResString(Res::SAccessibleSearchBtn));
    // Link labels show no mnemonic: the marker is dropped from the caption.
    for (TLinkLabel *link : {MoreLbl, HistoryOtherToggleLbl, ShortCutHeaderLbl, Label1}) {
        link->setText(translateControl(link->objectName(), link->text()).remove(QLatin1Char('&')));
        link->setAccessibleName(QString(link->text()).remove(QLatin1Char('&')));
    }
    AddtoShortcuts1->setText(
        translateControl(QStringLiteral("AddtoShortcuts1"), AddtoShortcuts1->text()));
}

void TCostCenterQuestionForm::setToggleCaption(const QString &caption) {
    HistoryOtherToggleLbl->setText(caption);
    // A longer translation may take the help link's room: only English users see that link.
    const int room = Label1->isHidden() ? ToggleWidth + 40 : ToggleWidth;
    const int need = HistoryOtherToggleLbl->fontMetrics().horizontalAdvance(caption) + 2;
    Layout().SetWidth(HistoryOtherToggleLbl, std::clamp(need, ToggleWidth, room));
}

void TCostCenterQuestionForm::applyCollapsedSetting() {
    std::optional<bool> collapsed;
    try {
        collapsed =
            readBool(zv::ZvRegKey::create(zv::RegRoot::CurrentUser, ClientKey), CollapsedValue);
    } catch (const std::exception &) {
        // An unreadable setting leaves the pane open.
    }
    if (!collapsed.value_or(false))
        return;
    const QRect pane = Layout().Rect(ShortcutPnl);
    Layout().SetWidth(DataPnl, pane.left() + pane.width() - DataLeft - 3);
    ShortcutPnl->OnLeftChanged = nullptr;
    ShortcutPnl->SetLeft(HandleLeft + 1);
    Layout().SetLeft(ShortcutPnl, HandleLeft + 1);
    ShortcutPnl->OnLeftChanged = [this](int left) { moveShortcutPane(left); };
    CollapseImg->hide();
    ExpandImg->show();
}

bool TCostCenterQuestionForm::ShortcutsCollapsed() const {
    return ShortcutPnl->Left() >= HandleLeft;
}

// ---- Levels ----------------------------------------------------------------------------------

int TCostCenterQuestionForm::levelCount() const {
    return QuestionSet() ? std::min(QuestionSet()->Count(), int(MaxLevels)) : 0;
}

TQuestion *TCostCenterQuestionForm::level(int i) const {
    return i >= 0 && i < levelCount() ? QuestionSet()->Question(i) : nullptr;
}

TQuestion *TCostCenterQuestionForm::previousLevel(int i) const {
    return level(i - 1);
}

int TCostCenterQuestionForm::levelOf(const QObject *edit) const {
    for (int i = 0; i < levelCount(); ++i)
        if (Search[size_t(i)] == edit)
            return i;
    return -1;
}

QString TCostCenterQuestionForm::levelNames() const {
    QStringList names;
    for (int i = 0; i < levelCount(); ++i)
        names << level(i)->Code;
    return names.join(RightToLeftLayout() ? QStringLiteral(" \\ ") : QStringLiteral(" / "));
}

bool TCostCenterQuestionForm::anyAnswered() const {
    for (int i = 0; i < levelCount(); ++i)
        if (!level(i)->IsAnswerEmpty())
            return true;
    return false;
}

TShortCutManager *TCostCenterQuestionForm::shortcuts() const {
    TQuestionManager *manager = QuestionManager();
    if (!manager || !manager->HasServerLookups())
        return nullptr;
    return &manager->ShortCutManager();
}

void TCostCenterQuestionForm::setEditText(int i, const QString &text) {
    const bool was = m_settingText;
    m_settingText = true;
    Search[size_t(i)]->setText(text);
    m_settingText = was;
}

QString TCostCenterQuestionForm::HistoryText() const {
    return HistoryLbl->caption();
}

QString TCostCenterQuestionForm::GridHeaderText() const {
    return GridHeaderLbl->caption();
}

// ---- PresentQuestions and ShowForm ----------------------------------------------------------

void TCostCenterQuestionForm::PresentQuestions() {
    TQuestionSet *set = QuestionSet();
    if (!set || set->Count() == 0)
        throw zv::ZvError(QStringLiteral("TQuestionForm needs at least one question"));
    // Ten edits is all the dialog has: a longer set is refused rather than cut short, since
    // the levels beyond the tenth could never be answered.
    if (set->Count() > MaxLevels)
        throw zv::ZvError(QStringLiteral("A cost center question set has %1 levels; at most %2 "
                                         "can be shown")
                              .arg(set->Count())
                              .arg(int(MaxLevels)));
    if (!set->Title.isEmpty())
        TitleLbl->setCaption(QString::fromUtf8(set->Title));
    NameAfterTitle();
    HistoryLbl->setCaption(QString());
    for (int i = 0; i < levelCount(); ++i) {
        TQuestion *q = level(i);
        q->SearchControl = Search[size_t(i)];
        Search[size_t(i)]->EditLabel()->setText(q->Code);
        if (!q->DmsValue.isEmpty()) {
            LogInfo("Question: %s  DMS answer: %s", q->Name, QString::fromUtf8(q->DmsValue));
            q->SetAnswer(QString::fromUtf8(q->DmsValue));
        }
        DescribeControl(Search[size_t(i)], q->Code.isEmpty() ? q->Prompt : q->Code, q->Description);
    }
    layoutLevels();
    describeLists();
    if (RightToLeftLayout())
        mirrorForRightToLeft();
}

// The grid is read under its header with the line above it as the description; both change
// as the user moves between history, search and shortcuts.
void TCostCenterQuestionForm::describeLists() {
    const auto describe = [](QWidget *list, const QString &name, const QString &description) {
        if (list->accessibleName() != name)
            list->setAccessibleName(name);
        if (list->accessibleDescription() != description)
            list->setAccessibleDescription(description);
    };
    const QString levels = levelNames();
    const QString header = GridHeaderLbl->caption();
    const QString instruction = HistoryLbl->caption();
    describe(DataDG, header.isEmpty() ? levels : header,
             instruction.isEmpty() ? levels : instruction);
    describe(ShortCutsDG, ShortCutHeaderLbl->text(),
             FormatResText(LoadResString(Res::SAccessibleShortcutList), {levels}));
}

void TCostCenterQuestionForm::layoutLevels() {
    const int n = levelCount();
    const int buttonWidth = Layout().Rect(SearchBtn).width();
    const int w = (DesignWidth - buttonWidth - DataLeft - 8) / std::max(1, n) - 4;
    int x = DataLeft;
    for (int i = 0; i < n; ++i) {
        TEnhLabeledEdit *edit = Search[size_t(i)];
        setEditText(i, level(i)->GetAnswer());
        const int width = std::min(w, 104);
        Layout().SetRect(edit, QRect(x, EditTop, width, 21));
        edit->show();
        x = std::max(x, x + width + 4);
    }
    Layout().SetLeft(SearchBtn, std::min(DesignWidth - buttonWidth - 4, x));
}

// The layout mirrors every design rectangle, so the pane, its handle and the grid take the
// reading side's positions without formulas of their own.
void TCostCenterQuestionForm::mirrorForRightToLeft() {
    ApplyRightToLeft();
    for (TAlignLabel *label : {HistoryLbl, GridHeaderLbl})
        label->setAlignment(taRightJustify);
    ShortCutHeaderLbl->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    CollapseImg->setVisible(!ShortcutsCollapsed());
    ExpandImg->setVisible(ShortcutsCollapsed());
}

void TCostCenterQuestionForm::hideShortcutsPane() {
    ShortcutPnl->hide();
    SlideBtnPnl->hide();
    Layout().SetWidth(DataPnl, DesignWidth - 2 * DataLeft);
}

void TCostCenterQuestionForm::ShowForm() {
    TQuestionManager *manager = QuestionManager();
    TQuestionSet *set = QuestionSet();
    const TJobOptions options = manager ? manager->JobOptions() : TJobOptions();
    if (options.HideShortcuts)
        hideShortcutsPane();
    if (manager && set && manager->HasServerLookups()) {
        const auto moveOn = [&] {
            LogInfo("CostCenterQuestionFrm skips the dialog");
            if (WizardDirection() == wdPrev)
                manager->PrevSet();
            else
                manager->NextSet();
        };
        try {
            if (manager->NoCostCentersAvailable(*set) && ValidateAnswers()) {
                moveOn();
                return;
            }
            if (set->AllAutoSelectSingle() && set->SkipState != 2 &&
                manager->CheckCostCenters(*set, false) && ValidateAnswers()) {
                moveOn();
                return;
            }
        } catch (const zv::ZvError &e) {
            SetErrorText(e.message());
        }
    }
    show();
    m_activeLevel = -1;
    if (!manager || !manager->HasServerLookups()) {
        showPlainLevels();
        return;
    }
    fillShortcuts();
    HistoryOtherToggleLbl->setVisible(!options.SkipHistory);
    m_showAll = options.ShowAllCostcenters;
    try {
        if (auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine, ClientKey))
            if (const auto value = readBool(*key, ShowAllValue))
                m_showAll = *value;
    } catch (const std::exception &) {
        // An unreadable machine setting leaves the job's option.
    }
    enterHistoryMode();
    if (!m_dmsPrompt && Search[0]->isEnabled())
        Search[0]->setFocus(Qt::OtherFocusReason);
}

// A job without a popup server (a request document) has nothing to look up: the levels are
// plain edits whose text is the answer, with no history, search, shortcuts or server check.
void TCostCenterQuestionForm::showPlainLevels() {
    m_plainLevels = true;
    for (QWidget *widget : std::initializer_list<QWidget *>{
             SearchBtn, DataPnl, MoreLbl, HistoryOtherToggleLbl, ShortcutPnl, SlideBtnPnl})
        widget->hide();
    HistoryLbl->setCaption(
        FormatResText(LoadResString(Res::SCostCenterQuestionPrompt), {levelNames()}));
    for (int i = 0; i < levelCount(); ++i) {
        Search[size_t(i)]->setEnabled(true);
        Search[size_t(i)]->setWantTabKey(false);
    }
    SetFocusToControl(Search[0]);
    Search[0]->setFocus(Qt::OtherFocusReason);
}

// ---- History mode, search mode ---------------------------------------------------------------

void TCostCenterQuestionForm::enterHistoryMode() {
    QuestionLbl->hide();
    if (proposeDmsValue())
        return;
    TQuestionManager *manager = QuestionManager();
    if (manager && manager->JobOptions().SkipHistory) {
        goToSearch();
        return;
    }
    for (int i = 0; i < levelCount(); ++i)
        Search[size_t(i)]->setEnabled(i == 0);
    m_activeLevel = -1;
    HistoryLbl->setCaption(
        FormatResText(LoadResString(Res::SCostCenterQuestionPrompt), {levelNames()}));
    setToggleCaption(LoadResString(Res::SOtherLinkCaption));
    TCostCenterHistory history;
    if (manager && manager->HasServerLookups() && QuestionSet()) {
        try {
            history = manager->ListLastAnswers(*QuestionSet());
        } catch (const zv::ZvError &e) {
            SetErrorText(e.message());
        }
    }
    history.CountCategories = std::min(history.CountCategories, int(MaxLevels));
    m_gridModel.SetHistory(history);
    m_measured.clear();
    DataDG->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MoreLbl->setVisible(m_gridModel.rowCount() > 10);
    ComputeColumnWidths();
    if (m_gridModel.rowCount() == 0) {
        GridHeaderLbl->setCaption(
            FormatResText(LoadResString(Res::SEmptyHistoryGridHeader), {levelNames()}));
        DataDG->setColumnWidth(0, Layout().Rect(DataPnl).width());
    } else {
        DataDG->setCurrentIndex(m_gridModel.index(0, 0));
        GridHeaderLbl->setCaption(
            FormatResText(LoadResString(Res::SHistoryGridHeader), {levelNames()}));
    }
    SetFocusToControl(Search[0]);
}

// The plug-in's proposal, when every level has one: checked with the server, then offered
// (or applied at once under AcceptDmsValue). True when history mode ends here.
bool TCostCenterQuestionForm::proposeDmsValue() {
    TQuestionManager *manager = QuestionManager();
    TQuestionSet *set = QuestionSet();
    if (!manager || !set || !set->AllHaveDmsValue() || !manager->HasServerLookups())
        return false;
    m_dmsShortcut.Clear();
    m_dmsShortcut.SetName("DMS");
    QByteArrayList codes;
    for (int i = 0; i < levelCount(); ++i)
        codes << level(i)->DmsValue;
    m_dmsShortcut.SetCodes(codes);
    try {
        manager->ValidateShortcut(m_dmsShortcut, *set);
    } catch (const zv::ZvError &) {
        const QString message =
            FormatResText(LoadResString(Res::SDMSNotFoundInZorvant), {m_dmsShortcut.DisplayText()});
        LogInfo("%s", message);
        HistoryLbl->setCaption(message);
        return false;
    }
    LogInfo("CostCenterQuestionFrm Verify DMS data succeeded. Found %s",
            m_dmsShortcut.DisplayText());
    for (int i = 0; i < levelCount(); ++i)
        level(i)->AnswerDescription = m_dmsShortcut.Descriptions().value(i);
    if (!manager->JobOptions().AcceptDmsValue) {
        showDmsPrompt();
        return true;
    }
    applyCodes(m_dmsShortcut.Codes(), m_dmsShortcut.Descriptions());
    showSummary();
    complete(true);
    return true;
}

void TCostCenterQuestionForm::goToSearch() {
    QuestionLbl->hide();
    activateLevel(0);
    if (FocusToControl())
        FocusToControl()->setFocus(Qt::OtherFocusReason);
}

void TCostCenterQuestionForm::activateLevel(int i) {
    TQuestion *q = level(i);
    if (!q)
        return;
    m_activeLevel = i;
    if (HistoryLbl->caption().isEmpty())
        HistoryLbl->setCaption(
            FormatResText(LoadResString(Res::SCostCenterQuestionPrompt), {levelNames()}));
    setToggleCaption(LoadResString(Res::SHistoryLinkCaption));
    Search[size_t(i)]->setEnabled(true);
    TQuestionManager *manager = QuestionManager();
    if (manager && manager->HasServerLookups()) {
        try {
            if (m_showAll)
                manager->SearchCostCenters(*q, QStringLiteral("*"), previousLevel(i));
            else if (!manager->JobOptions().SkipHistory)
                manager->LoadHistory(*q, previousLevel(i));
        } catch (const zv::ZvError &e) {
            SetErrorText(e.message());
        }
    }
    GridHeaderLbl->setCaption(QString::fromUtf8(q->GridHeader));
    FillGrid(q->History);
    const int fits = std::max(1, DataDG->viewport()->height() / GridRowHeight);
    MoreLbl->setVisible(m_gridModel.rowCount() > fits);
    SetFocusToControl(Search[size_t(i)]);
    Search[size_t(i)]->setFocus(Qt::OtherFocusReason);
    CostCenterDataLbl->clear();
    DataDG->viewport()->update();
}

void TCostCenterQuestionForm::FillGrid(const TCostCenterList &rows) {
    m_gridModel.SetSearchRows(rows);
    m_measured.clear();
    DataDG->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ComputeColumnWidths();
    if (m_gridModel.rowCount() > 0)
        DataDG->setCurrentIndex(m_gridModel.index(0, 0));
}

void TCostCenterQuestionForm::ComputeColumnWidths() {
    if (m_measured.size() != m_gridModel.columnCount())
        m_measured = QList<int>(m_gridModel.columnCount(), 0);
    // Measured in fractions, so that a code never ends in an ellipsis. Text of the Latin
    // blocks is summed from cached character advances (kerning only narrows it, so the sum is
    // never too small); anything else is shaped whole. A search may return 10,000 rows.
    const QFontMetricsF metrics(DataDG->font());
    std::array<qreal, 0x300> advances;
    advances.fill(-1);
    RaiseColumnTextWidths(m_measured, m_gridModel, [&](const QString &text) {
        qreal width = 0;
        for (const QChar c : text) {
            if (c.unicode() >= advances.size())
                return int(std::ceil(metrics.horizontalAdvance(text))) + 1;
            qreal &advance = advances[c.unicode()];
            if (advance < 0)
                advance = metrics.horizontalAdvance(c);
            width += advance;
        }
        return text.isEmpty() ? 0 : int(std::ceil(width)) + 1;
    });
    const int gridWidth = Layout().Rect(DataPnl).width();
    m_widths = CostCenterColumnWidths(m_measured, gridWidth);
    for (int c = 0; c < int(m_widths.size()); ++c)
        DataDG->setColumnWidth(c, m_widths[c]);
}

void TCostCenterQuestionForm::showSummary() {
    if (QuestionSet())
        HistoryLbl->setCaption(QuestionSet()->SummaryText());
}

void TCostCenterQuestionForm::takeRow(int row) {
    if (row < 0)
        return;
    if (m_activeLevel >= 0) {
        TQuestion *q = level(m_activeLevel);
        if (!q || (m_gridModel.Mode() == TCostCenterModel::cmHistory) ||
            m_gridModel.rowCount() == 0)
            return;
        const TCostCenter item = m_gridModel.CostCenterAt(row, 0);
        q->SetAnswer(item.Code);
        q->AnswerDescription = item.Description.toUtf8();
        showSummary();
        setEditText(m_activeLevel, item.Code);
        return;
    }
    QByteArrayList codes;
    QByteArrayList descriptions;
    for (int k = 0; k < levelCount(); ++k) {
        const TCostCenter item = m_gridModel.CostCenterAt(row, k);
        codes << item.Code.toUtf8();
        descriptions << item.Description.toUtf8();
    }
    applyCodes(codes, descriptions);
}

void TCostCenterQuestionForm::applyCodes(const QByteArrayList &codes,
                                         const QByteArrayList &descriptions) {
    for (int k = 0; k < levelCount() && k < codes.size(); ++k) {
        level(k)->SetAnswer(QString::fromUtf8(codes[k]));
        level(k)->AnswerDescription = descriptions.value(k);
        setEditText(k, QString::fromUtf8(codes[k]));
        Search[size_t(k)]->setEnabled(true);
    }
}

void TCostCenterQuestionForm::AcceptRow(int row, bool automatic) {
    if (row < 0 || row >= m_gridModel.rowCount())
        return;
    takeRow(row);
    if (m_activeLevel >= 0 && m_activeLevel + 1 < levelCount()) {
        activateLevel(m_activeLevel + 1);
        return;
    }
    complete(automatic);
}

void TCostCenterQuestionForm::complete(bool automatic) {
    TQuestionSet *set = QuestionSet();
    if (!set)
        return;
    for (int i = 0; i < levelCount(); ++i)
        if (level(i)->IsAnswerEmpty())
            return;
    NextBtn->setEnabled(true);
    NextBtn->setFocus(Qt::OtherFocusReason);
    QString answers = QStringLiteral("Answers given: ");
    for (int i = 0; i < levelCount(); ++i)
        answers += level(i)->GetAnswer() + QStringLiteral(" / ") +
                   QString::fromUtf8(level(i)->AnswerDescription) + QLatin1Char(' ');
    LogInfo("CostCenterFrm Complete Answers: %S", answers);
    showSummary();
    if (automatic || (QuestionManager() && QuestionManager()->SingleClick()))
        TQuestionForm::NextBtnClick();
}

void TCostCenterQuestionForm::clearDeeperLevels(int i) {
    if (m_clearing)
        return;
    m_clearing = true;
    for (int k = i + 1; k < levelCount(); ++k) {
        Search[size_t(k)]->setEnabled(false);
        setEditText(k, QString());
        level(k)->ResetAnswer();
        level(k)->ClearLookupLists();
    }
    m_clearing = false;
}

// ---- Buttons and links -----------------------------------------------------------------------

void TCostCenterQuestionForm::SearchBtnClick() {
    SetErrorText(QString());
    if (m_activeLevel < 0) {
        goToSearch();
        return;
    }
    TQuestion *q = level(m_activeLevel);
    const QString text = Search[size_t(m_activeLevel)]->text();
    if (!q || text.isEmpty())
        return;
    TQuestionManager *manager = QuestionManager();
    q->ClearLookupLists();
    if (manager && manager->HasServerLookups()) {
        try {
            manager->SearchCostCenters(*q, text, previousLevel(m_activeLevel));
        } catch (const zv::ZvError &e) {
            SetErrorText(e.message());
        }
    }
    GridHeaderLbl->setCaption(QString::fromUtf8(q->GridHeader));
    FillGrid(q->History);
    MoreLbl->setVisible(m_gridModel.rowCount() > 10);
    DataDG->viewport()->update();
    const int count = m_gridModel.rowCount();
    if (count == 0) {
        GridHeaderLbl->setCaption(
            FormatResText(LoadResString(Res::SEmptySearchGridHeader), {q->Code}));
        Search[size_t(m_activeLevel)]->setFocus(Qt::OtherFocusReason);
        return;
    }
    const TCostCenter first = m_gridModel.CostCenterAt(0, 0);
    const bool exact = count == 1 && (first.Code.compare(text, Qt::CaseInsensitive) == 0 ||
                                      first.Description.compare(text, Qt::CaseInsensitive) == 0);
    if (!exact) {
        SetFocusToControl(DataDG);
        DataDG->setFocus(Qt::OtherFocusReason);
        return;
    }
    q->SetAnswer(first.Code);
    q->AnswerDescription = first.Description.toUtf8();
    setEditText(m_activeLevel, first.Code);
    showSummary();
    if (m_activeLevel + 1 < levelCount())
        activateLevel(m_activeLevel + 1);
    else
        complete(false);
}

void TCostCenterQuestionForm::ToggleHistoryOther() {
    SetErrorText(QString());
    if (m_activeLevel < 0)
        goToSearch();
    else
        enterHistoryMode();
}

void TCostCenterQuestionForm::openHelp() {
    const QString file =
        QCoreApplication::applicationDirPath() + QStringLiteral("/help/introduction.htm");
    if (QFile::exists(file))
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

void TCostCenterQuestionForm::CostCenterNextBtnClick() {
    if (!anyAnswered() && ValidateAnswers()) {
        if (!AskYesNo(this, LoadResString(Res::SChargeToOwnAccount)))
            return;
    }
    TQuestionForm::NextBtnClick();
}

bool TCostCenterQuestionForm::ValidateAnswers() {
    TQuestionManager *manager = QuestionManager();
    const bool mandatory = manager && manager->JobOptions().CostCenterMandatory;
    if (!mandatory && !anyAnswered())
        return true;
    for (int i = 0; i < levelCount(); ++i) {
        if (level(i)->IsAnswerEmpty()) {
            SetErrorText(FormatResText(LoadResString(Res::SIncompleteAnswer), {level(i)->Code}));
            return false;
        }
    }
    if (!manager || !manager->HasServerLookups()) {
        SetErrorText(QString());
        return true;
    }
    try {
        manager->ValidateSelection(*QuestionSet());
    } catch (const zv::ZvError &e) {
        SetErrorText(e.message());
        return false;
    }
    SetErrorText(QString());
    return true;
}

void TCostCenterQuestionForm::SetFormMode(TFormMode mode) {
    TQuestionForm::SetFormMode(mode);
    if (mode != fmLast && mode != fmSingle)
        return;
    const bool mandatory = QuestionManager() && QuestionManager()->JobOptions().CostCenterMandatory;
    NextBtn->setEnabled((QuestionSet() && QuestionSet()->AllAnswered()) || !mandatory);
}

void TCostCenterQuestionForm::HostKeyDown(int &key, Qt::KeyboardModifiers shift) {
    Q_UNUSED(shift);
    // The host may hold the focus while the prompt shows: Enter answers it, Yes by default.
    if (m_dmsPrompt && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        key = 0;
        if (NoBtn->hasFocus())
            NoBtnClick();
        else
            YesBtnClick();
        return;
    }
    if (!isFunctionKey(key))
        return;
    const int index = key - Qt::Key_F1;
    key = 0;
    ApplyShortcut(index, true);
}

// ---- Search edits ----------------------------------------------------------------------------

void TCostCenterQuestionForm::searchEditChanged(int i) {
    SetErrorText(QString());
    if (Loading() || i >= levelCount())
        return;
    if (m_plainLevels) {
        level(i)->SetAnswer(Search[size_t(i)]->text());
        level(i)->AnswerDescription.clear();
        if (QuestionManager())
            QuestionManager()->NotifyActivity();
        return;
    }
    const bool byUser = !m_settingText;
    TEnhLabeledEdit *edit = Search[size_t(i)];
    if (!edit->text().isEmpty()) {
        if (m_activeLevel >= 0) {
            clearDeeperLevels(m_activeLevel);
            showSummary();
        } else if (byUser) {
            goToSearch();
        }
    } else if (m_activeLevel < 0) {
        if (byUser)
            enterHistoryMode();
    } else if (i == m_activeLevel) {
        if (byUser)
            clearDeeperLevels(i);
        level(i)->ClearLookupLists();
        level(i)->ResetAnswer();
        showSummary();
        activateLevel(i);
    }
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
}

bool TCostCenterQuestionForm::searchEditKey(int i, QKeyEvent *event) {
    if (m_plainLevels) {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
            return false;
        if (i + 1 < levelCount())
            Search[size_t(i + 1)]->setFocus(Qt::TabFocusReason);
        else
            CostCenterNextBtnClick();
        return true;
    }
    SetErrorText(QString());
    TEnhLabeledEdit *edit = Search[size_t(i)];
    const bool shiftTab = event->key() == Qt::Key_Backtab ||
                          (event->key() == Qt::Key_Tab && (event->modifiers() & Qt::ShiftModifier));
    switch (event->key()) {
    case Qt::Key_Escape:
        if (m_activeLevel >= 0)
            enterHistoryMode();
        else
            goToSearch();
        return true;
    case Qt::Key_Down:
        if (DataDG->isVisible() && m_gridModel.rowCount() > 0) {
            DataDG->setFocus(Qt::OtherFocusReason);
            DataDG->setCurrentIndex(m_gridModel.index(0, 0));
        }
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SearchBtnClick();
        return true;
    default:
        break;
    }
    if (event->key() == Qt::Key_Tab && !shiftTab) {
        if (i == levelCount() - 1 && m_activeLevel == i)
            SearchBtn->setFocus(Qt::TabFocusReason);
        else
            SearchBtnClick();
        return true;
    }
    if (event->key() == Qt::Key_Right && edit->cursorPosition() == edit->text().size() &&
        !edit->hasSelectedText()) {
        SearchBtnClick();
        return true;
    }
    const bool atStart = edit->cursorPosition() == 0 && !edit->hasSelectedText();
    if (i > 0 &&
        (shiftTab ||
         ((event->key() == Qt::Key_Left || event->key() == Qt::Key_Backspace) && atStart))) {
        activateLevel(i - 1);
        Search[size_t(i - 1)]->end(false);
        return true;
    }
    return false;
}

void TCostCenterQuestionForm::searchEditFocused(int i) {
    if (!Search[0]->text().isEmpty() && i != m_activeLevel && !m_dmsPrompt)
        activateLevel(i);
    Search[size_t(i)]->update();
}

// ---- The grids -------------------------------------------------------------------------------

bool TCostCenterQuestionForm::dataGridKey(QKeyEvent *event) {
    const int row = DataDG->currentIndex().row();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        AcceptRow(row, true);
        return true;
    case Qt::Key_Up:
        if (row <= 0) {
            Search[size_t(std::max(0, m_activeLevel))]->setFocus(Qt::OtherFocusReason);
            return true;
        }
        return false;
    default:
        break;
    }
    const QString text = event->text();
    if (m_activeLevel < 0 && !text.isEmpty() && text.at(0).isPrint()) {
        goToSearch();
        Search[0]->setText(Search[0]->text() + text);
        return true;
    }
    return false;
}

void TCostCenterQuestionForm::dataGridContextMenu(const QPoint &pos) {
    TQuestionManager *manager = QuestionManager();
    if (m_activeLevel >= 0 || (manager && manager->JobOptions().HideShortcuts))
        return;
    const QModelIndex index = DataDG->indexAt(pos);
    if (!index.isValid())
        return;
    DataDG->setCurrentIndex(m_gridModel.index(index.row(), 0));
    ShortCutPopup->popup(DataDG->viewport()->mapToGlobal(pos));
}

void TCostCenterQuestionForm::fillShortcuts() {
    QStringList texts;
    if (TShortCutManager *store = shortcuts())
        for (int i = 0; i < store->Count(); ++i)
            texts << ShortcutPaneText(i, store->Item(i)->ID(),
                                      QString::fromUtf8(store->Item(i)->Name()),
                                      RightToLeftLayout());
    m_shortcutModel.SetTexts(texts);
}

void TCostCenterQuestionForm::previewShortcut(int row) {
    TShortCutManager *store = shortcuts();
    if (!store || row < 0 || row >= store->Count())
        return;
    if (!m_headerSaved) {
        m_savedHeader = HistoryLbl->caption();
        m_headerSaved = true;
    }
    HistoryLbl->setCaption(store->Item(row)->DisplayText());
}

void TCostCenterQuestionForm::restoreHeader() {
    if (!m_headerSaved)
        return;
    HistoryLbl->setCaption(m_savedHeader);
    m_savedHeader.clear();
    m_headerSaved = false;
}

void TCostCenterQuestionForm::ApplyShortcut(int index, bool automatic) {
    TQuestionManager *manager = QuestionManager();
    TShortCutManager *store = shortcuts();
    if (!store || index < 0 || index >= store->Count() ||
        (manager && manager->JobOptions().HideShortcuts))
        return;
    m_savedHeader.clear();
    m_headerSaved = false;
    if (automatic) {
        if (ShortcutsCollapsed())
            SlideShortcuts();
        ShortCutsDG->setCurrentIndex(m_shortcutModel.index(index, 0));
        ShortCutsDG->setFocus(Qt::OtherFocusReason);
    }
    const TShortCutDef &shortcut = *store->Item(index);
    SetErrorText(QString());
    applyCodes(shortcut.Codes(), shortcut.Descriptions());
    if (shortcut.Codes().size() < levelCount())
        SetErrorText(FormatResText(LoadResString(Res::SShortcutIncomplete),
                                   {QString::fromUtf8(shortcut.Name())}));
    showSummary();
    complete(automatic);
}

bool TCostCenterQuestionForm::shortcutsGridKey(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ApplyShortcut(ShortCutsDG->currentIndex().row(), true);
        return true;
    case Qt::Key_Escape:
        Search[0]->setFocus(Qt::OtherFocusReason);
        SetErrorText(QString());
        return true;
    default:
        return false;
    }
}

void TCostCenterQuestionForm::OpenShortcutDialog(bool addRow) {
    TQuestionManager *manager = QuestionManager();
    if (!manager || !manager->HasServerLookups() || !QuestionSet())
        return;
    const int row = DataDG->currentIndex().row();
    std::optional<TShortcutLevels> levels;
    if (addRow && m_gridModel.Mode() == TCostCenterModel::cmHistory && row >= 0 &&
        row < m_gridModel.rowCount()) {
        levels.emplace();
        for (const TCostCenter &item : m_gridModel.CombinationAt(row)) {
            levels->Codes << item.Code.toUtf8();
            levels->Descriptions << item.Description.toUtf8();
        }
    }
    // The store's shortcuts are new objects once the dialog closes: the pane takes them afresh
    // after a save and after any close (a cancel reloads the saved list).
    OpenShortcutManager(
        *manager, *QuestionSet(), this, [this] { fillShortcuts(); }, levels);
    fillShortcuts();
    ShortCutsDG->viewport()->update();
}

// ---- The slide -------------------------------------------------------------------------------

void TCostCenterQuestionForm::SlideShortcuts() {
    TQuestionManager *manager = QuestionManager();
    if (manager && manager->JobOptions().HideShortcuts)
        return;
    const int paneWidth = Layout().Rect(ShortcutPnl).width();
    m_expanding = HandleLeft < ShortcutPnl->Left();
    AniProperty1->setValue(m_expanding ? HandleLeft - paneWidth - 1 : DesignWidth - 16);
    AniProperty1->Animate();
}

void TCostCenterQuestionForm::moveShortcutPane(int left) {
    Layout().SetLeft(ShortcutPnl, left);
    Layout().SetWidth(DataPnl, left - 8 - DataLeft);
    ComputeColumnWidths();
}

void TCostCenterQuestionForm::slideCompleted() {
    ExpandImg->setVisible(ShortcutsCollapsed());
    CollapseImg->setVisible(!ShortcutsCollapsed());
}

// ---- DMS prompt ------------------------------------------------------------------------------

void TCostCenterQuestionForm::showDmsPrompt() {
    m_hiddenByPrompt.clear();
    for (QObject *child : MainPanel->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget == Panel2 || widget == TitleBarPb || !widget->isVisibleTo(MainPanel))
            continue;
        m_hiddenByPrompt << widget;
        widget->hide();
    }
    m_dmsPrompt = true;
    QuestionLbl->setCaption(LoadResString(Res::SAcceptDMSValuePrompt));
    QuestionLbl->setVAlign(vtMiddle);
    QuestionLbl->setAlignment(taCenter);
    QuestionLbl->show();
    DMSLbl->setCaption(QuestionSet() ? QuestionSet()->SummaryText() : QString());
    DMSLbl->show();
    // Yes and No answer the prompt's question.
    for (QPushButton *button : {YesBtn, NoBtn})
        button->setAccessibleDescription(QuestionLbl->caption());
    YesBtn->show();
    NoBtn->show();
    YesBtn->setDefault(true);
    SetFocusToControl(YesBtn);
    YesBtn->setFocus(Qt::OtherFocusReason);
}

void TCostCenterQuestionForm::hideDmsPrompt() {
    QuestionLbl->hide();
    DMSLbl->hide();
    YesBtn->hide();
    NoBtn->hide();
    for (const QPointer<QWidget> &widget : std::as_const(m_hiddenByPrompt))
        if (widget)
            widget->show();
    m_hiddenByPrompt.clear();
    m_dmsPrompt = false;
}

void TCostCenterQuestionForm::YesBtnClick() {
    if (!m_dmsPrompt)
        return;
    hideDmsPrompt();
    applyCodes(m_dmsShortcut.Codes(), m_dmsShortcut.Descriptions());
    showSummary();
    complete(true);
}

void TCostCenterQuestionForm::NoBtnClick() {
    if (!m_dmsPrompt)
        return;
    hideDmsPrompt();
    if (QuestionSet())
        QuestionSet()->ClearDmsValues();
    for (int k = 0; k < levelCount(); ++k) {
        level(k)->ResetAnswer();
        level(k)->AnswerDescription.clear();
        setEditText(k, QString());
    }
    enterHistoryMode();
    Search[0]->setFocus(Qt::OtherFocusReason);
}

// ---- Events ----------------------------------------------------------------------------------

bool TCostCenterQuestionForm::eventFilter(QObject *watched, QEvent *event) {
    const int edit = levelOf(watched);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        if (isFunctionKey(key->key()))
            break;
        if (edit >= 0 && searchEditKey(edit, key))
            return true;
        if (watched == DataDG && dataGridKey(key))
            return true;
        if (watched == ShortCutsDG && shortcutsGridKey(key))
            return true;
        break;
    }
    case QEvent::FocusIn:
        if (edit >= 0)
            searchEditFocused(edit);
        else if (watched == ShortCutsDG && ShortCutsDG->currentIndex().row() > 0)
            previewShortcut(ShortCutsDG->currentIndex().row());
        if (watched == DataDG)
            DataDG->viewport()->update();
        break;
    case QEvent::FocusOut:
        if (watched == ShortCutsDG)
            restoreHeader();
        if (watched == DataDG)
            DataDG->viewport()->update();
        break;
    case QEvent::Leave:
        if (watched == ShortCutsDG->viewport())
            restoreHeader();
        break;
    case QEvent::MouseButtonRelease:
        if (watched == CollapseImg || watched == ExpandImg) {
            SlideShortcuts();
            return true;
        }
        break;
    case QEvent::Resize:
        if (watched == DataPnl) {
            const int w = DataPnl->width();
            GridHeaderLbl->setGeometry(0, 0, w, 22);
            DataDG->setGeometry(0, 22, w, DataPnl->height() - 22);
        } else if (watched == ShortcutPnl) {
            ShortCutHeaderLbl->setGeometry(4, 0, ShortcutPnl->width() - 8, 22);
            ShortCutsDG->setGeometry(0, 22, ShortcutPnl->width(), ShortcutPnl->height() - 22);
        }
        break;
    default:
        break;
    }
    return TQuestionForm::eventFilter(watched, event);
}

void TCostCenterQuestionForm::keyPressEvent(QKeyEvent *event) {
    const QString text = event->text();
    if (m_activeLevel < 0 && !m_dmsPrompt && !m_plainLevels && event->key() != Qt::Key_Escape &&
        !text.isEmpty() && text.at(0).isPrint()) {
        goToSearch();
        Search[0]->setText(Search[0]->text() + text);
        return;
    }
    TQuestionForm::keyPressEvent(event);
}
