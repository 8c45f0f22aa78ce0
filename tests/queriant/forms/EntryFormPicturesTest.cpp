// SPDX-License-Identifier: MIT
// Renders each entry dialog with a sample question to <build>/screenshots/<form type>.png.
#include "QuestionFormFixture.h"

#include <QDir>
#include <QImage>

namespace {

TEST(EntryFormPictures, RenderEachDialog) {
    const struct {
        const char *formType;
        int questions;
        const char *prompt;
        const char *description;
        int maxLength;
    } cases[] = {
        {FormType::String, 1, "Which project is this print job for?",
         "Type the project name as it appears on the project list.", 20},
        {FormType::Integer, 1, "How many copies of the handout do you need?",
         "A whole number between 1 and 500.", 0},
        {FormType::Float, 1, "How many hours did this job take?", "Hours, to two decimals.", 2},
        {FormType::Money, 1, "What amount should be charged to the client?",
         "The amount in the local currency.", 2},
        {FormType::PhoneNumber, 1, "Your telephone number", "We call you when the job is ready.",
         20},
        {FormType::Logon, 2, "User name", "Your network logon name.", 30},
    };
    const QString dir = QStringLiteral(ZV_BIN_DIR "/../screenshots");
    QDir().mkpath(dir);
    for (const auto &c : cases) {
        FormJob job;
        TQuestionSet &set = job.set(c.formType, c.questions);
        for (TQuestion *q : set.Questions) {
            q->Prompt = QString::fromUtf8(c.prompt);
            q->Description = QString::fromUtf8(c.description);
            q->MaxLength = c.maxLength;
            q->Mandatory = true;
        }
        if (c.questions > 1) {
            set.Question(1)->Prompt = QStringLiteral("Password");
            set.Question(1)->Description = QStringLiteral("Your network password.");
            set.Question(1)->SetSecure(true);
        }
        job.start();
        job.form->ValidateAnswers(); // shows the error line
        const QImage image = job.form->grab().toImage();
        const QString file = dir + QLatin1Char('/') + QLatin1String(c.formType) + ".png";
        ASSERT_TRUE(image.save(file)) << c.formType;
        EXPECT_EQ(image.size(), QSize(job.manager.FClientWidth, job.manager.FClientHeight));
        EXPECT_EQ(image.pixelColor(10, 10), QColor(0x52, 0x51, 0x4F)) << "title bar";
    }
}

} // namespace
