#include <gtest/gtest.h>
#include <QComboBox>
#include <QMenu>
#include <QTableView>
#include <QTreeView>

#include "ResultsTest.h"
#include "app/ResultsOpener.h"
#include "model/BuiltinAccounts.h"
#include "results/StatisticsModel.h"
#include "results/StatisticsWindow.h"
#include "ui/ErrorGuard.h"

namespace kvalor::resultstest {
namespace {

QTableView* questions(const TfmStatistics& window) {
    return window.findChild<QTableView*>("tvQuestions");
}

class StatisticsWindowTest : public ResultsTest {
protected:
    TfmStatistics& statistics() {
        auto* window = qobject_cast<TfmStatistics*>(mainWindow().FindHosted("TfmStatistics"));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    // The lines of the table as shown, "№|question|given|facility|discrimination|flags".
    static QStringList rows(const TfmStatistics& window) {
        QStringList lines;
        const QAbstractItemModel& model = *questions(window)->model();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < StatisticsModel::ColumnCount; ++column) {
                cells << model.index(row, column).data().toString();
            }
            lines << cells.join('|');
        }
        return lines;
    }
};

// Right and wrong per question, first Андреев's five runs (Волков's is filtered out):
// 111, 110, 11-, 100, 000. Q1: x 11110, rest 21100: (5*4 - 4*4) / sqrt(4 * 14); Q2: x 11100,
// rest 21110: (5*4 - 3*5) / sqrt(6 * 10); Q3: x 10000, rest 22210: (5*2 - 7) / sqrt(4 * 16).
TEST_F(StatisticsWindowTest, JournalOpensTheFiguresOfTheFocusedTestOverTheFilter) {
    TCompetitor& andreev = addApplicant("Андреев");
    TCompetitor& volkov = addApplicant("Волков");
    TQuestions& chemistry = yesNoTest("Химия", 3);
    TQuestions& physics = yesNoTest("Физика", 1);
    for (const auto& [right, wrong] : {std::pair{3, 0}, {2, 1}, {2, 0}, {1, 2}, {0, 3}}) {
        addStudy(andreev, chemistry, at(2024, 2, 1), right, wrong);
    }
    addStudy(volkov, chemistry, at(2024, 2, 2), 0, 3);
    addStudy(volkov, physics, at(2024, 2, 2), 1, 0);
    addStudy(andreev, physics, at(2024, 2, 2), 1, 0);

    TfmJournal& journal = openJournal();
    chooseLine(journal.findChild<QComboBox*>("cbCompetitor"), "Андреев");
    trigger(journal.findChild<QAction*>("actSetFilter"));
    journal.findChild<QTreeView*>("lvStudies")->setCurrentIndex(journal.Model()->index(0, 0));
    journal.findChild<QMenu*>("pmList")->popup(QPoint());
    journal.findChild<QMenu*>("pmList")->close();
    trigger(journal.findChild<QAction*>("actStatistics"));
    TfmStatistics& window = statistics();
    EXPECT_EQ(window.windowTitle(), "Статистика теста «Химия»");
    // A facility of exactly 0.2 is not yet too hard.
    EXPECT_EQ(rows(window), (QStringList{"1|Вопрос 1|5|0,80|0,53|", "2|Вопрос 2|5|0,60|0,65|",
                                         "3|Вопрос 3|5|0,20|0,38|"}));
    questions(window)->sortByColumn(StatisticsModel::ColDiscrimination, Qt::DescendingOrder);
    EXPECT_EQ(rows(window).front(), "2|Вопрос 2|5|0,60|0,65|");
    questions(window)->setCurrentIndex(questions(window)->model()->index(1, 0));
    prompts_.expectInform(
        "Вопрос № 1\n\nВопрос 1\n\nОтветы (✔ — верный) и доля выбравших их:\n✔ 1. да — 0,80\n"
        "    2. нет — 0,20");
    pressKey(questions(window), Qt::Key_Return);

    // The tests tree opens a test over all its studies; only staff see the figures.
    openTestStatistics(mainWindow(), physics);
    EXPECT_EQ(rows(statistics()), QStringList{"1|Вопрос 1|2|1,00|—|лёгкий"});
    dataModule().SetRunMode(TRunMode::Testing);
    kvalorRoot().SetCurrentUser(kvalorRoot().Users().Applicant());
    prompts_.expectError("Функция недоступна.");
    guarded([&] { openTestStatistics(mainWindow(), chemistry); });
    EXPECT_EQ(statistics().windowTitle(), "Статистика теста «Физика»");
}

}  // namespace
}  // namespace kvalor::resultstest
