// SPDX-License-Identifier: MIT
#include "EnhLabeledEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QMouseEvent>

namespace {

// The inactive-border colour of the classic desktop, used for disabled edits.
const QColor inactiveBorderColor(0xF4, 0xF7, 0xFC);

} // namespace

TBoundLabel::TBoundLabel(QWidget *edit)
    : QLabel(edit ? edit->parentWidget() : nullptr), m_edit(edit) {
    setBuddy(edit);
    // Inside the edit the label would take the edit's text role; its colour is its own.
    setForegroundRole(QPalette::WindowText);
}

bool TBoundLabel::hasClickHandler() const {
    return isSignalConnected(QMetaMethod::fromSignal(&TBoundLabel::clicked));
}

void TBoundLabel::mousePressEvent(QMouseEvent *event) {
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void TBoundLabel::mouseReleaseEvent(QMouseEvent *event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (!click)
        return;
    if (hasClickHandler())
        emit clicked();
    else if (m_inside && m_edit)
        m_edit->setFocus(Qt::MouseFocusReason);
}

void TBoundLabel::changeEvent(QEvent *event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::EnabledChange)
        keepColoursWhenDisabled();
}

// Inside the edit the label is disabled with it; it keeps its colours all the same.
void TBoundLabel::keepColoursWhenDisabled() {
    if (m_adjustingPalette)
        return;
    QPalette p = palette();
    bool changed = false;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::Window}) {
        const QColor active = p.color(QPalette::Active, role);
        if (p.color(QPalette::Disabled, role) != active) {
            p.setColor(QPalette::Disabled, role, active);
            changed = true;
        }
    }
    if (!changed)
        return;
    m_adjustingPalette = true;
    setPalette(p);
    m_adjustingPalette = false;
}

TEnhLabeledEdit::TEnhLabeledEdit(QWidget *parent)
    : QLineEdit(parent), m_label(new TBoundLabel(this)),
      m_enabledColor(QApplication::palette().color(QPalette::Active, QPalette::Base)),
      m_disabledColor(inactiveBorderColor) {
    connect(this, &QLineEdit::textChanged, this, &TEnhLabeledEdit::textChangedHandler);
    applyBackground();
    placeLabel();
}

// A label outside the edit belongs to the edit's parent and goes with the edit.
TEnhLabeledEdit::~TEnhLabeledEdit() {
    if (m_label && m_label->parentWidget() != this)
        delete m_label;
}

void TEnhLabeledEdit::setLabelPosition(TLabelPosition position) {
    m_position = position;
    m_label->setInside(position == lpInside);
    QWidget *owner = position == lpInside ? static_cast<QWidget *>(this) : parentWidget();
    if (m_label->parentWidget() != owner)
        m_label->setParent(owner);
    placeLabel();
    updateLabelVisibility();
}

void TEnhLabeledEdit::setLabelSpacing(int spacing) {
    m_spacing = spacing;
    placeLabel();
}

void TEnhLabeledEdit::setEnabledColor(const QColor &color) {
    m_enabledColor = color;
    applyBackground();
}

void TEnhLabeledEdit::setDisabledColor(const QColor &color) {
    m_disabledColor = color;
    applyBackground();
}

void TEnhLabeledEdit::applyBackground() {
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::Base, m_enabledColor);
    p.setColor(QPalette::Inactive, QPalette::Base, m_enabledColor);
    p.setColor(QPalette::Disabled, QPalette::Base, m_disabledColor);
    setPalette(p);
}

void TEnhLabeledEdit::placeLabel() {
    if (!m_label)
        return;
    m_label->adjustSize();
    const QSize size = m_label->size();
    const QRect edit = geometry();
    switch (m_position) {
    case lpInside:
        m_label->move(m_spacing, 2);
        break;
    case lpAbove:
        m_label->move(edit.left(), edit.top() - size.height() - m_spacing);
        break;
    case lpBelow:
        m_label->move(edit.left(), edit.bottom() + 1 + m_spacing);
        break;
    case lpLeft:
        m_label->move(edit.left() - size.width() - m_spacing,
                      edit.top() + (edit.height() - size.height()) / 2);
        break;
    case lpRight:
        m_label->move(edit.right() + 1 + m_spacing,
                      edit.top() + (edit.height() - size.height()) / 2);
        break;
    }
}

void TEnhLabeledEdit::textChangedHandler() {
    if (m_position == lpInside)
        m_label->setVisible(text().isEmpty());
    emit OnChange();
}

void TEnhLabeledEdit::updateLabelVisibility() {
    if (!m_label)
        return;
    if (m_position == lpInside)
        m_label->setVisible(text().isEmpty());
    else // without a parent the label would become a window of its own
        m_label->setVisible(!isHidden() && m_label->parentWidget());
}

void TEnhLabeledEdit::setVisible(bool visible) {
    QLineEdit::setVisible(visible);
    updateLabelVisibility();
}

bool TEnhLabeledEdit::focusNextPrevChild(bool next) {
    // With WantTabKey, Tab reaches the edit (and whoever watches its keys) instead of
    // moving the focus.
    if (m_wantTab)
        return false;
    return QLineEdit::focusNextPrevChild(next);
}

void TEnhLabeledEdit::keyPressEvent(QKeyEvent *event) {
    QLineEdit::keyPressEvent(event);
    // Taken here, or the parent would move the focus on with it.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (m_wantTab && tab && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        event->accept();
}

void TEnhLabeledEdit::changeEvent(QEvent *event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::ParentChange && m_label && m_position != lpInside) {
        m_label->setParent(parentWidget());
        placeLabel();
        updateLabelVisibility();
    }
}

void TEnhLabeledEdit::moveEvent(QMoveEvent *event) {
    QLineEdit::moveEvent(event);
    placeLabel();
}

void TEnhLabeledEdit::resizeEvent(QResizeEvent *event) {
    QLineEdit::resizeEvent(event);
    placeLabel();
}
