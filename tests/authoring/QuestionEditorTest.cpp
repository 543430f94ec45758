#include <gtest/gtest.h>
#include <QAction>
#include <QButtonGroup>
#include <QLabel>
#include <QTextEdit>
#include <QToolButton>

#include "AuthoringTest.h"
#include "question/AnswerFrame.h"
#include "question/QuestionWindowSupport.h"

namespace kvalor::examtest {
namespace {

const QString kSure = "Вы действительно хотите удалить объект ?";
const QString kInvalid = "Параметры вопроса некорректны.\nУдалить вопрос ?";
const QString kSave = "Сохранить изменения ?";

// "Физика": group "Механика" with a one-answer, a several-answers and a sequence question.
class QuestionEditorTest : public AuthoringTest {
protected:
    void SetUp() override {
        AuthoringTest::SetUp();
        test_ = &addTest(kGroupKindSimpleTest, "Физика", 10);
        group_ = &addGroup(*test_, "Механика");
        single_ = &addQuestion(*group_, kSingleAnswer, "Единица силы", {"Н", "Дж", "Вт"}, {0});
        multiple_ = &addQuestion(*group_, kMultipleAnswers, "Векторы",
                                 {"масса", "скорость", "сила"}, {1, 2});
        sequence_ = &addQuestion(*group_, kSequence, "По порядку", {"один", "два", "три"});
    }

    void TearDown() override {
        window().hide();
        window().SetQuestionList(nullptr);
        AuthoringTest::TearDown();
    }

    TfmQuestion& window() { return question(); }
    TQuestionEditor& editor() { return dynamic_cast<TQuestionEditor&>(*window().EditingMode()); }
    TfrAnswer* frame(int index) { return window().Frames().at(static_cast<std::size_t>(index)); }

    // Opens the editor on the question, as the tests tree does.
    void edit(TQuestion* question) {
        window().SetMode(WindowMode::Editing);
        window().SetQuestionList(test_);
        window().ShowQuestion(question);
        window().Start();
        window().show();
        processEvents();
    }
    QTreeView* tree() { return window().findChild<QTreeView*>("tvQuestions"); }
    // Chooses the item's node in the editor's tree, as a click does.
    void choose(const IExaminerItem* item) { focus(tree(), item); }
    void type(QTextEdit* text, const QString& typed) {
        text->setFocus();
        text->setPlainText(typed);
        processEvents();
    }
    QStringList frameTexts() {
        QStringList texts;
        for (const TfrAnswer* f : window().Frames()) {
            texts << f->edText()->toPlainText();
        }
        return texts;
    }
    std::vector<bool> marks(const TQuestion& question) {
        std::vector<bool> result;
        for (int i = 0; i < question.Answers().Count(); ++i) {
            result.push_back(question.Answers().AnswerAt(i)->Checked());
        }
        return result;
    }

    TQuestions *test_, *group_;
    TQuestion *single_, *multiple_, *sequence_;
};

TEST_F(QuestionEditorTest, ShowsTheTestAndTheKey) {
    edit(multiple_);
    EXPECT_EQ(window().windowTitle(), "Редактирование тестов");
    EXPECT_TRUE(window().pnEditing()->isVisibleTo(&window()));
    EXPECT_FALSE(window().findChild<QWidget*>("pnLeft")->isVisibleTo(&window()));
    EXPECT_FALSE(window().edQuestion()->isReadOnly());
    EXPECT_EQ(childTexts(tree(), nullptr), QStringList{"Физика"});
    EXPECT_EQ(childTexts(tree(), group_), (QStringList{"Вопрос 1", "Вопрос 2", "Вопрос 3"}));
    EXPECT_EQ(tree()->currentIndex().data().toString(), "Вопрос 2");
    EXPECT_EQ(window().bgAnswerType()->checkedId(), kMultipleAnswers);
    EXPECT_EQ(frame(1)->UpperPicture(), AnswerButtonPicture::CheckOn);
    EXPECT_EQ(frame(0)->UpperPicture(), AnswerButtonPicture::CheckOff);
    EXPECT_FALSE(editor().findChild<QAction*>("actSave")->isEnabled());

    // A sequence whose answers still carry an old key shows no marks.
    sequence_->Answers().AnswerAt(1)->SetCorrect(true);
    choose(sequence_);
    EXPECT_EQ(window().CurrentQuestion(), sequence_);
    for (const TfrAnswer* f : window().Frames()) {
        EXPECT_FALSE(f->UpperPicture().has_value());
        EXPECT_FALSE(f->edText()->isReadOnly());
    }
    // A group shows nothing.
    choose(group_);
    EXPECT_EQ(window().CurrentQuestion(), nullptr);
    EXPECT_TRUE(window().Frames().empty());
}

TEST_F(QuestionEditorTest, MarksFollowTheRulesOfTheType) {
    edit(single_);
    click(frame(2)->btnUpper());
    EXPECT_EQ(marks(*single_), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(editor().findChild<QAction*>("actSave")->isEnabled());
    EXPECT_TRUE(editor().SelectedFrame() == frame(2));
    EXPECT_TRUE(frame(2)->lblTitle()->font().bold());
    // The key changes only on saving.
    EXPECT_TRUE(single_->Answers().AnswerAt(0)->Correct());
    trigger(editor(), "actSave");
    EXPECT_FALSE(single_->Answers().AnswerAt(0)->Correct());
    EXPECT_TRUE(single_->Answers().AnswerAt(2)->Correct());

    // Several answers marked 2 and 3, then one answer: only the second stays marked.
    choose(multiple_);
    click(frame(0)->btnUpper());
    click(frame(0)->btnUpper());
    EXPECT_EQ(marks(*multiple_), (std::vector<bool>{false, true, true}));
    prompts_.expectAsk(kSave, QMessageBox::Yes).caption("Предупреждение");
    choose(single_);
    ASSERT_EQ(window().CurrentQuestion(), single_);
    choose(multiple_);
    click(window().bgAnswerType()->button(kSingleAnswer));
    EXPECT_EQ(multiple_->QuestionType(), kSingleAnswer);
    EXPECT_EQ(marks(*multiple_), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(frame(1)->UpperPicture(), AnswerButtonPicture::RadioOn);
    // A change of type asks for saving, which stores the key of the new type.
    EXPECT_TRUE(editor().findChild<QAction*>("actSave")->isEnabled());
    trigger(editor(), "actSave");
    EXPECT_FALSE(multiple_->Answers().AnswerAt(2)->Correct());
}

TEST_F(QuestionEditorTest, LeavingWithNoKeepsTheOldTextsAndWithYesSavesThem) {
    edit(single_);
    type(window().edQuestion(), "Единица работы");
    type(frame(1)->edText(), "Джоуль");
    click(window(), "chbDontMixAnswers");
    prompts_.expectAsk(kSave, QMessageBox::No)
        .icon(QMessageBox::Question)
        .defaultButton(QMessageBox::Yes);
    choose(multiple_);
    EXPECT_EQ(text(single_->GetName()), "Единица силы");
    EXPECT_EQ(text(single_->Answers().AnswerAt(1)->GetName()), "Дж");
    EXPECT_TRUE(single_->Answers().AllowMix());

    choose(single_);
    EXPECT_EQ(frameTexts(), (QStringList{"Н", "Дж", "Вт"}));
    type(window().edQuestion(), "Единица работы");
    type(frame(1)->edText(), "Джоуль");
    click(window(), "chbDontMixAnswers");
    prompts_.expectAsk(kSave, QMessageBox::Yes);
    choose(sequence_);
    EXPECT_EQ(text(single_->GetName()), "Единица работы");
    EXPECT_EQ(text(single_->Answers().AnswerAt(1)->GetName()), "Джоуль");
    EXPECT_FALSE(single_->Answers().AllowMix());
}

TEST_F(QuestionEditorTest, SequenceStoresTheAuthorsOrderAndMovedAnswersKeepTheirTypedText) {
    edit(sequence_);
    type(frame(0)->edText(), "один раз");
    // The arrows are not drawn in the editor, yet their place moves the answer.
    click(frame(0)->btnLower());
    click(frame(1)->btnLower());
    EXPECT_EQ(frameTexts(), (QStringList{"два", "три", "один раз"}));
    EXPECT_TRUE(editor().SelectedFrame() == frame(2));
    trigger(editor(), "actSave");
    const TAnswers& answers = sequence_->Answers();
    QStringList order;
    for (int i = 0; i < answers.Count(); ++i) {
        order << text(answers.AnswerAt(i)->GetName());
        EXPECT_EQ(answers.AnswerAt(i)->CorrectPosition(), i);
    }
    EXPECT_EQ(order, (QStringList{"два", "три", "один раз"}));
}

TEST_F(QuestionEditorTest, AnswersAreAddedAndDeleted) {
    edit(single_);
    trigger(editor(), "actNewAnswer");
    ASSERT_EQ(window().Frames().size(), 4u);
    EXPECT_EQ(frame(3)->lblTitle()->text(), "Вариант 4");
    EXPECT_EQ(textColour(*frame(3)->edText()), kGreenText);
    EXPECT_EQ(single_->Answers().Count(), 4);
    EXPECT_TRUE(editor().findChild<QAction*>("actSave")->isEnabled());
    type(frame(3)->edText(), "кВт");
    trigger(editor(), "actSave");
    EXPECT_EQ(textColour(*frame(3)->edText()), defaultTextColour());

    // Typing in an answer chose its frame, a click chooses another. The second of four goes;
    // the ones after it move up a number.
    EXPECT_TRUE(editor().SelectedFrame() == frame(3));
    mouseClick(frame(1)->edText()->viewport());
    EXPECT_TRUE(editor().SelectedFrame() == frame(1));
    prompts_.expectAsk(kSure, QMessageBox::No).icon(QMessageBox::Critical);
    trigger(editor(), "actDeleteAnswer");
    EXPECT_EQ(single_->Answers().Count(), 4);
    prompts_.expectAsk(kSure, QMessageBox::Yes);
    trigger(editor(), "actDeleteAnswer");
    EXPECT_EQ(frameTexts(), (QStringList{"Н", "Вт", "кВт"}));
    EXPECT_EQ(frame(1)->lblTitle()->text(), "Вариант 2");
    EXPECT_EQ(frame(2)->lblTitle()->text(), "Вариант 3");
    EXPECT_EQ(single_->Answers().Count(), 3);
    EXPECT_EQ(editor().SelectedFrame(), nullptr);

    // With results of the test the question names them.
    kvalorRoot().Studies().Append(drawStudy(addApplicant("Петров"), *test_));
    mouseClick(frame(2)->edText()->viewport());
    prompts_.expectAsk(
        "По удаляе(мой\\му) группе\\вопросу проводилось тестирование.\n"
        "Удалить объект ?",
        QMessageBox::No);
    trigger(editor(), "actDeleteAnswer");
}

TEST_F(QuestionEditorTest, NewQuestionsAndLeavingAnInvalidOne) {
    edit(multiple_);
    // Nothing chosen in the tree: the new question joins the current one's group.
    tree()->clearSelection();
    trigger(editor(), "actNewQuestion");
    ASSERT_EQ(group_->Count(), 4);
    auto* created = static_cast<TQuestion*>(group_->ElementAt(3));
    EXPECT_EQ(window().CurrentQuestion(), created);
    EXPECT_EQ(frameTexts(), (QStringList{"", "", ""}));
    EXPECT_EQ(frame(0)->UpperPicture(), AnswerButtonPicture::RadioOn);
    EXPECT_EQ(textColour(*frame(0)->edText()), kMaroonText);
    EXPECT_EQ(childTexts(tree(), group_).back(), "Вопрос 4");
    EXPECT_EQ(tree()->currentIndex().data().toString(), "Вопрос 4");

    // Left without texts: No keeps the author on it, Yes offers its deletion.
    prompts_.expectAsk(kInvalid, QMessageBox::No)
        .caption("Предупреждение")
        .defaultButton(QMessageBox::No);
    choose(single_);
    EXPECT_EQ(window().CurrentQuestion(), created);
    EXPECT_EQ(tree()->currentIndex().data().toString(), "Вопрос 4");
    // Nor can the window close then.
    prompts_.expectAsk(kInvalid, QMessageBox::No);
    window().reject();
    EXPECT_TRUE(window().isVisible());

    prompts_.expectAsk(kInvalid, QMessageBox::Yes);
    prompts_.expectAsk(kSure, QMessageBox::Yes);
    choose(single_);
    EXPECT_EQ(window().CurrentQuestion(), single_);
    EXPECT_EQ(group_->Count(), 3);
    EXPECT_EQ(childTexts(tree(), group_).size(), 3);

    // A question deleted on purpose; the numbers close up.
    choose(single_);
    prompts_.expectAsk(kSure, QMessageBox::Yes);
    trigger(editor(), "actDeleteQuestion");
    EXPECT_EQ(window().CurrentQuestion(), nullptr);
    EXPECT_EQ(group_->Count(), 2);
    EXPECT_EQ(multiple_->GetNumber(), 1);
    EXPECT_EQ(childTexts(tree(), group_), (QStringList{"Вопрос 1", "Вопрос 2"}));
    window().reject();
    EXPECT_FALSE(window().isVisible());
    EXPECT_TRUE(childTexts(tree(), nullptr).isEmpty());
}

TEST_F(QuestionEditorTest, NoRestoresTheStoredQuestionAndNoUnscorableKeyIsStored) {
    // A choice question as the editor stores it: no order of its own.
    for (int i = 0; i < 3; ++i) {
        single_->Answers().AnswerAt(i)->SetCorrectPosition(0);
    }
    const Guid second = single_->Answers().AnswerAt(1)->Id();
    edit(single_);
    click(window().bgAnswerType()->button(kSequence));
    click(frame(0)->btnLower());
    mouseClick(frame(2)->edText()->viewport());
    prompts_.expectAsk(kSure, QMessageBox::Yes);
    trigger(editor(), "actDeleteAnswer");
    trigger(editor(), "actNewAnswer");
    type(window().edQuestion(), "Порядок");
    prompts_.expectAsk(kSave, QMessageBox::No)
        .buttons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)
        .defaultButton(QMessageBox::Yes);
    choose(multiple_);
    ASSERT_EQ(window().CurrentQuestion(), multiple_);
    EXPECT_EQ(single_->QuestionType(), kSingleAnswer);
    EXPECT_EQ(text(single_->GetName()), "Единица силы");
    ASSERT_EQ(single_->Answers().Count(), 3);
    EXPECT_EQ(single_->Answers().AnswerAt(1)->Id(), second);
    EXPECT_EQ(text(single_->Answers().AnswerAt(2)->GetName()), "Вт");
    EXPECT_EQ(marks(*single_), (std::vector<bool>{true, false, false}));
    // Both marks of several answers taken away: neither "Сохранить" nor "Да" stores that key,
    // and Escape stays on the question.
    const QString unmarked = "Изменения не сохранены: отметьте хотя бы один правильный ответ.";
    click(frame(1)->btnUpper());
    click(frame(2)->btnUpper());
    prompts_.expectInform(unmarked);
    trigger(editor(), "actSave");
    prompts_.expectAsk(kSave, QMessageBox::Yes);
    prompts_.expectInform(unmarked);
    choose(sequence_);
    prompts_.expectAsk(kSave, QMessageBox::Cancel);
    choose(sequence_);
    EXPECT_EQ(window().CurrentQuestion(), multiple_);
    EXPECT_TRUE(multiple_->Answers().AnswerAt(2)->Correct());
    // A sequence read with no order of its own is no valid question; saving gives it its order.
    prompts_.expectAsk(kSave, QMessageBox::No);
    choose(single_);
    sequence_->Answers().AnswerAt(2)->SetCorrectPosition(0);
    choose(sequence_);
    EXPECT_FALSE(sequence_->IsValid());
    trigger(editor(), "actSave");
    EXPECT_TRUE(sequence_->IsValid());
}

TEST_F(QuestionEditorTest, KeyboardMovesOnWithTabAndTheTreeShowsTheQuestionOnDisplay) {
    edit(single_);
    QTextEdit* answer = frame(1)->edText();
    for (QTextEdit* edit : {window().edQuestion(), answer}) {
        edit->setFocus();
        ASSERT_TRUE(edit->hasFocus());
        pressKey(edit, Qt::Key_Tab, Qt::NoModifier, "\t");
        EXPECT_FALSE(edit->hasFocus());
        pressKey(edit, Qt::Key_Tab, Qt::ControlModifier, "\t");
        EXPECT_FALSE(edit->toPlainText().contains(u'\t'));
    }
    type(answer, "Дж\tс");
    type(window().edQuestion(), "Единица\tсилы");
    trigger(editor(), "actSave");
    EXPECT_EQ(text(single_->GetName()), "Единица силы");
    EXPECT_EQ(text(single_->Answers().AnswerAt(1)->GetName()), "Дж с");

    // With no question on display the text is read-only and a question joins the chosen group.
    choose(group_);
    EXPECT_TRUE(window().edQuestion()->isReadOnly());
    trigger(editor(), "actNewQuestion");
    ASSERT_EQ(group_->Count(), 4);
    TQuestion* created = window().CurrentQuestion();
    EXPECT_EQ(created, group_->ElementAt(3));

    // A click on another question that the author refuses to follow leaves the tree on this one.
    QTreeView* tree = this->tree();
    const auto& model = static_cast<const TItemTreeModel&>(*tree->model());
    prompts_.expectAsk(kInvalid, QMessageBox::No);
    mouseClick(tree->viewport(),
               tree->visualRect(model.IndexOf(FindItemNode(model, single_))).center());
    const QModelIndexList chosen = tree->selectionModel()->selectedRows();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front(), model.IndexOf(FindItemNode(model, created)));
    EXPECT_EQ(tree->currentIndex(), chosen.front());
}

}  // namespace
}  // namespace kvalor::examtest
