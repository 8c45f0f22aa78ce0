// SPDX-License-Identifier: MIT
#include "AlignLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>

namespace {

// Screen readers see the label as static text named by its caption.
class AlignLabelAccessible : public QAccessibleWidget {
public:
    explicit AlignLabelAccessible(TAlignLabel *label)
        : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        const QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return static_cast<TAlignLabel *>(widget())->caption();
        return own;
    }
};

QAccessibleInterface *alignLabelAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String("TAlignLabel") && object && object->isWidgetType())
        return new AlignLabelAccessible(static_cast<TAlignLabel *>(object));
    return nullptr;
}

void installAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(alignLabelAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

TAlignLabel::TAlignLabel(QWidget *parent) : QWidget(parent) {
    installAccessibleFactory();
    resize(150, 100);
}

void TAlignLabel::setCaption(const QString &caption) {
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    emit captionChanged(m_caption);
}

void TAlignLabel::setAlignment(TAlignment alignment) {
    m_alignment = alignment;
    update();
}

void TAlignLabel::setVAlign(TVAlignment vAlign) {
    m_vAlign = vAlign;
    update();
}

void TAlignLabel::setWordWrap(bool wordWrap) {
    m_wordWrap = wordWrap;
    update();
}

void TAlignLabel::setMargin(int margin) {
    m_margin = margin;
    update();
}

void TAlignLabel::setRadius(int radius) {
    if (radius == m_radius)
        return;
    m_radius = radius;
    update();
}

void TAlignLabel::setPen(const QPen &pen) {
    m_pen = pen;
    update();
}

void TAlignLabel::setBrush(const QBrush &brush) {
    m_brush = brush;
    update();
}

void TAlignLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setFont(font());
    painter.setBrush(m_brush);
    painter.setPen(m_pen);
    if (m_pen.style() != Qt::NoPen || m_brush.style() != Qt::NoBrush)
        painter.drawRoundedRect(QRect(0, 0, width() - 1, height() - 1), m_radius, m_radius);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect textRect = rect().adjusted(m_margin, m_margin, -m_margin, -m_margin);
    DrawAlignedText(painter, textRect, m_alignment, isEnabled(), false, m_wordWrap, m_caption,
                    m_vAlign);
}

void TAlignLabel::mouseMoveEvent(QMouseEvent *event) {
    event->accept();
}

void TAlignLabel::mousePressEvent(QMouseEvent *event) {
    // Accepted, so that the release comes here too.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TAlignLabel::mouseReleaseEvent(QMouseEvent *event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click)
        emit clicked();
}
