#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

#include "ResultsTest.h"
#include "exchange/WorkbookTestSupport.h"
#include "results/ExportSettings.h"
#include "support/RecordingOpener.h"

namespace kvalor::resultstest {
namespace {

// The rows of the opened workbook, columns A to D; none when the reader is missing.
QStringList opened(const RecordingOpener& desktop, int columns) {
    EXPECT_EQ(desktop.opened.size(), 1);
    if (desktop.opened.isEmpty()) {
        return {};
    }
    const auto book = workbooktest::readWorkbook(desktop.opened.back());
    return book ? workbooktest::rows(*book, columns) : QStringList();
}

using WorkbookExportTest = ResultsTest;

TEST_F(WorkbookExportTest, JournalWithoutAFilterExportsEveryStudy) {
    TQuestions& test = yesNoTest("История", 2);
    TCompetitor& petrov = addApplicant("Петров");
    addStudy(petrov, test, at(2024, 2, 1), 2, 0);
    addStudy(addApplicant("Сидоров"), test, at(2024, 2, 2), 1, 1);
    TfmJournal& window = openJournal();
    // An applicant's journal lists his own studies only.
    dataModule().SetRunMode(kRunModeTesting);
    kvalorRoot().SetCurrentUser(&petrov);
    window.FormShow();
    ASSERT_EQ(window.Model()->rowCount(), 1);
    ASSERT_TRUE(window.actExport()->isEnabled());
    {
        RecordingOpener desktop;
        trigger(window.actExport());
        const QStringList rows = opened(desktop, 4);
        if (!rows.isEmpty()) {
            EXPECT_EQ(rows.mid(1),
                      (QStringList{"История|||", "Петров|||100,00", "Сидоров|||50,00"}));
        }
    }
    // A filter applied: its studies alone.
    trigger(window.actSetFilter());
    RecordingOpener desktop;
    trigger(window.actExport());
    const QStringList filtered = opened(desktop, 4);
    if (!filtered.isEmpty()) {
        EXPECT_EQ(filtered.mid(1), (QStringList{"История|||", "Петров|||100,00"}));
    }
}

TEST_F(WorkbookExportTest, ResultsViewExportsTheChosenQuestionsWithTheKeyForStaff) {
    TQuestions& test = yesNoTest("Химия", 3);
    TCompetitor& petrov = addApplicant("Петров");
    addStudy(petrov, test, at(2024, 3, 5), 1, 1);
    TfmJournal& window = openJournal();
    selectAll(window);
    trigger(window.actViewAsList());
    TfmResultsView* view = resultsView();
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(view->actExport()->isEnabled());

    RecordingOpener desktop;
    prompts_.expectModal<TfmExportSettings>(QDialog::Rejected);
    trigger(view->actExport());
    EXPECT_TRUE(desktop.opened.isEmpty());

    // Only the unanswered question, which keeps its number.
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Параметры экспорта");
        click(dialog.chbValid());
        click(dialog.chbInvalid());
        click(dialog.Button1());
    });
    trigger(view->actExport());
    const QStringList staff = opened(desktop, 4);
    const QStringList expected{"Химия|||", "Петров дата 05.03.2024 не сдан (33,33 из 50,00)|||",
                               "Вопрос №3|нет ответа|Вопрос 3|", "Ответ №1||да|+",
                               "Ответ №2||нет|"};
    if (!staff.isEmpty()) {
        EXPECT_EQ(staff, expected);
    }

    // An applicant who logged in for the journal gets no key; the boxes kept their states.
    dataModule().SetRunMode(kRunModeTesting);
    kvalorRoot().SetCurrentUser(&petrov);
    desktop.opened.clear();
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_FALSE(dialog.chbValid()->isChecked());
        click(dialog.Button1());
    });
    trigger(view->actExport());
    QStringList keyless = expected;
    keyless[3] = "Ответ №1||да|";
    const QStringList applicant = opened(desktop, 4);
    if (!applicant.isEmpty()) {
        EXPECT_EQ(applicant, keyless);
    }
}

}  // namespace
}  // namespace kvalor::resultstest
