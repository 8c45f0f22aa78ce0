// SPDX-License-Identifier: MIT
// Answer controls of the entry dialogs: a one-line edit and a memo that report the focus
// arriving and let the dialog filter or consume key presses before the control sees them.
#pragma once

#include <QLineEdit>
#include <QPlainTextEdit>

#include <functional>

// Returns true when the key press is consumed.
using TKeyFilter = std::function<bool(QKeyEvent *)>;

class TAnswerEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TAnswerEdit(QWidget *parent = nullptr);
    TKeyFilter KeyFilter;

signals:
    void focused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
};

class TAnswerMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TAnswerMemo(QWidget *parent = nullptr);
    TKeyFilter KeyFilter;
    // 0: no limit. Longer text (typed or pasted) is cut to the limit.
    void setMaxLength(int length);
    int maxLength() const { return m_maxLength; }

signals:
    void focused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void enforceMaxLength();
    int m_maxLength = 0;
};

// Whether a key press is Enter (either key).
bool IsEnterKey(const QKeyEvent *event);
// The typed character of a key press, or a null QChar for keys without a printable character.
QChar TypedChar(const QKeyEvent *event);
