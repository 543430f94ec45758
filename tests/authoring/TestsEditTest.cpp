#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include "AuthoringTest.h"
#include "authoring/TestsTreeController.h"
#include "exchange/WorkbookTestSupport.h"
#include "model/CollectionHelpers.h"
#include "results/StatisticsWindow.h"
#include "support/RecordingOpener.h"
#include "util/DateTime.h"

namespace kvalor::examtest {
namespace {

const QString kSure = "Вы действительно хотите удалить объект ?";
const QString kExamined =
    "По удаляе(мой\\му) группе\\вопросу проводилось тестирование.\n"
    "Удалить объект ?";
const QString kUsed = "Удаляемый тест используется в комплексных тестах.\nУдалить объект ?";
const QString kInvalid = "Параметры вопроса некорректны.\nУдалить вопрос ?";

// A percentage as the trees show it: two decimals, the system's separator.
QString percent(const char* whole, const char* fraction = "00") {
    return QString(whole) + displayLocale().decimalPoint() + fraction;
}

// "Алгебра" holds 20 questions directly (90 minutes, graded, top threshold 85.5); "Геометрия"
// holds two groups of two and one question; "Химия" is used by no complex test. "Итог" draws
// 5 questions from "Алгебра" and 2 from "Геометрия".
class TestsEditTest : public AuthoringTest {
protected:
    void SetUp() override {
        AuthoringTest::SetUp();
        algebra_ = &addTest(kGroupKindSimpleTest, "Алгебра", 90);
        algebra_->SetGradingMethod(1);
        algebra_->SetLevelThreshold(4, 85.5);
        for (int i = 0; i < 20; ++i) {
            addQuestion(*algebra_, kSingleAnswer, QString("%1+1").arg(i), {"1", "2"}, {1});
        }
        geometry_ = &addTest(kGroupKindSimpleTest, "Геометрия", 0, 60);
        triangles_ = &addGroup(*geometry_, "Треугольники");
        addQuestion(*triangles_, kMultipleAnswers, "Углы", {"a", "b"}, {0});
        addQuestion(*triangles_, kSequence, "Стороны", {"a", "b"});
        circles_ = &addGroup(*geometry_, "Окружности");
        addQuestion(*circles_, kSingleAnswer, "Радиус", {"r", "d"}, {0});
        chemistry_ = &addTest(kGroupKindSimpleTest, "Химия", 10);
        final_ = &addTest(kGroupKindComplexTest, "Итог", 45, 70);
        TTaskList& tasks = kvalorRoot().Tasks();
        tasks.Task(tasks.AddTask(*final_, *algebra_)).QuestionCount = 5;
        tasks.Task(tasks.AddTask(*final_, *geometry_)).QuestionCount = 2;
        kvalorRoot().SimpleTests().Renumber();
        kvalorRoot().SimpleTests().RenumberCollections();
    }

    TTestsTreeDrops& drops() { return *named<TTestsTreeDrops>(window(), "TestsTreeDrops"); }
    // A key typed into the simple tree, which has the keyboard.
    void typeInSimple(Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QApplication::setActiveWindow(simple()->window());
        simple()->setFocus();
        pressKey(simple(), key, modifiers);
    }
    TQuestion* questionAt(TQuestions& group, int index) {
        return static_cast<TQuestion*>(group.ElementAt(index));
    }

    TQuestions *algebra_, *geometry_, *triangles_, *circles_, *chemistry_, *final_;
};

TEST_F(TestsEditTest, NodeTexts) {
    EXPECT_EQ(window().windowTitle(), "Тесты (редактирование)");
    const QString none = " ";
    struct Case {
        QTreeView* tree;
        const IExaminerItem* item;
        QStringList texts;
    };
    const Case cases[] = {
        // A complex test counts what its tasks take; a task what it takes of how many.
        {complex(), final_, {"Итог", "7", percent("70"), "0 ч. 45 мин."}},
        {complex(), algebra_, {"Алгебра", "5 из 20", none, none}},
        {simple(), algebra_, {"Алгебра", "20", percent("85", "50"), "1 ч. 30 мин.", "+"}},
        {simple(), geometry_, {"Геометрия", "3", percent("60"), none, "+"}},
        {simple(), triangles_, {"Треугольники", "2", percent("0"), none, "-"}},
        {simple(), chemistry_, {"Химия", "0", percent("50"), "0 ч. 10 мин.", "-"}},
        {simple(), questionAt(*circles_, 0), {"Вопрос 3", none, none, none, none}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(texts(c.tree, c.item), c.texts);
    }
    EXPECT_EQ(childTexts(complex(), final_), (QStringList{"Алгебра", "Геометрия"}));
    EXPECT_EQ(childTexts(simple(), nullptr), (QStringList{"Алгебра", "Геометрия", "Химия"}));

    // The simple tree shows names and counts, the complex one everything.
    for (int column = 0; column < 4; ++column) {
        EXPECT_FALSE(complex()->isColumnHidden(column));
    }
    EXPECT_FALSE(simple()->isColumnHidden(1));
    EXPECT_TRUE(simple()->isColumnHidden(2) && simple()->isColumnHidden(3) &&
                simple()->isColumnHidden(4));

    // Bold tests and groups; a question shows its type's picture and its text as hint.
    const auto& model = modelOf(simple());
    const auto cell = [](const TItemTreeModel& m, const IExaminerItem* item) {
        return m.IndexOf(FindItemNode(m, item));
    };
    EXPECT_TRUE(cell(model, triangles_).data(Qt::FontRole).value<QFont>().bold());
    const QModelIndex question = cell(model, questionAt(*triangles_, 1));
    EXPECT_FALSE(question.data(Qt::FontRole).isValid());
    EXPECT_FALSE(question.data(Qt::DecorationRole).value<QPixmap>().isNull());
    EXPECT_EQ(question.data(Qt::ToolTipRole).toString(), "Стороны");
    const auto& complexModel = modelOf(complex());
    EXPECT_TRUE(cell(complexModel, final_).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_FALSE(cell(complexModel, algebra_).data(Qt::FontRole).isValid());
}

TEST_F(TestsEditTest, EveryToolbarButtonStaysInViewAtALargeFont) {
    // Wide enough for both toolbars at 14 pt; a narrower frame keeps the window inside it.
    main_->resize(1600, 1000);
    for (const int size : {0, 14}) {
        kvalorRoot().SetFontSize(size);
        TfmTestsEdit& tests = openTests();
        QCoreApplication::processEvents();
        for (const QToolBar* toolBar : tests.findChildren<QToolBar*>()) {
            for (QAction* action : toolBar->actions()) {
                const QWidget* button = toolBar->widgetForAction(action);
                ASSERT_NE(button, nullptr);
                EXPECT_TRUE(button->isVisible()) << size << " " << action->text().toStdString();
            }
        }
        tests.parentWidget()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(TestsEditTest, EnableRulesFollowTheFocusedNodes) {
    struct Case {
        QTreeView* tree;
        const IExaminerItem* item;
        bool TestsCommandStates::*state;
        bool enabled;
    };
    TfmTestsEdit& w = window();
    // Nothing has the focus after a reload.
    for (const char* name :
         {"actCmpChange", "actCmpDelete", "actCmpAddTask", "actSmpChange", "actSmpDelete",
          "actSmpAddGroup", "actSmpAddQuestion", "actSmpDublicateTask"}) {
        EXPECT_FALSE(named(w, name)->isEnabled()) << name;
    }
    EXPECT_TRUE(named(w, "actCmpCreate")->isEnabled() && named(w, "actSmpCreate")->isEnabled());
    using S = TestsCommandStates;
    const Case cases[] = {
        // A test holding questions directly cannot receive a group; one of groups only can.
        {simple(), algebra_, &S::SimpleAddGroup, false},
        {simple(), questionAt(*algebra_, 3), &S::SimpleAddGroup, false},
        {simple(), geometry_, &S::SimpleAddGroup, true},
        {simple(), questionAt(*circles_, 0), &S::SimpleAddGroup, true},
        {simple(), questionAt(*circles_, 0), &S::SimpleNode, true},
        // A test does not move among its like; its questions and groups do, and export it.
        {simple(), algebra_, &S::SimpleMove, false},
        {simple(), questionAt(*algebra_, 3), &S::SimpleMove, true},
        {simple(), questionAt(*algebra_, 3), &S::SimpleExport, true},
        {complex(), final_, &S::ComplexTest, true},
        {complex(), geometry_, &S::ComplexTest, false},
        {complex(), geometry_, &S::ComplexNode, true},
    };
    const auto& controller = *named<TTestsTreeController>(w, "TestsTreeController");
    for (const Case& c : cases) {
        focus(c.tree, c.item);
        EXPECT_EQ(controller.CommandStates().*c.state, c.enabled) << c.item->GetName();
    }
    // The window's commands follow the states.
    EXPECT_TRUE(named(w, "actCmpChange")->isEnabled() && named(w, "actSmpMoveUp")->isEnabled());
    EXPECT_FALSE(named(w, "actCmpAddTask")->isEnabled() || named(w, "actSmpAddGroup")->isEnabled());

    // "Тесты" again reloads both trees from the data and forgets the focused nodes.
    addTest(kGroupKindSimpleTest, "Биология", 0);
    EXPECT_EQ(&openTests(), &w);
    EXPECT_EQ(childTexts(simple(), nullptr).back(), "Биология");
    EXPECT_EQ(w.CurrentNode(TestsTree::Complex), nullptr);
    EXPECT_EQ(w.CurrentNode(TestsTree::Simple), nullptr);
    EXPECT_FALSE(named(w, "actSmpDelete")->isEnabled());
}

TEST_F(TestsEditTest, StatisticsOpenForTheTestAboveTheFocusedNode) {
    registerStatisticsWindow();
    focus(simple(), questionAt(*circles_, 0));
    prompts_.expectInform("Результатов теста «Геометрия» нет: статистику считать не по чему.");
    trigger(named(window(), "actSmpStatistics"));
    prompts_.verify();
}

TEST_F(TestsEditTest, CreatingATestCancelledLeavesNothingConfirmedAddsIt) {
    TfmTestsEdit& w = window();
    prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
        dialog.findChild<QLineEdit*>("edCaption")->setText("Физика");
        dialog.reject();  // unsaved, valid: offered for saving
    });
    prompts_.expectAsk("Сохранить изменения ?", QMessageBox::No).caption("Предупреждение");
    trigger(named(w, "actSmpCreate"));
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), 3);
    EXPECT_EQ(childTexts(simple(), nullptr), (QStringList{"Алгебра", "Геометрия", "Химия"}));

    for (QAction* create : {named(w, "actSmpCreate"), named(w, "actCmpCreate")}) {
        prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
            dialog.findChild<QLineEdit*>("edCaption")->setText("Физика");
            dialog.findChild<QLineEdit*>("edTimeMin")->setText("20");
            click(dialog, "btnSave");
            click(dialog, "btnClose");
        });
        trigger(create);
    }
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(kvalorRoot().SimpleTests().Count(), 4);
    auto* physics = kvalorRoot().SimpleTests().CollectionAt(3);
    EXPECT_EQ(physics->GetNumber(), 4);
    EXPECT_EQ(childTexts(simple(), nullptr).back(), "Физика");
    EXPECT_EQ(texts(complex(), kvalorRoot().ComplexTests().CollectionAt(1)),
              (QStringList{"Физика", "0", percent("0"), "0 ч. 20 мин."}));
    EXPECT_EQ(w.CurrentNode(TestsTree::Simple)->Item, physics);
}

TEST_F(TestsEditTest, ExportWritesTheWholeEnclosingTestAndOpensIt) {
    simple()->setCurrentIndex(QModelIndex());
    window().UpdateActions();
    EXPECT_FALSE(named(window(), "actSmpExport")->isEnabled());
    // A question inside a group stands for its whole test.
    focus(simple(), questionAt(*circles_, 0));
    ASSERT_TRUE(named(window(), "actSmpExport")->isEnabled());
    std::optional<QJsonObject> book;
    {
        RecordingOpener desktop;
        prompts_.expectAsk("Экспортировать ответы ?", QMessageBox::Yes)
            .caption("Внимание")
            .icon(QMessageBox::Question);
        trigger(named(window(), "actSmpExport"));
        ASSERT_EQ(desktop.opened.size(), 1);
        book = workbooktest::readWorkbook(desktop.opened[0]);
    }

    // Written, but no application takes it: the user is told where the workbook is.
    RecordingOpener none(false);
    prompts_.expectAsk("Экспортировать ответы ?", QMessageBox::No);
    none.onOpen = [this](const QString& file) {
        prompts_.expectAsk(WorkbookNotOpenedQuestion(file), QMessageBox::No);
    };
    trigger(named(window(), "actSmpExport"));
    ASSERT_EQ(none.opened.size(), 1);
    EXPECT_TRUE(QFile::exists(none.opened[0]));

    // Last, as it needs the workbook reader: what the first export wrote.
    if (!book) {
        GTEST_SKIP() << "python3 with openpyxl is not available";
    }
    EXPECT_EQ(workbooktest::row(*book, 1, 3), QString("Геометрия||"));
    EXPECT_EQ(workbooktest::row(*book, 9, 3), QString("Окружности||"));
    EXPECT_EQ(workbooktest::row(*book, 10, 3), QString("Вопрос 3|Радиус|"));
    EXPECT_EQ(workbooktest::row(*book, 11, 3), QString("Ответ 1|r|+"));
}

TEST_F(TestsEditTest, DeletingQuestionsAndGroupsRenumbersTheRest) {
    TQuestion* second = questionAt(*algebra_, 1);
    kvalorRoot().Studies().Append(drawStudy(addApplicant("Петров"), *algebra_));
    focus(simple(), second);
    // Results of the test: the first No spares the question.
    prompts_.expectAsk(kExamined, QMessageBox::No).icon(QMessageBox::Critical);
    trigger(named(window(), "actSmpDelete"));
    EXPECT_EQ(algebra_->Count(), 20);

    prompts_.expectAsk(kExamined, QMessageBox::Yes);
    // Named; Enter pressed by habit keeps it.
    prompts_.expectAsk("Вы действительно хотите удалить вопрос 2 «1+1» ?", QMessageBox::Yes)
        .icon(QMessageBox::Critical)
        .defaultButton(QMessageBox::No);
    trigger(named(window(), "actSmpDelete"));
    ASSERT_EQ(algebra_->Count(), 19);
    EXPECT_EQ(childTexts(simple(), algebra_).mid(0, 3),
              (QStringList{"Вопрос 1", "Вопрос 2", "Вопрос 3"}));
    EXPECT_EQ(texts(simple(), algebra_)[1], "19");
    // The results stay; their record of the question has let go of it.
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(study.Questions().Items(1).Question, nullptr);

    // A group goes with its questions; the questions after it move up.
    focus(simple(), triangles_);
    prompts_.expectAsk(
        "Вы действительно хотите удалить группу вопросов «Треугольники» ?\n"
        "Вместе с этим будут удалены вопросы (2).",
        QMessageBox::Yes);
    trigger(named(window(), "actSmpDelete"));
    EXPECT_EQ(childTexts(simple(), geometry_), QStringList{"Окружности"});
    EXPECT_EQ(childTexts(simple(), circles_), QStringList{"Вопрос 1"});
    EXPECT_EQ(texts(complex(), geometry_)[1], "2 из 1");
}

TEST_F(TestsEditTest, DeletingASimpleTestRemovesItsTasksAndResults) {
    TQuestions& second = addTest(kGroupKindComplexTest, "Зачёт", 10);
    kvalorRoot().Tasks().AddTask(second, *algebra_);
    TCompetitor& petrov = addApplicant("Петров");
    kvalorRoot().Studies().Append(drawStudy(petrov, *algebra_));
    kvalorRoot().Studies().Append(drawStudy(petrov, *chemistry_));
    kvalorRoot().Studies().Append(drawStudy(petrov, *final_));

    focus(simple(), algebra_);
    prompts_.expectAsk(kExamined, QMessageBox::Yes);
    prompts_.expectAsk(kUsed, QMessageBox::Yes).icon(QMessageBox::Critical);
    prompts_.expectAsk(
        "Вы действительно хотите удалить тест «Алгебра» ?\nВместе с этим будут "
        "удалены вопросы (20), задания комплексных тестов (2), результаты "
        "тестирования (1).",
        QMessageBox::Yes);
    trigger(named(window(), "actSmpDelete"));
    ASSERT_TRUE(prompts_.finished());

    EXPECT_EQ(childTexts(simple(), nullptr), (QStringList{"Геометрия", "Химия"}));
    EXPECT_TRUE(kvalorRoot().Tasks().TasksOf(second).empty());
    EXPECT_EQ(childTexts(complex(), final_), QStringList{"Геометрия"});
    EXPECT_TRUE(childTexts(complex(), &second).isEmpty());
    EXPECT_EQ(texts(complex(), final_)[1], "2");
    // Its results are gone; those of other tests stay, without the questions that went.
    TStudyList& studies = kvalorRoot().Studies();
    ASSERT_EQ(studies.Count(), 2);
    EXPECT_EQ(studies.StudyAt(0).Test(), chemistry_);
    for (int i = 0; i < studies.StudyAt(1).Questions().Count(); ++i) {
        const TQuestion* asked = studies.StudyAt(1).Questions().Items(i).Question;
        EXPECT_TRUE(asked == nullptr || asked->OwnerTest() == geometry_);
    }
}

TEST_F(TestsEditTest, MixedSelectionIsRefusedAndSeveralNodesAreAskedForOnce) {
    focus(simple(), triangles_);
    addToSelection(simple(), chemistry_);
    prompts_.expectError("Выделенные элементы должны быть одинакового типа.");
    trigger(named(window(), "actSmpDelete"));
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), 3);
    EXPECT_EQ(geometry_->Count(), 2);

    focus(simple(), questionAt(*algebra_, 0));
    addToSelection(simple(), questionAt(*algebra_, 1));
    addToSelection(simple(), questionAt(*algebra_, 2));
    // Several objects: one question with their count, not one per node.
    const QString several = "Вы действительно хотите удалить выделенные объекты (3) ?";
    prompts_.expectAsk(several, QMessageBox::No).defaultButton(QMessageBox::No);
    trigger(named(window(), "actSmpDelete"));
    EXPECT_EQ(algebra_->Count(), 20);
    prompts_.expectAsk(several, QMessageBox::Yes);
    trigger(named(window(), "actSmpDelete"));
    ASSERT_EQ(algebra_->Count(), 17);
    EXPECT_EQ(text(algebra_->ElementAt(0)->GetName()), "3+1");
    EXPECT_EQ(childTexts(simple(), algebra_).back(), "Вопрос 17");
}

TEST_F(TestsEditTest, DeletingInTheComplexTree) {
    // Every deletion is asked for, naming what goes, and Enter keeps it.
    focus(complex(), algebra_);
    prompts_
        .expectAsk("Вы действительно хотите удалить задание «Алгебра» из теста «Итог» ?",
                   QMessageBox::Yes)
        .icon(QMessageBox::Critical)
        .defaultButton(QMessageBox::No);
    trigger(named(window(), "actCmpDelete"));
    EXPECT_EQ(childTexts(complex(), final_), QStringList{"Геометрия"});
    EXPECT_EQ(texts(complex(), final_)[1], "2");
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), 3);

    kvalorRoot().Studies().Append(drawStudy(addApplicant("Петров"), *final_));
    focus(complex(), final_);
    const QString sure =
        "Вы действительно хотите удалить комплексный тест «Итог» ?\nВместе с "
        "этим будут удалены задания комплексных тестов (1), результаты "
        "тестирования (1).";
    prompts_.expectAsk(sure, QMessageBox::No).defaultButton(QMessageBox::No);
    trigger(named(window(), "actCmpDelete"));
    EXPECT_EQ(kvalorRoot().ComplexTests().Count(), 1);

    prompts_.expectAsk(sure, QMessageBox::Yes);
    trigger(named(window(), "actCmpDelete"));
    EXPECT_EQ(kvalorRoot().ComplexTests().Count(), 0);
    EXPECT_EQ(kvalorRoot().Tasks().Count(), 0);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    EXPECT_TRUE(childTexts(complex(), nullptr).isEmpty());
    EXPECT_FALSE(named(window(), "actCmpDelete")->isEnabled());
}

TEST_F(TestsEditTest, RenamingAddingGroupsAndTasks) {
    focus(simple(), triangles_);
    prompts_.expectInputBox("Наименование группы вопросов", "Треугольники и углы")
        .prompt("Наименование ")
        .value("Треугольники");
    pressKey(simple(), Qt::Key_Return);
    EXPECT_EQ(texts(simple(), triangles_)[0], "Треугольники и углы");

    prompts_.expectInputBox("Задайте наименование группы", "Площади").value("");
    trigger(named(window(), "actSmpAddGroup"));
    ASSERT_EQ(geometry_->Count(), 3);
    EXPECT_EQ(childTexts(simple(), geometry_).back(), "Площади");
    EXPECT_EQ(window().CurrentNode(TestsTree::Simple)->Item, geometry_->CollectionAt(2));

    // Only simple tests the complex test does not draw from yet are offered.
    focus(complex(), final_);
    prompts_.expectModal<TfmSelectObject>([](TfmSelectObject& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Выбор объекта");
        EXPECT_EQ(linesOf(dialog.findChild<QComboBox*>("ComboBox")), QStringList{"Химия"});
        EXPECT_FALSE(dialog.findChild<QPushButton*>("bbOK")->isEnabled());
        chooseLine(dialog.findChild<QComboBox*>("ComboBox"), "Химия");
        click(dialog, "bbOK");
    });
    trigger(named(window(), "actCmpAddTask"));
    EXPECT_EQ(childTexts(complex(), final_), (QStringList{"Алгебра", "Геометрия", "Химия"}));
    EXPECT_EQ(texts(complex(), chemistry_)[1], "0 из 0");
    EXPECT_EQ(texts(simple(), chemistry_)[4], "+");
}

TEST_F(TestsEditTest, NewQuestionLeftInvalid) {
    struct Case {
        QMessageBox::StandardButton answer;
        int count;
    };
    for (const Case c : {Case{QMessageBox::No, 2}, Case{QMessageBox::Yes, 2}}) {
        focus(simple(), circles_);
        prompts_.expectModal<TfmQuestion>([this](TfmQuestion& editor) {
            EXPECT_EQ(editor.windowTitle(), "Редактирование тестов");
            // The tests tree lets go of the test while the editor is open.
            EXPECT_TRUE(childTexts(simple(), geometry_).isEmpty());
            editor.reject();
        });
        // Leaving the editor offers the deletion; its confirmation refused, the window closes.
        prompts_.expectAsk(kInvalid, QMessageBox::Yes).caption("Предупреждение");
        prompts_.expectAsk(kSure, QMessageBox::No);
        // The tests tree asks once more.
        prompts_.expectAsk(kInvalid, c.answer);
        trigger(named(window(), "actSmpAddQuestion"));
        ASSERT_TRUE(prompts_.finished());
        EXPECT_EQ(circles_->Count(), c.count);
        EXPECT_EQ(childTexts(simple(), circles_).size(), static_cast<qsizetype>(c.count));
        EXPECT_EQ(window().CurrentNode(TestsTree::Simple)->Item, circles_);
    }
    EXPECT_EQ(childTexts(simple(), circles_), (QStringList{"Вопрос 3", "Вопрос 4"}));
}

TEST_F(TestsEditTest, CopiesOfTests) {
    // On a question, "Создать копию" copies the test that holds it.
    focus(simple(), questionAt(*circles_, 0));
    trigger(named(window(), "actSmpDublicateTask"));
    ASSERT_EQ(kvalorRoot().SimpleTests().Count(), 4);
    auto* copy = static_cast<TQuestions*>(kvalorRoot().SimpleTests().CollectionAt(3));
    EXPECT_EQ(text(copy->GetName()), "Геометрия Копия");
    EXPECT_EQ(copy->PassPercent(), 60);
    EXPECT_EQ(CountItems(*copy, true), 3);
    EXPECT_NE(copy->CollectionAt(0)->Id(), triangles_->Id());
    EXPECT_EQ(childTexts(simple(), copy), (QStringList{"Треугольники", "Окружности"}));
    EXPECT_EQ(window().CurrentNode(TestsTree::Simple)->Item, copy);

    focus(complex(), final_);
    trigger(named(window(), "actCmpDublicateTask"));
    ASSERT_EQ(kvalorRoot().ComplexTests().Count(), 2);
    auto* complexCopy = static_cast<TQuestions*>(kvalorRoot().ComplexTests().CollectionAt(1));
    EXPECT_NE(complexCopy->Id(), final_->Id());
    EXPECT_EQ(texts(complex(), complexCopy),
              (QStringList{"Итог Копия", "7", percent("70"), "0 ч. 45 мин."}));
    EXPECT_EQ(childTexts(complex(), complexCopy), (QStringList{"Алгебра", "Геометрия"}));
}

TEST_F(TestsEditTest, ChangingATaskEditsItsCountThroughTheSimpleTest) {
    focus(complex(), algebra_);
    prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Тест № 1 Алгебра (простой)");
        EXPECT_TRUE(dialog.findChild<QCheckBox*>("chbTimeToTasks")->isChecked());
        EXPECT_EQ(dialog.findChild<QComboBox*>("cbTasks")->currentText(), "Итог");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edSelectedQuestions")->text(), "5");
        // Choosing the task leaves the time of the test as it is.
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeHour")->text(), "1");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeMin")->text(), "30");
        EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
        dialog.findChild<QLineEdit*>("edSelectedQuestions")->setText("8");
        click(dialog, "btnSave");
        click(dialog, "btnClose");
    });
    trigger(named(window(), "actCmpChange"));
    EXPECT_EQ(algebra_->Duration(), 90);
    EXPECT_EQ(texts(complex(), algebra_)[1], "8 из 20");
    EXPECT_EQ(texts(complex(), final_)[1], "10");
}

TEST_F(TestsEditTest, ANewComplexTestShowsItsTasksAndTakesThemAlongWhenDiscarded) {
    const auto chooseChemistry = [](TfmSelectObject& select) {
        chooseLine(select.findChild<QComboBox*>("ComboBox"), "Химия");
        click(select, "bbOK");
    };
    // Without a name the new test is discarded, and so is the task made for it.
    prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
        trigger(dialog, "miAddTask");
        dialog.reject();
    });
    prompts_.expectModal<TfmSelectObject>(chooseChemistry);
    trigger(named(window(), "actCmpCreate"));
    EXPECT_EQ(kvalorRoot().Tasks().Count(), 2);
    focus(simple(), chemistry_);
    prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
        EXPECT_TRUE(linesOf(dialog.findChild<QComboBox*>("cbTasks")).isEmpty());
        dialog.reject();
    });
    trigger(named(window(), "actSmpChange"));

    prompts_.expectModal<TfmQuestionGroupSettings>([](TfmQuestionGroupSettings& dialog) {
        dialog.findChild<QLineEdit*>("edCaption")->setText("Зачёт");
        click(dialog, "btnSave");
        trigger(dialog, "miAddTask");
        click(dialog, "btnClose");
    });
    prompts_.expectModal<TfmSelectObject>(chooseChemistry);
    trigger(named(window(), "actCmpCreate"));
    EXPECT_EQ(childTexts(complex(), kvalorRoot().ComplexTests().CollectionAt(1)),
              QStringList{"Химия"});
}

TEST_F(TestsEditTest, QuestionsAndGroupsMoveWithinTheirTestKeepingThePlace) {
    const auto& model = modelOf(simple());
    simple()->expand(model.IndexOf(FindItemNode(model, triangles_)));
    focus(simple(), circles_);
    typeInSimple(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(childTexts(simple(), geometry_), (QStringList{"Окружности", "Треугольники"}));
    EXPECT_EQ(childTexts(simple(), circles_), QStringList{"Вопрос 1"});
    EXPECT_TRUE(simple()->isExpanded(model.IndexOf(FindItemNode(model, triangles_))));
    EXPECT_EQ(window().CurrentNode(TestsTree::Simple)->Item, circles_);
    // Already first: nothing moves.
    typeInSimple(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(geometry_->CollectionAt(0), circles_);

    // A drag without Shift moves, renumbering.
    TQuestion* first = questionAt(*algebra_, 0);
    focus(simple(), first);
    addToSelection(simple(), questionAt(*algebra_, 1));
    drops().SimpleTreeDrop(FindItemNode(model, questionAt(*algebra_, 4)), DropPlace::Below, {});
    EXPECT_EQ(questionAt(*algebra_, 3), first);
    EXPECT_EQ(first->GetNumber(), 4);
    EXPECT_EQ(text(questionAt(*algebra_, 0)->GetName()), "2+1");
    // Never into another test, whose results did not ask them.
    focus(simple(), questionAt(*circles_, 0));
    drops().SimpleTreeDrop(FindItemNode(model, first), DropPlace::Above, {});
    EXPECT_EQ(circles_->Count(), 1);
}

TEST_F(TestsEditTest, SavedByCtrlSAndByItselfAfterAPause) {
    QTemporaryDir folder;
    setProgramFolder(folder.path());
    const QString file = programFile(kDataFileName);
    kvalorRoot().SaveToFile(file);
    dataModule().DataModuleCreate();
    dataModule().SetRunMode(TRunMode::Administrator);
    const auto savedFirst = [&file] {
        TKvalor saved;
        saved.LoadFromFile(file, true);
        return text(saved.SimpleTests().CollectionAt(0)->ElementAt(0)->GetName());
    };
    focus(simple(), kvalorRoot().SimpleTests().CollectionAt(0)->ElementAt(0));
    typeInSimple(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(savedFirst(), "0+1");
    typeInSimple(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(savedFirst(), "1+1");

    window().findChild<QTimer*>("tmAutoSave")->setInterval(0);
    typeInSimple(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
    processEvents();
    EXPECT_EQ(savedFirst(), "0+1");
    dataModule().ReleaseDataFile();
    setProgramFolder(QString());
}

}  // namespace
}  // namespace kvalor::examtest
