// SPDX-License-Identifier: MIT
#include "AlignLabel.h"
#include "DrawAlignedText.h"

#include "TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <set>

namespace {

const QColor paper(Qt::white);
const QColor ink(Qt::black);

// A font without anti-aliasing, so that every drawn pixel has exactly the pen's colour.
QFont crispFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

QImage blank(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(paper);
    return image;
}

QImage drawn(const QString &text, bool wordWrap, TAlignment alignment = taLeftJustify,
             TVAlignment vAlign = vtTop, bool enabled = true, bool showPrefix = false,
             QSize size = QSize(200, 60), QRect rect = QRect(10, 10, 180, 40)) {
    QImage image = blank(size);
    QPainter painter(&image);
    painter.setFont(crispFont());
    painter.setPen(ink);
    DrawAlignedText(painter, rect, alignment, enabled, showPrefix, wordWrap, text, vAlign);
    EXPECT_EQ(painter.pen().color(), ink) << "the pen colour is restored";
    return image;
}

std::set<std::pair<int, int>> pixelsOf(const QImage &image, const QColor &color) {
    std::set<std::pair<int, int>> found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == color)
                found.insert({x, y});
    return found;
}

// The bounding box of everything that is not paper.
QRect inkBox(const QImage &image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) != paper)
                box |= QRect(x, y, 1, 1);
    return box;
}

TEST(DrawAlignedText, SingleLineJoinsLineBreaks) {
    const std::vector<std::pair<QString, QString>> cases = {
        {"A\r\nB", "A B"},      {"A\rB", "AB"},     {"A\nB", "AB"},
        {"A\r\n\r\nB", "A  B"}, {"A\n\r B", "A B"}, {"plain", "plain"},
    };
    for (const auto &[text, line] : cases)
        EXPECT_EQ(SingleLineText(text), line) << text.toStdString();

    EXPECT_EQ(drawn("A\r\nB", false), drawn("A B", false));
    EXPECT_NE(drawn("A\r\nB", false), drawn("AB", false));
    // With word wrap the break stays: the text takes two lines.
    EXPECT_GT(inkBox(drawn("A\r\nB", true)).height(), inkBox(drawn("A B", true)).height() + 5);
}

TEST(DrawAlignedText, AlignsHorizontally) {
    const QRect rect(10, 10, 180, 40);
    const QRect left = inkBox(drawn("Wx", false, taLeftJustify));
    const QRect right = inkBox(drawn("Wx", false, taRightJustify));
    const QRect centre = inkBox(drawn("Wx", false, taCenter));
    EXPECT_LE(std::abs(left.left() - rect.left()), 2);
    EXPECT_LE(std::abs(right.right() - rect.right()), 2);
    EXPECT_LE(std::abs(centre.center().x() - rect.center().x()), 2);
}

QImage drawnIn(Qt::LayoutDirection direction, const QString &text, bool wordWrap,
               TAlignment alignment) {
    QImage image = blank(QSize(200, 60));
    QPainter painter(&image);
    painter.setFont(crispFont());
    painter.setPen(ink);
    painter.setLayoutDirection(direction);
    DrawAlignedText(painter, QRect(10, 10, 180, 40), alignment, true, false, wordWrap, text, vtTop);
    return image;
}

const Qt::LayoutDirection Directions[] = {Qt::LeftToRight, Qt::RightToLeft};

// Right-to-left dialogs pass the side they want; neither the painter's direction nor the
// application's (the logon dialog turns the whole application right to left) may swap it.
TEST(DrawAlignedText, AlignmentIsASideOfTheScreenInEitherDirection) {
    const QRect rect(10, 10, 180, 40);
    for (const Qt::LayoutDirection app : Directions) {
        QApplication::setLayoutDirection(app);
        for (const Qt::LayoutDirection direction : Directions)
            for (const bool wordWrap : {false, true})
                for (const TAlignment alignment : {taLeftJustify, taRightJustify}) {
                    const QRect box =
                        inkBox(drawnIn(direction, QStringLiteral("Wx"), wordWrap, alignment));
                    const int gap = alignment == taLeftJustify ? box.left() - rect.left()
                                                               : rect.right() - box.right();
                    EXPECT_LE(std::abs(gap), 2) << "app " << app << " painter " << direction
                                                << " wrap " << wordWrap << " align " << alignment;
                }
    }
    QApplication::setLayoutDirection(Qt::LeftToRight);
}

// A sentence reads in its own script's order: the full stop of an Arabic sentence goes on the
// far left, that of a Latin one on the far right, and the words keep their place, whatever the
// painter's direction.
TEST(DrawAlignedText, FullStopFollowsTheScript) {
    const struct {
        QString words;
        TAlignment alignment;
    } cases[] = {{QStringLiteral("نص عربي"), taRightJustify},
                 {QStringLiteral("Latin text"), taLeftJustify}};
    for (const auto &c : cases)
        for (const Qt::LayoutDirection direction : Directions)
            for (const bool wordWrap : {false, true}) {
                const QImage bare = drawnIn(direction, c.words, wordWrap, c.alignment);
                const QImage stop =
                    drawnIn(direction, c.words + QLatin1Char('.'), wordWrap, c.alignment);
                const QRect box = inkBox(bare);
                const std::string what = c.words.toStdString() + " painter " +
                                         std::to_string(direction) + " wrap " +
                                         std::to_string(wordWrap);
                EXPECT_EQ(stop.copy(box), bare.copy(box)) << "words moved: " << what;
                if (c.alignment == taRightJustify)
                    EXPECT_LT(inkBox(stop).left(), box.left()) << what;
                else
                    EXPECT_GT(inkBox(stop).right(), box.right()) << what;
            }
}

TEST(DrawAlignedText, AmpersandIsShownUnlessPrefixesAreOn) {
    EXPECT_NE(drawn("&&", false), drawn("&", false));
    EXPECT_EQ(drawn("&&", false, taLeftJustify, vtTop, true, true), drawn("&", false));
}

TEST(DrawAlignedText, CutsALongLineWithAnEllipsis) {
    const QString text = QString(60, QLatin1Char('m'));
    const QImage image = drawn(text, false);
    EXPECT_LE(inkBox(image).right(), 189);
    const QFontMetrics metrics(crispFont());
    EXPECT_EQ(image, drawn(metrics.elidedText(text, Qt::ElideRight, 180), false));
}

TEST(DrawAlignedText, DisabledTextIsEmbossed) {
    const QPalette saved = QApplication::palette();
    QPalette palette = saved;
    const QColor highlight(255, 0, 0);
    const QColor shadow(0, 0, 255);
    palette.setColor(QPalette::Active, QPalette::Light, highlight);
    palette.setColor(QPalette::Active, QPalette::Dark, shadow);
    QApplication::setPalette(palette);

    const auto text = pixelsOf(drawn("Embossed", false), ink);
    const QImage disabled = drawn("Embossed", false, taLeftJustify, vtTop, false);
    QApplication::setPalette(saved);

    ASSERT_FALSE(text.empty());
    EXPECT_TRUE(pixelsOf(disabled, ink).empty());
    // The shadow colour is the text at its place; the highlight shows where the copy one
    // pixel right and down is not covered by it.
    EXPECT_EQ(pixelsOf(disabled, shadow), text);
    std::set<std::pair<int, int>> expectedHighlight;
    for (const auto &[x, y] : text)
        if (!text.count({x + 1, y + 1}))
            expectedHighlight.insert({x + 1, y + 1});
    EXPECT_EQ(pixelsOf(disabled, highlight), expectedHighlight);
}

class AlignLabelTest : public ::testing::Test {
protected:
    TAlignLabel label;
    void SetUp() override {
        label.setFont(crispFont());
        QPalette p = label.palette();
        p.setColor(QPalette::WindowText, ink);
        label.setPalette(p);
        label.setPen(Qt::NoPen);
    }
    QImage render() {
        QImage image = blank(label.size());
        label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
};

TEST_F(AlignLabelTest, Defaults) {
    TAlignLabel fresh;
    EXPECT_EQ(fresh.size(), QSize(150, 100));
    EXPECT_EQ(fresh.margin(), 4);
    EXPECT_EQ(fresh.radius(), 10);
    EXPECT_EQ(fresh.alignment(), taLeftJustify);
    EXPECT_EQ(fresh.vAlign(), vtTop);
    EXPECT_FALSE(fresh.wordWrap());
    EXPECT_EQ(fresh.caption(), QString());
}

TEST_F(AlignLabelTest, WrappedTextSitsAgainstTheChosenMargin) {
    label.resize(150, 200);
    label.setCaption(QStringLiteral("First line\nSecond line"));
    label.setWordWrap(true);
    const QFontMetrics metrics(crispFont());
    const int textHeight =
        metrics.boundingRect(QRect(0, 0, 142, 0), Qt::TextWordWrap, label.caption()).height();
    const int inner = 200 - 2 * label.margin();

    label.setVAlign(vtTop);
    const QRect top = inkBox(render());
    EXPECT_GE(top.top(), 4);
    EXPECT_LT(top.bottom(), 4 + textHeight);

    label.setVAlign(vtBottom);
    const QRect bottom = inkBox(render());
    EXPECT_GE(bottom.top(), 196 - textHeight);
    EXPECT_LT(bottom.bottom(), 196);
    EXPECT_GT(bottom.bottom(), 196 - metrics.height());
    EXPECT_EQ(bottom.height(), top.height());

    label.setVAlign(vtMiddle);
    const QRect middle = inkBox(render());
    EXPECT_EQ(middle.top() - top.top(), (inner - textHeight) / 2);
}

TEST_F(AlignLabelTest, TallTextStaysAtTheTop) {
    label.resize(150, 30);
    label.setWordWrap(true);
    label.setCaption(QStringLiteral("one\ntwo\nthree\nfour"));
    label.setVAlign(vtTop);
    const QImage top = render();
    label.setVAlign(vtBottom);
    EXPECT_EQ(render(), top);
}

TEST_F(AlignLabelTest, DrawsARoundedFrame) {
    label.resize(100, 60);
    const QColor fill(255, 255, 0);
    label.setPen(QPen(ink));
    label.setBrush(fill);
    label.setRadius(10);
    const QImage image = render();
    EXPECT_EQ(image.pixelColor(50, 30), fill);
    EXPECT_EQ(image.pixelColor(50, 0), ink);
    EXPECT_EQ(image.pixelColor(0, 30), ink);
    EXPECT_EQ(image.pixelColor(0, 0), paper) << "the corner is rounded";

    label.setPen(Qt::NoPen);
    label.setBrush(Qt::NoBrush);
    EXPECT_TRUE(inkBox(render()).isNull());
}

TEST_F(AlignLabelTest, ClicksAndAccessibleName) {
    label.setCaption(QStringLiteral("Cost center"));
    QSignalSpy clicked(&label, &TAlignLabel::clicked);
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);

    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&label);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::StaticText);
    EXPECT_EQ(accessible->text(QAccessible::Name), QStringLiteral("Cost center"));
}

} // namespace
