// SPDX-License-Identifier: MIT
// Searchable list of answers ("listform"): a search edit that accepts only what begins some
// value and finds it in the list, a header bar, and the owner-drawn grid of the values.
#pragma once

#include "ChoiceQuestionFrm.h"

class TAnswerEdit;
class TChoiceGrid;
class TChoiceListModel;

class TListQuestionForm : public TChoiceQuestionForm {
    Q_OBJECT
public:
    // A located row further down than this below the top row is scrolled up to it.
    static constexpr int LocateRowsBelowTop = 9;

    explicit TListQuestionForm(QWidget *parent = nullptr);
    ~TListQuestionForm() override;

    void PresentQuestions() override;
    bool ValidateAnswers() override;
    // Passes over a list with one real choice (answering it) or none, when the question says so.
    void ShowForm() override;

    // Finds text in the list and makes it the current row (and the answer).
    void Locate(const QString &text);
    // The user's choice of row r, from the grid or from Locate.
    void SelectRow(int row);
    // Whether the current row r is drawn highlighted.
    bool RowHighlighted(int row) const;

    TAnswerEdit *SearchEdit = nullptr;
    TChoiceGrid *ListDG = nullptr;
    TChoiceListModel *Choices() const { return m_model; }

protected:
    TListQuestionForm(QWidget *parent, const char *formType);

    // Refills the question's choices before they are shown; the SQL list asks the server.
    virtual void RefreshChoices() {}
    // The list writes its screen-reader file and reads right to left; the SQL list does not.
    virtual bool WritesScreenReaderFile() const { return true; }
    virtual bool FollowsRightToLeft() const { return true; }
    void showEvent(QShowEvent *event) override;

private:
    bool searchKey(QKeyEvent *event);
    bool gridKey(QKeyEvent *event);
    void searchEdited(const QString &text);
    void showAnswerInSearchEdit();
    void placeLocatedRow(int row);
    void clearAnswer();
    void writeScreen();

    QByteArray m_formType;
    TChoiceListModel *m_model = nullptr;
    // The user is deleting in the search edit: the completed value is not written back.
    bool m_deleting = false;
    // The row located while presenting, until the dialog is first shown.
    int m_located = -1;
};
