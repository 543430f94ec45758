#pragma once

// The question window with an applicant, the test "Арифметика", scripted prompts and a clock.

#include <QLabel>

#include "app/Authorization.h"
#include "question/ExamTestData.h"
#include "question/Examination.h"
#include "question/QuestionWindow.h"
#include "question/QuestionWindowSupport.h"
#include "support/FakeClock.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::examtest {

class QuestionWindowTest : public ExamTest {
protected:
    void SetUp() override {
        ExamTest::SetUp();
        applicant_ = &addApplicant("Петров");
    }

    void TearDown() override {
        // The window lets go of the questions before the data goes.
        window_.hide();
        window_.SetQuestionList(nullptr);
        window_.SetStudy(nullptr);
        processEvents();
        ExamTest::TearDown();
    }

    // One question of each type: "2+2" (right: "4"), "Чётные" (right: "2" and "4"), and a
    // sequence whose right order is the author's.
    void makeTest(int minutes) {
        test_ = &addTest(kGroupKindSimpleTest, "Арифметика", minutes);
        single_ = &addQuestion(*test_, kSingleAnswer, "Сколько будет 2+2?", {"3", "4", "5"}, {1});
        multiple_ = &addQuestion(*test_, kMultipleAnswers, "Какие числа чётные?",
                                 {"1", "2", "3", "4"}, {1, 3});
        sequence_ =
            &addQuestion(*test_, kSequence, "Расположите по возрастанию", {"один", "два", "три"});
    }

    // Prepares and starts the window as the examination setup does.
    void begin(WindowMode windowMode, int minutes) {
        makeTest(minutes);
        study_ = drawStudy(*applicant_, *test_,
                           windowMode == WindowMode::Preparation ? kModePreparation : kModeTesting);
        view_ = questionView(*study_);
        prepare(windowMode, *study_, minutes);
    }

    // Hands the questions and the study to the window, shows the first question and starts.
    void prepare(WindowMode windowMode, TStudy& study, int minutes) {
        window_.SetMode(windowMode);
        window_.SetQuestionList(view_.get());
        window_.SetStudy(&study);
        window_.SetTimeAllowance(minutes);
        window_.ShowQuestion(single_);
        window_.Start();
    }

    QLabel* label(const char* name) { return window_.findChild<QLabel*>(name); }
    QAction* action(const char* name) { return window_.findChild<QAction*>(name); }
    TExamination& exam() { return *window_.findChild<TExamination*>("examination"); }
    TfrAnswer* frame(int index) { return window_.Frames().at(static_cast<std::size_t>(index)); }
    const std::vector<std::int32_t>& given(const TQuestion* question) {
        return study_->Questions().Items(study_->Questions().IndexOfQuestion(*question)).Given;
    }
    void expectVerdict(const QString& text, const QColor& colour, int picture) {
        EXPECT_EQ(label("lblVerdict")->text(), text);
        EXPECT_EQ(textColour(*label("lblVerdict")), colour);
        EXPECT_EQ(window_.VerdictPicture(), picture);
    }

    FakeClock clock_;
    ScriptedPrompts prompts_;
    TCompetitor* applicant_ = nullptr;
    TQuestions* test_ = nullptr;
    TQuestion* single_ = nullptr;
    TQuestion* multiple_ = nullptr;
    TQuestion* sequence_ = nullptr;
    std::unique_ptr<TStudy> study_;
    std::unique_ptr<TQuestions> view_;
    TfmAuthorization login_;
    TfmQuestion window_{login_};
};

}  // namespace kvalor::examtest
