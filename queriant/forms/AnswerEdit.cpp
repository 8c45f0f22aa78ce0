// SPDX-License-Identifier: MIT
#include "AnswerEdit.h"

#include <QKeyEvent>
#include <QTextBlock>

bool IsEnterKey(const QKeyEvent *event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

QChar TypedChar(const QKeyEvent *event) {
    const QString text = event->text();
    if (text.size() != 1 || text.at(0).unicode() < 0x20 || text.at(0).unicode() == 0x7f)
        return {};
    return text.at(0);
}

TAnswerEdit::TAnswerEdit(QWidget *parent) : QLineEdit(parent) {}

void TAnswerEdit::keyPressEvent(QKeyEvent *event) {
    if (KeyFilter && KeyFilter(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TAnswerEdit::focusInEvent(QFocusEvent *event) {
    QLineEdit::focusInEvent(event);
    emit focused();
}

TAnswerMemo::TAnswerMemo(QWidget *parent) : QPlainTextEdit(parent) {
    connect(this, &QPlainTextEdit::textChanged, this, &TAnswerMemo::enforceMaxLength);
}

void TAnswerMemo::setMaxLength(int length) {
    m_maxLength = length;
    enforceMaxLength();
}

void TAnswerMemo::enforceMaxLength() {
    if (m_maxLength <= 0)
        return;
    const QString text = toPlainText();
    if (text.size() <= m_maxLength)
        return;
    QTextCursor cursor(document());
    cursor.setPosition(m_maxLength);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

void TAnswerMemo::keyPressEvent(QKeyEvent *event) {
    if (KeyFilter && KeyFilter(event)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TAnswerMemo::focusInEvent(QFocusEvent *event) {
    QPlainTextEdit::focusInEvent(event);
    emit focused();
}
