#include "model/Study.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/QuestionDraw.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

namespace kvalor {

namespace {

bool contains(const AnswerIndexes& values, std::int32_t value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// Exactly as the question window records the answer: choice questions by the marked authoring
// indexes, sequences by the place of each answer (right when every answer is in its own place).
bool isAnsweredRight(const ExamineRecord& record) {
    if (!record.Question) {
        return false;
    }
    const auto given = record.Given;
    const TAnswers& answers = record.Question->Answers();
    switch (record.Question->QuestionType()) {
        case kSingleAnswer:
            return given.size() == 1 && given[0] >= 0 && given[0] < answers.Count() &&
                   answers.AnswerAt(given[0])->Correct();
        case kMultipleAnswers:
            if (given.empty()) {
                return false;
            }
            for (int j = 0; j < answers.Count(); ++j) {
                if (answers.AnswerAt(j)->Correct() != contains(given, j)) {
                    return false;
                }
            }
            return true;
        case kSequence:
            if (given.empty()) {
                return false;
            }
            for (std::size_t i = 0; i < given.size(); ++i) {
                if (given[i] != static_cast<std::int32_t>(i)) {
                    return false;
                }
            }
            return true;
        default:
            return false;
    }
}

// Whether count of n questions is at least percent of n, decided exactly: count * 100 >=
// percent * n on integers. Without questions only a threshold of 0 % or less is reached.
bool countReachesExactly(std::int32_t count, int n, double percent) {
    if (std::isnan(percent)) {
        return false;
    }
    if (percent <= 0.0) {
        return true;
    }
    if (count <= 0 || std::isinf(percent)) {
        return false;
    }
    // percent = mantissa * 2^shift with a 53-bit integer mantissa.
    int exponent = 0;
    const double fraction = std::frexp(percent, &exponent);
    const auto mantissa = static_cast<unsigned __int128>(std::ldexp(fraction, 53));
    const int shift = exponent - 53;
    const auto left = static_cast<unsigned __int128>(count) * 100u;   // below 2^39
    const auto right = mantissa * static_cast<unsigned __int128>(n);  // below 2^84
    if (shift >= 0) {
        // percent is at least 2^52, far beyond any count * 100.
        return false;
    }
    if (-shift >= 88) {
        return true;  // left << 88 exceeds every right
    }
    return (left << -shift) >= right;
}

}  // namespace

void TStudy::SetState(std::uint8_t state) {
    if (state == state_) {
        return;
    }
    state_ = state;
    if (onStateChange_) {
        onStateChange_(*this);
    }
}

bool TStudy::Score() {
    if (!test_) {
        throw KvalorError("Не определена группа вопросов");
    }
    const int n = questions_.Count();
    passPercent_ = test_->PassPercent();
    correctCount_ = 0;
    for (int i = 0; i < n; ++i) {
        const bool right = isAnsweredRight(questions_.At(i));
        questions_.SetRight(i, right);
        correctCount_ += right ? 1 : 0;
    }
    // The share actually achieved, rounded once. Thresholds are decided on the count itself:
    // a sum of per-question shares drifts, and a rounded count would pass 2 of 5 at 50 %.
    percent_ = n > 0 ? correctCount_ * 100.0 / n : 0.0;

    grade_ = 1;
    if (test_->GradingMethod() == 1) {
        const auto& thresholds = test_->LevelThresholds();
        const int levels = static_cast<int>(thresholds.size());
        for (int i = levels - 1; n > 0 && i >= 0; --i) {
            if (countReachesExactly(correctCount_, n, thresholds[static_cast<std::size_t>(i)])) {
                grade_ = i + 1;
                break;
            }
        }
        passed_ = levels % 2 == 1 ? grade_ >= levels / 2 + 1 : grade_ >= levels / 2;
    } else {
        passed_ = countReachesExactly(correctCount_, n, passPercent_);
        // Whoever reads Percent against PassPercent must reach the same verdict: a share just
        // below a mark that is no round number can round up onto it.
        if (!passed_ && percent_ >= passPercent_) {
            percent_ = std::nextafter(passPercent_, -std::numeric_limits<double>::infinity());
        }
    }
    return passed_;
}

void TStudy::SetAnswers(const TQuestion& question, std::vector<std::int32_t> indexes) {
    for (int i = 0; i < questions_.Count(); ++i) {
        auto& record = questions_.Items(i);
        if (record.Question == &question) {
            record.Given = std::move(indexes);
            return;
        }
    }
}

bool TStudy::InCategory(const ExamineRecord& record, int category) {
    switch (category) {
        case kAnsweredRight:
            return record.Right;
        case kAnsweredWrong:
            return !record.Right && !record.Given.empty();
        case kNotAnswered:
            return record.Given.empty();
        case kAllQuestions:
            return true;
        default:
            return false;
    }
}

ExamineQuestionView TStudy::SelectQuestions(int category) const {
    const ExamineQuestionView all = questions_.View();
    ExamineQuestionView view;
    for (int i = 0; i < questions_.Count(); ++i) {
        if (InCategory(questions_.At(i), category)) {
            view.push_back(all[static_cast<std::size_t>(i)]);
        }
    }
    return view;
}

bool TStudy::HasQuestions(int category) const {
    if (state_ == kStudyInProgress) {
        return false;
    }
    for (int i = 0; i < questions_.Count(); ++i) {
        if (InCategory(questions_.At(i), category)) {
            return true;
        }
    }
    return false;
}

void TStudy::Assign(const TStudy& source) {
    if (&source == this) {
        return;
    }
    date_ = source.date_;
    mode_ = source.mode_;
    userId_ = source.userId_;
    testId_ = source.testId_;
    user_ = source.user_;
    test_ = source.test_;
    questions_ = source.questions_;
    passPercent_ = source.passPercent_;
    percent_ = source.percent_;
    correctCount_ = source.correctCount_;
    grade_ = source.grade_;
    passed_ = source.passed_;
    state_ = source.state_;
}

void TStudy::DrawQuestions(const TTaskList& tasks, int maximum) {
    if (!test_) {
        throw KvalorError("Не определена группа вопросов");
    }
    questions_ = DrawExamineQuestions(*test_, tasks, maximum);
}

}  // namespace kvalor
