// SPDX-License-Identifier: MIT
// The logon, list and cost-center dialogs in the language of the locale the test runs under
// (ctest runs it in English, German and Arabic, with the shipped language file beside the test):
// no text is cut, and each dialog is saved as <build>/screenshots/<form>-<language>.png.
#include "AlignLabel.h"
#include "CostCenterQuestionFrm.h"
#include "FormFactory.h"
#include "FormLook.h"
#include "QuestionFormFixture.h"
#include "ResourceStrings.h"
#include "ServerJobFixture.h"
#include "SimpleTranslator.h"
#include "ZvProcessInfo.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTableView>

namespace {

// The sample texts a server would send, in the test's language (English for the languages
// without samples of their own).
struct Samples {
    const char *userName, *userNameHint, *password, *passwordHint;
    const char *listPrompt, *listHint;
    QByteArrayList listChoices;
    const char *department, *project;
    const char *sales, *engineering, *fair, *compiler;
};

const Samples &samples() {
    static const Samples english{"User name",
                                 "Your network logon name.",
                                 "Password",
                                 "Your network password.",
                                 "Which department is this print job for?",
                                 "Pick the department that pays for the job.",
                                 {"Sales", "Engineering", "Finance", "Human resources"},
                                 "Department",
                                 "Project",
                                 "Sales",
                                 "Engineering",
                                 "Trade fair",
                                 "Compiler"};
    static const Samples german{"Benutzername",
                                "Ihr Anmeldename im Netzwerk.",
                                "Kennwort",
                                "Ihr Netzwerkkennwort.",
                                "Für welche Abteilung ist dieser Druckauftrag?",
                                "Wählen Sie die Abteilung, die den Auftrag bezahlt.",
                                {"Vertrieb", "Entwicklung", "Finanzen", "Personalabteilung"},
                                "Abteilung",
                                "Projekt",
                                "Vertrieb",
                                "Entwicklung",
                                "Messe",
                                "Compiler"};
    static const Samples arabic{"اسم المستخدم",
                                "اسم تسجيل الدخول إلى الشبكة.",
                                "كلمة المرور",
                                "كلمة مرور الشبكة.",
                                "لأي قسم مهمة الطباعة هذه؟",
                                "اختر القسم الذي يتحمل تكلفة المهمة.",
                                {"المبيعات", "الهندسة", "المالية", "الموارد البشرية"},
                                "القسم",
                                "المشروع",
                                "المبيعات",
                                "الهندسة",
                                "المعرض التجاري",
                                "المترجم"};
    switch (UserLanguage()) {
    case zv::LANG_GERMAN:
        return german;
    case zv::LANG_ARABIC:
        return arabic;
    default:
        return english;
    }
}

// Checks that the test runs in a language of the language file, with the file found;
// Arabic dialogs read right to left, as the process entry decides for an Arabic system, unless
// the test asks for an Arabic user on a system set to another language.
void prepareLanguage(bool rightToLeftForArabic = true) {
    const int language = UserLanguage();
    ASSERT_NE(language, zv::LANG_NEUTRAL)
        << "run under a locale of a language the language file has (LC_ALL=de_DE.UTF-8)";
    if (language != zv::LANG_ENGLISH) {
        ASSERT_NE(LoadResString(Res::SPopupTitle), QLatin1String(Res::SPopupTitle.Default))
            << "no language file " << LanguageFilePath(zv::modulePath()).toStdString();
    }
    SetRightToLeftLayout(rightToLeftForArabic && language == zv::LANG_ARABIC);
    FormLook::HideAcceleratorUnderlinesForArabic(language, RightToLeftLayout()); // as main does
}

class TextFit : public ::testing::Test {
protected:
    void SetUp() override { prepareLanguage(); }
    void TearDown() override { SetRightToLeftLayout(false); }
};

QString shownText(QString text) {
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text.trimmed();
}

// Every label and button of the dialog whose text does not fit its place, as
// "name: text (needs n, has m)".
QStringList cutTexts(QWidget *dialog) {
    QStringList cut;
    auto report = [&](QWidget *w, const QString &text, int need, int have) {
        if (need > have)
            cut << QStringLiteral("%1: \"%2\" (needs %3, has %4)")
                       .arg(w->objectName(), text)
                       .arg(need)
                       .arg(have);
    };
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        // Hidden ones too: the job decides later which links and buttons show.
        const QFontMetrics fm = w->fontMetrics();
        if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            const QString text = shownText(button->text());
            if (text.isEmpty())
                continue;
            int have = button->width();
            if (auto *push = qobject_cast<QPushButton *>(button)) {
                QStyleOptionButton option;
                option.initFrom(push);
                option.text = push->text();
                have = push->style()
                           ->subElementRect(QStyle::SE_PushButtonContents, &option, push)
                           .width();
            }
            report(w, text, fm.horizontalAdvance(text), have);
        } else if (auto *label = qobject_cast<QLabel *>(w)) {
            const QString text =
                label->buddy() ? shownText(label->text()) : label->text().trimmed();
            if (text.isEmpty() || label->textFormat() == Qt::RichText)
                continue;
            if (label->wordWrap())
                report(w, text, label->heightForWidth(label->width()), label->height());
            else
                report(w, text, fm.horizontalAdvance(text),
                       label->contentsRect().width() - 2 * label->margin() - label->indent());
        } else if (auto *align = qobject_cast<TAlignLabel *>(w)) {
            const QString text = align->caption().trimmed();
            if (text.isEmpty())
                continue;
            const QRect area = align->rect().adjusted(align->margin(), align->margin(),
                                                      -align->margin(), -align->margin());
            if (align->wordWrap())
                report(
                    w, text,
                    fm.boundingRect(QRect(0, 0, area.width(), 0), Qt::TextWordWrap, text).height(),
                    area.height());
            else
                report(w, text, fm.horizontalAdvance(text), area.width());
        }
    }
    return cut;
}

// The labels of a right-to-left dialog whose text does not sit against their right edge.
QStringList notRightJustified(std::initializer_list<QWidget *> labels) {
    QStringList wrong;
    if (!RightToLeftLayout())
        return wrong;
    for (QWidget *label : labels) {
        const QImage image = label->grab().toImage();
        const QColor background = image.pixelColor(0, 0);
        int left = image.width(), right = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != background) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        if (right < 0 || image.width() - 1 - right > left)
            wrong << label->objectName();
    }
    return wrong;
}

// The buttons that do not look exactly like the same button without its accelerator mark: an
// underline splits an Arabic word into letters shaped apart.
QStringList marksShown(QWidget *dialog) {
    QStringList shown;
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (!button->isVisibleTo(dialog) || !button->text().contains(u'&'))
            continue;
        QPushButton twin(shownText(button->text()));
        twin.setFont(button->font());
        twin.setPalette(button->palette());
        twin.setLayoutDirection(button->layoutDirection());
        twin.setDefault(button->isDefault());
        twin.setAutoDefault(button->autoDefault());
        twin.resize(button->size());
        // The frames may differ with the dialog's palette; the text is what counts.
        const QRect inner = button->rect().adjusted(4, 4, -4, -4);
        const auto picture = [&inner](QWidget &w) {
            return w.grab(inner).toImage().convertToFormat(QImage::Format_RGB32);
        };
        if (picture(twin) != picture(*button))
            shown << button->objectName();
    }
    return shown;
}

void savePicture(QWidget *dialog, const char *name) {
    const QString dir = QStringLiteral(ZV_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    const QString file =
        dir +
        QStringLiteral("/%1-%2.png").arg(QLatin1String(name), QLocale::system().name().left(2));
    EXPECT_TRUE(dialog->grab().toImage().save(file)) << file.toStdString();
}

// A job of three sets with the tested one in the middle, so that Back, Next and Cancel show.
struct MiddleSetJob : FormJob {
    explicit MiddleSetJob(const char *formType, int questions = 1) {
        set(FormType::String);
        tested = &set(formType, questions);
        set(FormType::String);
    }
    TQuestionSet *tested;
};

TEST_F(TextFit, LogonDialog) {
    const Samples &s = samples();
    MiddleSetJob job(FormType::Logon, 2);
    TQuestion &user = *job.tested->Question(0);
    TQuestion &password = *job.tested->Question(1);
    user.Prompt = QString::fromUtf8(s.userName);
    user.Description = QString::fromUtf8(s.userNameHint);
    password.Prompt = QString::fromUtf8(s.password);
    password.Description = QString::fromUtf8(s.passwordHint);
    password.SetSecure(true);
    user.Mandatory = password.Mandatory = true;
    job.present(*job.tested);
    ASSERT_TRUE(job.form);
    EXPECT_FALSE(job.form->ValidateAnswers()); // shows the error line
    EXPECT_EQ(cutTexts(job.form.get()), QStringList());
    EXPECT_EQ(notRightJustified({job.form->TitleLbl, job.form->ErrorLbl}), QStringList());
    if (RightToLeftLayout()) {
        EXPECT_EQ(marksShown(job.form.get()), QStringList());
    }
    savePicture(job.form.get(), "logonform");
    // The longest message the dialog shows.
    job.form->SetErrorText(LoadResString(Res::SValidation_Confirm));
    EXPECT_EQ(cutTexts(job.form.get()), QStringList());
}

// An Arabic user on a system set to another language: the dialog reads left to right, and its
// captions are Arabic all the same.
TEST(TextFitLeftToRight, ArabicButtonCaptionsKeepTheirShape) {
    if (UserLanguage() != zv::LANG_ARABIC)
        GTEST_SKIP() << "only Arabic captions break apart";
    prepareLanguage(false);
    MiddleSetJob job(FormType::Logon, 2);
    job.present(*job.tested);
    ASSERT_TRUE(job.form);
    EXPECT_FALSE(RightToLeftLayout());
    EXPECT_EQ(marksShown(job.form.get()), QStringList());
}

TEST_F(TextFit, ListDialog) {
    const Samples &s = samples();
    MiddleSetJob job(FormType::List);
    TQuestion &q = *job.tested->First();
    q.Prompt = QString::fromUtf8(s.listPrompt);
    q.Description = QString::fromUtf8(s.listHint);
    q.Choices = s.listChoices;
    q.Mandatory = true;
    job.present(*job.tested);
    ASSERT_TRUE(job.form);
    EXPECT_FALSE(job.form->ValidateAnswers());
    EXPECT_EQ(cutTexts(job.form.get()), QStringList());
    savePicture(job.form.get(), "listform");
}

// Its "I am not a guest." link has the narrowest room of the frame's captions.
TEST_F(TextFit, GuestCardDialog) {
    MiddleSetJob job(FormType::GuestCard);
    TQuestion &q = *job.tested->First();
    q.Prompt = QString::fromUtf8(samples().userName);
    q.Mandatory = true;
    q.MaxLength = 12;
    job.present(*job.tested);
    ASSERT_TRUE(job.form);
    EXPECT_FALSE(job.form->ValidateAnswers());
    EXPECT_EQ(cutTexts(job.form.get()), QStringList());
}

QJsonObject center(const char *code, const char *description, const char *parent = nullptr) {
    QJsonObject o{{"code", code}, {"description", QString::fromUtf8(description)}};
    if (parent)
        o.insert(QStringLiteral("parent"), parent);
    return o;
}

class CostCenterTextFit : public zvtest::ServerJobFixture {
protected:
    void SetUp() override {
        ServerJobFixture::SetUp();
        if (!IsSkipped())
            prepareLanguage();
    }
    void TearDown() override {
        TQuestionForm::CloseForm(std::move(form));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ServerJobFixture::TearDown();
        SetRightToLeftLayout(false);
    }

    // A popup-server job of one cost-center question with two levels, the user's history and
    // two saved shortcuts.
    void startJob() {
        const Samples &s = samples();
        const QString department = QString::fromUtf8(s.department);
        const QString project = QString::fromUtf8(s.project);
        const QJsonArray descriptors{QJsonObject{{"name", "Department"},
                                                 {"prompt", department},
                                                 {"type", "costcenter"},
                                                 {"category", department}},
                                     QJsonObject{{"name", "Project"},
                                                 {"prompt", project},
                                                 {"type", "costcenter"},
                                                 {"category", project}}};
        const QJsonObject root{
            {"version", 1005},
            {"queues", QJsonObject{{"Costs", QJsonObject{{"transaction", 5},
                                                         {"options", 0},
                                                         {"group", "Costs"},
                                                         {"descriptors", descriptors}}}}},
            {"costCenters", QJsonObject{{department, QJsonArray{center("D100", s.sales),
                                                                center("D200", s.engineering)}},
                                        {project, QJsonArray{center("P110", s.fair, "D100"),
                                                             center("P210", s.compiler, "D200")}}}},
            {"recentCodes",
             QJsonObject{{"alice", QJsonObject{{department, QJsonArray{"D200", "D100"}},
                                               {project, QJsonArray{"P210", "P110"}}}}}},
            {"lastAnswers",
             QJsonObject{
                 {"alice", QJsonObject{{department,
                                        QJsonObject{{"categories", QJsonArray{department, project}},
                                                    {"combinations",
                                                     QJsonArray{QJsonArray{"D200", "P210"},
                                                                QJsonArray{"D100", "P110"}}}}}}}}},
            {"verify", QJsonObject{{"rule", "always"}}}};
        startServer(QJsonDocument(root).toJson());
        if (HasFatalFailure())
            return;
        makeManager("Costs");
        manager->OnPresentQuestionSet = [this](TQuestionManager &m, TQuestionSet &set,
                                               TWizardDirection direction) {
            TQuestionForm::CloseForm(std::move(form));
            form = CreateQuestionForm(QString::fromUtf8(set.FormType), nullptr);
            form->resize(m.FClientWidth, m.FClientHeight);
            form->SetQuestionManager(&m);
            form->SetQuestionSet(&set);
            form->SetFormMode(FormModeFor(m, &set));
            form->SetWizardDirection(direction);
            form->ShowForm();
        };
        manager->Start();
    }

    std::unique_ptr<TQuestionForm> form;
};

// The grid cells whose text, with the 4-pixel inset, does not fit the part of the cell that
// can be seen, and the rows whose text runs into the grid's edge.
QStringList cutCells(QTableView *grid) {
    QStringList cut;
    const QFontMetrics fm(grid->font());
    for (int row = 0; row < grid->model()->rowCount(); ++row)
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            const QModelIndex index = grid->model()->index(row, column);
            const QString text = index.data().toString();
            const QRect seen = grid->visualRect(index) & grid->viewport()->rect();
            if (!text.isEmpty() && fm.horizontalAdvance(text) + 4 > seen.width())
                cut << QStringLiteral("%1,%2: \"%3\" (needs %4, has %5)")
                           .arg(row)
                           .arg(column)
                           .arg(text)
                           .arg(fm.horizontalAdvance(text) + 4)
                           .arg(seen.width());
        }
    // Text drawn from a place that cannot be seen would touch the grid's edge.
    const QImage image = grid->viewport()->grab().toImage();
    for (int row = 0; row < grid->model()->rowCount(); ++row) {
        const QRect band = grid->visualRect(grid->model()->index(row, 0));
        for (const int x : {0, 1, image.width() - 2, image.width() - 1})
            for (int y = band.top(); y <= band.bottom() && y < image.height(); ++y)
                if (image.pixelColor(x, y) != image.pixelColor(x, band.top())) {
                    cut << QStringLiteral("row %1 touches the edge at x %2").arg(row).arg(x);
                    y = band.bottom();
                }
    }
    return cut;
}

TEST_F(CostCenterTextFit, HistoryAndSearchModes) {
    startJob();
    auto *dialog = dynamic_cast<TCostCenterQuestionForm *>(form.get());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(cutTexts(dialog), QStringList()) << "history";
    EXPECT_EQ(cutCells(dialog->DataDG), QStringList()) << "history";
    savePicture(dialog, "costcenterform");
    dialog->ToggleHistoryOther();
    EXPECT_EQ(cutTexts(dialog), QStringList()) << "all entries";
    EXPECT_EQ(cutCells(dialog->DataDG), QStringList()) << "all entries";
}

} // namespace
