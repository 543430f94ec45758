#include <gtest/gtest.h>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

#include "ResultsTest.h"
#include "examination/ExamineSettings.h"
#include "question/QuestionWindow.h"
#include "results/ResultsModel.h"

namespace kvalor::resultstest {
namespace {

class JournalEndToEndTest : public ResultsTest {
protected:
    void SetUp() override {
        ResultsTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        setProgramFolder(folder_.path());
        registerExamineSettings();
    }
    void TearDown() override {
        ResultsTest::TearDown();
        setProgramFolder(QString());
    }

    // The applicant takes the demonstration test in testing run mode and finishes at once.
    void takeDemonstrationTest(const QString& applicant) {
        dataModule().SetRunMode(TRunMode::Testing);
        trigger(mainWindow(), "actTest");
        auto* setup =
            qobject_cast<TfmExamineSettings*>(mainWindow().FindHosted("TfmExamineSettings"));
        ASSERT_NE(setup, nullptr);
        click(*setup, "rbSimple");
        chooseLine(setup->findChild<QComboBox*>("cbTestList"), "Демонстрационный тест");
        chooseLine(setup->findChild<QComboBox*>("cbCompetitor"), applicant);
        prompts_.expectModal<TfmQuestion>(finishExam);
        prompts_.expectAsk("Завершить тестирование?", QMessageBox::Yes);
        trigger(*setup, "actRun");
        ASSERT_TRUE(prompts_.finished());
    }

    QTemporaryDir folder_;
};

TEST_F(JournalEndToEndTest, TwoRunsFilteredViewedOneDeletedAndTheOtherSurvivesARestart) {
    QProcess tool;
    tool.start(QString::fromUtf8(KVALOR_BINARY_DIR "/tools/kvalor-tool"),
               {"init", programFile(kDataFileName)});
    ASSERT_TRUE(tool.waitForFinished(120000));
    ASSERT_EQ(tool.exitCode(), 0);
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());

    takeDemonstrationTest("Иванов П.С.");
    clock_.advance(3600);
    takeDemonstrationTest("Смирнова А.В.");
    ASSERT_EQ(kvalorRoot().Studies().Count(), 2);

    TfmJournal& window = openJournal(TRunMode::Teacher);
    chooseLine(window.findChild<QComboBox*>("cbCompetitorList"), "10 А класс");
    window.findChild<QLineEdit*>("edFromDate")->setText(formatShortDate(clock_.now().date()));
    trigger(window.findChild<QAction*>("actSetFilter"));
    const QStringList both{"Иванов П.С.|Демонстрационный тест|0,00 из 50,00|01.03.2024",
                           "Смирнова А.В.|Демонстрационный тест|0,00 из 50,00|01.03.2024"};
    ASSERT_EQ(rows(window).size(), 2);
    EXPECT_TRUE(rows(window).contains(both[0]) && rows(window).contains(both[1]));

    selectAll(window);
    trigger(window.actViewAsList());
    ASSERT_NE(resultsView(), nullptr);
    const ResultsModel& results = *resultsView()->Model();
    ASSERT_EQ(results.rowCount(), 2);
    EXPECT_EQ(results.index(0, 0).data().toString() + results.index(1, 0).data().toString(),
              rows(window)[0].section('|', 0, 0) + rows(window)[1].section('|', 0, 0));

    selectRows(window, {rows(window)[0] == both[1] ? 0 : 1});
    prompts_.expectAsk(
        "Удалить выбранный результат тестирования?\nУдалённые результаты вернуть нельзя.",
        QMessageBox::Yes);
    trigger(window.findChild<QAction*>("actDelete"));
    EXPECT_EQ(rows(window), QStringList{both[0]});
    EXPECT_EQ(results.rowCount(), 1);

    // The end of the run writes the data; the next start reads it again.
    main_.reset();
    processEvents();
    dataModule().DataModuleDestroy();
    kvalorRoot().Clear();
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    EXPECT_EQ(rows(openJournal(TRunMode::Teacher)), QStringList{both[0]});
}

}  // namespace
}  // namespace kvalor::resultstest
