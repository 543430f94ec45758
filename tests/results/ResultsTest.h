#pragma once

// The fixture of the results windows: the root object cleared but for the built-in accounts,
// the Russian display locale, scripted prompts, a fake clock and a main window that hosts the
// journal, the results view and the statistics.

#include <memory>

#include <gtest/gtest.h>
#include <QDateTime>
#include <QLocale>
#include <QStringList>
#include <QTreeView>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "question/ExamTestData.h"
#include "results/Journal.h"
#include "results/JournalModel.h"
#include "results/ResultsView.h"
#include "results/StatisticsWindow.h"
#include "support/FakeClock.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "util/DateTime.h"

namespace kvalor::resultstest {

using namespace examtest;

// A test of one-answer questions "Вопрос 1", "Вопрос 2", ... with the answers "да" (right) and
// "нет".
inline TQuestions& yesNoTest(const QString& name, int questions, double passPercent = 50.0) {
    TQuestions& test = addTest(kGroupKindSimpleTest, name, 10, passPercent);
    for (int i = 1; i <= questions; ++i) {
        addQuestion(test, kSingleAnswer, QStringLiteral("Вопрос %1").arg(i), {"да", "нет"}, {0});
    }
    return test;
}

// A finished, scored run of a yes/no test in the journal: the first records answered right,
// the next ones wrong, the rest left unanswered.
inline TStudy& addStudy(TCompetitor& account, TQuestions& test, const QDateTime& when, int right,
                        int wrong, std::uint8_t mode = kModeTesting) {
    auto owned = TStudyList::NewStudy(mode, account, test, toStoredDateTime(when));
    owned->DrawQuestions(kvalorRoot().Tasks(), -1);
    for (int i = 0; i < owned->Questions().Count(); ++i) {
        if (i < right + wrong) {
            owned->Questions().Items(i).Given = {i < right ? 0 : 1};
        }
    }
    owned->SetState(kStudyFinished);
    TStudy& study = *owned;
    kvalorRoot().Studies().Append(std::move(owned));
    study.Score();
    return study;
}

inline QDateTime at(int year, int month, int day, int hour = 12, int minute = 0) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute));
}

class ResultsTest : public ExamTest {
protected:
    void SetUp() override {
        ExamTest::SetUp();
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        registerJournal();
        registerResultsView();
        registerStatisticsWindow();
        dataModule().SetRunMode(TRunMode::None);
    }

    void TearDown() override {
        main_.reset();
        processEvents();
        prompts_.verify();
        ExamTest::TearDown();
        dataModule().SetRunMode(TRunMode::None);
        QLocale::setDefault(QLocale::system());
    }

    TfmKvalor& mainWindow() {
        if (!main_) {
            main_ = std::make_unique<TfmKvalor>();
            // With a run mode chosen the frame asks for none when it is shown.
            dataModule().SetRunMode(TRunMode::Teacher);
            main_->show();
            processEvents();
        }
        return *main_;
    }

    // The journal as the built-in teacher opens it.
    TfmJournal& openJournal(TRunMode runMode = TRunMode::Teacher) {
        TfmKvalor& window = mainWindow();
        dataModule().SetRunMode(runMode);
        trigger(window, "actJournal");
        return journal();
    }

    TfmJournal& journal() {
        auto* window = qobject_cast<TfmJournal*>(mainWindow().FindHosted("TfmJournal"));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    TfmResultsView* resultsView() {
        return qobject_cast<TfmResultsView*>(mainWindow().FindHosted("TfmResultsView"));
    }

    // The rows of the journal as "user|test|result|date".
    static QStringList rows(const TfmJournal& window) {
        QStringList lines;
        const JournalModel& model = *window.Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (const int column : {JournalModel::ColUser, JournalModel::ColTest,
                                     JournalModel::ColResult, JournalModel::ColDate}) {
                cells << model.index(row, column).data().toString();
            }
            lines << cells.join('|');
        }
        return lines;
    }

    static QTreeView* lvStudies(const QObject& w) { return w.findChild<QTreeView*>("lvStudies"); }
    static QComboBox* combo(const QObject& w, const char* n) { return w.findChild<QComboBox*>(n); }
    static void selectAll(const TfmJournal& window) {
        lvStudies(window)->selectAll();
        processEvents();
    }

    static void selectRows(const TfmJournal& window, std::initializer_list<int> rowsToSelect) {
        auto* selection = lvStudies(window)->selectionModel();
        selection->clear();
        for (const int row : rowsToSelect) {
            selection->select(window.Model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        processEvents();
    }

    FakeClock clock_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

}  // namespace kvalor::resultstest
