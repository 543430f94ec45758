#include <gtest/gtest.h>
#include <QBrush>
#include <QFont>
#include <QTreeView>

#include "ResultsTest.h"
#include "question/QuestionWindowSupport.h"
#include "results/ResultsModel.h"

namespace kvalor::resultstest {
namespace {

using Model = ResultsModel;

class ResultsViewTest : public ResultsTest {
protected:
    TfmResultsView& show(const StudyView& studies) {
        auto* view = qobject_cast<TfmResultsView*>(
            mainWindow().ShowWorkingWindow(QStringLiteral("TfmResultsView")));
        EXPECT_NE(view, nullptr);
        view->ShowStudies(studies);
        processEvents();
        return *view;
    }

    static QModelIndex child(const QModelIndex& parent, int row, int column = 0) {
        return parent.model()->index(row, column, parent);
    }
    static int image(const QModelIndex& index) { return index.data(Model::ImageIndexRole).toInt(); }
};

TEST_F(ResultsViewTest, RowsOfAFailedStudy) {
    TCompetitor& pupil = addApplicant("Смирнова");
    TQuestions& test = addTest(kGroupKindSimpleTest, "Физика", 10, 50.0);
    TQuestions& mechanics = addGroup(test, "Механика");
    TQuestions& levers = addGroup(mechanics, "Рычаги");
    addQuestion(levers, kSingleAnswer, "Плечо силы", {"да", "нет"}, {0});
    addQuestion(test, kSingleAnswer, "Масса", {"да", "нет"}, {0});
    for (int i = 3; i <= 5; ++i) {
        addQuestion(mechanics, kSingleAnswer, QStringLiteral("Вопрос %1").arg(i), {"да", "нет"},
                    {0});
    }
    // Drawn collection by collection: "Масса", "Вопрос 3" to "Вопрос 5", "Плечо силы". Two
    // right, two wrong, one without an answer: 40 % of a 50 % pass mark.
    TStudy& study = addStudy(pupil, test, at(2024, 3, 1, 10), 2, 2);
    ASSERT_FALSE(study.Passed());
    study.Questions().Items(2).Question = nullptr;  // deleted from the test since

    TfmResultsView& view = show({&study});
    EXPECT_EQ(view.windowTitle(), "Результаты тестирования");
    EXPECT_TRUE(view.findChild<QTreeView*>("vstResults")->isHeaderHidden());
    const Model& model = *view.Model();
    ASSERT_EQ(model.rowCount(), 1);
    const QModelIndex user = model.index(0, 0);
    EXPECT_EQ(user.data().toString(), "Смирнова");
    EXPECT_TRUE(user.data(Qt::FontRole).value<QFont>().bold());
    const QModelIndex result = child(user, 0);
    EXPECT_EQ(result.data().toString(), "Физика (40,00 из 50,00) дата 01.03.2024");
    EXPECT_EQ(result.data(Qt::ForegroundRole).value<QBrush>().color(), kRedText);
    EXPECT_TRUE(view.findChild<QTreeView*>("vstResults")->isExpanded(user));
    EXPECT_TRUE(view.findChild<QTreeView*>("vstResults")->isExpanded(result));

    struct Row {
        QString number, text, group;
        int image;
        int answers;
    };
    const Row expected[] = {
        {"Вопрос № 1", "Масса", "Физика\nПростые тесты", 5, 2},
        {"Вопрос № 2", "Вопрос 3", "Механика", 5, 2},
        {"Вопрос № 3", "Удален", "", 6, 0},
        {"Вопрос № 4", "Вопрос 5", "Механика", 6, 2},
        {"Вопрос № 5", "Плечо силы", "Рычаги\nМеханика", 8, 2},
    };
    ASSERT_EQ(model.rowCount(result), 5);
    for (int q = 0; q < 5; ++q) {
        SCOPED_TRACE(q);
        const QModelIndex question = child(result, q);
        EXPECT_EQ(question.data().toString(), expected[q].number);
        EXPECT_EQ(child(result, q, 1).data().toString(), expected[q].text);
        EXPECT_EQ(child(result, q, 2).data().toString(), expected[q].group);
        EXPECT_EQ(child(result, q, 2).data(Qt::ToolTipRole).toString(), expected[q].group);
        EXPECT_EQ(image(question), expected[q].image);
        EXPECT_EQ(model.rowCount(question), expected[q].answers);
        EXPECT_FALSE(view.findChild<QTreeView*>("vstResults")->isExpanded(question));
        EXPECT_FALSE(question.data(Qt::ForegroundRole).isValid());
    }

    // A passed study's result row is navy.
    TStudy& passed = addStudy(pupil, test, at(2024, 3, 2, 10), 4, 0);
    show({&passed});
    EXPECT_EQ(child(model.index(0, 0), 0).data(Qt::ForegroundRole).value<QBrush>().color(),
              kNavyText);
}

// The answers in the order of the run only in testing run mode; the key for staff only.
TEST_F(ResultsViewTest, AnswerOrderAndKeyDependOnWhoLooks) {
    TCompetitor& pupil = addApplicant("Петров");
    TQuestions& test = addTest(kGroupKindSimpleTest, "Смесь", 10);
    addQuestion(test, kSingleAnswer, "Один", {"а", "б", "в"}, {1});
    addQuestion(test, kMultipleAnswers, "Несколько", {"а", "б", "в"}, {0, 2});
    addQuestion(test, kSequence, "Порядок", {"x", "y", "z"});
    TStudy& study = addStudy(pupil, test, at(2024, 3, 1), 0, 0);
    auto& single = study.Questions().Items(0);
    single.Order = {2, 0, 1};
    single.Given = {0};  // "а": wrong
    auto& several = study.Questions().Items(1);
    several.Order = {1, 2, 0};
    several.Given = {0, 1};  // "а" right, "б" wrong
    auto& sequence = study.Questions().Items(2);
    sequence.Order = {2, 1, 0};
    sequence.Given = {0, 2};  // "x" in place, "y" misplaced, "z" not placed at all

    struct Case {
        const char* what;
        TRunMode runMode;
        bool staff;
        // Per question: the answer texts in row order, their column 0 and column 2 pictures.
        QStringList texts[3];
        std::vector<int> keys[3];
        std::vector<int> marks[3];
    };
    const Case cases[] = {
        {"an applicant in testing run mode",
         TRunMode::Testing,
         false,
         {{"в", "а", "б"}, {"б", "в", "а"}, {"z", "y", "x"}},
         {{0, 0, 0}, {2, 2, 2}, {-1, -1, -1}},
         {{-1, 10, -1}, {10, -1, 9}, {-1, 10, 9}}},
        {"the teacher in administration",
         TRunMode::Teacher,
         true,
         {{"а", "б", "в"}, {"а", "б", "в"}, {"x", "y", "z"}},
         {{0, 1, 0}, {3, 2, 3}, {4, 4, 4}},
         {{10, -1, -1}, {9, 10, -1}, {9, 10, -1}}},
        {"the teacher looking in testing run mode",
         TRunMode::Testing,
         true,
         {{"в", "а", "б"}, {"б", "в", "а"}, {"z", "y", "x"}},
         {{0, 0, 1}, {2, 3, 3}, {4, 4, 4}},
         {{-1, 10, -1}, {10, -1, 9}, {-1, 10, 9}}},
    };
    mainWindow();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dataModule().SetRunMode(c.runMode);
        TKvalor& root = kvalorRoot();
        root.SetCurrentUser(c.staff ? root.Users().Teacher() : &pupil);
        TfmResultsView& view = show({&study});
        const QModelIndex result = child(view.Model()->index(0, 0), 0);
        for (int q = 0; q < 3; ++q) {
            SCOPED_TRACE(q);
            const QModelIndex question = child(result, q);
            QStringList texts;
            std::vector<int> keys, marks;
            for (int k = 0; k < view.Model()->rowCount(question); ++k) {
                EXPECT_EQ(child(question, k).data().toString(),
                          QStringLiteral("Вариант № %1").arg(k + 1));
                texts << child(question, k, 1).data().toString();
                keys.push_back(image(child(question, k)));
                marks.push_back(image(child(question, k, 2)));
            }
            EXPECT_EQ(texts, c.texts[q]);
            EXPECT_EQ(keys, c.keys[q]);
            EXPECT_EQ(marks, c.marks[q]);
        }
    }
}

TEST_F(ResultsViewTest, SameStudiesKeepTheRowsAndLongTextsMakeTallRows) {
    TCompetitor& pupil = addApplicant("Орлов");
    TQuestions& test = addTest(kGroupKindSimpleTest, "Литература", 10);
    addQuestion(test, kSingleAnswer, "Коротко", {"да", "нет"}, {0});
    QString essay;
    for (int i = 0; i < 40; ++i) {
        essay += QStringLiteral("очень длинный вопрос ");
    }
    addQuestion(test, kSingleAnswer, essay, {"да", "нет"}, {0});
    TStudy& first = addStudy(pupil, test, at(2024, 3, 1), 1, 1);
    TStudy& second = addStudy(pupil, test, at(2024, 3, 2), 2, 0);

    TfmResultsView& view = show({&first});
    QTreeView& tree = *view.findChild<QTreeView*>("vstResults");
    const QModelIndex result = child(view.Model()->index(0, 0), 0);
    const int shortHeight = tree.visualRect(child(result, 0, 1)).height();
    const int longHeight = tree.visualRect(child(result, 1, 1)).height();
    EXPECT_GT(shortHeight, 0);
    EXPECT_GT(longHeight, 3 * shortHeight);

    tree.expand(child(result, 0));
    show({&first});  // the same studies: nothing is rebuilt
    EXPECT_TRUE(tree.isExpanded(child(child(view.Model()->index(0, 0), 0), 0)));
    show({&second, &first});
    ASSERT_EQ(view.Model()->rowCount(), 2);
    EXPECT_FALSE(tree.isExpanded(child(child(view.Model()->index(1, 0), 0), 0)));
    EXPECT_EQ(view.Studies(), (StudyView{&second, &first}));
}

}  // namespace
}  // namespace kvalor::resultstest
