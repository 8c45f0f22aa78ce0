// SPDX-License-Identifier: MIT
// An edit with an attached label. The label sits above, below, left or right of the edit, or
// inside it as a placeholder that shows while the edit is empty.
#pragma once

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>

enum TLabelPosition { lpAbove, lpBelow, lpLeft, lpRight, lpInside };

// The label of a TEnhLabeledEdit. A click focuses the edit while the label is inside it,
// unless something else handles the click.
class TBoundLabel : public QLabel {
    Q_OBJECT
public:
    explicit TBoundLabel(QWidget *edit);

    void setInside(bool inside) { m_inside = inside; }
    bool hasClickHandler() const;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void keepColoursWhenDisabled();

    QWidget *m_edit;
    bool m_inside = false;
    bool m_pressed = false;
    bool m_adjustingPalette = false;
};

class TEnhLabeledEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(int LabelPosition READ labelPositionValue WRITE setLabelPositionValue)
    Q_PROPERTY(int LabelSpacing READ labelSpacing WRITE setLabelSpacing)
    Q_PROPERTY(QColor EnabledColor READ enabledColor WRITE setEnabledColor)
    Q_PROPERTY(QColor DisabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(bool WantTabKey READ wantTabKey WRITE setWantTabKey)

public:
    explicit TEnhLabeledEdit(QWidget *parent = nullptr);
    ~TEnhLabeledEdit() override;

    TBoundLabel *EditLabel() const { return m_label; }

    TLabelPosition labelPosition() const { return m_position; }
    void setLabelPosition(TLabelPosition position);
    int labelSpacing() const { return m_spacing; }
    void setLabelSpacing(int spacing);
    QColor enabledColor() const { return m_enabledColor; }
    void setEnabledColor(const QColor &color);
    QColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(const QColor &color);
    bool wantTabKey() const { return m_wantTab; }
    void setWantTabKey(bool want) { m_wantTab = want; }

    void setVisible(bool visible) override;

signals:
    // After the edit's own handling of a text change.
    void OnChange();

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    int labelPositionValue() const { return m_position; }
    void setLabelPositionValue(int v) { setLabelPosition(TLabelPosition(v)); }
    void placeLabel();
    void textChangedHandler();
    void applyBackground();
    void updateLabelVisibility();

    QPointer<TBoundLabel> m_label;
    TLabelPosition m_position = lpAbove;
    int m_spacing = 3;
    QColor m_enabledColor;
    QColor m_disabledColor;
    bool m_wantTab = false;
};
