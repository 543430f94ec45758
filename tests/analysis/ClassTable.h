#pragma once

// A class of six that took a three-question test, scored by the model: the table whose
// figures the tests of the statistics compute by hand. The test is the caller's.

#include <memory>
#include <utility>
#include <vector>

#include "model/QuestionBuilders.h"
#include "model/Study.h"
#include "model/StudyList.h"

namespace kvalor::testdata {

using Answer = std::pair<TQuestion*, std::vector<std::int32_t>>;

inline std::unique_ptr<TStudy> scoredStudy(TQuestions& test, const std::vector<Answer>& answers) {
    auto study = std::make_unique<TStudy>();
    study->SetTest(&test);
    study->SetTestId(test.Id());
    for (const auto& [question, given] : answers) {
        TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
        record.Question = question;
        record.QuestionId = question->Id();
        record.Given = given;
    }
    study->Score();
    study->SetState(kStudyFinished);
    return study;
}

// Grades 1 to 3 from 0, 50 and 90 %. Q1 one answer (A right), Q2 several (A and B right),
// Q3 a sequence, Q4 one answer nobody is given. Right (1) and wrong (0) per study:
//        Q1 Q2 Q3  score
//   S1    1  1  1    3     Q1 wrong in S6 by B;
//   S2    1  1  0    2     Q2 wrong in S4 by A alone, in S5 by A and C, unanswered in S6;
//   S3    1  1  0    2     Q3 wrong by the first two swapped.
//   S4    1  0  0    1
//   S5    1  0  0    1
//   S6    0  0  0    0
struct ClassTable {
    TQuestions& test;
    TQuestion* q1 = &addQuestion(test, kSingleAnswer, "Q1", {"A", "B", "C"}, {0});
    TQuestion* q2 = &addQuestion(test, kMultipleAnswers, "Q2", {"A", "B", "C"}, {0, 1});
    TQuestion* q3 = &addQuestion(test, kSequence, "Q3", {"1", "2", "3"});
    TQuestion* q4 = &addQuestion(test, kSingleAnswer, "Q4", {"A", "B"}, {0});
    std::vector<std::unique_ptr<TStudy>> studies;

    explicit ClassTable(TQuestions& into) : test(into) {
        test.SetGradingMethod(1);
        test.SetLevelCount(3);
        test.SetLevelThreshold(1, 50.0);
        test.SetLevelThreshold(2, 90.0);
        const std::vector<std::int32_t> seqRight{0, 1, 2}, seqWrong{1, 0, 2};
        const std::vector<std::vector<Answer>> rows = {
            {{q1, {0}}, {q2, {0, 1}}, {q3, seqRight}}, {{q1, {0}}, {q2, {0, 1}}, {q3, seqWrong}},
            {{q1, {0}}, {q2, {0, 1}}, {q3, seqWrong}}, {{q1, {0}}, {q2, {0}}, {q3, seqWrong}},
            {{q1, {0}}, {q2, {0, 2}}, {q3, seqWrong}}, {{q1, {1}}, {q2, {}}, {q3, seqWrong}}};
        for (const auto& row : rows) {
            studies.push_back(scoredStudy(test, row));
            // Runs of one account at one time would be one run to the journal.
            studies.back()->SetDate(45000.0 + static_cast<double>(studies.size()));
        }
    }
    StudyView view() const {
        StudyView view;
        for (const auto& study : studies) {
            view.push_back(study.get());
        }
        return view;
    }
};

}  // namespace kvalor::testdata
