// SPDX-License-Identifier: MIT
#include "Questions.h"
#include "AesUse.h"
#include "TestSupport.h"

#include <QLocale>

#include <memory>

namespace {

class QuestionTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TAesUse::Init(); }
};

TEST_F(QuestionTest, ChangeEventOnlyOnARealChange) {
    for (bool secure : {false, true}) {
        TQuestion q;
        q.SetSecure(secure);
        int changes = 0;
        q.OnChange = [&](TQuestion &) { ++changes; };
        q.SetAnswer("abc");
        EXPECT_EQ(changes, 1);
        EXPECT_TRUE(q.Modified);
        q.Modified = false;
        q.SetAnswer("abc");
        EXPECT_EQ(changes, 1) << "secure " << secure;
        EXPECT_FALSE(q.Modified);
        q.SetAnswer("ABC");
        EXPECT_EQ(changes, 2);
        q.SetLastAnswer("other");
        EXPECT_EQ(changes, 2);
    }
}

TEST_F(QuestionTest, SecureAnswersAreHeldOnlyEncrypted) {
    struct Case {
        const char *name;
        QString answer;
        qsizetype slot;
    };
    const Case cases[] = {
        {"empty", "", 16},
        {"four chars", "abcd", 16},
        {"seven chars", "1234567", 16},
        {"eight chars", "12345678", 32},
        {"nine chars", "123456789", 32},
    };
    for (const Case &c : cases) {
        TQuestion q;
        q.SetSecure(true);
        q.SetLastAnswer("old");
        q.SetAnswer("x");
        q.SetAnswer(c.answer);
        EXPECT_TRUE(q.PlainSlotsEmpty()) << c.name;
        EXPECT_EQ(q.EncryptedAnswerSize(), c.slot) << c.name;
        EXPECT_EQ(q.EncryptedLastAnswerSize(), 16) << c.name;
        EXPECT_EQ(q.GetAnswer(), c.answer) << c.name;
        EXPECT_EQ(q.GetLastAnswer(), "old") << c.name;
        EXPECT_EQ(q.IsAnswerEmpty(), c.answer.isEmpty()) << c.name;
    }
}

TEST_F(QuestionTest, AnswerWithEmbeddedZeroSurvivesEncryption) {
    TQuestion q;
    q.SetSecure(true);
    const QString answer = QStringLiteral("a") + QChar(0) + QStringLiteral("b");
    q.SetAnswer(answer);
    EXPECT_EQ(q.GetAnswer(), answer);
}

TEST_F(QuestionTest, SwitchingSecureMovesBothAnswers) {
    TQuestion q;
    q.SetAnswer("secret1");
    q.SetLastAnswer("secret0");
    q.SetSecure(true);
    EXPECT_TRUE(q.PlainSlotsEmpty());
    EXPECT_EQ(q.GetAnswer(), "secret1");
    EXPECT_EQ(q.GetLastAnswer(), "secret0");
    q.SetSecure(false);
    EXPECT_EQ(q.EncryptedAnswerSize(), 0);
    EXPECT_EQ(q.GetAnswer(), "secret1");
    EXPECT_EQ(q.GetLastAnswer(), "secret0");
}

TEST_F(QuestionTest, ResetAnswerUsesTheDefaultForPlainQuestionsOnly) {
    TQuestion plain;
    plain.DefaultAnswer = "dflt";
    plain.SetAnswer("typed");
    plain.AnswerDescription = "desc";
    plain.ResetAnswer();
    EXPECT_EQ(plain.GetAnswer(), "dflt");
    EXPECT_TRUE(plain.AnswerDescription.isEmpty());
    EXPECT_FALSE(plain.Modified);

    TQuestion secure;
    secure.SetSecure(true);
    secure.DefaultAnswer = "dflt";
    secure.ResetAnswer();
    EXPECT_TRUE(secure.IsAnswerEmpty());
    EXPECT_EQ(secure.GetAnswer(), QString());
}

struct MaskCase {
    const char *name;
    const char *formType;
    QString answer;
    int maxLength;
    double min;
    double max;
    QString masked;
};

TEST_F(QuestionTest, MaskedAnswerKeepsLengthAndShape) {
    QLocale::setDefault(QLocale::c());
    const MaskCase cases[] = {
        {"string", "stringform", "hello", 0, 0, 0, "*****"},
        {"logon", "logonform", "pw12", 0, 0, 0, "****"},
        {"integer", "integerform", "4711", 0, 0, 99999, "1000"},
        {"integer below min gets a zero", "integerform", "42", 0, 50, 1000, "100"},
        {"integer below min capped by max", "integerform", "42", 0, 50, 75, "75"},
        {"phone", "phonenumberform", "5551234", 0, 0, 0, "1000000"},
        {"float", "floatform", "12.50", 2, 0, 100, "10.00"},
        {"float above max", "floatform", "12.50", 2, 0, 0, "0.00"},
        {"float max keeps its decimals", "floatform", "12.50", 2, 0, 5.5, "5.5"},
        {"float short answer", "floatform", "1.5", 2, 0, 100, "1.0"},
        {"float no decimals", "floatform", "12", 2, 0, 100, "10"},
        {"float below min", "floatform", "1.50", 2, 500, 10000, "1111.00"},
        {"money", "moneyform", "99.99", 2, 0, 1000, "10.00"},
        {"choice is the real answer", "listform", "A", 0, 0, 0, "A"},
        {"cleared answer stays empty", "stringform", "", 0, 0, 0, ""},
    };
    for (const MaskCase &c : cases) {
        TQuestion q;
        q.SetSecure(true);
        q.FormType = c.formType;
        q.MaxLength = c.maxLength;
        q.ValidateMin = c.min;
        q.ValidateMax = c.max;
        q.SetAnswer("seed");
        q.SetAnswer(c.answer);
        EXPECT_EQ(q.GetMaskedAnswer(), c.masked) << c.name;
    }
    QLocale::setDefault(QLocale::system());
}

// The locale's separator, and the digits 0-9 whatever digits the locale writes.
TEST_F(QuestionTest, MaskedAnswerUsesTheLocaleSeparator) {
    const struct {
        QLocale locale;
        double max;
        QString answer;
        QString masked;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), 100, "12,50", "10,00"},
        {QLocale(QLocale::Arabic, QLocale::SaudiArabia), 5, QStringLiteral("12\u066B50"),
         QStringLiteral("5\u066B00")},
    };
    for (const auto &c : cases) {
        QLocale::setDefault(c.locale);
        TQuestion q;
        q.SetSecure(true);
        q.FormType = "floatform";
        q.MaxLength = 2;
        q.ValidateMax = c.max;
        q.SetAnswer(c.answer);
        EXPECT_EQ(q.GetMaskedAnswer(), c.masked) << c.locale.name().toStdString();
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(QuestionTest, UnmodifiedOrPlainQuestionsShowTheRealAnswer) {
    TQuestion plain;
    plain.FormType = "stringform";
    plain.SetAnswer("visible");
    EXPECT_EQ(plain.GetMaskedAnswer(), "visible");

    TQuestion secure;
    secure.SetSecure(true);
    secure.FormType = "stringform";
    secure.SetAnswer("pre");
    secure.Modified = false;
    EXPECT_EQ(secure.GetMaskedAnswer(), "pre");
}

class QuestionSetTest : public QuestionTest {
protected:
    TQuestion *add(const QString &name) {
        owned.push_back(std::make_unique<TQuestion>());
        owned.back()->Name = name;
        set.Add(owned.back().get());
        return owned.back().get();
    }
    std::vector<std::unique_ptr<TQuestion>> owned;
    TQuestionSet set;
};

TEST_F(QuestionSetTest, Navigation) {
    TQuestion *a = add("Client");
    TQuestion *b = add("Matter");
    TQuestion outsider;
    set.Add(a);
    set.Add(nullptr);
    EXPECT_EQ(set.Count(), 2);
    EXPECT_EQ(set.First(), a);
    EXPECT_EQ(set.Last(), b);
    EXPECT_EQ(set.Prev(a), nullptr);
    EXPECT_EQ(set.Next(b), nullptr);
    EXPECT_EQ(set.Next(a), b);
    EXPECT_EQ(set.Prev(b), a);
    EXPECT_EQ(set.Prev(&outsider), nullptr);
    EXPECT_EQ(set.IndexOf(&outsider), -1);
    EXPECT_TRUE(set.IsLast(b));
    EXPECT_EQ(set.Question(2), nullptr);
    EXPECT_EQ(set.FindByName("MATTER"), b);
    EXPECT_EQ(set.FindByName("none"), nullptr);

    TQuestionSet empty;
    EXPECT_EQ(empty.First(), nullptr);
    EXPECT_TRUE(empty.AllSkipped());
    EXPECT_TRUE(empty.HasAllNamedQuestions());
}

TEST_F(QuestionSetTest, AggregatesAndNamedQuestions) {
    TQuestion *a = add("Client");
    TQuestion *b = add("Matter");
    set.QuestionNames = {"client", "matter"};
    EXPECT_TRUE(set.HasAllNamedQuestions());
    set.QuestionNames.append("Phase");
    EXPECT_FALSE(set.HasAllNamedQuestions());

    a->SetAnswer("A1");
    EXPECT_FALSE(set.AllAnswered());
    b->SetAnswer("M7");
    EXPECT_TRUE(set.AllAnswered());

    a->Mandatory = true;
    EXPECT_FALSE(set.AllMandatory());
    b->Mandatory = true;
    EXPECT_TRUE(set.AllMandatory());

    a->DmsValue = "x";
    EXPECT_FALSE(set.AllHaveDmsValue());
    b->DmsValue = "y";
    EXPECT_TRUE(set.AllHaveDmsValue());
    set.ClearDmsValues();
    EXPECT_TRUE(a->DmsValue.isEmpty() && b->DmsValue.isEmpty());

    a->Skipped = true;
    EXPECT_FALSE(set.AllSkipped());
    set.SetSkipped(true);
    EXPECT_TRUE(set.AllSkipped());

    QObject control;
    b->SearchControl = &control;
    EXPECT_EQ(set.FindBySearchControl(&control), b);
}

TEST_F(QuestionSetTest, SummaryTextInBothDirections) {
    TQuestion *a = add("Client");
    TQuestion *b = add("Matter");
    TQuestion *c = add("Phase");
    a->SetAnswer("A1");
    a->AnswerDescription = "Client A";
    b->SetAnswer("M7");
    EXPECT_EQ(set.SummaryText(), "A1 Client A / M7");
    SetRightToLeftLayout(true);
    EXPECT_EQ(set.SummaryText(), "") << "the last answer is empty";
    c->SetAnswer("P2");
    c->AnswerDescription = "Design";
    EXPECT_EQ(set.SummaryText(), "Design P2 \\ M7 \\ Client A A1");
    SetRightToLeftLayout(false);
    b->SetAnswer("");
    EXPECT_EQ(set.SummaryText(), "A1 Client A");
}

TEST(TWideStrings, PutAppendsOrReplacesAndRejectsGaps) {
    TWideStrings list;
    EXPECT_EQ(list.Add("a"), 0);
    list.Put(1, "b");
    list.Put(0, "A");
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0), "A");
    EXPECT_EQ(list.Get(1), "b");
    EXPECT_EQ(list.Get(2), QString());
    EXPECT_EQ(list.Get(-1), QString());
    for (int bad : {-1, 3}) {
        try {
            list.Put(bad, "x");
            ADD_FAILURE() << "no error for index " << bad;
        } catch (const zv::ZvError &e) {
            EXPECT_EQ(e.message(), "WideString index out of bounds");
        }
    }
}

} // namespace
