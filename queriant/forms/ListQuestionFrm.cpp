// SPDX-License-Identifier: MIT
#include "ListQuestionFrm.h"

#include "AlignLabel.h"
#include "AnswerEdit.h"
#include "ChoiceGrid.h"
#include "ChoiceListModel.h"
#include "DesignLayout.h"
#include "FormLook.h"
#include "JAWS.h"
#include "QuestionManager.h"

#include <QKeyEvent>
#include <QPalette>

TListQuestionForm::TListQuestionForm(QWidget *parent) : TListQuestionForm(parent, FormType::List) {}

TListQuestionForm::TListQuestionForm(QWidget *parent, const char *formType)
    : TChoiceQuestionForm(parent), m_formType(formType) {
    setObjectName(QStringLiteral("ListQuestionForm"));
    SearchEdit = new TAnswerEdit(MainPanel);
    SearchEdit->setObjectName(QStringLiteral("SearchEdit"));
    Layout().Place(SearchEdit, QRect(16, 88, 193, 21));

    // The description serves as the grid's header bar.
    DescriptionLbl->setCaption(QStringLiteral("Header"));
    DescriptionLbl->setWordWrap(false);
    DescriptionLbl->setVAlign(vtMiddle);
    DescriptionLbl->setMargin(4);
    DescriptionLbl->setRadius(0);
    DescriptionLbl->setPen(QPen(Qt::black));
    DescriptionLbl->setBrush(palette().color(QPalette::Button));
    FormLook::SetTextColor(DescriptionLbl, Qt::black);
    Layout().Place(DescriptionLbl, QRect(16, 119, 503, 21), akLeft | akTop | akRight);

    m_model = new TChoiceListModel(this);
    ListDG = new TChoiceGrid(MainPanel);
    ListDG->setObjectName(QStringLiteral("ListDG"));
    ListDG->SetChoiceModel(m_model);
    ListDG->Highlighted = [this](int row) { return RowHighlighted(row); };
    Layout().Place(ListDG, QRect(16, 140, 503, 141), akLeft | akTop | akRight | akBottom);
    setTabOrder(SearchEdit, ListDG);

    SearchEdit->KeyFilter = [this](QKeyEvent *e) { return searchKey(e); };
    ListDG->KeyFilter = [this](QKeyEvent *e) { return gridKey(e); };
    connect(SearchEdit, &QLineEdit::textEdited, this, &TListQuestionForm::searchEdited);
    connect(ListDG, &TChoiceGrid::rowSelected, this, &TListQuestionForm::SelectRow);
    connect(ListDG, &TChoiceGrid::released, this, [this] {
        if (SingleClick())
            NextBtnClick();
    });
}

TListQuestionForm::~TListQuestionForm() = default;

void TListQuestionForm::PresentQuestions() {
    TQuestionForm::PresentQuestions();
    CheckFormType(m_formType.constData(), Res::SValidation_NotList);
    TQuestion &question = *Question();
    DescriptionLbl->setCaption(question.Description);
    SearchEdit->setText(question.Modified || !question.IsAnswerEmpty() ? question.GetAnswer()
                                                                       : question.DefaultAnswer);
    question.Modified = false;
    RefreshChoices();
    m_model->SetChoices(question.Choices, !question.Mandatory);
    Locate(SearchEdit->text());
    SetErrorText(QString());
    SetFocusToControl(SearchEdit);
    const QString header = DescriptionLbl->caption();
    DescribeControl(SearchEdit, QuestionCaption(), header);
    DescribeControl(ListDG, QuestionCaption(), header);
    if (FollowsRightToLeft() && RightToLeftLayout()) {
        ApplyRightToLeft();
        ListDG->SetRightToLeftText(true);
    }
    writeScreen();
}

void TListQuestionForm::Locate(const QString &text) {
    const int found = m_model->Locate(text);
    if (found >= 0) {
        ListDG->SetCurrentRow(found);
        placeLocatedRow(found);
        m_located = found;
        SelectRow(found);
        ListDG->viewport()->update();
        return;
    }
    if (m_model->rowCount() > 0) {
        ListDG->SetTopRow(0);
        ListDG->SetCurrentRow(0);
    }
    if (SearchEdit->text().isEmpty()) {
        clearAnswer();
        ListDG->viewport()->update();
    }
}

void TListQuestionForm::SelectRow(int row) {
    TQuestion *question = Question();
    if (!question)
        return;
    SetErrorText(QString());
    if (question->Mandatory || row > 0) {
        if (row >= 0 && row < m_model->rowCount() && !m_model->IsSeparator(row))
            question->SetAnswer(m_model->Value(row));
    } else {
        question->SetAnswer(QString());
    }
    if (question->Modified)
        showAnswerInSearchEdit();
    ListDG->viewport()->update();
    if (QuestionManager())
        QuestionManager()->NotifyActivity();
}

// The edit shows the chosen value; what the user typed stays, the rest is selected so that
// typing on replaces it.
void TListQuestionForm::showAnswerInSearchEdit() {
    if (m_deleting)
        return;
    const QString typed = SearchEdit->text().left(SearchEdit->cursorPosition());
    const QString answer = Question()->GetAnswer();
    if (SearchEdit->text() == answer)
        return;
    SearchEdit->setText(answer);
    if (SearchEdit->hasFocus() && answer.startsWith(typed, Qt::CaseInsensitive) && !typed.isEmpty())
        SearchEdit->setSelection(int(answer.size()), int(typed.size()) - int(answer.size()));
}

// As the grid keeps its current row in view; then at most 9 rows below the top.
void TListQuestionForm::placeLocatedRow(int row) {
    ListDG->scrollTo(m_model->index(row), QAbstractItemView::EnsureVisible);
    if (row > ListDG->TopRow() + LocateRowsBelowTop)
        ListDG->SetTopRow(row - LocateRowsBelowTop);
}

// The grid has its real size only once shown: the row located while presenting is placed
// again, as it would have been in a grid of that size.
void TListQuestionForm::showEvent(QShowEvent *event) {
    TChoiceQuestionForm::showEvent(event);
    if (m_located >= 0 && m_located == ListDG->CurrentRow()) {
        ListDG->SetTopRow(0);
        placeLocatedRow(m_located);
    }
    m_located = -1;
}

bool TListQuestionForm::RowHighlighted(int row) const {
    const TQuestion *question = Question();
    if (!question || row < 0 || row >= m_model->rowCount() || m_model->IsSeparator(row))
        return false;
    return !question->IsAnswerEmpty() || (!question->Mandatory && row == 0);
}

void TListQuestionForm::clearAnswer() {
    if (TQuestion *question = Question())
        question->SetAnswer(QString());
}

bool TListQuestionForm::searchKey(QKeyEvent *event) {
    m_deleting = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
    if (IsEnterKey(event)) {
        NextBtnClick();
        return true;
    }
    if (event->key() == Qt::Key_Down) {
        ListDG->setFocus(Qt::OtherFocusReason);
        SelectRow(ListDG->CurrentRow());
        return true;
    }
    const QChar typed = TypedChar(event);
    if (typed.isNull())
        return false;
    // The text this key would leave in the edit must begin some value.
    QString text = SearchEdit->text();
    const int from =
        SearchEdit->hasSelectedText() ? SearchEdit->selectionStart() : SearchEdit->cursorPosition();
    text.replace(from, int(SearchEdit->selectedText().size()), typed);
    return m_model->Locate(text) < 0;
}

void TListQuestionForm::searchEdited(const QString &text) {
    Locate(text);
    m_deleting = false;
}

bool TListQuestionForm::gridKey(QKeyEvent *event) {
    if (IsEnterKey(event)) {
        NextBtnClick();
        return true;
    }
    if (event->key() == Qt::Key_Up && ListDG->CurrentRow() <= 0) {
        SearchEdit->setFocus(Qt::OtherFocusReason);
        if (SearchEdit->text().isEmpty()) {
            clearAnswer();
            ListDG->viewport()->update();
        }
        return true;
    }
    return false;
}

void TListQuestionForm::ShowForm() {
    TQuestion *question = Question();
    TQuestionManager *manager = QuestionManager();
    const int real = m_model->RealChoiceCount();
    const bool single = question && question->AutoSelectSingle && real == 1;
    const bool empty = question && question->SkipIfEmpty && real == 0;
    if (!manager || !(single || empty)) {
        TQuestionForm::ShowForm();
        return;
    }
    QuestionSet()->SetSkipped(true);
    if (single)
        question->SetAnswer(m_model->Value(m_model->FirstRealChoice()));
    if (WizardDirection() == wdPrev)
        manager->PrevSet();
    else
        manager->NextSet();
}

bool TListQuestionForm::ValidateAnswers() {
    const bool result = ValidateMandatory();
    writeScreen();
    return result;
}

void TListQuestionForm::writeScreen() {
    if (!WritesScreenReaderFile() || JawsSettingsFolder().isEmpty())
        return;
    QStringList options;
    options.reserve(m_model->rowCount());
    for (int row = 0; row < m_model->rowCount(); ++row)
        options.append(m_model->Value(row));
    JawsWriteListScreen(TitleLbl->caption(), QuestionCaption(), SearchEdit->text(),
                        DescriptionLbl->caption(), options, ErrorText());
}
