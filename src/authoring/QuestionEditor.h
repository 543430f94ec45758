#pragma once

#include <QObject>

#include "authoring/QuestionDraft.h"
#include "question/EditingMode.h"

class QAction;
class QCheckBox;
class QMenu;
class QTreeView;

namespace kvalor {

class TfmQuestion;
class TfrAnswer;
class TItemTreeModel;
class TQuestion;
class TQuestions;
struct PastedItems;
struct TItemNode;

// The editing mode of the question window ("Редактирование тестов"): the tree of the test, the
// question text, the answer type, the answers with their key, and "не изменять порядок
// ответов". Texts, key and that flag take effect on "Сохранить"; new, deleted, marked and
// moved answers, the type and new or deleted questions act on the test at once.
//
// The window owns its editor and calls it at the points where editing differs from an
// examination: leaving a question, showing one, starting, closing, enabling the actions.
class TQuestionEditor : public QObject, public IEditingMode {
    Q_OBJECT
public:
    // Builds the editing panels into the window.
    explicit TQuestionEditor(TfmQuestion& window);
    ~TQuestionEditor() override;

    // Leaving the current question for another one (or none): unsaved changes are offered for
    // saving, an invalid question for deletion. False when the author stays on it.
    bool MayLeave() override;
    // The question (or none) is on display: the key is shown as marks, texts are committed.
    void QuestionShown() override;
    // The window starts: the tree shows the test, with the current question's node selected.
    void Started() override;
    // Leaves the current question; false when the author stays on an invalid one.
    bool CloseQuery() override;
    // Lays the tool buttons out for their font: in one row, or wrapped when that would be
    // wider than the tree may be.
    void ArrangeButtons() override;
    void UpdateActions() override;

    // The frame chosen for deletion, its title bold; nullptr for none.
    TfrAnswer* SelectedFrame() const { return selectedFrame_; }

    // "Сохранить": the texts, the key and the flag of the current question.
    void actSaveExecute();
    void actNewAnswerExecute();
    void actDeleteAnswerExecute();
    void actNewQuestionExecute();
    void actDeleteQuestionExecute();
    // The selected questions onto the clipboard; questions from it after the current one.
    void actSmpCopyExecute();
    void actSmpPasteExecute();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectControls();
    bool Editing() const;
    TQuestions* Test() const;

    // Frames get the editor's handling when they are made.
    void AttachFrame(TfrAnswer& frame);
    void SelectFrame(TfrAnswer* frame);
    void FrameMoved(TfrAnswer* frame, int direction);
    void Retitle();
    void SetModified();

    // Stores the key, texts and flag; refuses, saying why, marks that make no key of the type.
    bool Save();
    // The current question as it was shown or last saved, when the author drops the changes.
    void RestoreStored();
    // The author stays on the current question: the tree chooses its node again.
    void StayOnCurrent();

    void FillTreeIfNeeded();
    void SelectCurrentNode();
    void TreeCurrentChanged();
    bool ConfirmDeletion();
    // Renumbers and shows the pasted questions, the last one on display.
    void ShowPasted(const PastedItems& pasted);

    TfmQuestion& window_;
    TItemTreeModel* model_;
    TfrAnswer* selectedFrame_ = nullptr;
    TQuestionDraft draft_;
    // Set while a question is being deleted: leaving it then asks nothing.
    bool deleting_ = false;
    // Set while the program moves the tree's choice, which is no request to show a question.
    bool syncingTree_ = false;
    // Set while the program fills the controls, whose changes are no author's.
    bool loading_ = false;

    // The row of tool buttons "Редактирование теста" above the tree.
    QWidget* tbEditing_ = nullptr;
    QTreeView* tvQuestions_ = nullptr;
    QCheckBox* chbDontMixAnswers_ = nullptr;
    QMenu* mnQuestion_ = nullptr;
    QMenu* mnAnswer_ = nullptr;
    QAction* actSave_;
    QAction* actNewAnswer_;
    QAction* actDeleteAnswer_;
    QAction* actNewQuestion_;
    QAction* actDeleteQuestion_;
    QAction* actSmpCopy_;
    QAction* actSmpPaste_;
};

}  // namespace kvalor
