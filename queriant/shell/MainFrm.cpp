// SPDX-License-Identifier: MIT
#include "MainFrm.h"

#include "AlignLabel.h"
#include "BalloonNotify.h"
#include "ErrorScreen.h"
#include "FileLog.h"
#include "FormFactory.h"
#include "FormLook.h"
#include "HostLayout.h"
#include "Log.h"
#include "PopupMessages.h"
#include "PopupServerJob.h"
#include "QueriantApp.h"
#include "RequestFileJob.h"
#include "ResourceStrings.h"
#include "SecureWipe.h"
#include "SimpleTranslator.h"
#include "TraceLog.h"
#include "WaitingNotice.h"
#include "WindowPlacement.h"
#include "ZvNamedEvent.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace {

const QString PopupClientKey = QStringLiteral("SOFTWARE\\Zorvant\\Popup Client");

QString exceptionText(const std::exception &e) {
    if (const auto *error = dynamic_cast<const zv::ZvError *>(&e))
        return error->message();
    return QString::fromLocal8Bit(e.what());
}

QFont pixelFont(const QString &family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

// The popup is a dialog to screen readers: they read its title, and its texts as it comes up.
QAccessibleInterface *mainFormAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String("TMainForm") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Dialog);
    return nullptr;
}

// Depth first, in child order: the first line edit that can take the focus.
QLineEdit *firstFocusableEdit(QWidget *root) {
    for (QObject *child : root->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || !widget->isVisible() || !widget->isEnabled())
            continue;
        if (auto *edit = qobject_cast<QLineEdit *>(widget);
            edit && (edit->focusPolicy() & Qt::TabFocus))
            return edit;
        if (QLineEdit *inner = firstFocusableEdit(widget))
            return inner;
    }
    return nullptr;
}

} // namespace

QString UpdateTriggerEventName() {
    const QString name = qEnvironmentVariable("ZORVANT_UPDATE_TRIGGER");
    return name.isEmpty() ? QStringLiteral("Global\\Zorvant Client Update Trigger") : name;
}

TMainForm::TMainForm(const QStringList &arguments)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_timeout([this] { DialogTimeOutTimer(); }),
      m_foreground([this] { return isActiveWindow(); }, [this] { ForegroundRefused(); }) {
    static const bool accessibleAsDialog = [] {
        QAccessible::installFactory(mainFormAccessible);
        return true;
    }();
    Q_UNUSED(accessibleAsDialog);
    resize(DesignWidth, DesignHeight);
    createControls();
    // Named after what it shows: each dialog renames it after its title.
    setWindowTitle(TitleLbl->caption());

    setUpLogging();
    TQueriantApplication::SetTitle(
        Translate(QStringLiteral("AppTitle"), QStringLiteral("Print job question")));
    logCommandLine(arguments);

    ArabicErrorLbl->hide();
    if (RightToLeftLayout()) {
        TitleLbl->resize(376, TitleLbl->height());
        TitleLbl->setAlignment(taRightJustify);
    }
    createManager(arguments.mid(1));
    qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
    LogInfo("MainFrm FormDestroy Handler");
    qApp->removeEventFilter(this);
    m_timeout.Stop();
    withdrawWaitingNotice();
    m_dialog.reset();
    m_manager.reset();
    m_fileLog.reset();
    m_traceLog.reset();
    signalUpdateTrigger();
}

void TMainForm::createControls() {
    setFont(FormLook::FormFont());
    FormLook::SetBackground(this, FormLook::DialogBackground());

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    FormLook::SetBackground(Panel2, QColor(82, 81, 79));
    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image2 = new QLabel(Panel2);
    Image2->setObjectName(QStringLiteral("Image2"));
    TitleLbl = new TAlignLabel(Panel2);
    TitleLbl->setObjectName(QStringLiteral("TitleLbl"));
    TitleLbl->setCaption(QStringLiteral("Print job Details"));
    TitleLbl->setFont(pixelFont(QStringLiteral("Arial"), 19));
    FormLook::SetTextColor(TitleLbl, Qt::white);
    TitleLbl->setPen(Qt::NoPen);
    TitleLbl->setVAlign(vtMiddle);
    TitleLbl->setAlignment(taLeftJustify);
    TitleLbl->setWordWrap(true);

    ErrorLbl = new TAlignLabel(this);
    ErrorLbl->setObjectName(QStringLiteral("ErrorLbl"));
    ErrorLbl->setFont(pixelFont(font().family(), 19));
    ErrorLbl->setPen(Qt::NoPen);
    ErrorLbl->setVAlign(vtMiddle);
    ErrorLbl->setWordWrap(true);
    ErrorLbl->hide();

    ArabicErrorLbl = new TAlignLabel(this);
    ArabicErrorLbl->setObjectName(QStringLiteral("ArabicErrorLbl"));
    ArabicErrorLbl->setFont(pixelFont(font().family(), 11));
    ArabicErrorLbl->setPen(Qt::NoPen);
    ArabicErrorLbl->setVAlign(vtTop);
    ArabicErrorLbl->setWordWrap(true);
    ArabicErrorLbl->hide();

    AdviceLbl = new TAlignLabel(this);
    AdviceLbl->setObjectName(QStringLiteral("AdviceLbl"));
    AdviceLbl->setPen(Qt::NoPen);
    AdviceLbl->setVAlign(vtTop);
    AdviceLbl->setWordWrap(true);
    AdviceLbl->hide();

    Button1 = new QPushButton(QStringLiteral("&OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setEnabled(false);
    // Behind the dialogs the error screen's button is not there for the keyboard or screen
    // readers.
    Button1->hide();
    // Enter on the error screen means OK, as in a dialog.
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);

    // The error texts drag the borderless window.
    ErrorLbl->installEventFilter(this);
    ArabicErrorLbl->installEventFilter(this);
    layoutControls();
}

void TMainForm::layoutControls() {
    const int w = width();
    const int h = height();
    Panel2->setGeometry(0, 0, w, 49);
    Image1->setGeometry(0, 0, 49, 49);
    Image2->setGeometry(w - 49, 0, 49, 49);
    const int titleWidth = RightToLeftLayout() ? 376 : w - 2 * 56;
    TitleLbl->setGeometry(RightToLeftLayout() ? w - 56 - titleWidth : 56, 0, titleWidth, 49);
    ErrorLbl->setGeometry(24, 56, w - 49, h - 98 - AdviceHeight);
    if (!ArabicErrorLbl->isVisible())
        ArabicErrorLbl->setGeometry(24, 180, w - 49, h - 235 - AdviceHeight);
    AdviceLbl->setGeometry(24, h - 42 - AdviceHeight, w - 49, AdviceHeight);
    Button1->setGeometry(w - 82, h - 35, 75, 25);
    if (m_dialog) {
        m_dialog->setGeometry(0, 0, w, h);
        m_dialog->MainPanel->resize(w, h);
    }
}

void TMainForm::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void TMainForm::setUpLogging() {
    TClassData &log = TClassData::instance();
    log.setOptions(log.options() | loSourceName);
    log.setSourceName(QStringLiteral("Queriant.exe"));
    log.readSettings(zv::RegRoot::LocalMachine, PopupClientKey);
    m_traceLog = std::make_unique<TZvTraceLog>();
    const QString fileName = log.readFileName(zv::RegRoot::LocalMachine, PopupClientKey);
    if (!fileName.isEmpty())
        m_fileLog = std::make_unique<TZvFileLog>(fileName);
}

void TMainForm::logCommandLine(const QStringList &arguments) {
    const int count = int(arguments.size()) - 1;
    LogInfo("Commandline parameter count: %d", count);
    for (int i = 0; i <= count; ++i)
        LogInfo("Commandline Parameter %d : %s", i, arguments.at(i));
}

void TMainForm::createManager(const QStringList &parameters) {
    const TJobStart start(parameters);
    std::unique_ptr<TJobSource> source;
    switch (start.RunMode) {
    case rmRequestFile:
        source = std::make_unique<TRequestFileJob>();
        break;
    case rmTestRun:
        m_tester = std::make_unique<TClientTester>(start.Parameters);
        source = std::make_unique<TPopupServerJob>(start, [this] { return m_tester->Run(); });
        break;
    case rmJobParameters:
        source = std::make_unique<TPopupServerJob>(start);
        break;
    default:
        break;
    }
    m_manager.reset();
    m_manager = std::make_unique<TQuestionManager>(start, std::move(source));
    TQuestionManager &m = *m_manager;
    m.OnPresentQuestionSet = [this](TQuestionManager &manager, TQuestionSet &set,
                                    TWizardDirection direction) {
        HandlePresentQuestionSet(manager, set, direction);
    };
    m.OnJobStarted = [this](TQuestionManager &manager) { HandleJobStarted(manager); };
    m.OnActivity = [this](TQuestionManager &manager) { HandleActivity(manager); };
    m.OnAnswerChanged = [this](TQuestion &question) { HandleAnswerChanged(question); };
    m.OnCancel = [this](TQuestionManager &manager) { HandleCancel(manager); };
    m.OnTimeout = [this](TQuestionManager &manager) { HandleTimeout(manager); };
    m.OnFinished = [this](TQuestionManager &manager) { HandleFinished(manager); };
    m.OnHide = [this](TQuestionManager &manager) { HandleHide(manager); };
    m.OnChargeToBalloonShow = [this](TQuestionManager &manager) {
        HandleChargeToBalloonShow(manager);
    };
    m.OnChargeToBalloonTimeout = [this](TQuestionManager &manager) {
        HandleChargeToBalloonTimeout(manager);
    };
    m.OnChargeToBalloonClicked = [this](TQuestionManager &manager) {
        HandleChargeToBalloonClicked(manager);
    };
    m.BalloonFactory = [] { return std::make_unique<TBalloonNotify>(); };
}

void TMainForm::StartJob() {
    if (m_manager->RunMode() == rmAutomation)
        return;
    m_manager->Start();
    if (m_manager->VisibleSetCount() == 0)
        return;
    // A balloon set at the start keeps the window hidden until a dialog comes.
    if (m_dialog && m_dialog->isHidden())
        return;
    show();
    BringToForeground();
}

// ---- Dialogs ---------------------------------------------------------------------------------

void TMainForm::closeDialog() {
    TQuestionForm::CloseForm(std::move(m_dialog));
}

void TMainForm::HandlePresentQuestionSet(TQuestionManager &manager, TQuestionSet &set,
                                         TWizardDirection direction) {
    const QString formType = QString::fromUtf8(set.FormType);
    LogInfo("MainFrm HandlePresentQuestionSet QuestionSet.FormType: %S", formType);
    closeDialog();
    const bool wasHidden = isHidden();
    // The host's own title bar lies behind the dialog: not there for screen readers.
    Panel2->hide();
    std::unique_ptr<TQuestionForm> form = CreateQuestionForm(formType, this);
    if (!form)
        throw zv::ZvError(QStringLiteral("Form type: %1 is unknown").arg(formType));
    form->setGeometry(0, 0, manager.FClientWidth, manager.FClientHeight);
    form->MainPanel->resize(manager.FClientWidth, manager.FClientHeight);
    form->raise();
    // Held before it runs any code of its own: it may move the job on from inside.
    m_dialog = std::move(form);
    TQuestionForm *dialog = m_dialog.get();
    dialog->SetQuestionManager(&manager);
    dialog->SetQuestionSet(&set);
    if (m_dialog.get() != dialog)
        return;
    const TFormMode mode = FormModeFor(manager, &set);
    LogInfo("MainFrm FormMode (0=First 1=middle 2=last 3=single) : %d", int(mode));
    dialog->SetFormMode(mode);
    dialog->SetWizardDirection(direction);
    dialog->ShowForm();
    if (m_dialog.get() != dialog)
        return;
    // Back after a balloon: in front, as at the start.
    if (wasHidden && isVisible())
        BringToForeground();
    else
        focusFirstEdit();
}

QWidget *TMainForm::focusFirstEdit() {
    // A dialog without an edit (buttons, drop-down, radio group) names its own control.
    QWidget *control = m_dialog ? m_dialog->FocusToControl() : nullptr;
    if (!control || !control->isEnabled() || !control->isVisibleTo(m_dialog.get()) ||
        firstFocusableEdit(m_dialog.get()))
        control = firstFocusableEdit(this);
    if (!control)
        control = this;
    control->setFocus(Qt::OtherFocusReason);
    return control;
}

void TMainForm::BringToForeground(const QString &activationToken) {
    raise();
    // Qt's Wayland client hands XDG_ACTIVATION_TOKEN to xdg-activation on the next request
    // (a token the starting process passed is there from the start) and drops it.
    if (!activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", activationToken.toUtf8());
    activateWindow();
    if (!activationToken.isEmpty())
        qunsetenv("XDG_ACTIVATION_TOKEN");
    LogInfo("MainFrm BringToForeground focus to %s", focusFirstEdit()->objectName());
    if (isActiveWindow())
        m_foreground.Stop();
    else
        m_foreground.Requested();
}

void TMainForm::ForegroundRefused() {
    // Hidden meanwhile (the charge balloon, the end of a job): nothing waits for the user.
    if (!isVisible())
        return;
    LogInfo("MainFrm the desktop did not bring the window to the front");
    if (!m_waitingNotice) {
        m_waitingNotice = std::make_unique<TWaitingNotice>();
        connect(m_waitingNotice.get(), &TWaitingNotice::Invoked, this,
                &TMainForm::WaitingNoticeInvoked);
    }
    m_waitingNotice->Show(windowTitle(), m_manager ? m_manager->DocumentName() : QString());
}

void TMainForm::WaitingNoticeInvoked(const QString &activationToken) {
    LogInfo("MainFrm the waiting notification was clicked");
    if (!isVisible())
        return;
    // The dialog time-out runs on: the click is no answer.
    BringToForeground(activationToken);
}

void TMainForm::withdrawWaitingNotice() {
    m_foreground.Stop();
    if (m_waitingNotice)
        m_waitingNotice->Withdraw();
}

void TMainForm::hideEvent(QHideEvent *event) {
    // Hidden (the charge balloon, HideQuestionManager): nothing on screen waits for answers.
    withdrawWaitingNotice();
    QWidget::hideEvent(event);
}

void TMainForm::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // In front after all (the user found it): the notice has done its work.
        m_foreground.Activated();
        if (m_waitingNotice)
            m_waitingNotice->Withdraw();
    }
    QWidget::changeEvent(event);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress &&
        (watched == ErrorLbl || watched == ArabicErrorLbl) &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (QWindow *handle = windowHandle())
            handle->startSystemMove();
        return true;
    }
    if (event->type() == QEvent::KeyPress && m_dialog && event != m_lastKeyEvent) {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (widget && widget->window() == this) {
            // A key event climbs to the parents through this filter again: look once.
            m_lastKeyEvent = event;
            auto *keyEvent = static_cast<QKeyEvent *>(event);
            int key = keyEvent->key();
            m_dialog->HostKeyDown(key, keyEvent->modifiers());
            if (key == 0)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Manager events --------------------------------------------------------------------------

void TMainForm::HandleJobStarted(TQuestionManager &manager) {
    m_timeout.Arm(manager.FDialogTimeout);
    placeAtClientSize();
    QCoreApplication::processEvents();
}

void TMainForm::placeAtClientSize() {
    if (m_manager)
        resize(m_manager->FClientWidth, m_manager->FClientHeight);
    QScreen *monitor = screen() ? screen() : QGuiApplication::primaryScreen();
    if (monitor)
        PlaceTopLevel(*this, CentredOrigin(monitor->geometry(), size()));
}

void TMainForm::keyPressEvent(QKeyEvent *event) {
    // Escape closes the error screen as OK does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        Button1->isVisible() && Button1->isEnabled()) {
        Button1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TMainForm::HandleActivity(TQuestionManager &) {
    m_timeout.Restart();
}

void TMainForm::HandleAnswerChanged(TQuestion &question) {
    if (question.Name.toLower() != QStringLiteral("username"))
        return;
    QString answer = question.GetAnswer();
    m_manager->SetUserName(answer);
    zv::SecureWipe(answer);
}

void TMainForm::endOfJob() {
    m_timeout.Stop();
    withdrawWaitingNotice();
    // The job's sets are freed: no dialog may stay to show them (a dialog that passed itself
    // over at the end of the job would meet its freed set at its next focus change). Nothing
    // stays on screen once the caller has its answer.
    closeDialog();
    hide();
    if (m_manager->RunMode() != rmAutomation) {
        TQueriantApplication::Terminate();
        return;
    }
    emit AutomationJobEnded();
}

void TMainForm::HandleCancel(TQuestionManager &manager) {
    manager.RecordResponse(rkCancelled);
    endOfJob();
}

void TMainForm::HandleTimeout(TQuestionManager &manager) {
    LogInfo("TMainForm.HandleTimeout");
    manager.RecordResponse(rkTimedOut);
    endOfJob();
}

void TMainForm::HandleFinished(TQuestionManager &manager) {
    manager.ReturnAnswers();
    manager.RecordResponse(rkAnswered);
    LogInfo("MainFrm HandleFinished  ExitCode=1");
    if (manager.RunMode() != rmAutomation)
        TQueriantApplication::SetExitCode(1);
    if (manager.RunMode() == rmTestRun && m_tester) {
        // The job is over: the tester reads the answers for as long as he likes.
        m_timeout.Stop();
        closeDialog();
        hide();
        m_tester->ShowAnswersOf(manager.FQuestionList);
    }
    endOfJob();
}

void TMainForm::HandleHide(TQuestionManager &) {
    hide();
}

void TMainForm::HandleChargeToBalloonShow(TQuestionManager &) {
    LogInfo("TMainForm.HandleChargeToBalloonShow hiding question form now.");
    m_timeout.Stop();
    if (m_dialog)
        m_dialog->hide();
    hide();
    QCoreApplication::processEvents();
}

void TMainForm::HandleChargeToBalloonTimeout(TQuestionManager &manager) {
    LogInfo("TMainForm.HandleChargeToBalloonTimeout, finishing the print job now.");
    manager.Finish();
}

void TMainForm::HandleChargeToBalloonClicked(TQuestionManager &manager) {
    LogInfo("TMainForm.HandleChargeToBalloonClicked restoring question form now.");
    show();
    m_timeout.Arm(manager.FDialogTimeout);
    QCoreApplication::processEvents();
    LogInfo("TMainForm.HandleChargeToBalloonClicked requesting qmanager to show cost center form.");
    manager.ShowCostCenterForm();
    if (isVisible())
        BringToForeground();
}

void TMainForm::DialogTimeOutTimer() {
    LogInfo("MainFrm DialogTimeOut");
    m_manager->Timeout();
}

// ---- Requests from other processes -----------------------------------------------------------

void TMainForm::StartQuestionManager(int Value) {
    try {
        m_manager->Start();
        TQueriantApplication::SetTitle(QString::number(Value));
    } catch (const std::exception &e) {
        HandleException(e);
    }
}

void TMainForm::HideQuestionManager() {
    m_manager->Hide();
}

void TMainForm::Button1Click() {
    TQueriantApplication::Terminate();
}

// ---- Error screen ----------------------------------------------------------------------------

void TMainForm::HandleException(const std::exception &e) {
    if (dynamic_cast<const ETestRunCancelled *>(&e)) {
        // The tester left the test form: no job, nothing to show.
        TQueriantApplication::Terminate();
        return;
    }
    const QString message = exceptionText(e);
    LogError("TMainform.HandleException %s", message);
    if (m_manager && m_manager->RunMode() == rmAutomation && m_manager->Busy()) {
        // The caller of the job receives the failure; the server stays up for the next call.
        emit AutomationJobFailed(message);
        return;
    }
    const bool firstError = ErrorLbl->isHidden();
    closeDialog();
    // Centred at the job's client size, as the dialogs are, also when the job never started.
    if (firstError)
        placeAtClientSize();
    ErrorLbl->setCaption(AppendErrorMessage(ErrorLbl->caption(), message));
    Panel2->show();
    TitleLbl->show();
    ErrorLbl->show();
    AdviceLbl->setCaption(LoadResString(Res::SErrorScreenAdvice));
    AdviceLbl->show();
    Button1->show();
    Button1->setEnabled(true);
    ArabicErrorLbl->hide();
    if (dynamic_cast<const EArabicLanguageException *>(&e)) {
        TitleLbl->setCaption(ArabicErrorTitle());
        ErrorLbl->setVAlign(vtTop);
        ArabicErrorLbl->setGeometry(ErrorLbl->x(), ErrorLbl->y() + 35, ErrorLbl->width(),
                                    ErrorLbl->height() - 35);
        ArabicErrorLbl->setCaption(
            ::ArabicErrorText(m_manager ? m_manager->FQueueName : QString()));
        ArabicErrorLbl->show();
    }
    Panel2->raise();
    ErrorLbl->raise();
    ArabicErrorLbl->raise();
    AdviceLbl->raise();
    Button1->raise();
    setWindowTitle(TitleLbl->caption());
    setAccessibleName(TitleLbl->caption());
    ErrorLbl->setAccessibleName(ErrorLbl->caption());
    Button1->setAccessibleDescription(ErrorLbl->caption());
    show();
    BringToForeground();
    Button1->setFocus(Qt::OtherFocusReason);
    QAccessibleEvent alert(ErrorLbl, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

QString TMainForm::ErrorText() const {
    return ErrorLbl->caption();
}

QString TMainForm::ArabicErrorText() const {
    return ArabicErrorLbl->isHidden() ? QString() : ArabicErrorLbl->caption();
}

QString TMainForm::TitleText() const {
    return TitleLbl->caption();
}

// ---- Automation ------------------------------------------------------------------------------

void TMainForm::BeginAutomationJob(const QString &request) {
    closeDialog();
    m_manager->LoadGuiQuestions(request);
    m_manager->Start();
    if (isVisible())
        BringToForeground();
}

bool TMainForm::AutomationJobBusy() const {
    return m_manager->Busy();
}

QString TMainForm::AutomationAnswer() {
    return m_manager->FQuestionXML.GetXML();
}

void TMainForm::AbandonAutomationJob() {
    m_timeout.Stop();
    withdrawWaitingNotice();
    closeDialog();
    if (m_manager->Busy())
        m_manager->EndJob();
    hide();
}

// ---- End of the run --------------------------------------------------------------------------

void TMainForm::signalUpdateTrigger() noexcept {
    try {
        zv::ZvNamedEvent::openOrCreate(UpdateTriggerEventName())->signal();
    } catch (const std::exception &e) {
        LogError("Cannot signal %s: %s", UpdateTriggerEventName(), exceptionText(e));
    }
}
