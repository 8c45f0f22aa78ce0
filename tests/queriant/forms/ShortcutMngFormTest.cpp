// SPDX-License-Identifier: MIT
// The shortcut manager dialog on a popup-server job whose look-ups the real zvpopupd answers,
// with the user's shortcuts in the test's own user hive: the buttons, the checks at OK, what
// reaches the hive, closing without saving, damaged hives and a hive that cannot be written.
#include "ShortcutMngFrm.h"

#include "AlignLabel.h"
#include "ServerJobFixture.h"
#include "ShortCutManager.h"
#include "ShortcutsModel.h"
#include "TestSupport.h"
#include "ZvRegistry.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QJsonObject costCenter(const char *code, const QString &description, const char *parent = "") {
    return {{"code", code}, {"description", description}, {"parent", parent}};
}

QByteArray scenario() {
    auto level = [](const char *name, const char *category) {
        return QJsonObject{
            {"name", name}, {"prompt", name}, {"type", "costcenter"}, {"category", category}};
    };
    const QJsonObject finance{
        {"transaction", 5},
        {"group", "G"},
        {"descriptors", QJsonArray{level("Department", "Dept"), level("Project", "Project")}}};
    const QJsonObject root{
        {"version", 1005},
        {"queues", QJsonObject{{"Finance", finance}}},
        {"costCenters",
         QJsonObject{
             {"Dept", QJsonArray{costCenter("D100", "Sales"), costCenter("D200", "Engineering"),
                                 costCenter("D300", QStringLiteral("R&D, \"Labs\" Zürich"))}},
             {"Project",
              QJsonArray{costCenter("P210", "Compiler", "D200"), costCenter("P110", "Fair", "D100"),
                         costCenter("P310", QStringLiteral("Été \"quoted\", comma"), "D300")}}}}};
    return QJsonDocument(root).toJson();
}

// Replaces an edit's text as a user typing would (textEdited fires).
void type(QLineEdit *edit, const QString &text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(edit, char(c.unicode()));
        else // a key that only brings its text, as an input method does
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void click(QAbstractButton *button) {
    ASSERT_TRUE(button->isEnabled()) << button->objectName().toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
}

class ShortcutDialogTest : public zvtest::ServerJobFixture {
protected:
    void SetUp() override {
        ServerJobFixture::SetUp();
        if (!IsSkipped())
            startServer(scenario());
    }
    void TearDown() override {
        form.reset();
        ServerJobFixture::TearDown();
    }

    // The user hive holding these lines under the shortcuts key.
    void writeShortcutLines(const QByteArray &lines) {
        sandbox.writeFile(QStringLiteral("user.reg"),
                          "Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\SOFTWARE\\Zorvant\\Popup Client\\shortcuts]\r\n" +
                              lines);
    }
    QByteArray hiveBytes() const { return sandbox.readFile(QStringLiteral("user.reg")); }
    static std::optional<zv::ZvRegKey> shortcutsKey() {
        return zv::ZvRegKey::open(zv::RegRoot::CurrentUser, QString::fromLatin1(ShortcutsKeyName));
    }
    static QStringList hiveNames() {
        const auto key = shortcutsKey();
        return key ? key->valueNames() : QStringList();
    }

    // A popup-server job for the two-level cost-center set; the store loads with it.
    void startJob() {
        makeManager("Finance");
        manager->OnPresentQuestionSet = [](TQuestionManager &, TQuestionSet &, TWizardDirection) {};
        manager->Start();
        for (int i = 0; i < manager->QuestionSetCount(); ++i)
            if (manager->QuestionSet(i)->FormType == FormType::CostCenter)
                costSet = manager->QuestionSet(i);
        ASSERT_NE(costSet, nullptr);
        ASSERT_EQ(costSet->Count(), 2);
    }
    TShortCutManager &store() { return manager->ShortCutManager(); }

    TShortcutMngForm &open() {
        form = std::make_unique<TShortcutMngForm>(*manager);
        form->SetQuestionSet(*costSet);
        form->SetOnSaved([this] { ++saved; });
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return *form;
    }
    QStringList listNames() const { return form->Model().Names(); }
    int selectedRow() const { return form->ShortcutsLb->currentIndex().row(); }
    void clickRow(int row) {
        const QModelIndex index = form->Model().index(row);
        form->ShortcutsLb->scrollTo(index);
        QCoreApplication::processEvents(); // the view lays its items out late
        QTest::mouseClick(form->ShortcutsLb->viewport(), Qt::LeftButton, {},
                          form->ShortcutsLb->visualRect(index).center());
        ASSERT_EQ(selectedRow(), row);
    }
    // A new shortcut with a name and one code per level.
    void addShortcut(const QString &name, const QStringList &codes) {
        click(form->AddBtn);
        type(form->NameEdt, name);
        for (int i = 0; i < codes.size(); ++i)
            type(form->CatEdt[size_t(i)], codes[i]);
    }

    TQuestionSet *costSet = nullptr;
    std::unique_ptr<TShortcutMngForm> form;
    int saved = 0;
};

TEST_F(ShortcutDialogTest, ShowsTheLevelsAndCaptions) {
    startJob();
    open();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Shortcut Manager"));
    EXPECT_EQ(form->size(), QSize(410, 291));
    EXPECT_EQ(form->AddBtn->text(), QStringLiteral("&New"));
    EXPECT_EQ(form->DeleteBtn->text(), QStringLiteral("&Delete"));
    EXPECT_EQ(form->SaveBtn->text(), QStringLiteral("&OK"));
    EXPECT_TRUE(form->SaveBtn->isDefault());
    EXPECT_EQ(form->CancelBtn->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("Shortcut name"));
    EXPECT_EQ(form->MoveUpBtn->toolTip(), QStringLiteral("Move shortcut up"));
    EXPECT_EQ(form->MoveDownBtn->toolTip(), QStringLiteral("Move shortcut Down"));
    // One row per level, the rest hidden; every code edit 24 pixels below the one before.
    EXPECT_EQ(form->CatLbl[0]->text(), QStringLiteral("Dept"));
    EXPECT_EQ(form->CatLbl[1]->text(), QStringLiteral("Project"));
    EXPECT_EQ(form->CatEdt[1]->accessibleName(), QStringLiteral("Project"));
    EXPECT_EQ(form->CatEdt[1]->y() - form->CatEdt[0]->y(), 24);
    for (int i = 0; i < TShortcutMngForm::MaxLevels; ++i) {
        EXPECT_EQ(form->CatLbl[size_t(i)]->isVisible(), i < 2) << i;
        EXPECT_EQ(form->CatEdt[size_t(i)]->isVisible(), i < 2) << i;
    }
    // An empty store: nothing to edit, delete or move.
    EXPECT_EQ(form->Model().rowCount(), 0);
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->NameEdt, form->DeleteBtn, form->CatEdt[0], form->MoveUpBtn, form->MoveDownBtn})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form->AddBtn->isEnabled());
    // Centred on the screen.
    const QRect area = form->screen()->availableGeometry();
    EXPECT_LE(std::abs(form->frameGeometry().center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(form->frameGeometry().center().y() - area.center().y()), 1);
}

TEST_F(ShortcutDialogTest, NewNamesCountUpAndEmptyOnesGoAtOk) {
    startJob();
    open();
    for (int i = 0; i < 3; ++i)
        click(form->AddBtn);
    EXPECT_EQ(listNames(),
              QStringList({QStringLiteral("New Shortcut1"), QStringLiteral("New Shortcut2"),
                           QStringLiteral("New Shortcut3")}));
    EXPECT_EQ(form->Model().data(form->Model().index(2)).toString(),
              QStringLiteral("F3    New Shortcut3"));
    // The new one is selected with its whole name, ready to be typed over.
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(form->NameEdt->selectedText(), QStringLiteral("New Shortcut3"));
    EXPECT_EQ(store().Item(2)->ID(), QByteArray("0002"));

    clickRow(0);
    type(form->CatEdt[0], QStringLiteral("D200"));
    type(form->CatEdt[1], QStringLiteral("p210"));
    click(form->SaveBtn);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(form->DetailLbl->caption(), QStringLiteral("Shortcuts saved"));
    // Checked level by level, the previous level's code as parent; the server's descriptions.
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Dept|D200||25]"), 1);
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Project|p210|D200|25]"), 1);
    EXPECT_EQ(hiveNames(), QStringList({QStringLiteral("New Shortcut1")}));
    ASSERT_TRUE(shortcutsKey());
    EXPECT_EQ(shortcutsKey()->readString(QStringLiteral("New Shortcut1")),
              QStringLiteral("\"0000\",\"D200\",\"Engineering\",\"p210\",\"Compiler\""));
    ASSERT_EQ(store().Count(), 1);
    EXPECT_FALSE(store().Item(0)->Modified());
}

TEST_F(ShortcutDialogTest, SelectionDeleteAndMoves) {
    writeShortcutLines("\"A\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\"\"\r\n"
                       "\"B\"=\"\\\"0001\\\",\\\"D200\\\",\\\"Engineering\\\",\\\"P210\\\","
                       "\\\"Compiler\\\"\"\r\n"
                       "\"C\"=\"\\\"0002\\\",\\\"D300\\\",\\\"x\\\"\"\r\n");
    startJob();
    open();
    ASSERT_EQ(listNames(), QStringList({"A", "B", "C"}));
    // The first entry is loaded when the dialog opens.
    EXPECT_EQ(selectedRow(), 0);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("A"));
    EXPECT_EQ(form->DetailLbl->caption(), QStringLiteral("D100 Sales"));
    EXPECT_FALSE(form->MoveUpBtn->isEnabled());
    EXPECT_TRUE(form->MoveDownBtn->isEnabled());

    // A shortcut with fewer levels shows empty rows, not the codes of the one before.
    clickRow(1);
    EXPECT_EQ(form->CatEdt[1]->text(), QStringLiteral("P210"));
    EXPECT_EQ(form->DetailLbl->caption(), QStringLiteral("D200 Engineering / P210 Compiler"));
    EXPECT_TRUE(form->MoveUpBtn->isEnabled());
    EXPECT_TRUE(form->MoveDownBtn->isEnabled());
    clickRow(2);
    EXPECT_EQ(form->CatEdt[0]->text(), QStringLiteral("D300"));
    EXPECT_EQ(form->CatEdt[1]->text(), QString());
    EXPECT_TRUE(form->MoveUpBtn->isEnabled());
    EXPECT_FALSE(form->MoveDownBtn->isEnabled());

    click(form->MoveUpBtn);
    EXPECT_EQ(listNames(), QStringList({"A", "C", "B"}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("C"));
    click(form->MoveUpBtn);
    EXPECT_EQ(listNames(), QStringList({"C", "A", "B"}));
    EXPECT_FALSE(form->MoveUpBtn->isEnabled());
    click(form->MoveDownBtn);
    EXPECT_EQ(listNames(), QStringList({"A", "C", "B"}));

    // Delete takes the selected one and selects the last.
    click(form->DeleteBtn);
    EXPECT_EQ(listNames(), QStringList({"A", "B"}));
    EXPECT_EQ(selectedRow(), 1);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("B"));
    click(form->DeleteBtn);
    click(form->DeleteBtn);
    EXPECT_EQ(form->Model().rowCount(), 0);
    EXPECT_EQ(form->EditedShortcut(), nullptr);
    EXPECT_FALSE(form->NameEdt->isEnabled());
    EXPECT_FALSE(form->DeleteBtn->isEnabled());
    EXPECT_EQ(form->NameEdt->text(), QString());

    // Nothing checked with the server: nothing was changed that OK would keep.
    click(form->SaveBtn);
    EXPECT_EQ(requests("received FINDUSERCODES"), 0);
    EXPECT_EQ(hiveNames(), QStringList());
}

TEST_F(ShortcutDialogTest, DuplicateNamesIgnoringCaseAreRefused) {
    writeShortcutLines("\"Office\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\","
                       "\\\"Fair\\\"\"\r\n"
                       "\"Lab\"=\"\\\"0001\\\",\\\"D200\\\",\\\"Engineering\\\"\"\r\n");
    startJob();
    const QByteArray before = hiveBytes();
    open();
    addShortcut(QStringLiteral("office"), {QStringLiteral("D200"), QStringLiteral("P210")});
    clickRow(0);
    click(form->SaveBtn);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->DetailLbl->caption(),
              QStringLiteral("Duplicate Shortcut Names are not allowed"));
    EXPECT_EQ(selectedRow(), 2);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("office"));
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(hiveBytes(), before);

    type(form->NameEdt, QStringLiteral("Office 2"));
    EXPECT_EQ(form->Model().data(form->Model().index(2)).toString(),
              QStringLiteral("F3    Office 2"));
    click(form->SaveBtn);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(hiveNames(), QStringList({"Office", "Lab", "Office 2"}));
}

TEST_F(ShortcutDialogTest, ACodeNotUnderThePreviousLevelIsReportedAndNothingSaved) {
    writeShortcutLines("\"Office\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\","
                       "\\\"Fair\\\"\"\r\n");
    startJob();
    const QByteArray before = hiveBytes();
    open();
    addShortcut(QStringLiteral("Mine"), {QStringLiteral("D100"), QStringLiteral("P210")});
    clickRow(0);
    click(form->SaveBtn);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->DetailLbl->caption(),
              QStringLiteral("Mine is incorrect. The Cost Center P210 for Project is not "
                             "available."));
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("Mine"));
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Project|P210|D100|25]"), 1);
    // The unchanged shortcut is not asked about.
    EXPECT_EQ(requests("received FINDUSERCODES [alice|Project|P110"), 0);
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(hiveBytes(), before);

    // A level left empty is unavailable too; the message names the empty code.
    type(form->CatEdt[1], QString());
    click(form->SaveBtn);
    EXPECT_EQ(form->DetailLbl->caption(),
              QStringLiteral("Mine is incorrect. The Cost Center  for Project is not available."));
    EXPECT_EQ(hiveBytes(), before);
}

// Cancel, Escape and the close box all drop what was changed since the last save.
TEST_F(ShortcutDialogTest, EveryCloseWithoutOkRestoresTheSavedShortcuts) {
    writeShortcutLines("\"Office\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\"\"\r\n");
    startJob();
    const std::pair<const char *, std::function<void(TShortcutMngForm &)>> closes[] = {
        {"Cancel", [](TShortcutMngForm &f) { click(f.CancelBtn); }},
        {"Escape", [](TShortcutMngForm &f) { QTest::keyClick(&f, Qt::Key_Escape); }},
        {"close box", [](TShortcutMngForm &f) { f.close(); }},
    };
    for (const auto &[how, close] : closes) {
        SCOPED_TRACE(how);
        open();
        type(form->NameEdt, QStringLiteral("Renamed"));
        type(form->CatEdt[0], QStringLiteral("D200"));
        click(form->AddBtn);
        EXPECT_EQ(store().Item(0)->Name(), QByteArray("Renamed"));
        close(*form);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Rejected);
        ASSERT_EQ(store().Count(), 1);
        EXPECT_EQ(store().Item(0)->Name(), QByteArray("Office"));
        EXPECT_EQ(store().Item(0)->Codes(), QByteArrayList({"D100"}));

        open();
        EXPECT_EQ(form->NameEdt->text(), QStringLiteral("Office"));
        EXPECT_EQ(form->CatEdt[0]->text(), QStringLiteral("D100"));
        click(form->CancelBtn);
    }
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(hiveNames(), QStringList({"Office"}));
}

TEST_F(ShortcutDialogTest, ASavedListReadsBackIdentically) {
    startJob();
    open();
    const QString names[] = {QStringLiteral("Say \"hi\""), QStringLiteral("a,b, c"),
                             QStringLiteral("Zürich ☂ 東京"), QStringLiteral("back\\slash =x")};
    addShortcut(names[0], {QStringLiteral("D300"), QStringLiteral("P310")});
    addShortcut(names[1], {QStringLiteral("D200"), QStringLiteral("P210")});
    addShortcut(names[2], {QStringLiteral("D100"), QStringLiteral("P110")});
    addShortcut(names[3], {QStringLiteral("D300"), QStringLiteral("P310")});
    click(form->SaveBtn);
    ASSERT_EQ(saved, 1);

    TShortCutManager reread;
    reread.Load();
    ASSERT_EQ(reread.Count(), 4);
    const QByteArrayList quotedDescriptions{"R&D, \"Labs\" Zürich", "Été \"quoted\", comma"};
    const QByteArrayList expected[] = {
        quotedDescriptions, {"Engineering", "Compiler"}, {"Sales", "Fair"}, quotedDescriptions};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const TShortCutDef &s = *reread.Item(i);
        EXPECT_EQ(s.Name(), names[i].toUtf8());
        EXPECT_EQ(s.ID(), QByteArray::number(i).rightJustified(4, '0'));
        EXPECT_EQ(s.Descriptions(), expected[i]);
        // The dialog's store holds the same after it reloaded on closing.
        EXPECT_EQ(store().Item(i)->Name(), s.Name());
        EXPECT_EQ(store().Item(i)->Codes(), s.Codes());
        EXPECT_EQ(store().Item(i)->Descriptions(), s.Descriptions());
    }
    EXPECT_EQ(reread.Item(0)->Codes(), QByteArrayList({"D300", "P310"}));
}

// Values the dialog did not write: damaged, of other types, deeper than the set. The dialog
// lists them all; OK drops the ones that hold nothing and writes back only text that reads
// back as the same shortcut.
TEST_F(ShortcutDialogTest, DamagedValuesOpenAndOkWritesOnlyWhatReadsBack) {
    writeShortcutLines(
        "\"Good\"=\"\\\"0000\\\",\\\"D200\\\",\\\"Engineering\\\",\\\"P210\\\","
        "\\\"Compiler\\\"\"\r\n"
        "\"Truncated\"=\"\\\"0001\\\",\\\"D200\\\",\\\"Engin\"\r\n"
        "\"Odd\"=\"\\\"0002\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\"\"\r\n"
        "\"Number\"=dword:00000005\r\n"
        "\"Blob\"=hex:01,02\r\n"
        "\"Bare\"=\"\"\r\n"
        "\"Unquoted\"=\"7,D100,Sales  P110,,\"\r\n"
        "\"Deep\"=\"\\\"0009\\\",\\\"L1\\\",\\\"d1\\\",\\\"L2\\\",\\\"d2\\\",\\\"L3\\\","
        "\\\"d3\\\",\\\"L4\\\",\\\"d4\\\"\"\r\n"
        "\"Junk\"=\"\\\"\\\"\\\",,\\\"\\\"\\\"x\"\r\n");
    startJob();
    open();
    EXPECT_EQ(listNames(), QStringList({"Good", "Truncated", "Odd", "Number", "Blob", "Bare",
                                        "Unquoted", "Deep", "Junk"}));
    // Only the set's two levels have rows; a deeper shortcut shows its first two codes.
    clickRow(7);
    EXPECT_EQ(form->CatEdt[0]->text(), QStringLiteral("L1"));
    EXPECT_EQ(form->CatEdt[1]->text(), QStringLiteral("L2"));
    EXPECT_EQ(form->DetailLbl->caption(), QStringLiteral("L1 d1 / L2 d2 / L3 d3 / L4 d4"));

    click(form->SaveBtn);
    ASSERT_EQ(saved, 1) << form->DetailLbl->caption().toStdString();
    // Nothing was changed, so nothing was checked with the server.
    EXPECT_EQ(requests("received FINDUSERCODES"), 0);
    const QStringList names = hiveNames();
    EXPECT_EQ(names, QStringList({"Good", "Truncated", "Odd", "Unquoted", "Deep", "Junk"}));
    const auto key = shortcutsKey();
    ASSERT_TRUE(key);
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const std::optional<QString> data = key->readString(name);
        ASSERT_TRUE(data.has_value());
        EXPECT_EQ(QString::fromUtf8(ParseShortcut(name.toUtf8(), *data)->Serialise()), *data);
    }
    EXPECT_EQ(key->readString(QStringLiteral("Deep")),
              QStringLiteral("\"0004\",\"L1\",\"d1\",\"L2\",\"d2\",\"L3\",\"d3\",\"L4\",\"d4\""));
}

TEST_F(ShortcutDialogTest, AThousandShortcuts) {
    QByteArray lines;
    for (int i = 0; i < 1000; ++i)
        lines += "\"S" + QByteArray::number(i) + "\"=\"\\\"" +
                 QByteArray::number(i).rightJustified(4, '0') +
                 "\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\",\\\"Fair\\\"\"\r\n";
    writeShortcutLines(lines);
    startJob();
    open();
    ASSERT_EQ(form->Model().rowCount(), 1000);
    EXPECT_EQ(form->Model().data(form->Model().index(9)).toString(), QStringLiteral("F10  S9"));
    EXPECT_EQ(form->Model().data(form->Model().index(10)).toString(),
              QStringLiteral("        S10"));
    clickRow(999);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("S999"));
    type(form->NameEdt, QStringLiteral("Last"));
    click(form->SaveBtn);
    ASSERT_EQ(saved, 1);
    const QStringList names = hiveNames();
    ASSERT_EQ(names.size(), 1000);
    EXPECT_EQ(names.last(), QStringLiteral("Last"));
    ASSERT_TRUE(shortcutsKey());
    EXPECT_EQ(shortcutsKey()->readString(QStringLiteral("Last")),
              QStringLiteral("\"0999\",\"D100\",\"Sales\",\"P110\",\"Fair\""));
}

// A hive that cannot be written: the store's message, the dialog stays open with the edits,
// and OK succeeds once the hive can be written again.
TEST_F(ShortcutDialogTest, AHiveThatCannotBeWrittenKeepsTheDialogOpen) {
    writeShortcutLines("\"Office\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\","
                       "\\\"Fair\\\"\"\r\n");
    startJob();
    const QByteArray before = hiveBytes();
    open();
    type(form->NameEdt, QStringLiteral("Head office"));

    const QString hive = sandbox.userRegPath();
    const QString lock = hive + QStringLiteral(".lock");
    ASSERT_EQ(::chmod(QFile::encodeName(hive).constData(), 0400), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(sandbox.dir()).constData(), 0500), 0);
    // Modes do not stop root: a folder where the lock file belongs does.
    const bool root = ::geteuid() == 0;
    if (root) {
        QFile::remove(lock);
        ASSERT_TRUE(QDir().mkdir(lock));
    }
    click(form->SaveBtn);
    ::chmod(QFile::encodeName(sandbox.dir()).constData(), 0700);
    ::chmod(QFile::encodeName(hive).constData(), 0600);
    if (root)
        QDir(lock).removeRecursively();

    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->DetailLbl->caption(),
              QStringLiteral("Failed to open read/write registry "
                             "HKEY_CURRENT_USER\\SOFTWARE\\Zorvant\\Popup Client\\shortcuts"));
    EXPECT_EQ(saved, 0);
    EXPECT_EQ(hiveBytes(), before);
    EXPECT_EQ(form->NameEdt->text(), QStringLiteral("Head office"));
    EXPECT_EQ(listNames(), QStringList({"Head office"}));

    click(form->SaveBtn);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(hiveNames(), QStringList({"Head office"}));
}

TEST_F(ShortcutDialogTest, RightToLeftMirrorsTheDialog) {
    startJob();
    SetRightToLeftLayout(true);
    open();
    SetRightToLeftLayout(false);
    EXPECT_EQ(form->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(form->DetailLbl->alignment(), taRightJustify);
    EXPECT_TRUE(form->Label6->alignment() & Qt::AlignRight);
    EXPECT_TRUE(form->CatLbl[0]->alignment() & Qt::AlignRight);
    // The list sits on the right, the buttons New and Delete too.
    EXPECT_GT(form->ShortcutsLb->x(), form->width() / 2);
    EXPECT_GT(form->AddBtn->x(), form->SaveBtn->x());
    const auto rightEdge = [&](QWidget *w) {
        return w->mapTo(form.get(), QPoint(w->width(), 0)).x();
    };
    for (int i = 0; i < TShortcutMngForm::DesignLevelRows; ++i)
        EXPECT_EQ(rightEdge(form->CatLbl[size_t(i)]), rightEdge(form->Label6)) << i;
}

// The cost-center dialog's way in: a new shortcut from a history row, saved through OK.
TEST_F(ShortcutDialogTest, OpenedWithANewShortcutFromTheOpener) {
    startJob();
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<TShortcutMngForm *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->NameEdt->text(), QStringLiteral("New Shortcut1"));
        EXPECT_EQ(dialog->CatEdt[1]->text(), QStringLiteral("P210"));
        EXPECT_EQ(dialog->DetailLbl->caption(), QStringLiteral("D200 Engineering / P210 Compiler"));
        dialog->SaveBtn->click();
    });
    int refreshed = 0;
    const bool result = OpenShortcutManager(
        *manager, *costSet, nullptr, [&] { ++refreshed; },
        TShortcutLevels{{"D200", "P210"}, {"Engineering", "Compiler"}});
    EXPECT_TRUE(result);
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(hiveNames(), QStringList({"New Shortcut1"}));
}

} // namespace

// Renders the dialog to <build>/screenshots/shortcutmng.png. Under a real X server
// (ZV_TEST_PLATFORM=xcb DISPLAY=...) the picture is what the server shows.
TEST_F(ShortcutDialogTest, Picture) {
    writeShortcutLines("\"Office\"=\"\\\"0000\\\",\\\"D100\\\",\\\"Sales\\\",\\\"P110\\\","
                       "\\\"Fair\\\"\"\r\n"
                       "\"Compiler work\"=\"\\\"0001\\\",\\\"D200\\\",\\\"Engineering\\\","
                       "\\\"P210\\\",\\\"Compiler\\\"\"\r\n"
                       "\"Lab Zürich\"=\"\\\"0002\\\",\\\"D300\\\",\\\"R&D\\\",\\\"P310\\\","
                       "\\\"Labs\\\"\"\r\n");
    startJob();
    open();
    clickRow(1);
    QImage image;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        form->activateWindow();
        QTest::qWait(300);
        image = form->screen()->grabWindow(0).toImage().copy(form->frameGeometry());
    } else {
        image = form->grab().toImage();
    }
    const QString dir = QStringLiteral(ZV_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    ASSERT_TRUE(image.save(dir + QStringLiteral("/shortcutmng.png")));
    EXPECT_EQ(image.size(), QSize(410, 291));
    EXPECT_EQ(image.pixelColor(200, 272), QColor(0xF6, 0xFB, 0xFF)) << "dialog background";
}
