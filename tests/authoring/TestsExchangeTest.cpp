#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QGuiApplication>

#include "AuthoringTest.h"
#include "storage/ClipboardData.h"
#include "ui/Clipboard.h"
#include "ui/ErrorGuard.h"
#include "util/Error.h"

namespace kvalor::examtest {
namespace {

const QString kDamaged = QString::fromUtf8(kDamagedDataMessage) + ".";
const QString kMixed = "Выделенные элементы должны быть одинакового типа.";

// The names of the collection's entries (a question's name is its text).
QStringList names(const TExaminerCollection& collection) {
    QStringList result;
    for (int i = 0; i < collection.Count(); ++i) {
        result << text(collection.Items(i)->GetName());
    }
    return result;
}

// "Алгебра" holds A1..A5 directly; "Геометрия" the groups "Треугольники" (T1, T2) and
// "Окружности" (O1); "Химия" nothing. "Итог" draws 5 questions from "Алгебра",
// "Промежуточный" 2 from "Геометрия".
class TestsExchangeTest : public AuthoringTest {
protected:
    void SetUp() override {
        AuthoringTest::SetUp();
        QGuiApplication::clipboard()->clear();
        algebra_ = &addTest(kGroupKindSimpleTest, "Алгебра", 0);
        for (int i = 1; i <= 5; ++i) {
            a_.push_back(&addQuestion(*algebra_, kSingleAnswer, QString("A%1").arg(i), {"x"}, {0}));
        }
        geometry_ = &addTest(kGroupKindSimpleTest, "Геометрия", 0);
        triangles_ = &addGroup(*geometry_, "Треугольники");
        addQuestion(*triangles_, kSingleAnswer, "T1", {"x"}, {0});
        addQuestion(*triangles_, kSingleAnswer, "T2", {"x"}, {0});
        circles_ = &addGroup(*geometry_, "Окружности");
        addQuestion(*circles_, kSingleAnswer, "O1", {"x"}, {0});
        chemistry_ = &addTest(kGroupKindSimpleTest, "Химия", 0);
        final_ = &addTest(kGroupKindComplexTest, "Итог", 0);
        middle_ = &addTest(kGroupKindComplexTest, "Промежуточный", 0);
        TTaskList& tasks = kvalorRoot().Tasks();
        tasks.Task(tasks.AddTask(*final_, *algebra_)).QuestionCount = 5;
        tasks.Task(tasks.AddTask(*middle_, *geometry_)).QuestionCount = 2;
        kvalorRoot().SimpleTests().Renumber();
        window_ = &openTests();
    }

    QTreeView* simple() { return window_->tvSimple(); }
    QTreeView* complex() { return window_->tvComplex(); }
    // Selects the items in the simple tree, the first one focused.
    void select(const std::vector<const IExaminerItem*>& items) {
        focus(simple(), items.front());
        for (std::size_t i = 1; i < items.size(); ++i) {
            addToSelection(simple(), items[i]);
        }
    }
    void copyAndPaste(const std::vector<const IExaminerItem*>& copied,
                      const IExaminerItem* target) {
        select(copied);
        trigger(window_->actSmpCopy());
        focus(simple(), target);
        trigger(window_->actSmpPaste());
    }
    TItemNode* node(const IExaminerItem* item) {
        return FindItemNode(window_->SimpleModel(), item);
    }
    // The task node of the source under the complex test.
    TItemNode* taskNode(const TQuestions* complexTest, const TQuestions* source) {
        for (const auto& child : FindItemNode(window_->ComplexModel(), complexTest)->Children) {
            if (child->Item == source) {
                return child.get();
            }
        }
        return nullptr;
    }
    const TTask* task(const TQuestions* complexTest, const TQuestions* source) {
        return kvalorRoot().Tasks().FindTask(*complexTest, *source);
    }

    TQuestions *algebra_, *geometry_, *triangles_, *circles_, *chemistry_, *final_, *middle_;
    std::vector<TQuestion*> a_;
    TfmTestsEdit* window_ = nullptr;
};

TEST_F(TestsExchangeTest, PasteFollowsTheAcceptanceRulesAndPlacesTheCopies) {
    struct Case {
        const char* name;
        std::vector<const IExaminerItem*> copied;
        const IExaminerItem* target;
        TQuestions* receiver;  // nullptr: refused
        QStringList entries;   // the receiver's entries afterwards
    };
    const Case cases[] = {
        {"groups on a test of groups",
         {triangles_, circles_},
         geometry_,
         geometry_,
         {"Треугольники", "Окружности", "Треугольники", "Окружности"}},
        {"groups on a test of questions", {triangles_, circles_}, algebra_, nullptr, {}},
        {"questions on a test of groups", {a_[0], a_[1]}, geometry_, nullptr, {}},
        {"questions on a group", {a_[0], a_[1]}, circles_, circles_, {"O1", "A1", "A2"}},
        {"questions after a question",
         {a_[0], a_[4]},
         a_[2],
         algebra_,
         {"A1", "A2", "A3", "A1", "A5", "A4", "A5"}},
        {"a question on an empty test", {a_[1]}, chemistry_, chemistry_, {"A2"}},
        {"groups on a test that now holds a question", {circles_}, chemistry_, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = QuestionCount(kvalorRoot().SimpleTests(), kvalorRoot().Tasks());
        copyAndPaste(c.copied, c.target);
        if (!c.receiver) {
            EXPECT_EQ(QuestionCount(kvalorRoot().SimpleTests(), kvalorRoot().Tasks()), before);
            continue;
        }
        EXPECT_EQ(names(*c.receiver), c.entries);
        // The last copy is the selected node, its collection shown anew.
        const IExaminerItem* last =
            c.receiver->Items(c.receiver->IndexOf(c.target) + static_cast<int>(c.copied.size()));
        if (c.receiver == c.target) {
            last = c.receiver->Items(c.receiver->Count() - 1);
        }
        EXPECT_EQ(window_->SimpleNode(), node(last));
        EXPECT_EQ(childTexts(simple(), c.receiver).size(), c.receiver->Count());
        for (const IExaminerItem* original : c.copied) {
            EXPECT_NE(last->Id(), original->Id());
        }
    }
    // Renumbered through the whole test: the pasted A1 after A3 is question 4.
    EXPECT_EQ(childTexts(simple(), algebra_).at(3), "Вопрос 4");

    // The reserved format is the program's, enables "Вставить" and is refused everywhere.
    ClipboardPut(ClipboardFormat::Reserved, WriteClipboardItems({}));
    focus(simple(), chemistry_);
    EXPECT_TRUE(window_->actSmpPaste()->isEnabled());
    trigger(window_->actSmpPaste());
    EXPECT_EQ(names(*chemistry_), QStringList{"A2"});
}

TEST_F(TestsExchangeTest, PastedTestsFollowTheTargetEachNamedAsACopy) {
    select({chemistry_});
    trigger(window_->actSmpCopy());
    trigger(window_->actSmpPaste());
    trigger(window_->actSmpPaste());
    EXPECT_EQ(names(kvalorRoot().SimpleTests()),
              (QStringList{"Алгебра", "Геометрия", "Химия", "Химия Копия", "Химия Копия"}));
    EXPECT_EQ(childTexts(simple(), nullptr), names(kvalorRoot().SimpleTests()));
    EXPECT_EQ(window_->SimpleNode()->Item, kvalorRoot().SimpleTests().Items(4));
    EXPECT_EQ(kvalorRoot().SimpleTests().Items(4)->GetNumber(), 5);
}

TEST_F(TestsExchangeTest, DamagedBlocksShowTheReadErrorAndKeepWhatWasPlaced) {
    const std::string two = WriteClipboardItems({a_[0], a_[1]}).data();
    struct Case {
        const char* name;
        std::string bytes;
        QStringList entries;
    };
    const Case cases[] = {
        {"second record cut", two.substr(0, two.size() - 2), {"A1", "A1", "A2", "A3", "A4", "A5"}},
        {"huge count",
         std::string("\xFF\xFF\xFF\x7F", 4) + two.substr(4),
         {"A1", "A1", "A2", "A3", "A4", "A5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ClipboardPut(ClipboardFormat::Questions, ByteStream(c.bytes));
        focus(simple(), a_[0]);
        prompts_.expectError(kDamaged);
        trigger(window_->actSmpPaste());
        prompts_.verify();
        EXPECT_EQ(names(*algebra_), c.entries);
        EXPECT_EQ(childTexts(simple(), algebra_).size(), 6);
    }
}

TEST_F(TestsExchangeTest, PrintScreenEmptiesTheClipboardAndDisablesPaste) {
    select({a_[0]});
    trigger(window_->actSmpCopy());
    EXPECT_TRUE(window_->actSmpPaste()->isEnabled());
    pressKey(simple(), Qt::Key_Print);
    EXPECT_FALSE(ClipboardHasProgramData());
    EXPECT_FALSE(window_->actSmpPaste()->isEnabled());
}

TEST_F(TestsExchangeTest, DragsInsideTheSimpleTreeCopyOnlyWithShift) {
    struct Case {
        const char* name;
        std::vector<const IExaminerItem*> selected;
        const IExaminerItem* target;
        DropPlace place;
        Qt::KeyboardModifiers keys;
        TQuestions* changed;
        QStringList entries;
    };
    TQuestions& tests = kvalorRoot().SimpleTests();
    const Case cases[] = {
        {"without Shift",
         {a_[3], a_[4]},
         a_[0],
         DropPlace::Above,
         Qt::NoModifier,
         algebra_,
         {"A1", "A2", "A3", "A4", "A5"}},
        {"above the first question",
         {a_[3], a_[4]},
         a_[0],
         DropPlace::Above,
         Qt::ShiftModifier,
         algebra_,
         {"A4", "A5", "A1", "A2", "A3", "A4", "A5"}},
        {"on a question",
         {a_[1]},
         a_[4],
         DropPlace::On,
         Qt::ShiftModifier,
         algebra_,
         {"A4", "A5", "A1", "A2", "A3", "A4", "A5", "A2"}},
        {"on a group", {a_[0]}, circles_, DropPlace::On, Qt::ShiftModifier, circles_, {"O1", "A1"}},
        {"questions on a test of groups",
         {a_[0]},
         geometry_,
         DropPlace::On,
         Qt::ShiftModifier,
         geometry_,
         {"Треугольники", "Окружности"}},
        {"groups below a group",
         {triangles_},
         circles_,
         DropPlace::Below,
         Qt::ShiftModifier,
         geometry_,
         {"Треугольники", "Окружности", "Треугольники"}},
        {"a group on a test of groups",
         {circles_},
         geometry_,
         DropPlace::On,
         Qt::ShiftModifier,
         geometry_,
         {"Треугольники", "Окружности", "Треугольники", "Окружности"}},
        {"a test on a group",
         {chemistry_},
         circles_,
         DropPlace::On,
         Qt::ShiftModifier,
         circles_,
         {"O1", "A1"}},
        {"a test below a test",
         {chemistry_},
         algebra_,
         DropPlace::Below,
         Qt::ShiftModifier,
         &tests,
         {"Алгебра", "Химия", "Геометрия", "Химия"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        select(c.selected);
        window_->SimpleTreeDrop(node(c.target), c.place, c.keys);
        EXPECT_EQ(names(*c.changed), c.entries);
        EXPECT_EQ(childTexts(simple(), c.changed == &tests ? nullptr : c.changed).size(),
                  c.changed->Count());
    }
    // Copies are new items, the questions numbered through the test.
    EXPECT_NE(algebra_->Items(0)->Id(), a_[3]->Id());
    EXPECT_EQ(childTexts(simple(), algebra_).front(), "Вопрос 1");
    EXPECT_EQ(a_[0]->GetNumber(), 3);

    select({chemistry_, a_[0]});
    prompts_.expectError(kMixed);
    guarded([&] { window_->SimpleTreeDrop(node(algebra_), DropPlace::On, Qt::ShiftModifier); });
    EXPECT_EQ(tests.Count(), 4);
}

TEST_F(TestsExchangeTest, TasksAreMovedAndCopiedBetweenComplexTests) {
    // Moving "Алгебра" from "Итог" onto a task node of "Промежуточный".
    focus(complex(), algebra_);
    prompts_.expectInform("Задание перенесено");
    window_->ComplexTreeDrop(taskNode(middle_, geometry_), Qt::NoModifier);
    ASSERT_NE(task(middle_, algebra_), nullptr);
    EXPECT_EQ(task(middle_, algebra_)->QuestionCount, 0);
    EXPECT_EQ(task(final_, algebra_), nullptr);
    EXPECT_EQ(childTexts(complex(), final_), QStringList{});
    EXPECT_EQ(childTexts(complex(), middle_), (QStringList{"Геометрия", "Алгебра"}));

    // Copying "Геометрия" back onto "Итог" keeps it where it was.
    complex()->setCurrentIndex(window_->ComplexModel().IndexOf(taskNode(middle_, geometry_)));
    prompts_.expectInform("Задание скопировано");
    window_->ComplexTreeDrop(FindItemNode(window_->ComplexModel(), final_), Qt::ShiftModifier);
    ASSERT_NE(task(final_, geometry_), nullptr);
    EXPECT_EQ(task(final_, geometry_)->QuestionCount, 0);
    EXPECT_EQ(task(middle_, geometry_)->QuestionCount, 2);

    // Again: a duplicate, refused with nothing changed, also when moving.
    complex()->setCurrentIndex(window_->ComplexModel().IndexOf(taskNode(middle_, geometry_)));
    for (const Qt::KeyboardModifiers keys : {Qt::ShiftModifier, Qt::NoModifier}) {
        prompts_.expectInform("Задание Геометрия для Итог существует").icon(QMessageBox::Critical);
        window_->ComplexTreeDrop(FindItemNode(window_->ComplexModel(), final_), keys);
    }
    EXPECT_EQ(kvalorRoot().Tasks().TasksOf(*final_).size(), 1u);
    EXPECT_EQ(kvalorRoot().Tasks().TasksOf(*middle_).size(), 2u);

    // A complex test already taken asks first; No changes nothing.
    kvalorRoot().Studies().Append(drawStudy(addApplicant("Петров"), *final_));
    complex()->setCurrentIndex(window_->ComplexModel().IndexOf(taskNode(middle_, algebra_)));
    prompts_.expectAsk(
        "По изменяемому комплексному тесту проводилось тестирование.\n"
        "Изменить состав теста ?",
        QMessageBox::No);
    window_->ComplexTreeDrop(FindItemNode(window_->ComplexModel(), final_), Qt::NoModifier);
    EXPECT_EQ(task(final_, algebra_), nullptr);
    EXPECT_NE(task(middle_, algebra_), nullptr);
}

TEST_F(TestsExchangeTest, SimpleTestsAndGroupsDroppedOnAComplexTestBecomeTasks) {
    select({geometry_, algebra_, chemistry_});
    addToSelection(simple(), triangles_);
    addToSelection(simple(), a_[0]);
    // "Геометрия" is already a task of "Промежуточный"; the others are still added.
    prompts_.expectInform("Задание Геометрия для Промежуточный существует");
    window_->SimpleToComplexDrop(taskNode(middle_, geometry_));
    EXPECT_EQ(childTexts(complex(), middle_),
              (QStringList{"Геометрия", "Алгебра", "Треугольники", "Химия"}));
    EXPECT_EQ(task(middle_, triangles_)->QuestionCount, 0);
    EXPECT_EQ(task(middle_, geometry_)->QuestionCount, 2);
    // Column 4 of the simple tree: "Химия" is used now.
    EXPECT_EQ(texts(simple(), chemistry_).at(4), "+");
}

TEST_F(TestsExchangeTest, QuestionEditorCopiesQuestionsOnlyAndPastesAfterTheCurrentOne) {
    TQuestions& physics = addTest(kGroupKindSimpleTest, "Физика", 0);
    TQuestions& five = addGroup(physics, "Механика");
    std::vector<TQuestion*> m;
    for (int i = 1; i <= 5; ++i) {
        m.push_back(&addQuestion(five, kSingleAnswer, QString("M%1").arg(i), {"x"}, {0}));
    }
    physics.Renumber();
    TfmQuestion& editorWindow = question();
    editorWindow.SetMode(kWindowModeEditing);
    editorWindow.SetQuestionList(&physics);
    editorWindow.ShowQuestion(m[2]);
    editorWindow.Start();
    editorWindow.show();
    processEvents();
    TQuestionEditor& editor = editorWindow.Editor();

    focus(editor.tvQuestions(), &five);
    EXPECT_FALSE(editor.actSmpCopy()->isEnabled());
    prompts_.expectError("Недопустимое выделение.");
    guarded([&] { editor.actSmpCopyExecute(); });
    EXPECT_FALSE(ClipboardHasProgramData());

    focus(editor.tvQuestions(), m[0]);
    addToSelection(editor.tvQuestions(), m[1]);
    trigger(editor.actSmpCopy());
    EXPECT_TRUE(ClipboardHasQuestions());
    focus(editor.tvQuestions(), m[2]);
    trigger(editor.actSmpPaste());
    EXPECT_EQ(names(five), (QStringList{"M1", "M2", "M3", "M1", "M2", "M4", "M5"}));
    EXPECT_EQ(editorWindow.CurrentQuestion(), five.Items(4));
    EXPECT_EQ(childTexts(editor.tvQuestions(), &five),
              (QStringList{"Вопрос 1", "Вопрос 2", "Вопрос 3", "Вопрос 4", "Вопрос 5", "Вопрос 6",
                           "Вопрос 7"}));
    EXPECT_EQ(m[3]->GetNumber(), 6);

    editorWindow.hide();
    editorWindow.SetQuestionList(nullptr);
}

}  // namespace
}  // namespace kvalor::examtest
