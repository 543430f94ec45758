#pragma once

// Tests, questions, accounts and examinations made the way the windows find them in the root
// object; shared by the tests of the question window and of the examination setup.

#include <initializer_list>
#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QString>
#include <QStringList>

#include "model/Answers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "support/GuiTest.h"
#include "util/Codepage.h"
#include "util/Guid.h"

namespace kvalor::examtest {

// A test in the root object, neither questions nor answers mixed, so that the order of an
// examination is known.
inline TQuestions& addTest(std::uint8_t groupKind, const QString& name, int minutes,
                           double passPercent = 50.0) {
    TKvalor& root = kvalorRoot();
    TQuestions& tests =
        groupKind == kGroupKindComplexTest ? root.ComplexTests() : root.SimpleTests();
    auto test = std::make_unique<TQuestions>(groupKind);
    test->SetName(toCp1251(name));
    test->SetDuration(minutes);
    test->SetPassPercent(passPercent);
    test->SetMixQuestions(false);
    test->SetMixGroups(false);
    test->SetMixAnswers(false);
    TQuestions& result = *test;
    tests.AddCollection(std::move(test));
    return result;
}

using testdata::addGroup;
using testdata::addQuestion;

inline TCompetitor& addApplicant(const QString& name, const QString& password = {},
                                 TCompetitors* group = nullptr) {
    auto account = std::make_unique<TCompetitor>();
    account->SetName(toCp1251(name));
    account->SetPassword(toCp1251(password));
    TCompetitor& result = *account;
    TCompetitors& target = group ? *group : kvalorRoot().Users();
    EXPECT_GE(target.AddCompetitor(std::move(account), true), 0);
    return result;
}

inline TCompetitors& addUsersGroup(TCompetitors& parent, const QString& name) {
    auto group = std::make_unique<TCompetitors>();
    group->SetName(toCp1251(name));
    group->NewId();
    TCompetitors& result = *group;
    parent.AddCollection(std::move(group));
    return result;
}

// A drawn examination of the test by the account, not in the journal.
inline std::unique_ptr<TStudy> drawStudy(TCompetitor& account, TQuestions& test,
                                         std::uint8_t mode = kModeTesting, int maximum = -1) {
    auto study = TStudyList::NewStudy(mode, account, test, 45000.0);
    study->DrawQuestions(kvalorRoot().Tasks(), maximum);
    return study;
}

// The questions of a study's records, as the windows page through them.
inline std::unique_ptr<TQuestions> questionView(const TStudy& study) {
    auto view = std::make_unique<TQuestions>(kGroupKindSimpleTest, Guid(), Ownership::View);
    for (int i = 0; i < study.Questions().Count(); ++i) {
        view->AddReference(*study.Questions().Items(i).Question);
    }
    return view;
}

inline QString text(const std::string& bytes) {
    return fromCp1251(bytes);
}

// The lines of a drop-down list.
inline QStringList linesOf(const QComboBox* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->itemText(i);
    }
    return lines;
}

// "Завершить" of the question window shown.
inline void finishExam(QObject& window) {
    trigger(window.findChild<QAction*>("actFinish"));
}

// Chooses the line with the arrow keys, which report the choice as the user's.
inline void chooseLine(QComboBox* list, const QString& line) {
    const int target = list->findText(line);
    ASSERT_GE(target, 0) << "no line " << line.toStdString();
    while (list->currentIndex() != target) {
        const int before = list->currentIndex();
        pressKey(list, list->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        ASSERT_NE(list->currentIndex(), before);
    }
}

// A test that starts with the root object cleared but for the built-in accounts, and leaves
// it cleared, with the font size it found.
class ExamTest : public ::testing::Test {
protected:
    void SetUp() override {
        TKvalor& root = kvalorRoot();
        root.Clear();
        root.Users().EnsureBuiltins();
        fontSize_ = root.FontSize();
    }

    void TearDown() override {
        kvalorRoot().SetFontSize(fontSize_);
        kvalorRoot().Clear();
    }

private:
    int fontSize_ = 0;
};

}  // namespace kvalor::examtest
