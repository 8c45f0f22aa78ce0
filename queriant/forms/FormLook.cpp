// SPDX-License-Identifier: MIT
#include "FormLook.h"

#include "ZvLocaleInfo.h"

#include "ZvLocaleInfo.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QProxyStyle>

namespace {

class TNoUnderlineStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override {
        if (hint == SH_UnderlineShortcut)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

namespace FormLook {

void HideAcceleratorUnderlinesForArabic(int userLanguage, bool rightToLeftLayout) {
    if (userLanguage != zv::LANG_ARABIC && !rightToLeftLayout)
        return;
    if (!dynamic_cast<TNoUnderlineStyle *>(QApplication::style()))
        QApplication::setStyle(new TNoUnderlineStyle);
}

QColor DialogBackground() {
    return QColor(0xF6, 0xFB, 0xFF);
}
QColor TitleBarColor() {
    return QColor(0x52, 0x51, 0x4F);
}
QColor SeparatorColor() {
    return QColor(0xBA, 0xC9, 0xD8);
}
QColor GridRowColor() {
    return QColor(Qt::white);
}
QColor GridAltRowColor() {
    return QColor(0xEE, 0xED, 0xEA);
}
QColor GridCurrentRowColor() {
    return QColor(0xFF, 0xCC, 0x9A);
}
QColor DescriptionColor() {
    return QColor(Qt::gray);
}
QColor ErrorColor() {
    return QColor(Qt::red);
}
QColor LinkColor() {
    return QColor(Qt::blue);
}

namespace {

QFont sansFont(const QString &preferred, int pixelHeight) {
    QFont font;
    font.setFamilies({preferred, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    return font;
}

} // namespace

QFont FormFont() {
    return sansFont(QStringLiteral("MS Sans Serif"), 11);
}

QFont TitleFont() {
    return sansFont(QStringLiteral("Arial"), 19);
}

void SetBackground(QWidget *widget, const QColor &color) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::Window, color);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void SetTextColor(QWidget *widget, const QColor &color) {
    QPalette pal = widget->palette();
    pal.setColor(QPalette::WindowText, color);
    pal.setColor(QPalette::Text, color);
    widget->setPalette(pal);
}

} // namespace FormLook

TLinkLabel::TLinkLabel(QWidget *parent) : QLabel(parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    FormLook::SetTextColor(this, FormLook::LinkColor());
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void TLinkLabel::mousePressEvent(QMouseEvent *event) {
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent *event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

void TLinkLabel::keyPressEvent(QKeyEvent *event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}
