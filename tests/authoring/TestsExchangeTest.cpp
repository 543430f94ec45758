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

// The names of the collection's entries (a question's name is its text).
QStringList names(const TExaminerCollection& collection) {
    QStringList result;
    for (int i = 0; i < collection.Count(); ++i) {
        result << text(collection.Items(i)->GetName());
    }
    return result;
}

// "Алгебра" holds A1..A5; "Геометрия" the groups "Треугольники" (T1, T2) and "Окружности"
// (O1); "Химия" nothing. "Итог" draws from "Алгебра", "Промежуточный" from "Геометрия".
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
        window();
    }

    void select(const std::vector<const IExaminerItem*>& items) {
        focus(simple(), items.front());
        for (std::size_t i = 1; i < items.size(); ++i) {
            addToSelection(simple(), items[i]);
        }
    }
    TItemNode* node(const IExaminerItem* item) { return FindItemNode(modelOf(simple()), item); }
    TItemNode* complexNode(const TQuestions* complexTest, const TQuestions* task = nullptr) {
        TItemNode* test = FindItemNode(modelOf(complex()), complexTest);
        for (const auto& child : test->Children) {
            if (child->Item == task) {
                return child.get();
            }
        }
        return test;
    }
    void focusTask(const TQuestions* complexTest, const TQuestions* task) {
        complex()->setCurrentIndex(modelOf(complex()).IndexOf(complexNode(complexTest, task)));
    }
    TTestsTreeDrops& drops() { return *named<TTestsTreeDrops>(window(), "TestsTreeDrops"); }
    int taskCount(const TQuestions* complexTest, const TQuestions* source) {
        const TTask* task = kvalorRoot().Tasks().FindTask(*complexTest, *source);
        return task ? task->QuestionCount : -1;
    }

    TQuestions *algebra_, *geometry_, *triangles_, *circles_, *chemistry_, *final_, *middle_;
    std::vector<TQuestion*> a_;
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
        select(c.copied);
        trigger(named(window(), "actSmpCopy"));
        focus(simple(), c.target);
        trigger(named(window(), "actSmpPaste"));
        if (!c.receiver) {
            EXPECT_EQ(QuestionCount(kvalorRoot().SimpleTests(), kvalorRoot().Tasks()), before);
            continue;
        }
        EXPECT_EQ(names(*c.receiver), c.entries);
        // The last copy, a new item, is the node selected in the collection shown anew.
        const IExaminerItem* last = window().CurrentNode(TestsTree::Simple)->Item;
        EXPECT_EQ(text(last->GetName()), c.entries.at(c.receiver->IndexOf(last)));
        EXPECT_NE(last->Id(), c.copied.back()->Id());
        EXPECT_EQ(childTexts(simple(), c.receiver).size(), c.receiver->Count());
    }
    EXPECT_EQ(childTexts(simple(), algebra_).at(3), "Вопрос 4");

    // A test pasted twice: both copies follow it, each named a copy.
    select({chemistry_});
    trigger(named(window(), "actSmpCopy"));
    trigger(named(window(), "actSmpPaste"));
    trigger(named(window(), "actSmpPaste"));
    const QStringList tests = {"Алгебра", "Геометрия", "Химия", "Химия Копия", "Химия Копия"};
    EXPECT_EQ(names(kvalorRoot().SimpleTests()), tests);
    EXPECT_EQ(childTexts(simple(), nullptr), tests);

    // A block cut short: the question read before the damage stays, the error is shown.
    const std::string two = WriteClipboardItems({a_[0], a_[1]}).data();
    ClipboardPut(ClipboardFormat::Questions, ByteStream(two.substr(0, two.size() - 2)));
    focus(simple(), a_[4]);
    prompts_.expectError(QString::fromUtf8(kDamagedDataMessage) + ".");
    trigger(named(window(), "actSmpPaste"));
    EXPECT_EQ(names(*algebra_).mid(7), QStringList{"A1"});
    EXPECT_EQ(childTexts(simple(), algebra_).size(), 8);

    // The reserved format enables "Вставить" and is refused; Print Screen empties the clipboard.
    ClipboardPut(ClipboardFormat::Reserved, WriteClipboardItems({}));
    focus(simple(), chemistry_);
    EXPECT_TRUE(named(window(), "actSmpPaste")->isEnabled());
    trigger(named(window(), "actSmpPaste"));
    EXPECT_EQ(names(*chemistry_), QStringList{"A2"});
    pressKey(simple(), Qt::Key_Print);
    EXPECT_FALSE(named(window(), "actSmpPaste")->isEnabled());
}

TEST_F(TestsExchangeTest, DragsInsideTheSimpleTreeMoveWithoutShiftAndCopyWithIt) {
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
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Case cases[] = {
        // Moved, the questions themselves.
        {"without Shift",
         {a_[3], a_[4]},
         a_[0],
         DropPlace::Above,
         Qt::NoModifier,
         algebra_,
         {"A4", "A5", "A1", "A2", "A3"}},
        {"above the first question",
         {a_[3], a_[4]},
         a_[3],
         DropPlace::Above,
         shift,
         algebra_,
         {"A4", "A5", "A4", "A5", "A1", "A2", "A3"}},
        {"on a group", {a_[0]}, circles_, DropPlace::On, shift, circles_, {"O1", "A1"}},
        {"questions on a test of groups",
         {a_[0]},
         geometry_,
         DropPlace::On,
         shift,
         geometry_,
         {"Треугольники", "Окружности"}},
        {"a group below a group",
         {triangles_},
         circles_,
         DropPlace::Below,
         shift,
         geometry_,
         {"Треугольники", "Окружности", "Треугольники"}},
        {"a group on a test of groups",
         {circles_},
         geometry_,
         DropPlace::On,
         shift,
         geometry_,
         {"Треугольники", "Окружности", "Треугольники", "Окружности"}},
        {"a test on a group", {chemistry_}, circles_, DropPlace::On, shift, circles_, {"O1", "A1"}},
        {"a test below a test",
         {chemistry_},
         algebra_,
         DropPlace::Below,
         shift,
         &tests,
         {"Алгебра", "Химия", "Геометрия", "Химия"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        select(c.selected);
        drops().SimpleTreeDrop(node(c.target), c.place, c.keys);
        EXPECT_EQ(names(*c.changed), c.entries);
        EXPECT_EQ(childTexts(simple(), c.changed == &tests ? nullptr : c.changed).size(),
                  c.changed->Count());
    }
    EXPECT_NE(algebra_->Items(0)->Id(), a_[3]->Id());
    EXPECT_EQ(a_[0]->GetNumber(), 5);

    select({chemistry_, a_[0]});
    prompts_.expectError("Выделенные элементы должны быть одинакового типа.");
    guarded([&] { drops().SimpleTreeDrop(node(algebra_), DropPlace::On, shift); });
    EXPECT_EQ(tests.Count(), 4);
}

TEST_F(TestsExchangeTest, DropsOnComplexTestsMakeMoveAndCopyTasksStartingAtNone) {
    // Moving "Алгебра" from "Итог" onto a task node of "Промежуточный".
    focusTask(final_, algebra_);
    prompts_.expectInform("Задание перенесено");
    drops().ComplexTreeDrop(complexNode(middle_, geometry_), Qt::NoModifier);
    EXPECT_EQ(taskCount(middle_, algebra_), 0);
    EXPECT_EQ(taskCount(final_, algebra_), -1);
    EXPECT_EQ(childTexts(complex(), middle_), (QStringList{"Геометрия", "Алгебра"}));

    // Copying "Геометрия" to "Итог"; then again, with or without Shift, it is a duplicate.
    focusTask(middle_, geometry_);
    prompts_.expectInform("Задание скопировано");
    drops().ComplexTreeDrop(complexNode(final_), Qt::ShiftModifier);
    EXPECT_EQ(taskCount(final_, geometry_), 0);
    EXPECT_EQ(taskCount(middle_, geometry_), 2);
    for (const Qt::KeyboardModifiers keys : {Qt::ShiftModifier, Qt::NoModifier}) {
        prompts_.expectInform("Задание Геометрия для Итог существует").icon(QMessageBox::Critical);
        drops().ComplexTreeDrop(complexNode(final_), keys);
    }
    EXPECT_EQ(kvalorRoot().Tasks().TasksOf(*final_).size(), 1u);
    EXPECT_EQ(kvalorRoot().Tasks().TasksOf(*middle_).size(), 2u);

    // A complex test already taken asks first; No changes nothing.
    kvalorRoot().Studies().Append(drawStudy(addApplicant("Петров"), *final_));
    focusTask(middle_, algebra_);
    prompts_.expectAsk(
        "По изменяемому комплексному тесту проводилось тестирование.\n"
        "Изменить состав теста ?",
        QMessageBox::No);
    drops().ComplexTreeDrop(complexNode(final_), Qt::NoModifier);
    EXPECT_EQ(taskCount(final_, algebra_), -1);

    // From the simple tree: tests and groups become tasks, questions are passed over, and a
    // duplicate is reported without stopping the others.
    select({algebra_, a_[0], geometry_, triangles_, chemistry_});
    prompts_.expectInform("Задание Геометрия для Итог существует");
    drops().SimpleToComplexDrop(complexNode(final_, geometry_));
    EXPECT_EQ(childTexts(complex(), final_),
              (QStringList{"Геометрия", "Алгебра", "Треугольники", "Химия"}));
    EXPECT_EQ(taskCount(final_, triangles_), 0);
    EXPECT_EQ(texts(simple(), chemistry_).at(4), "+");
}

TEST_F(TestsExchangeTest, QuestionEditorCopiesQuestionsOnlyAndPastesAfterTheCurrentOne) {
    TQuestions& five = addGroup(*chemistry_, "Механика");
    std::vector<TQuestion*> m;
    for (int i = 1; i <= 5; ++i) {
        m.push_back(&addQuestion(five, kSingleAnswer, QString("M%1").arg(i), {"x"}, {0}));
    }
    chemistry_->Renumber();
    TfmQuestion& editorWindow = question();
    editorWindow.SetMode(WindowMode::Editing);
    editorWindow.SetQuestionList(chemistry_);
    editorWindow.ShowQuestion(m[2]);
    editorWindow.Start();
    editorWindow.show();
    processEvents();
    auto& editor = dynamic_cast<TQuestionEditor&>(*editorWindow.EditingMode());
    auto* tree = editorWindow.findChild<QTreeView*>("tvQuestions");

    focus(tree, &five);
    EXPECT_FALSE(editor.findChild<QAction*>("actSmpCopy")->isEnabled());
    prompts_.expectError("Недопустимое выделение.");
    guarded([&] { editor.actSmpCopyExecute(); });

    focus(tree, m[0]);
    addToSelection(tree, m[1]);
    trigger(editor, "actSmpCopy");
    focus(tree, m[2]);
    trigger(editor, "actSmpPaste");
    EXPECT_EQ(names(five), (QStringList{"M1", "M2", "M3", "M1", "M2", "M4", "M5"}));
    EXPECT_EQ(editorWindow.CurrentQuestion(), five.Items(4));
    EXPECT_EQ(childTexts(tree, &five).at(5), "Вопрос 6");
    EXPECT_EQ(m[3]->GetNumber(), 6);

    editorWindow.hide();
    editorWindow.SetQuestionList(nullptr);
}

}  // namespace
}  // namespace kvalor::examtest
