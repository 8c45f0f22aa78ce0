// SPDX-License-Identifier: MIT
#include "QuestionFrm.h"

#include "AlignLabel.h"
#include "DesignLayout.h"
#include "FormLook.h"
#include "Log.h"
#include "QuestionManager.h"
#include "ResourceStrings.h"
#include "SimpleTranslator.h"
#include "SkipDecision.h"
#include "ZvChildProcess.h"
#include "ZvRegistry.h"

#include <algorithm>

#include <QAccessible>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

namespace {

const char *boolText(bool value) {
    return value ? "True" : "False";
}

QString translateCaption(const QString &controlName, const QString &designCaption) {
    return Translate(QStringLiteral("QuestionForm") + controlName, designCaption);
}

// Pads captions of the given lengths with blanks up to the target length (keeps the link's
// clickable area the same for the usual translations).
QString padCaption(QString caption, int from, int to) {
    if (caption.size() >= from && caption.size() < to)
        caption += QString(to - caption.size(), QLatin1Char(' '));
    return caption;
}

TMessageBoxHandler &messageBoxHandler() {
    static TMessageBoxHandler handler;
    return handler;
}

// Decoration pictures of the title bar and the bottom left corner.
QPixmap pagePicture(int size, const QColor &paper, const QColor &ink) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const int m = size / 4;
    const QRectF sheet(m, m * 0.8, size - 2 * m, size - 1.6 * m);
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRect(sheet);
    p.setPen(QPen(ink, 1.5));
    for (int i = 1; i <= 3; ++i) {
        const qreal y = sheet.top() + sheet.height() * i / 4.5;
        p.drawLine(QPointF(sheet.left() + 4, y), QPointF(sheet.right() - 4, y));
    }
    return pm;
}

QPixmap cornerPicture(int size, const QColor &color) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    const qreal r = size / 10.0;
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(size / 2.0 + (i - 1) * 3 * r, size / 2.0), r, r);
    return pm;
}

// The title bar's drag handle: paints nothing, moves the whole popup.
class TTitleDragArea : public QWidget {
public:
    explicit TTitleDragArea(QWidget *parent) : QWidget(parent) {
        setAttribute(Qt::WA_NoSystemBackground);
    }
};

} // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
    TMessageBoxHandler previous = std::move(messageBoxHandler());
    messageBoxHandler() = std::move(handler);
    return previous;
}

void ShowMessageBox(QWidget *owner, const QString &caption, const QString &text) {
    if (messageBoxHandler()) {
        messageBoxHandler()(owner, caption, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

const int TQuestionForm::AfterFormShowEvent = QEvent::registerEventType(QEvent::User + 10);

TQuestionForm::TQuestionForm(QWidget *parent) : QWidget(parent) {
    setObjectName(QStringLiteral("QuestionForm"));
    resize(DesignWidth, DesignHeight);
    createControls();
    translateCaptions();
    SetErrorText(QString());
    TitleBarPb->raise();
    LaunchConfigToolLabel->hide();
    m_loading = false;
}

TQuestionForm::~TQuestionForm() = default;

void TQuestionForm::CloseForm(std::unique_ptr<TQuestionForm> form) {
    if (!form)
        return;
    form->hide();
    form.release()->deleteLater();
}

void TQuestionForm::createControls() {
    setFont(FormLook::FormFont());

    MainPanel = new QFrame(this);
    MainPanel->setObjectName(QStringLiteral("MainPanel"));
    MainPanel->setFrameShape(QFrame::Box);
    MainPanel->setLineWidth(1);
    FormLook::SetBackground(MainPanel, FormLook::DialogBackground());
    FormLook::SetTextColor(MainPanel, Qt::black);
    MainPanel->setGeometry(rect());
    MainPanel->installEventFilter(this);
    m_layout = std::make_unique<TDesignLayout>(MainPanel, QSize(DesignWidth, DesignHeight));

    Panel2 = new QFrame(MainPanel);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    FormLook::SetBackground(Panel2, FormLook::TitleBarColor());
    m_layout->Place(Panel2, QRect(1, 1, DesignWidth - 2, 49), akLeft | akTop | akRight);
    m_titleLayout = std::make_unique<TDesignLayout>(Panel2, QSize(DesignWidth - 2, 49));
    Panel2->installEventFilter(this);

    TopLeftBmp = new QLabel(Panel2);
    TopLeftBmp->setObjectName(QStringLiteral("TopLeftBmp"));
    TopLeftBmp->setPixmap(pagePicture(49, Qt::white, FormLook::TitleBarColor()));
    m_titleLayout->Place(TopLeftBmp, QRect(0, 0, 49, 49));
    TopRightBmp = new QLabel(Panel2);
    TopRightBmp->setObjectName(QStringLiteral("TopRightBmp"));
    TopRightBmp->setPixmap(cornerPicture(49, FormLook::SeparatorColor()));
    m_titleLayout->Place(TopRightBmp, QRect(DesignWidth - 2 - 49, 0, 49, 49), akTop | akRight);

    TitleLbl = new TAlignLabel(Panel2);
    TitleLbl->setObjectName(QStringLiteral("TitleLbl"));
    TitleLbl->setFont(FormLook::TitleFont());
    TitleLbl->setPen(Qt::NoPen);
    TitleLbl->setVAlign(vtMiddle);
    TitleLbl->setMargin(4);
    FormLook::SetTextColor(TitleLbl, Qt::white);
    TitleLbl->setCaption(QStringLiteral("Print job Details"));
    // Right to left the title keeps a fixed width so that it ends beside the mirrored picture.
    if (RightToLeftLayout())
        m_titleLayout->Place(TitleLbl, QRect(52, 0, 376, 49));
    else
        m_titleLayout->Place(TitleLbl, QRect(52, 0, 428, 49), akLeft | akTop | akRight);
    TitleLbl->installEventFilter(this);

    TitleBarPb = new TTitleDragArea(MainPanel);
    TitleBarPb->setObjectName(QStringLiteral("TitleBarPb"));
    m_layout->Place(TitleBarPb, QRect(1, 1, DesignWidth - 2, 50), akLeft | akTop | akRight);
    TitleBarPb->installEventFilter(this);

    QuestionLbl = new TAlignLabel(MainPanel);
    QuestionLbl->setObjectName(QStringLiteral("QuestionLbl"));
    QuestionLbl->setPen(Qt::NoPen);
    QuestionLbl->setWordWrap(true);
    QuestionLbl->setVAlign(vtBottom);
    FormLook::SetTextColor(QuestionLbl, Qt::black);
    m_layout->Place(QuestionLbl, QRect(70, 64, 427, 84), akLeft | akTop | akRight);

    DescriptionLbl = new TAlignLabel(MainPanel);
    DescriptionLbl->setObjectName(QStringLiteral("DescriptionLbl"));
    DescriptionLbl->setPen(Qt::NoPen);
    DescriptionLbl->setWordWrap(true);
    DescriptionLbl->setVAlign(vtTop);
    FormLook::SetTextColor(DescriptionLbl, FormLook::DescriptionColor());
    m_layout->Place(DescriptionLbl, QRect(70, 208, 427, 64), akLeft | akTop | akRight);

    ErrorLbl = new QLabel(MainPanel);
    ErrorLbl->setObjectName(QStringLiteral("ErrorLbl"));
    ErrorLbl->setWordWrap(true);
    ErrorLbl->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    FormLook::SetTextColor(ErrorLbl, FormLook::ErrorColor());
    m_layout->Place(ErrorLbl, QRect(70, 280, 427, 40), akLeft | akRight | akBottom);

    Shape1 = new QFrame(MainPanel);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    FormLook::SetBackground(Shape1, FormLook::SeparatorColor());
    m_layout->Place(Shape1, QRect(8, 326, DesignWidth - 16, 2), akLeft | akRight | akBottom);

    BottomLeftBmp = new QLabel(MainPanel);
    BottomLeftBmp->setObjectName(QStringLiteral("BottomLeftBmp"));
    BottomLeftBmp->setPixmap(cornerPicture(36, FormLook::SeparatorColor()));
    m_layout->Place(BottomLeftBmp, QRect(8, 336, 36, 36), akLeft | akBottom);

    SwitchUserLabel = new TLinkLabel(MainPanel);
    SwitchUserLabel->setObjectName(QStringLiteral("SwitchUserLabel"));
    SwitchUserLabel->setText(QStringLiteral("I am a guest ."));
    SwitchUserLabel->hide();
    m_layout->Place(SwitchUserLabel, QRect(48, 348, 96, 14), akLeft | akBottom);
    connect(SwitchUserLabel, &TLinkLabel::clicked, this, &TQuestionForm::SwitchUserLabelClick);

    LaunchConfigToolLabel = new TLinkLabel(MainPanel);
    LaunchConfigToolLabel->setObjectName(QStringLiteral("LaunchConfigToolLabel"));
    LaunchConfigToolLabel->setText(QStringLiteral("Answer Settings"));
    m_layout->Place(LaunchConfigToolLabel, QRect(150, 348, 110, 14), akLeft | akBottom);
    connect(LaunchConfigToolLabel, &TLinkLabel::clicked, this,
            &TQuestionForm::LaunchConfigToolLabelClick);

    auto makeButton = [this](const char *name, const QString &caption, int left) {
        auto *button = new QPushButton(caption, MainPanel);
        button->setObjectName(QLatin1String(name));
        m_layout->Place(button, QRect(left, 343, 75, 25), akRight | akBottom);
        return button;
    };
    // Creation order is the tab order: back, next, cancel, then the answer controls.
    PrevBtn = makeButton("PrevBtn", QStringLiteral("&Back"), 288);
    NextBtn = makeButton("NextBtn", QStringLiteral("&Next"), 368);
    CancelBtn = makeButton("CancelBtn", QStringLiteral("&Cancel"), 451);
    NextBtn->setDefault(true);
    // Enter presses the button that has the focus, as in any dialog.
    for (QPushButton *button : {PrevBtn, NextBtn, CancelBtn})
        button->setAutoDefault(true);
    connect(PrevBtn, &QPushButton::clicked, this, &TQuestionForm::PrevBtnClick);
    connect(NextBtn, &QPushButton::clicked, this, &TQuestionForm::NextBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TQuestionForm::CancelBtnClick);

    LastAnswersBtn = new QPushButton(QStringLiteral("Last Answers"), MainPanel);
    LastAnswersBtn->setObjectName(QStringLiteral("LastAnswersBtn"));
    LastAnswersBtn->hide();
    m_layout->Place(LastAnswersBtn, QRect(150, 343, 75, 25), akLeft | akBottom);
    connect(LastAnswersBtn, &QPushButton::clicked, this, &TQuestionForm::LastAnswersBtnClick);
}

void TQuestionForm::translateCaptions() {
    for (QPushButton *button : {LastAnswersBtn, PrevBtn, NextBtn, CancelBtn})
        button->setText(translateCaption(button->objectName(), button->text()));
    m_layout->SetWidth(LastAnswersBtn, 5 * int(LastAnswersBtn->text().size()) + 20);
    SwitchUserLabel->setText(padCaption(
        translateCaption(QStringLiteral("SwitchUserLabelGuest"), QStringLiteral("I am a guest.")),
        12, 14));
    TitleLbl->setCaption(LoadResString(Res::SPopupTitle));
    LaunchConfigToolLabel->setText(padCaption(
        translateCaption(LaunchConfigToolLabel->objectName(), QStringLiteral("Answer Settings")),
        14, 16));
    // A longer translation may grow the link up to the room left of the Back button.
    const int configNeed = LaunchConfigToolLabel->fontMetrics().horizontalAdvance(
                               LaunchConfigToolLabel->text().trimmed()) +
                           2;
    m_layout->SetWidth(LaunchConfigToolLabel, std::clamp(configNeed, 110, 130));
    for (QPushButton *button : {LastAnswersBtn, PrevBtn, NextBtn, CancelBtn})
        button->setAccessibleName(QString(button->text()).remove(QLatin1Char('&')));
    LastAnswersBtn->setAccessibleDescription(LoadResString(Res::SAccessibleLastAnswersBtn));
    PrevBtn->setAccessibleDescription(LoadResString(Res::SAccessiblePrevBtn));
    NextBtn->setAccessibleDescription(LoadResString(Res::SAccessibleNextBtn));
    CancelBtn->setAccessibleDescription(LoadResString(Res::SAccessibleCancelBtn));
    SwitchUserLabel->setAccessibleName(SwitchUserLabel->text().trimmed());
    LaunchConfigToolLabel->setAccessibleName(LaunchConfigToolLabel->text().trimmed());
}

// ---- Properties --------------------------------------------------------------------------------

QString TQuestionForm::QuestionCaption() const {
    return QuestionLbl->caption();
}

void TQuestionForm::SetQuestionCaption(const QString &caption) {
    QuestionLbl->setCaption(caption);
}

void TQuestionForm::SetPromptFontColor(const QColor &color) {
    FormLook::SetTextColor(QuestionLbl, color);
}

void TQuestionForm::SetPromptFontName(const QString &name) {
    QFont f = QuestionLbl->font();
    f.setFamily(name);
    QuestionLbl->setFont(f);
}

void TQuestionForm::SetPromptFontSize(int pointSize) {
    QFont f = QuestionLbl->font();
    f.setPointSize(pointSize);
    QuestionLbl->setFont(f);
}

void TQuestionForm::SetErrorFontColor(const QColor &color) {
    FormLook::SetTextColor(ErrorLbl, color);
}

void TQuestionForm::SetErrorFontName(const QString &name) {
    QFont f = ErrorLbl->font();
    f.setFamily(name);
    ErrorLbl->setFont(f);
}

void TQuestionForm::SetErrorFontSize(int pointSize) {
    QFont f = ErrorLbl->font();
    f.setPointSize(pointSize);
    ErrorLbl->setFont(f);
}

QString TQuestionForm::ErrorText() const {
    return ErrorLbl->text();
}

void TQuestionForm::SetErrorText(const QString &text) {
    const bool changed = text != ErrorLbl->text();
    ErrorLbl->setText(text);
    // A live region: a new message changes the line's name and is announced; an empty line
    // is not there for screen readers.
    ErrorLbl->setAccessibleName(text);
    ErrorLbl->setAccessibleDescription(text);
    ErrorLbl->setVisible(!text.isEmpty());
    if (changed && !text.isEmpty()) {
        QAccessibleEvent alert(ErrorLbl, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
    ErrorTextChanged();
}

void TQuestionForm::SetQuestionManager(TQuestionManager *manager) {
    m_manager = manager;
    // The answer-settings tool only makes sense for popup-server jobs that keep answers.
    const bool serverJob =
        manager && (manager->FRunMode == rmTestRun || manager->FRunMode == rmJobParameters);
    LaunchConfigToolLabel->setVisible(serverJob && !manager->AllQuestionsHaveSaveMode(0));
}

// ---- The question set and the skip decision
// ------------------------------------------------------

void TQuestionForm::SetQuestionSet(TQuestionSet *set) {
    m_set = set;
    m_firstQuestionToAsk = -1;
    if (m_manager && m_manager->FLastAnswersExpired) {
        LogInfo("TQuestionForm.SetQuestionSet: Keep Last Answers period %d seconds has expired.",
                m_manager->FKeepLastAnswersPeriod);
    } else if (set) {
        const bool costCenterMandatory = CostCenterMandatory();
        const bool skipIfNotMandatory = m_manager && m_manager->FSkipIfNotMandatory;
        const TSkipDecision decision = DecideSkip(SkipQuestionsOf(*set, costCenterMandatory),
                                                  set->SkipState, skipIfNotMandatory);
        ApplySkipDecision(*set, decision);
        m_firstQuestionToAsk = decision.FirstQuestionToAsk;
        LogInfo("TQuestionForm.SetQuestionSet(%d)  AllHaveAnswer=%s UseAuto=%s", set->Count(),
                boolText(decision.AllHaveAnswer), boolText(decision.UseAuto));
    }
    m_loading = true;
    try {
        PresentQuestions();
    } catch (...) {
        m_loading = false;
        throw;
    }
    m_loading = false;
}

bool TQuestionForm::CostCenterMandatory() const {
    return m_manager && m_manager->JobOptions().CostCenterMandatory;
}

void TQuestionForm::PresentQuestions() {
    QWidget *host = parentWidget();
    if (!m_set || m_set->Count() == 0) {
        if (host)
            host->window()->show();
        throw zv::ZvError(QStringLiteral("TQuestionForm needs at least one question"));
    }
    const QString caption = QString::fromUtf8(m_set->Caption);
    SetQuestionCaption(caption.isEmpty() ? m_set->First()->Prompt : caption);
    if (!m_set->Title.isEmpty())
        TitleLbl->setCaption(QString::fromUtf8(m_set->Title));
    NameAfterTitle();
    if (host)
        host->window()->show();
}

// Window lists and screen readers name the popup after the dialog's title; named before it
// shows, since a compositor announces a new window by the title it maps with.
void TQuestionForm::NameAfterTitle() {
    setAccessibleName(TitleLbl->caption());
    window()->setWindowTitle(TitleLbl->caption());
    window()->setAccessibleName(TitleLbl->caption());
}

// ---- Form mode
// -----------------------------------------------------------------------------------

void TQuestionForm::showButton(QWidget *button, bool on) {
    button->setVisible(on);
    button->setEnabled(on);
}

void TQuestionForm::applyPrintOrOkCaption() {
    const bool serverJob =
        m_manager && (m_manager->FRunMode == rmTestRun || m_manager->FRunMode == rmJobParameters);
    NextBtn->setText(serverJob ? LoadResString(Res::SBtn_Print) : LoadResString(Res::SBtn_OK));
}

void TQuestionForm::SetFormMode(TFormMode mode) {
    LogInfo("TQuestionForm.SetFormMode Value: %d", int(mode));
    if (m_manager)
        LogInfo("TQuestionForm.SetFormMode QuestionManager LastAnswersAvailable=%s ",
                boolText(m_manager->FLastAnswersAvailable));
    if (m_manager && m_manager->HasServerLookups())
        LogInfo("TQuestionForm.SetFormMode PopupServer AllowLastAnswers=%s ",
                boolText(m_manager->JobOptions().LastAnswersAllowed));
    m_formMode = mode;
    const bool mayNext = !m_set || m_set->FormType != FormType::Button;

    if (RightToLeftLayout()) {
        TitleLbl->setAlignment(taRightJustify);
        mirrorTitleBar();
    }

    if (m_manager && m_manager->IsGuestCardJob() && m_manager->FRunMode == rmJobParameters) {
        SwitchUserLabel->setVisible(true);
        if (m_manager->FGuestMode && m_manager->QuestionCount() == 1)
            SwitchUserLabel->setVisible(false);
    }
    LastAnswersBtn->setVisible(false);

    switch (mode) {
    case fmFirst:
        showButton(PrevBtn, false);
        showButton(NextBtn, mayNext);
        NextBtn->setText(LoadResString(Res::SBtn_Next));
        break;
    case fmMiddle:
        showButton(PrevBtn, true);
        showButton(NextBtn, mayNext);
        NextBtn->setText(LoadResString(Res::SBtn_Next));
        showButton(SwitchUserLabel, false);
        break;
    case fmLast:
        showButton(PrevBtn, true);
        showButton(NextBtn, true);
        applyPrintOrOkCaption();
        showButton(SwitchUserLabel, false);
        break;
    case fmSingle:
        showButton(PrevBtn, false);
        showButton(NextBtn, mayNext);
        applyPrintOrOkCaption();
        break;
    default:
        PrevBtn->setVisible(false);
        NextBtn->setVisible(false);
        SwitchUserLabel->setVisible(false);
        break;
    }
    NextBtn->setAccessibleName(NextBtn->text().remove(QLatin1Char('&')));
    const bool finishes = mode == fmLast || mode == fmSingle;
    NextBtn->setAccessibleDescription(
        LoadResString(finishes ? Res::SAccessibleFinishBtn : Res::SAccessibleNextBtn));
}

void TQuestionForm::mirrorTitleBar() {
    m_titleLayout->SetMirrored(true);
}

void TQuestionForm::ApplyRightToLeft() {
    setLayoutDirection(Qt::RightToLeft);
    m_layout->SetMirrored(true);
    for (TAlignLabel *label : {QuestionLbl, DescriptionLbl})
        label->setAlignment(taRightJustify);
    ErrorLbl->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignBottom);
    SwitchUserLabel->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
}

void TQuestionForm::DescribeControl(QWidget *control, const QString &name,
                                    const QString &description, bool required) {
    control->setAccessibleName(name);
    // The accessibility layer has no "required" state of its own: the description says it.
    const QString mark = required ? LoadResString(Res::SAccessibleRequired) : QString();
    control->setAccessibleDescription(mark.isEmpty() || description.isEmpty()
                                          ? mark + description
                                          : mark + QLatin1Char('\n') + description);
}

// ---- Key handling and the other virtual operations ----------------------------------------------

void TQuestionForm::HostKeyDown(int &key, Qt::KeyboardModifiers shift) {
    Q_UNUSED(key);
    Q_UNUSED(shift);
}

// Each check starts from a clear error line, so that an answer that passes no longer shows (or
// tells a screen reader) the message of an earlier attempt.
bool TQuestionForm::ValidateAnswers() {
    SetErrorText(QString());
    return true;
}

void TQuestionForm::ShowForm() {
    show();
}

// ---- Showing and the skip rule
// --------------------------------------------------------------------

void TQuestionForm::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (m_focusToControl && m_focusToControl->isEnabled() && m_focusToControl->isVisibleTo(this))
        m_focusToControl->setFocus(Qt::OtherFocusReason);
    QCoreApplication::postEvent(this, new QEvent(QEvent::Type(AfterFormShowEvent)));
}

// Enter that no control took moves on, as the default button would; Escape cancels, as in any
// dialog, when the dialog offers Cancel.
void TQuestionForm::keyPressEvent(QKeyEvent *event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && NextBtn->isVisible() &&
        NextBtn->isEnabled()) {
        NextBtn->click();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        CancelBtn->isVisibleTo(this) && CancelBtn->isEnabled()) {
        CancelBtn->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TQuestionForm::event(QEvent *event) {
    if (event->type() == AfterFormShowEvent) {
        AfterFormShow();
        return true;
    }
    return QWidget::event(event);
}

void TQuestionForm::AfterFormShow() {
    LogInfo("TQuestionForm.AfterFormShow: check to see if to skip this form.");
    if (!m_set || m_set->SkipState != 1)
        return;
    if (!m_manager) {
        LogInfo("TQuestionForm.SetQuestionSet  QuestionManager not set, system error.");
        return;
    }
    LogInfo("TQuestionForm.AfterFormShow: skip this form.");
    // Marked before moving on: the job may end inside NextSet and free the set with it.
    m_set->SkipState = 2;
    m_manager->NextSet();
}

void TQuestionForm::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    MainPanel->setGeometry(rect());
}

bool TQuestionForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::Resize) {
        if (watched == MainPanel)
            m_layout->Apply();
        else if (watched == Panel2)
            m_titleLayout->Apply();
    } else if (event->type() == QEvent::MouseButtonPress &&
               (watched == TitleBarPb || watched == TitleLbl)) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            startTitleDrag();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TQuestionForm::startTitleDrag() {
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (QWindow *handle = window()->windowHandle())
        handle->startSystemMove();
}

// ---- Buttons and links
// ------------------------------------------------------------------------------

void TQuestionForm::NextBtnClick() {
    if (m_manager && ValidateAnswers()) {
        m_manager->NextSet();
        forgetSetWhenJobEnded();
    }
}

void TQuestionForm::PrevBtnClick() {
    if ((m_formMode == fmMiddle || m_formMode == fmLast) && m_manager)
        m_manager->PrevSet();
}

void TQuestionForm::CancelBtnClick() {
    if (m_manager) {
        m_manager->Cancel();
        forgetSetWhenJobEnded();
    }
}

// The manager frees the sets when the job ends; events still on their way to this dialog (the
// release of the key that finished the job) must not reach them.
void TQuestionForm::forgetSetWhenJobEnded() {
    if (!m_manager->Busy())
        m_set = nullptr;
}

void TQuestionForm::SwitchUserLabelClick() {
    if (m_manager)
        m_manager->SwitchUser();
}

void TQuestionForm::LastAnswersBtnClick() {
    if (!m_manager || (m_formMode != fmFirst && m_formMode != fmSingle))
        return;
    if (!ServerAllowsLastAnswers())
        return;
    m_manager->UseLastAnswers();
    m_manager->Finish();
}

bool TQuestionForm::ServerAllowsLastAnswers() const {
    return m_manager && m_manager->JobOptions().LastAnswersAllowed;
}

void TQuestionForm::LaunchConfigToolLabelClick() {
    QString path;
    if (auto key = zv::ZvRegKey::open(zv::RegRoot::LocalMachine,
                                      QStringLiteral("SOFTWARE\\Zorvant\\Installed Components")))
        path = key->readString(QStringLiteral("Path")).value_or(QString());
    if (path.isEmpty()) {
        LogError("Could not find the installation path in registry.");
        return;
    }
    const QString commandLine = path + QStringLiteral("/bin/Drosselconf");
    try {
        zv::ZvChildProcess::startDetached(commandLine);
    } catch (const zv::ZvProcessError &e) {
        LogError("Failed to start the configuration tool:%s, error %d", commandLine, e.errorCode());
        if (e.errorCode() == ENOENT)
            ShowMessageBox(this, QString(),
                           QStringLiteral("A Popup package must be installed in order to be able "
                                          "to run the Answer Settings configuration tool."));
        return;
    }
    LogInfo("Cancel the current print jobs after starting the configuration tool %s.", commandLine);
    if (m_manager)
        m_manager->Cancel();
}
