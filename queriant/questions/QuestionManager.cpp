// SPDX-License-Identifier: MIT
#include "QuestionManager.h"

#include "CostCenterServices.h"
#include "Log.h"
#include "ResourceStrings.h"
#include "SecureWipe.h"
#include "Validate.h"

#include <algorithm>
#include <cstring>

// ---- TJobSource ------------------------------------------------------------------------------

TJobSource::~TJobSource() = default;
void TJobSource::EndJob(TQuestionManager &) {}
void TJobSource::RecordResponse(TQuestionManager &, int) {}
void TJobSource::ReturnAnswers(TQuestionManager &) {}
TServerLookups *TJobSource::ServerLookups() {
    return nullptr;
}
QString TJobSource::GetUserName() const {
    return QString();
}
void TJobSource::SetUserName(TQuestionManager &, const QString &) {}
void TJobSource::CheckLastAnswers(TQuestionManager &) {}
void TJobSource::UseLastAnswers(TQuestionManager &) {}
void TJobSource::SaveLastAnswers(TQuestionManager &) {}

// ---- TQuestionManager ------------------------------------------------------------------------

TQuestionManager::TQuestionManager(const TJobStart &start, std::unique_ptr<TJobSource> source)
    : FRunMode(start.RunMode), m_start(start), m_source(std::move(source)) {}

TQuestionManager::~TQuestionManager() {
    FBalloon.reset();
    ClearQuestions();
    m_source.reset();
}

bool TQuestionManager::isServerJob() const {
    return (FRunMode == rmTestRun || FRunMode == rmJobParameters) && m_source;
}

void TQuestionManager::ClearQuestions() {
    FCurrentSet = nullptr;
    FQuestionSetList.clear();
    FQuestionList.clear();
}

TQuestion *TQuestionManager::Question(int i) const {
    return i >= 0 && i < QuestionCount() ? FQuestionList[size_t(i)].get() : nullptr;
}

TQuestionSet *TQuestionManager::QuestionSet(int i) const {
    return i >= 0 && i < QuestionSetCount() ? FQuestionSetList[size_t(i)].get() : nullptr;
}

int TQuestionManager::IndexOfSet(const TQuestionSet *set) const {
    if (!set)
        return -1;
    for (int i = 0; i < QuestionSetCount(); ++i) {
        if (FQuestionSetList[size_t(i)].get() == set)
            return i;
    }
    return -1;
}

// ---- Job flow --------------------------------------------------------------------------------

void TQuestionManager::Start() {
    FBusy = true;
    FBalloonShown = false;
    switch (FRunMode) {
    case rmAutomation:
        break;
    case rmRequestFile:
        if (!m_source)
            throw zv::ZvError(QStringLiteral("Request-file jobs are not available: no request "
                                             "file source is installed"));
        m_source->SetUpJob(*this);
        break;
    default:
        if (!m_source)
            throw zv::ZvError(QStringLiteral("Popup server jobs are not available: no popup "
                                             "server job source is installed"));
        m_source->SetUpJob(*this);
        break;
    }
    if (OnJobStarted)
        OnJobStarted(*this);

    if (FRunMode == rmJobParameters && IsGuestCardJob() && FGuestAccountUser) {
        FGuestMode = false;
        SwitchUser();
        return;
    }
    if (IsGuestCardJob() && !FGuestMode)
        FCurrentSet = QuestionSet(0);
    CheckLastAnswers();
    if (FMultipartPrintJob && FLastAnswersAvailable && FLastUserResponse == rkAnswered) {
        UseLastAnswers();
        Finish();
    } else {
        NextSet();
    }
}

void TQuestionManager::present(TQuestionSet *set, TWizardDirection direction) {
    FCurrentSet = set;
    if (OnPresentQuestionSet)
        OnPresentQuestionSet(*this, *set, direction);
}

void TQuestionManager::finishAtLastSet() {
    if (FShowChargeBalloon && ChargeToBalloonNotify())
        return;
    Finish();
}

void TQuestionManager::NextSet() {
    LogInfo("Call QuestionManager.NextSet");
    LogInfo("Call QuestionManager Questioncount %d", QuestionSetCount());
    if (FGuestMode && FCurrentSet) {
        Finish();
    } else if (FQuestionSetList.empty()) {
        Finish();
    } else {
        const int current = IndexOfSet(FCurrentSet);
        LogInfo("Call QuestionManager FQuestionSetList.count %d", QuestionSetCount());
        TQuestionSet *next = nullptr;
        for (int i = current + 1; i < QuestionSetCount() && !next; ++i) {
            if (!QuestionSet(i)->AllSkipped())
                next = QuestionSet(i);
        }
        if (next) {
            LogInfo("QuestionManager.NextSet about to call OnPresentQuestionSet");
            present(next, wdNext);
        } else {
            // Nothing left to show (the last set, or only passed-over sets after it): the
            // job is at its end.
            finishAtLastSet();
        }
    }
    if (FBusy)
        NotifyActivity();
}

void TQuestionManager::PrevSet() {
    const int current = IndexOfSet(FCurrentSet);
    if (current > 0) {
        int target = -1;
        for (int i = current - 1; i >= 0; --i) {
            TQuestionSet *set = QuestionSet(i);
            if (target < 0 && !set->AllSkipped()) {
                target = i;
                continue;
            }
            set->SetSkipped(false);
        }
        if (target >= 0)
            present(QuestionSet(target), wdPrev);
    }
    NotifyActivity();
}

void TQuestionManager::Finish() {
    LogInfo("Call QuestionManager.Finish");
    if (OnFinished)
        OnFinished(*this);
    if (isServerJob())
        SaveLastAnswers();
    EndJob();
}

void TQuestionManager::Cancel() {
    if (OnCancel)
        OnCancel(*this);
    EndJob();
}

void TQuestionManager::Timeout() {
    if (OnTimeout)
        OnTimeout(*this);
    EndJob();
}

void TQuestionManager::Hide() {
    if (OnHide)
        OnHide(*this);
}

void TQuestionManager::NotifyActivity() {
    if (OnActivity)
        OnActivity(*this);
}

void TQuestionManager::EndJob() {
    // A job ended another way leaves no balloon behind to end it a second time.
    FBalloon.reset();
    if (FRunMode == rmRequestFile && m_source)
        m_source->EndJob(*this);
    ClearQuestions();
    FBusy = false;
}

void TQuestionManager::SwitchUser() {
    FGuestMode = !FGuestMode;
    CheckLastAnswers();
    FCurrentSet = (IsGuestCardJob() && !FGuestMode) ? QuestionSet(0) : nullptr;
    NextSet();
}

void TQuestionManager::RecordResponse(int kind) {
    if (FRunMode == rmTestRun || FRunMode == rmJobParameters) {
        if (m_source)
            m_source->RecordResponse(*this, kind);
        return;
    }
    SaveAnswersToXML(kind);
}

void TQuestionManager::ReturnAnswers() {
    if (isServerJob())
        m_source->ReturnAnswers(*this);
}

bool TQuestionManager::SingleClick() const {
    return m_options.AutoAdvance;
}

// ---- Last answers and the charge balloon (popup-server jobs) ---------------------------------

void TQuestionManager::CheckLastAnswers() {
    FLastAnswersAvailable = false;
    if (isServerJob())
        m_source->CheckLastAnswers(*this);
}

void TQuestionManager::UseLastAnswers() {
    if (isServerJob())
        m_source->UseLastAnswers(*this);
}

void TQuestionManager::SaveLastAnswers() {
    if (isServerJob())
        m_source->SaveLastAnswers(*this);
}

QString TQuestionManager::GetUserName() const {
    return isServerJob() ? m_source->GetUserName() : QString();
}

void TQuestionManager::SetUserName(const QString &name) {
    if (isServerJob())
        m_source->SetUserName(*this, name);
}

// ---- The charge balloon ----------------------------------------------------------------------

std::unique_ptr<TBalloonNotifier> TQuestionManager::CreateBalloon() const {
    return BalloonFactory ? BalloonFactory() : nullptr;
}

QString ChargedToText(const TQuestionSet &set) {
    QStringList answers;
    for (const TQuestion *question : set.Questions) {
        QString answer = question->GetAnswer();
        if (!answer.isEmpty())
            answers.append(answer);
        zv::SecureWipe(answer);
    }
    return answers.join(QStringLiteral(", "));
}

bool TQuestionManager::ChargeToBalloonNotify() {
    // Cost centers chosen without the dialog come from a popup server's answers only.
    if (!HasServerLookups())
        return false;
    bool due = false;
    QString chargedTo;
    for (const auto &entry : FQuestionSetList) {
        TQuestionSet &set = *entry;
        if (set.FormType != FormType::CostCenter)
            continue;
        // The option first: without it the server is not asked.
        if (m_options.CostCenterMandatory && CheckCostCenters(set, true)) {
            LogInfo("QuestionManager.ChargeToBalloonNotify no need to present the Charge to "
                    "balloon as only one cost center and mandatory.");
        } else if (!FBalloonShown && (set.SkipState == 1 || set.SkipState == 2)) {
            due = true;
            chargedTo = ChargedToText(set);
        }
        break;
    }
    if (!due)
        return false;
    LogInfo("QuestionManager.ChargeToBalloonNotify about to display the balloon message to show "
            "user or cost center is charged to.");
    FBalloon = CreateBalloon();
    if (!FBalloon) {
        LogError("QuestionManager.ChargeToBalloonNotify has no balloon to show");
        return false;
    }
    FBalloon->SetVersion(1);
    FBalloon->Show();
    FBalloon->OnClick = [this](TBalloonNotifier &) { chargeBalloonEnded(true); };
    FBalloon->OnBalloonTimeout = [this](TBalloonNotifier &) { chargeBalloonEnded(false); };
    if (OnChargeToBalloonShow)
        OnChargeToBalloonShow(*this);
    if (chargedTo.isEmpty()) {
        LogInfo("QuestionManager.ChargeToBalloonNotify charge to user as blank cost center.");
        chargedTo = GetUserName();
    }
    const QString title = LoadResString(Res::SPrintChargeInfoTitle);
    const QString message = FormatResText(LoadResString(Res::SPrintChargeInfoMsg), {chargedTo});
    if (FBalloon)
        FBalloon->ShowBalloon(title, message, quint8(FDialogTimeout & 0xFF), biInformation);
    FBalloonShown = true;
    return true;
}

void TQuestionManager::chargeBalloonEnded(bool clicked) {
    // Freed before the host hears of it: the host may end the job or show the dialog again.
    if (std::unique_ptr<TBalloonNotifier> balloon = std::move(FBalloon)) {
        balloon->HideBalloon();
        balloon->Hide();
    }
    const TNotifyEvent &event = clicked ? OnChargeToBalloonClicked : OnChargeToBalloonTimeout;
    if (event)
        event(*this);
}

void TQuestionManager::ShowCostCenterForm() {
    for (int i = 0; i < QuestionSetCount(); ++i) {
        TQuestionSet *set = QuestionSet(i);
        if (set->FormType != FormType::CostCenter)
            continue;
        set->SkipState = 2;
        FCurrentSet = QuestionSet(i - 1);
        NextSet();
        return;
    }
    LogInfo("QuestionManager.ShowCostCenterForm could not find cost center form to show");
}

// ---- Form modes ------------------------------------------------------------------------------

std::vector<const TQuestionSet *> TQuestionManager::visibleSets() const {
    std::vector<const TQuestionSet *> sets;
    const int first = IsGuestCardJob() ? 1 : 0;
    for (int i = first; i < QuestionSetCount(); ++i) {
        if (!QuestionSet(i)->AllSkipped())
            sets.push_back(QuestionSet(i));
    }
    return sets;
}

bool TQuestionManager::IsFirstSet(const TQuestionSet *set) const {
    if (FGuestMode)
        return false;
    const auto sets = visibleSets();
    return sets.size() > 1 && sets.front() == set;
}

bool TQuestionManager::IsLastSet(const TQuestionSet *set) const {
    if (FGuestMode)
        return false;
    const auto sets = visibleSets();
    return sets.size() > 1 && sets.back() == set;
}

bool TQuestionManager::IsSingleSet() const {
    return FGuestMode || visibleSets().size() == 1;
}

TFormMode FormModeFor(const TQuestionManager &manager, const TQuestionSet *set) {
    if (manager.IsFirstSet(set))
        return fmFirst;
    if (manager.IsSingleSet())
        return fmSingle;
    if (manager.IsLastSet(set))
        return fmLast;
    return fmMiddle;
}

int TQuestionManager::VisibleSetCount() const {
    return int(std::count_if(FQuestionSetList.begin(), FQuestionSetList.end(),
                             [](const auto &s) { return s->FormType != FormType::Balloon; }));
}

bool TQuestionManager::IsGuestCardJob() const {
    return !FQuestionList.empty() && FQuestionList.front()->FormType == FormType::GuestCard;
}

bool TQuestionManager::AllQuestionsHaveSaveMode(quint8 mode) const {
    return std::all_of(FQuestionList.begin(), FQuestionList.end(),
                       [mode](const auto &q) { return q->SaveLastAnswerMode == mode; });
}

// ---- Validation ------------------------------------------------------------------------------

void TQuestionManager::ValidateAnswer(const TQuestion &question, const QString &answer) const {
    if (answer.isEmpty() && question.Mandatory)
        throw EValidationError(
            QStringLiteral("Question: %1 is mandatory, its answer cannot be empty.")
                .arg(question.Name));
    const QByteArray &type = question.FormType;
    if (type == FormType::List)
        TValidate::CheckInList(question.Choices, answer);
    else if (type == FormType::String)
        TValidate::CheckString(answer, question);
    else if (type == FormType::Integer)
        TValidate::CheckInteger(answer, question);
    else if (type == FormType::Float)
        TValidate::CheckFloat(answer, question);
    else if (type == FormType::Money)
        TValidate::CheckMoney(answer, question);
    else if (type == FormType::PhoneNumber)
        TValidate::CheckPhoneNumber(answer, question);
}

// ---- Request documents -----------------------------------------------------------------------

namespace {

int wholeNumberOr(const QString &text, int fallback) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}

const QString DisabledAccountPrompt =
    QStringLiteral("Your account has been disabled. Please see your systems administrator");

// Value and caption of one answer item: the value attribute or the text; numbers 1..7 are
// message-box results and take the standard button caption.
void readAnswerItem(pugi::xml_node item, const QString &text, QString &value, QString &caption) {
    const pugi::xml_attribute attr = item.attribute("value");
    value = attr ? QString::fromUtf8(attr.value()) : text;
    bool isNumber = false;
    const int number = value.toInt(&isNumber, 10);
    if (isNumber && number >= 1 && number <= 7)
        caption = StandardButtonCaption(number);
    else
        caption = text.isEmpty() ? value : text;
}

// Writing a question's answer replaces that element's children, so no question may live
// inside another one.
bool insideQuestion(pugi::xml_node node) {
    for (pugi::xml_node up = node.parent(); up; up = up.parent()) {
        if (std::strcmp(up.name(), "question") == 0)
            return true;
    }
    return false;
}

// Writing the outcome replaces the children of the document's response element as well.
bool insideNode(pugi::xml_node node, pugi::xml_node ancestor) {
    for (pugi::xml_node up = node.parent(); up && ancestor; up = up.parent()) {
        if (up == ancestor)
            return true;
    }
    return false;
}

} // namespace

void TQuestionManager::LoadGuiQuestions(const QString &request) {
    LogInfo("TQuestionManager.LoadGuiQuestions  Begin");
    // Questions of an earlier document refer to its nodes, which the new document replaces.
    ClearQuestions();
    FQuestionXML.LoadXML(request);
    TXMLAccess &xml = FQuestionXML;

    FSingleClick = xml.GetTexts(QStringLiteral("//questionsets/config/singleclick"))
                       .compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
    m_options = TJobOptions();
    m_options.AutoAdvance = FSingleClick;
    FClientWidth =
        wholeNumberOr(xml.GetTexts(QStringLiteral("//questionsets/config/clientwidth")), 520);
    FClientHeight =
        wholeNumberOr(xml.GetTexts(QStringLiteral("//questionsets/config/clientheight")), 360);

    // Built aside and taken over only when the whole document has loaded.
    std::vector<std::unique_ptr<TQuestion>> questions;
    std::vector<std::unique_ptr<TQuestionSet>> sets;
    const pugi::xml_node response =
        xml.SelectSingleNode(QStringLiteral("(//questionsets)[1]/response"));
    for (pugi::xml_node setNode : xml.SelectNodes(QStringLiteral("//questionsets/questionset"))) {
        auto set = std::make_unique<TQuestionSet>();
        set->FormType = xml.GetChildText(setNode, QStringLiteral("formtype")).toUtf8();
        QString title = xml.GetChildText(setNode, QStringLiteral("title"));
        if (title == QStringLiteral("Message about your print job") ||
            title == QStringLiteral("Message about your print job..."))
            title = LoadResString(Res::MsgboxTitle);
        set->Title = title.toUtf8();
        LogInfo("TQuestionManager.LoadGuiQuestions  Add Questionset %s", title);
        if (insideQuestion(setNode))
            throw zv::ZvError(
                QStringLiteral("The question set \"%1\" lies inside a question").arg(title));
        if (insideNode(setNode, response))
            throw zv::ZvError(
                QStringLiteral("The question set \"%1\" lies inside the response").arg(title));
        FDialogTimeout = wholeNumberOr(xml.GetChildText(setNode, QStringLiteral("timeout")), -1);

        const std::vector<pugi::xml_node> questionNodes =
            xml.SelectNodes(setNode, QStringLiteral("question"));
        if (questionNodes.empty())
            throw zv::ZvError(
                QStringLiteral("The question set \"%1\" holds no question").arg(title));
        for (pugi::xml_node node : questionNodes) {
            auto q = std::make_unique<TQuestion>();
            q->XmlNode = node;
            q->Prompt = xml.GetChildText(node, QStringLiteral("prompt"));
            q->Description = xml.GetChildText(node, QStringLiteral("description"));
            q->Icon = quint32(wholeNumberOr(xml.GetChildText(node, QStringLiteral("icon")), 0));
            const QString id = xml.GetChildText(node, QStringLiteral("id"));
            q->FormType = id.toUtf8();
            LogInfo("TQuestionManager.LoadGuiQuestions  Add Question ID %s", id);
            q->MaxLength = wholeNumberOr(xml.GetChildText(node, QStringLiteral("maxlength")), -1);
            q->MinLength = wholeNumberOr(xml.GetChildText(node, QStringLiteral("minlength")), -1);
            q->ValidateMax =
                LocaleToFloat(xml.GetChildText(node, QStringLiteral("validatemax"))).value_or(0);
            q->ValidateMin =
                LocaleToFloat(xml.GetChildText(node, QStringLiteral("validatemin"))).value_or(0);
            q->Mandatory = xml.GetChildText(node, QStringLiteral("mandatory"))
                               .compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0;
            q->DefaultAnswer = xml.GetChildText(node, QStringLiteral("answerdefault"));
            if (questionNodes.size() == 1 && q->Prompt == DisabledAccountPrompt)
                q->Prompt = LoadResString(Res::SAccountDisabled);

            for (pugi::xml_node item :
                 xml.SelectNodes(node, QStringLiteral("answerlist/answeritem"))) {
                QString value;
                QString caption;
                readAnswerItem(item, xml.GetChildText(item, QStringLiteral(".")), value, caption);
                q->Choices.append(value.toUtf8());
                q->Captions.append(caption.toUtf8());
            }
            if (!q->Choices.isEmpty() && !q->Mandatory && set->FormType != FormType::Button) {
                q->Choices.prepend("<none>");
                q->Captions.prepend("<none>");
            }
            q->ResetAnswer();
            set->Add(q.get());
            questions.push_back(std::move(q));
        }
        set->QuestionNames.append(set->First()->Name.toUtf8());
        set->Name = set->First()->Name.toUtf8();
        sets.push_back(std::move(set));
    }
    for (auto &q : questions)
        FQuestionList.push_back(std::move(q));
    for (auto &s : sets)
        FQuestionSetList.push_back(std::move(s));
    LogInfo("TQuestionManager.LoadGuiQuestions  %d Questionsets and a total of %d questions",
            QuestionSetCount(), QuestionCount());
}

void TQuestionManager::SaveAnswersToXML(int kind) {
    LogInfo("TQuestionManager.SaveAnswersToXML  Response:%d", kind);
    if (FQuestionXML.IsEmpty())
        return;
    const pugi::xml_node root = FQuestionXML.SelectSingleNode(QStringLiteral("//questionsets"));
    if (root) {
        const char *word = kind == rkAnswered   ? "userresponse"
                           : kind == rkTimedOut ? "usertimeout"
                                                : "usercancel";
        FQuestionXML.SetChildText(root, QStringLiteral("response"), QString::fromLatin1(word));
    }
    // Only questions read from the document have a place in it.
    for (const auto &q : FQuestionList) {
        if (!q->XmlNode)
            continue;
        QString answer = q->GetAnswer();
        if (answer == QStringLiteral("<none>"))
            FQuestionXML.RemoveChildren(q->XmlNode, QStringLiteral("answer"));
        else
            FQuestionXML.SetChildText(q->XmlNode, QStringLiteral("answer"), answer);
        zv::SecureWipe(answer);
    }
}
