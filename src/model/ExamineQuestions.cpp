#include "model/ExamineQuestions.h"

#include "model/Question.h"

namespace kvalor {

int TExamineQuestions::AddEmpty() {
    records_.push_back(std::make_unique<TExamineQuestion>());
    return Count() - 1;
}

int TExamineQuestions::AddCopy(const TExamineQuestion& record) {
    records_.push_back(std::make_unique<TExamineQuestion>(record));
    return Count() - 1;
}

void TExamineQuestions::Delete(int index) {
    if (index >= 0 && index < Count()) {
        records_.erase(records_.begin() + index);
    }
}

int TExamineQuestions::IndexOfQuestion(const TQuestion& question) const {
    for (int i = 0; i < Count(); ++i) {
        if (records_[static_cast<std::size_t>(i)]->QuestionId == question.Id()) {
            return i;
        }
    }
    return -1;
}

ExamineQuestionView TExamineQuestions::View() const {
    ExamineQuestionView view;
    view.reserve(records_.size());
    for (const auto& record : records_) {
        view.push_back(record.get());
    }
    return view;
}

}  // namespace kvalor
