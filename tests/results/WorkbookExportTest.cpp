#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include "ResultsTest.h"
#include "exchange/WorkbookTestSupport.h"
#include "results/ExportSettings.h"
#include "support/RecordingOpener.h"

namespace kvalor::resultstest {
namespace {

// The rows of the one workbook opened, columns A to D; the test is skipped when the reader is
// missing.
#define KVALOR_OPENED_ROWS(name, desktop)                      \
    ASSERT_EQ((desktop).opened.size(), 1);                     \
    KVALOR_READ_WORKBOOK(name##Book, (desktop).opened.back()); \
    const QStringList name = workbooktest::rows(name##Book, 4)

using namespace workbooktest;

class WorkbookExportTest : public ResultsTest {
protected:
    QTemporaryDir dir_;
};

TEST_F(WorkbookExportTest, JournalExportsOnlyWhatItsListMayShow) {
    TQuestions& test = yesNoTest("История", 2);
    TCompetitor& petrov = addApplicant("Петров");
    addStudy(petrov, test, at(2024, 2, 1), 2, 0);
    addStudy(addApplicant("Сидоров"), test, at(2024, 2, 2), 1, 1);
    TfmJournal& window = openJournal();
    // An applicant's journal lists his own studies only.
    dataModule().SetRunMode(TRunMode::Testing);
    kvalorRoot().SetCurrentUser(&petrov);
    window.FormShow();
    ASSERT_EQ(window.Model()->rowCount(), 1);
    ASSERT_TRUE(window.findChild<QAction*>("actExport")->isEnabled());
    RecordingOpener desktop;
    trigger(window.findChild<QAction*>("actExport"));
    KVALOR_OPENED_ROWS(rows, desktop);
    EXPECT_EQ(rows.mid(1), (QStringList{"История|||", "Петров|||100"}));
}

TEST_F(WorkbookExportTest, AWorkbookNoProgramOpensIsOfferedForSaving) {
    addStudy(addApplicant("Петров"), yesNoTest("История", 2), at(2024, 2, 1), 2, 0);
    TfmJournal& window = openJournal();
    const QString target = QDir(dir_.path()).filePath("журнал.xlsx");
    RecordingOpener none(false);
    none.onOpen = [this, &target](const QString& file) {
        prompts_.expectAsk(WorkbookNotOpenedQuestion(file), QMessageBox::Yes)
            .defaultButton(QMessageBox::Yes);
        prompts_.expectSaveFile(target);
        prompts_.expectInform("Книга сохранена в файл\n" + target);
    };
    trigger(window.findChild<QAction*>("actExport"));
    ASSERT_EQ(none.opened.size(), 1);
    EXPECT_TRUE(QFile::exists(target));
    EXPECT_FALSE(QFile::exists(none.opened[0]));
    EXPECT_TRUE(prompts_.finished());
}

// The desktop's opener says with its exit code that no program takes the file.
TEST_F(WorkbookExportTest, ADesktopOpenerThatFailsIsNoticed) {
    const QString bin = dir_.filePath("bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    QFile opener(bin + "/xdg-open");
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nexit 3\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin) + ':' + path);
    const QString book = dir_.filePath("book.xlsx");
    prompts_.expectAsk(WorkbookNotOpenedQuestion(book), QMessageBox::No);
    OpenWorkbook(book);
    for (int i = 0; i < 500 && !prompts_.finished(); ++i) {
        processEvents();
        QThread::msleep(10);
    }
    qputenv("PATH", path);
    EXPECT_TRUE(prompts_.finished());
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
    ASSERT_TRUE(view->findChild<QAction*>("actExport")->isEnabled());

    RecordingOpener desktop;
    prompts_.expectModal<TfmExportSettings>(QDialog::Rejected);
    trigger(view->findChild<QAction*>("actExport"));
    EXPECT_TRUE(desktop.opened.isEmpty());

    // Only the unanswered question, which keeps its number.
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Параметры экспорта");
        click(dialog.chbValid());
        click(dialog.chbInvalid());
        click(dialog.findChild<QPushButton*>("Button1"));
    });
    trigger(view->findChild<QAction*>("actExport"));
    KVALOR_OPENED_ROWS(staff, desktop);
    const QStringList expected{"Химия|||", "Петров дата 05.03.2024 не сдан (33,33 из 50,00)|||",
                               "Вопрос №3|нет ответа|Вопрос 3|", "Ответ №1||да|+",
                               "Ответ №2||нет|"};
    EXPECT_EQ(staff, expected);

    // An applicant who logged in for the journal gets no key; the boxes kept their states.
    dataModule().SetRunMode(TRunMode::Testing);
    kvalorRoot().SetCurrentUser(&petrov);
    desktop.opened.clear();
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_FALSE(dialog.chbValid()->isChecked());
        click(dialog.findChild<QPushButton*>("Button1"));
    });
    trigger(view->findChild<QAction*>("actExport"));
    QStringList keyless = expected;
    keyless[3] = "Ответ №1||да|";
    KVALOR_OPENED_ROWS(applicant, desktop);
    EXPECT_EQ(applicant, keyless);
}

}  // namespace
}  // namespace kvalor::resultstest
