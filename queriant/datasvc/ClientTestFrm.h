// SPDX-License-Identifier: MIT
// The tester's dialog of a start without parameters: before the job it offers the popup
// servers, print servers and queues the database server knows and takes a workstation, user
// and job name; after the job it lists the questions asked with their answers.
#pragma once

#include "PrintDataManager.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>
#include <QStringList>
#include <QStyledItemDelegate>

#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;
class QWidget;
class TQuestion;
class TZvComDBClient;

inline constexpr const char *TestClientName = "POPUPTESTER";
inline constexpr const char *PopupServiceType = "ZvPopupSvr";

// What the database server offers the tester. Each queue entry is "server,queue".
struct TClientTestLists {
    QStringList PopupServers;
    QStringList PrintServers;
    QStringList ServerQueues;
};

// filter: a print server listed first (unless it is "test"); group: the queue group to list,
// all queues when empty. Database errors propagate.
TClientTestLists ReadClientTestLists(TZvComDBClient &db, const QString &filter,
                                     const QString &group);
// The queue part of every "server,queue" entry that has one.
QStringList QueueNames(const QStringList &serverQueues);
// The queue of the first entry for the server (exact comparison); empty when it has none.
QString FirstQueueOf(const QStringList &serverQueues, const QString &server);

struct TPopupServiceSettings {
    QString Port;
    QString TimeOut;
};
// The popup service's port and time-out from the first row of ServiceTypeGet.
TPopupServiceSettings ReadPopupServiceSettings(TZvComDBClient &db);

// One row of the answer list: the question's name (its code for cost-center questions), its
// prompt and its answer.
struct TTestAnswerRow {
    QString Question;
    QString Prompt;
    QString Answer;
};
TTestAnswerRow TestAnswerRowOf(const TQuestion &question);

class TTestAnswersModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit TTestAnswersModel(QObject *parent = nullptr);

    void SetRows(QList<TTestAnswerRow> rows);
    void SetHeaders(const QStringList &headers);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QList<TTestAnswerRow> m_rows;
    QStringList m_headers;
};

// Paints a cell's text with the labels' text drawing.
class TTestAnswerDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

class TClientTestForm : public QDialog {
    Q_OBJECT

public:
    // parameters: the command line without the program path (empty in a test run). Fills the
    // lists from the database server; its errors propagate.
    explicit TClientTestForm(const QStringList &parameters, QWidget *parent = nullptr);

    // The job as chosen, with the popup service's port and time-out asked of the database
    // server.
    TTestFormResult JobResult() const;
    // After the job: the list of questions and answers; the parameters can no longer change.
    void ShowAnswers(const QList<TTestAnswerRow> &rows);

    void PrintServerCbChange();
    void TestPopupsBtnClick();

    QWidget *ParamPnl;
    QComboBox *popupServerCb;
    QLineEdit *WorkStationEdt;
    QComboBox *PrintServerCb;
    QComboBox *SpoolQueueCb;
    QLineEdit *UserNameEdt;
    QLineEdit *JobNameEdt;
    QTreeView *QuestionsLv;
    QPushButton *TestPopupsBtn;
    QPushButton *ExitBtn;

    const TClientTestLists &Lists() const { return m_lists; }
    TTestAnswersModel &AnswersModel() { return m_answers; }

private:
    void buildControls();
    void FormCreate(const QStringList &parameters);

    TClientTestLists m_lists;
    TTestAnswersModel m_answers;
};

// The print data manager's test form: shows the dialog until OK or Exit. The same dialog
// then lists the answers (ShowAnswersOf).
class TClientTester {
public:
    explicit TClientTester(QStringList parameters) : m_parameters(std::move(parameters)) {}
    ~TClientTester();

    std::optional<TTestFormResult> Run();
    // Shows the dialog again with the job's questions and answers, until Exit.
    void ShowAnswersOf(const std::vector<std::unique_ptr<TQuestion>> &questions);
    TClientTestForm *Form() const { return m_form.get(); }

private:
    QStringList m_parameters;
    std::unique_ptr<TClientTestForm> m_form;
};
