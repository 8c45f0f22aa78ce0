// SPDX-License-Identifier: MIT
#include "EnhLabeledEdit.h"

#include "TestSupport.h"

#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

class EnhLabeledEditTest : public ::testing::Test {
protected:
    QWidget window;
    TEnhLabeledEdit *edit = nullptr;
    TEnhLabeledEdit *other = nullptr;

    void SetUp() override {
        window.resize(300, 200);
        edit = new TEnhLabeledEdit(&window);
        edit->setGeometry(50, 60, 150, 24);
        edit->EditLabel()->setText(QStringLiteral("Level 1"));
        other = new TEnhLabeledEdit(&window);
        other->setGeometry(50, 120, 150, 24);
    }

    void showActive() {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

TEST_F(EnhLabeledEditTest, InsideLabelShowsOnlyWhileEmpty) {
    edit->setLabelSpacing(20);
    edit->setLabelPosition(lpInside);
    TBoundLabel *label = edit->EditLabel();
    EXPECT_EQ(label->parentWidget(), edit);
    EXPECT_EQ(label->pos(), QPoint(20, 2));
    showActive();
    EXPECT_TRUE(label->isVisible());

    QList<bool> labelShownAtChange;
    QObject::connect(edit, &TEnhLabeledEdit::OnChange,
                     [&] { labelShownAtChange.append(label->isVisible()); });
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_FALSE(label->isVisible());
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_FALSE(label->isVisible());
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_TRUE(label->isVisible());
    edit->setText(QStringLiteral("set by code"));
    EXPECT_FALSE(label->isVisible());
    EXPECT_EQ(labelShownAtChange, (QList<bool>{false, false, false, true, false}));

    // Moving or resizing the edit keeps the label at its place inside.
    edit->setGeometry(10, 10, 200, 30);
    EXPECT_EQ(label->pos(), QPoint(20, 2));
}

TEST_F(EnhLabeledEditTest, ClickOnTheInsideLabelFocusesTheEdit) {
    edit->setLabelPosition(lpInside);
    showActive();
    other->setFocus();
    ASSERT_TRUE(other->hasFocus());
    QTest::mouseClick(edit->EditLabel(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_TRUE(edit->hasFocus());

    // A label with its own click handler hands it the click.
    int handled = 0;
    QObject::connect(edit->EditLabel(), &TBoundLabel::clicked, [&] { ++handled; });
    QTest::mouseClick(edit->EditLabel(), Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(handled, 1);
}

TEST_F(EnhLabeledEditTest, OutsideLabelIsPlacedByPosition) {
    struct Case {
        TLabelPosition position;
        const char *name;
    };
    TBoundLabel *label = edit->EditLabel();
    for (const Case &c :
         {Case{lpAbove, "above"}, Case{lpBelow, "below"}, Case{lpLeft, "left"},
          Case{lpRight, "right"}, Case{lpInside, "inside"}, Case{lpAbove, "back"}}) {
        SCOPED_TRACE(c.name);
        edit->setLabelPosition(c.position);
        const QRect e = edit->geometry();
        const QRect l = label->geometry();
        const int spacing = edit->labelSpacing();
        switch (c.position) {
        case lpAbove:
            EXPECT_EQ(label->parentWidget(), &window);
            EXPECT_EQ(l.left(), e.left());
            EXPECT_EQ(l.bottom() + 1 + spacing, e.top());
            break;
        case lpBelow:
            EXPECT_EQ(l.left(), e.left());
            EXPECT_EQ(e.bottom() + 1 + spacing, l.top());
            break;
        case lpLeft:
            EXPECT_EQ(l.right() + 1 + spacing, e.left());
            EXPECT_EQ(l.top(), e.top() + (e.height() - l.height()) / 2);
            break;
        case lpRight:
            EXPECT_EQ(e.right() + 1 + spacing, l.left());
            break;
        case lpInside:
            EXPECT_EQ(label->parentWidget(), edit);
            break;
        }
    }
    // The label follows the edit (Qt reports moves of widgets that are shown).
    window.show();
    edit->move(70, 90);
    EXPECT_EQ(label->geometry().bottom() + 1 + edit->labelSpacing(), 90);
    EXPECT_EQ(label->x(), 70);
}

TEST_F(EnhLabeledEditTest, VisibilityFollowsTheEditAndItsText) {
    showActive();
    TBoundLabel *label = edit->EditLabel();
    edit->setText(QStringLiteral("x"));
    EXPECT_TRUE(label->isVisible()) << "a label above the edit stays with text";
    edit->hide();
    EXPECT_FALSE(label->isVisible());
    edit->show();
    EXPECT_TRUE(label->isVisible());

    edit->setLabelPosition(lpInside);
    edit->hide();
    edit->show();
    EXPECT_FALSE(label->isVisible());
    edit->clear();
    edit->hide();
    edit->show();
    EXPECT_TRUE(label->isVisible());
}

TEST_F(EnhLabeledEditTest, DisablingChangesOnlyTheBackground) {
    const QColor enabledColor(255, 255, 255);
    const QColor disabledColor(200, 210, 220);
    edit->setEnabledColor(enabledColor);
    edit->setDisabledColor(disabledColor);
    edit->setLabelSpacing(20);
    edit->setLabelPosition(lpInside);
    TBoundLabel *label = edit->EditLabel();
    QPalette grey = label->palette();
    grey.setColor(QPalette::WindowText, QColor(128, 128, 128));
    label->setPalette(grey);
    QFont crisp = label->font();
    crisp.setStyleStrategy(QFont::NoAntialias);
    label->setFont(crisp);
    showActive();

    const QPoint inside(edit->width() - 10, edit->height() / 2);
    const QImage enabledEdit = edit->grab().toImage();
    const QImage enabledLabel = label->grab().toImage();
    edit->setEnabled(false);
    const QImage disabledEdit = edit->grab().toImage();
    const QImage disabledLabel = label->grab().toImage();

    EXPECT_EQ(enabledEdit.pixelColor(inside), enabledColor);
    EXPECT_EQ(disabledEdit.pixelColor(inside), disabledColor);
    EXPECT_TRUE(label->isVisible());
    // The label's own picture (text drawn on the new background) keeps its colours.
    EXPECT_EQ(label->palette().color(QPalette::Disabled, QPalette::WindowText),
              QColor(128, 128, 128));
    auto greyPixels = [](const QImage &image) {
        QList<QPoint> found;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) == QColor(128, 128, 128))
                    found.append(QPoint(x, y));
        return found;
    };
    EXPECT_FALSE(greyPixels(enabledLabel).isEmpty());
    EXPECT_EQ(greyPixels(disabledLabel), greyPixels(enabledLabel));

    edit->setEnabled(true);
    EXPECT_EQ(edit->grab().toImage().pixelColor(inside), enabledColor);
}

TEST_F(EnhLabeledEditTest, WantTabKeyKeepsTheFocus) {
    showActive();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(other->hasFocus()) << "without WantTabKey Tab moves on";

    edit->setWantTabKey(true);
    edit->setFocus();
    int tabs = 0;
    struct TabWatcher : QObject {
        int *count;
        explicit TabWatcher(int *c) : count(c) {}
        bool eventFilter(QObject *, QEvent *event) override {
            if (event->type() == QEvent::KeyPress &&
                static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab)
                ++*count;
            return false;
        }
    } watcher(&tabs);
    edit->installEventFilter(&watcher);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(tabs, 1);
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(edit->hasFocus());
    edit->removeEventFilter(&watcher);
}

TEST_F(EnhLabeledEditTest, LabelGoesWithTheEdit) {
    QPointer<TBoundLabel> label = edit->EditLabel();
    delete edit;
    edit = nullptr;
    EXPECT_TRUE(label.isNull());

    auto orphan = std::make_unique<TEnhLabeledEdit>();
    QPointer<TBoundLabel> orphanLabel = orphan->EditLabel();
    orphan->setParent(&window);
    EXPECT_EQ(orphanLabel->parentWidget(), &window);
    orphan.reset();
    EXPECT_TRUE(orphanLabel.isNull());
}

} // namespace
