// SPDX-License-Identifier: MIT
// A popup-server job as a screen-reader user meets it: zvpopupd serves the job, zvjob starts
// queriant under Xvfb with the accessibility bus of a private session bus, and each dialog is
// read over that bus the way a screen reader reads it while the keyboard answers it.
#include "E2ESupport.h"
#include "PopupServerProcess.h"
#include "TestSupport.h"
#include "ZvNamedEvent.h"
#include "ZvRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <algorithm>

namespace {

QJsonObject descriptor(const char *name, const char *prompt, const char *description,
                       const char *type, const char *category) {
    return {{"name", name}, {"prompt", prompt}, {"description", description},
            {"type", type}, {"mandatory", 1},   {"category", category}};
}

QJsonObject costCenter(const char *code, const char *description, const char *parent = "") {
    return {{"code", code}, {"description", description}, {"parent", parent}};
}

// An integer, a list and a two-level cost center with the user's history.
QByteArray scenario() {
    QJsonObject copies =
        descriptor("Copies", "How many copies?", "Between 1 and 10", "integer", "Copies");
    copies["min"] = 1;
    copies["max"] = 10;
    QJsonObject paper = descriptor("Paper", "Which paper?", "Choose the paper", "list", "Paper");
    paper["list"] = QJsonArray{"Plain", "Recycled", "Glossy"};
    const QJsonObject queue{
        {"transaction", 21},
        {"options", 0},
        {"group", "Reader"},
        {"descriptors", QJsonArray{copies, paper,
                                   descriptor("Department", "Department", "Charge a department",
                                              "costcenter", "Dept"),
                                   descriptor("Project", "Project", "Project of the department",
                                              "costcenter", "Project")}}};
    const QJsonObject root{
        {"version", 1005},
        {"queues", QJsonObject{{"Reader", queue}}},
        {"costCenters",
         QJsonObject{
             {"Dept", QJsonArray{costCenter("D100", "Sales"), costCenter("D200", "Engineering")}},
             {"Project", QJsonArray{costCenter("P110", "Trade fair", "D100"),
                                    costCenter("P210", "Compiler", "D200")}}}},
        {"recentCodes", QJsonObject{{"alice", QJsonObject{{"Dept", QJsonArray{"D200"}}}}}},
        {"lastAnswers",
         QJsonObject{
             {"alice",
              QJsonObject{{"Dept", QJsonObject{{"categories", QJsonArray{"Dept", "Project"}},
                                               {"combinations",
                                                QJsonArray{QJsonArray{"D200", "P210"},
                                                           QJsonArray{"D100", "P110"}}}}}}}}},
        {"verify", QJsonObject{{"rule", "always"}}}};
    return QJsonDocument(root).toJson();
}

// The popup's title in a popup-server job.
const QString Title = QStringLiteral("Print Job Details");

struct Control {
    QString role;
    QString name;
    QString description;
    QStringList states;
    bool item = false;
};

QList<Control> controlsOf(const QJsonObject &step) {
    QList<Control> controls;
    for (const QJsonValue &value : step.value(QStringLiteral("controls")).toArray()) {
        const QJsonObject o = value.toObject();
        Control c{o.value(QStringLiteral("role")).toString(),
                  o.value(QStringLiteral("name")).toString(),
                  o.value(QStringLiteral("description")).toString(),
                  {},
                  o.value(QStringLiteral("item")).toBool()};
        for (const QJsonValue &state : o.value(QStringLiteral("states")).toArray())
            c.states << state.toString();
        controls << c;
    }
    return controls;
}

// What a screen reader says of a control on reaching it: its name, and its description after
// a pause. The rows of a list or grid are read by name; the list itself carries the
// description.
void expectEveryControlNamedAndDescribed(const QList<Control> &controls, const char *dialog) {
    ASSERT_FALSE(controls.isEmpty()) << dialog;
    for (const Control &c : controls) {
        EXPECT_FALSE(c.name.isEmpty()) << dialog << ": a " << qPrintable(c.role) << " has no name";
        if (!c.item) {
            EXPECT_FALSE(c.description.isEmpty()) << dialog << ": " << qPrintable(c.role) << " '"
                                                  << qPrintable(c.name) << "' has no description";
        }
    }
}

// The rows of the lists and grids that are selected, and the one with the focus.
QStringList selectedItems(const QList<Control> &controls) {
    QStringList names;
    for (const Control &c : controls)
        if (c.item && c.states.contains(QStringLiteral("selected")))
            names << c.name;
    return names;
}
QString focusedItem(const QList<Control> &controls) {
    for (const Control &c : controls)
        if (c.item && c.states.contains(QStringLiteral("focused")))
            return c.name;
    return QString();
}

class AccessibilityE2E : public ::testing::Test {
protected:
    zvtest::Sandbox sandbox;
    QString trigger = sandbox.uniqueName(QStringLiteral("trigger"));
    zvtest::ScopedEnv triggerEnv{"ZORVANT_UPDATE_TRIGGER", trigger.toUtf8()};
    zvtest::ScopedEnv priorJobsEnv{"ZORVANT_PRIOR_JOBS_SECTION",
                                   sandbox.uniqueName(QStringLiteral("priorjobs")).toUtf8()};
    ~AccessibilityE2E() override { zv::ZvNamedEvent::unlink(trigger); }

    std::unique_ptr<zvtest::PopupServerProcess> server;
    std::unique_ptr<e2e::VirtualDisplay> display;
    std::unique_ptr<e2e::PrivateBus> bus;

    void SetUp() override {
        if (const std::optional<QString> missing = e2e::accessibilityMissing())
            GTEST_SKIP() << qPrintable(*missing);
        server = std::make_unique<zvtest::PopupServerProcess>(
            e2e::binPath(QStringLiteral("zvpopupd")),
            QStringList{QStringLiteral("--scenario"),
                        sandbox.writeFile(QStringLiteral("scenario.json"), scenario()),
                        QStringLiteral("--key-bits"), QStringLiteral("512"),
                        QStringLiteral("--log"), sandbox.path(QStringLiteral("server.log"))});
        ASSERT_GT(server->port(), 0);
        const auto key = zv::ZvRegKey::create(
            zv::RegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Zorvant\\Popup Client\\server"));
        key.writeString(QStringLiteral("ServerPort"), QString::number(server->port()));
        key.writeString(QStringLiteral("ReceiveTimeout"), QStringLiteral("20"));
        display = std::make_unique<e2e::VirtualDisplay>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display->name());
        bus = std::make_unique<e2e::PrivateBus>(env);
    }

    void startJob(QProcess &job) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("DISPLAY"), display->name());
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus->address());
        env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        env.insert(QStringLiteral("XDG_SESSION_ID"), QStringLiteral("5"));
        job.setProcessEnvironment(env);
        job.start(e2e::binPath(QStringLiteral("zvjob")),
                  {QStringLiteral("--json"), QStringLiteral("--timeout"), QStringLiteral("90"),
                   QStringLiteral("--print-server"), QStringLiteral("127.0.0.1"),
                   QStringLiteral("--queue"), QStringLiteral("Reader"), QStringLiteral("--user"),
                   QStringLiteral("alice"), QStringLiteral("--document"),
                   QStringLiteral("report.pdf"), QStringLiteral("--pages"), QStringLiteral("3"),
                   QStringLiteral("--section"), sandbox.uniqueName(QStringLiteral("job"))});
        ASSERT_TRUE(job.waitForStarted());
    }

    // The report of a11y-read's steps on the popup; every step must have been done.
    QJsonArray read(const QStringList &steps) const {
        const std::optional<QJsonObject> report =
            e2e::readOverAccessibility(bus->address(), display->name(), Title, steps);
        if (!report) {
            ADD_FAILURE() << "a11y-read printed no report";
            return {};
        }
        EXPECT_FALSE(report->contains(QStringLiteral("error")))
            << qPrintable(QJsonDocument(*report).toJson());
        const QJsonObject window = report->value(QStringLiteral("window")).toObject();
        EXPECT_EQ(window.value(QStringLiteral("name")).toString(), Title);
        EXPECT_EQ(window.value(QStringLiteral("role")).toString(), QStringLiteral("dialog"));
        return report->value(QStringLiteral("steps")).toArray();
    }
};

} // namespace

TEST_F(AccessibilityE2E, DialogsReadOverTheAccessibilityBusAndAnsweredByKeyboard) {
    QProcess process;
    startJob(process);
    const QString tooMany = QStringLiteral("Value can not be more than 10");

    // The integer dialog: a wrong answer shows its message on the error line, which announces
    // it by its new name; the edit is then described with the message too.
    QJsonArray steps = read({"wait-name:How many copies?", "tree", "focus", "type:99", "key:Return",
                             "wait-renamed:" + tooMany, "wait-name:" + tooMany, "tree"});
    ASSERT_EQ(steps.size(), 8);
    QList<Control> controls = controlsOf(steps[1].toObject());
    expectEveryControlNamedAndDescribed(controls, "integer");
    const auto focused = [](const QList<Control> &list) {
        const auto c = std::find_if(list.cbegin(), list.cend(), [](const Control &c) {
            return !c.item && c.states.contains(QStringLiteral("focused"));
        });
        return c == list.cend() ? Control() : *c;
    };
    EXPECT_EQ(focused(controls).name, QStringLiteral("How many copies?"));
    EXPECT_EQ(focused(controls).description, QStringLiteral("Required\nBetween 1 and 10"));
    controls = controlsOf(steps[7].toObject());
    expectEveryControlNamedAndDescribed(controls, "integer after the error");
    EXPECT_EQ(focused(controls).description,
              QStringLiteral("Required\nBetween 1 and 10\n") + tooMany);

    steps = read({"focus", "key:ctrl+a", "type:3", "key:Return", "wait-name:Which paper?"});
    ASSERT_EQ(steps.size(), 5);

    // The list dialog: the row the typing found, then the one the arrow keys moved to, is the
    // one selected item, and the focus is on it.
    steps = read({"wait-name:Which paper?", "tree", "focus", "type:Rec", "wait-selected:Recycled",
                  "tree", "key:Down Down", "wait-selected:Glossy", "tree"});
    ASSERT_EQ(steps.size(), 9);
    expectEveryControlNamedAndDescribed(controlsOf(steps[1].toObject()), "list");
    EXPECT_EQ(selectedItems(controlsOf(steps[5].toObject())), QStringList{"Recycled"});
    controls = controlsOf(steps[8].toObject());
    EXPECT_EQ(selectedItems(controls), QStringList{"Glossy"});
    EXPECT_EQ(focusedItem(controls), QStringLiteral("Glossy"));

    // The cost-center dialog: its grid is read under its header, and the history row the arrow
    // key moved to is the selected row.
    const QString header = QStringLiteral("Most recent Dept / Project selections");
    steps = read({"focus", "key:Return", "wait-name:" + header, "tree", "key:Down",
                  "wait-selected:D200", "tree", "key:Return"});
    ASSERT_EQ(steps.size(), 8);
    controls = controlsOf(steps[3].toObject());
    expectEveryControlNamedAndDescribed(controls, "cost center");
    EXPECT_TRUE(std::any_of(controls.cbegin(), controls.cend(), [&](const Control &c) {
        return c.role == QStringLiteral("table") && c.name == header &&
               c.description == QStringLiteral("Type the Dept / Project codes");
    }));
    controls = controlsOf(steps[6].toObject());
    EXPECT_EQ(selectedItems(controls).value(0), QStringLiteral("D200"));
    EXPECT_EQ(focusedItem(controls), QStringLiteral("D200"));

    ASSERT_TRUE(process.waitForFinished(60000));
    const QList<QByteArray> out = process.readAllStandardOutput().trimmed().split('\n');
    const QJsonObject report = QJsonDocument::fromJson(out.last()).object();
    ASSERT_EQ(process.exitCode(), 1) << process.readAllStandardError().constData();
    QStringList lines;
    for (const QJsonValue &line : report.value(QStringLiteral("answerRecord"))
                                      .toObject()
                                      .value(QStringLiteral("lines"))
                                      .toArray())
        lines << line.toString();
    // Workstation, user, document and pages come first; the notify address last.
    EXPECT_EQ(lines.mid(4, lines.size() - 6),
              QStringList({"CC_Static", "Copies\r3", "CC_Static", "Paper\rGlossy", "CC_Static",
                           "Dept\rD200", "CC_Static", "Project\rP210"}))
        << qPrintable(QJsonDocument(report).toJson());
    // The answers go back through the job section; the server checked the chosen combination.
    EXPECT_TRUE(sandbox.readFile(QStringLiteral("server.log"))
                    .contains("received FINDUSERCODES [alice|Project|P210|D200|"));
}
