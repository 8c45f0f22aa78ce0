// SPDX-License-Identifier: MIT
// The owner-drawn grid of the list dialogs: one column of uniform 18-pixel rows over a
// TChoiceListModel, alternating row colours, the current row highlighted only when the dialog
// says so, separator rows drawn as a line. The current row is also the selected item, so that
// screen readers announce it.
#pragma once

#include "AnswerEdit.h"

#include <QListView>

#include <functional>

class TChoiceListModel;

class TChoiceGrid : public QListView {
    Q_OBJECT
public:
    static constexpr int RowHeight = 18;
    static constexpr int ColumnWidth = 601;

    explicit TChoiceGrid(QWidget *parent = nullptr);

    void SetChoiceModel(TChoiceListModel *model);
    TChoiceListModel *ChoiceModel() const { return m_model; }

    // Whether the current row r is drawn highlighted.
    std::function<bool(int row)> Highlighted;
    // Key presses before the grid handles them; true when consumed.
    TKeyFilter KeyFilter;
    // Right to left: the text is right-aligned and inset on both sides.
    void SetRightToLeftText(bool on);
    bool RightToLeftText() const { return m_rightToLeft; }

    int CurrentRow() const;
    // Makes row current and selected without reporting it as the user's move.
    void SetCurrentRow(int row);
    int TopRow() const;
    void SetTopRow(int row);
    int VisibleRowCount() const;

signals:
    // The user moved the current row (keys or mouse).
    void rowSelected(int row);
    // The left mouse button was released inside the grid's client area.
    void released();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    TChoiceListModel *m_model = nullptr;
    bool m_rightToLeft = false;
    bool m_settingRow = false;
};
