// SPDX-License-Identifier: MIT
#include "ClientTestFrm.h"

#include "BaseDBClient.h"
#include "DrawAlignedText.h"
#include "Questions.h"
#include "SimpleTranslator.h"
#include "WindowPlacement.h"
#include "ZvUserInfo.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTreeView>

namespace {

QString translateCaption(const QString &controlName, const QString &designCaption) {
    return Translate(QStringLiteral("ClientTestForm") + controlName, designCaption);
}

constexpr int NameBufferChars = 128;

void addUnlessBlank(QStringList &list, const QString &text) {
    if (!text.trimmed().isEmpty())
        list << text;
}

// The entry equal to text (ignoring case), else the first; none in an empty list.
void selectEntry(QComboBox &box, const QString &text) {
    const int found = text.isEmpty() ? -1 : box.findText(text, Qt::MatchFixedString);
    box.setCurrentIndex(found >= 0 ? found : (box.count() > 0 ? 0 : -1));
}

QString parameter(const QStringList &parameters, int number) {
    return parameters.value(number - 1);
}

} // namespace

TClientTestLists ReadClientTestLists(TZvComDBClient &db, const QString &filter,
                                     const QString &group) {
    TClientTestLists lists;
    auto servers = db.ServerList(1, QString::fromLatin1(PopupServiceType));
    while (servers->Next())
        addUnlessBlank(lists.PopupServers, servers->FieldByName(QStringLiteral("server")).AsText());

    auto queues = group.isEmpty() ? db.SpoolqList(0) : db.SpoolqQGroupList(group);
    if (filter.compare(QLatin1String("test"), Qt::CaseInsensitive) != 0)
        addUnlessBlank(lists.PrintServers, filter);
    while (queues->Next()) {
        const QString server = queues->FieldByName(QStringLiteral("server")).AsText();
        if (server.compare(filter, Qt::CaseInsensitive) != 0)
            addUnlessBlank(lists.PrintServers, server);
        lists.ServerQueues << server + QLatin1Char(',') +
                                  queues->FieldByName(QStringLiteral("spoolq")).AsText();
    }
    return lists;
}

QStringList QueueNames(const QStringList &serverQueues) {
    QStringList names;
    for (const QString &entry : serverQueues)
        addUnlessBlank(names, entry.section(QLatin1Char(','), 1).trimmed());
    return names;
}

QString FirstQueueOf(const QStringList &serverQueues, const QString &server) {
    for (const QString &entry : serverQueues) {
        if (entry.section(QLatin1Char(','), 0, 0) == server)
            return entry.section(QLatin1Char(','), 1).trimmed();
    }
    return {};
}

TPopupServiceSettings ReadPopupServiceSettings(TZvComDBClient &db) {
    auto rows = db.ServiceTypeGet(QString::fromLatin1(PopupServiceType));
    TPopupServiceSettings settings;
    if (rows->Next()) {
        settings.Port = rows->FieldByName(QStringLiteral("port")).AsText();
        settings.TimeOut = rows->FieldByName(QStringLiteral("timeout")).AsText();
    }
    return settings;
}

TTestAnswerRow TestAnswerRowOf(const TQuestion &question) {
    const bool costCenter = question.FormType == FormType::CostCenter;
    return {costCenter ? question.Code : question.Name, question.Prompt, question.GetAnswer()};
}

// ---- TTestAnswersModel -----------------------------------------------------------------------

TTestAnswersModel::TTestAnswersModel(QObject *parent) : QAbstractTableModel(parent) {}

void TTestAnswersModel::SetRows(QList<TTestAnswerRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void TTestAnswersModel::SetHeaders(const QStringList &headers) {
    m_headers = headers;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int TTestAnswersModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TTestAnswersModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant TTestAnswersModel::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    const TTestAnswerRow &row = m_rows.at(index.row());
    switch (index.column()) {
    case 0:
        return row.Question;
    case 1:
        return row.Prompt;
    default:
        return row.Answer;
    }
}

QVariant TTestAnswersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= m_headers.size())
        return {};
    return m_headers.at(section);
}

void TTestAnswerDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const {
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    QStyle *style = background.widget ? background.widget->style() : nullptr;
    if (style)
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, background.widget);
    painter->save();
    painter->setPen(option.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    DrawAlignedText(*painter, option.rect.adjusted(2, 0, -2, 0), taLeftJustify,
                    option.state & QStyle::State_Enabled, false, false, index.data().toString(),
                    vtMiddle);
    painter->restore();
}

// ---- TClientTestForm -------------------------------------------------------------------------

TClientTestForm::TClientTestForm(const QStringList &parameters, QWidget *parent)
    : QDialog(parent), m_answers(this) {
    setObjectName(QStringLiteral("ClientTestForm"));
    buildControls();
    FormCreate(parameters);
}

void TClientTestForm::buildControls() {
    setWindowTitle(QStringLiteral("Zorvant Popup Client Tester"));
    setFixedSize(406, 331);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);

    ParamPnl = new QWidget(this);
    ParamPnl->setObjectName(QStringLiteral("ParamPnl"));
    ParamPnl->setGeometry(0, 0, 406, 161);
    const char *captions[] = {"Popup Server", "Workstation", "Print Server",
                              "Queue",        "User Name",   "Job Name"};
    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(QString::fromLatin1(captions[i]), ParamPnl);
        label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        label->move(13, 16 + 24 * i);
    }
    auto combo = [this](const char *name, int top) {
        auto *box = new QComboBox(ParamPnl);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(109, top, 284, 21);
        return box;
    };
    auto edit = [this](const char *name, int top, const char *text) {
        auto *line = new QLineEdit(QString::fromLatin1(text), ParamPnl);
        line->setObjectName(QString::fromLatin1(name));
        line->setGeometry(109, top, 284, 21);
        return line;
    };
    popupServerCb = combo("popupServerCb", 13);
    WorkStationEdt = edit("WorkStationEdt", 37, "Deneb");
    PrintServerCb = combo("PrintServerCb", 61);
    SpoolQueueCb = combo("SpoolQueueCb", 85);
    UserNameEdt = edit("UserNameEdt", 109, "");
    JobNameEdt = edit("JobNameEdt", 133, "Default Job");
    connect(PrintServerCb, &QComboBox::activated, this, [this] { PrintServerCbChange(); });

    QuestionsLv = new QTreeView(this);
    QuestionsLv->setObjectName(QStringLiteral("QuestionsLv"));
    QuestionsLv->setGeometry(5, 165, 393, 129);
    QuestionsLv->setRootIsDecorated(false);
    QuestionsLv->setUniformRowHeights(true);
    QuestionsLv->setModel(&m_answers);
    QuestionsLv->setItemDelegate(new TTestAnswerDelegate(QuestionsLv));
    m_answers.SetHeaders(
        {QStringLiteral("Questions"), QStringLiteral("Prompt"), QStringLiteral("Answers")});
    QuestionsLv->header()->setStretchLastSection(false);
    const int widths[] = {70, 200, 119};
    for (int i = 0; i < 3; ++i)
        QuestionsLv->setColumnWidth(i, widths[i]);

    TestPopupsBtn = new QPushButton(QStringLiteral("&Test Popups"), this);
    TestPopupsBtn->setObjectName(QStringLiteral("TestPopupsBtn"));
    TestPopupsBtn->setGeometry(242, 299, 75, 25);
    TestPopupsBtn->setDefault(true);
    connect(TestPopupsBtn, &QPushButton::clicked, this, [this] { TestPopupsBtnClick(); });
    ExitBtn = new QPushButton(QStringLiteral("E&xit"), this);
    ExitBtn->setObjectName(QStringLiteral("ExitBtn"));
    ExitBtn->setGeometry(322, 299, 75, 25);
    connect(ExitBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TClientTestForm::FormCreate(const QStringList &parameters) {
    for (QPushButton *button : {TestPopupsBtn, ExitBtn})
        button->setText(translateCaption(button->objectName(), button->text()));
    QStringList headers;
    for (int i = 0; i < 3; ++i)
        headers << translateCaption(QStringLiteral("QuestionsLv") + QString::number(i),
                                    m_answers.headerData(i, Qt::Horizontal).toString());
    m_answers.SetHeaders(headers);

    const QString filter = parameter(parameters, 1);
    {
        TZvComDBClient db(QString::fromLatin1(TestClientName),
                          QString::fromLatin1(TZvComDBClient::DefaultRegistryKey));
        m_lists = ReadClientTestLists(db, filter, parameter(parameters, 3));
    }
    popupServerCb->addItems(m_lists.PopupServers);
    PrintServerCb->addItems(m_lists.PrintServers);
    SpoolQueueCb->addItems(QueueNames(m_lists.ServerQueues));
    selectEntry(*popupServerCb, filter);
    selectEntry(*PrintServerCb, filter);
    selectEntry(*SpoolQueueCb, parameter(parameters, 2));

    UserNameEdt->setText(zv::loginName().left(NameBufferChars));
    WorkStationEdt->setText(zv::hostName().left(NameBufferChars));

    if (const QScreen *screen = this->screen())
        PlaceTopLevel(*this, screen->availableGeometry().center() - rect().center());
}

void TClientTestForm::PrintServerCbChange() {
    const QString queue = FirstQueueOf(m_lists.ServerQueues, PrintServerCb->currentText());
    if (queue.isEmpty())
        return;
    const int index = SpoolQueueCb->findText(queue, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        SpoolQueueCb->setCurrentIndex(index);
}

void TClientTestForm::TestPopupsBtnClick() {
    accept();
}

TTestFormResult TClientTestForm::JobResult() const {
    TTestFormResult result;
    TJobDetails &job = result.JobDetails;
    job.WorkStation = WorkStationEdt->text();
    job.OmbrelServer = PrintServerCb->currentText();
    job.SpoolQueue = SpoolQueueCb->currentText();
    job.UserName = UserNameEdt->text();
    job.ReceivedUserName = job.UserName;
    job.Document = JobNameEdt->text();
    job.PrinterName = QStringLiteral("dummy");
    job.NumPages = 1;

    TZvComDBClient db(QString::fromLatin1(TestClientName),
                      QString::fromLatin1(TZvComDBClient::DefaultRegistryKey));
    const TPopupServiceSettings settings = ReadPopupServiceSettings(db);
    result.ServerHost = job.OmbrelServer;
    result.ServerPort = settings.Port;
    result.ReceiveTimeout = settings.TimeOut;
    return result;
}

void TClientTestForm::ShowAnswers(const QList<TTestAnswerRow> &rows) {
    m_answers.SetRows(rows);
    TestPopupsBtn->hide();
    ParamPnl->setEnabled(false);
}

// ---- TClientTester ---------------------------------------------------------------------------

TClientTester::~TClientTester() = default;

std::optional<TTestFormResult> TClientTester::Run() {
    m_form = std::make_unique<TClientTestForm>(m_parameters);
    if (m_form->exec() != QDialog::Accepted)
        return std::nullopt;
    return m_form->JobResult();
}

void TClientTester::ShowAnswersOf(const std::vector<std::unique_ptr<TQuestion>> &questions) {
    if (!m_form)
        return;
    QList<TTestAnswerRow> rows;
    for (const auto &question : questions)
        rows << TestAnswerRowOf(*question);
    m_form->ShowAnswers(rows);
    m_form->exec();
}
