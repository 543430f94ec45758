#include "question/QuestionWindowRun.h"

#include "model/Question.h"
#include "question/QuestionWindow.h"

namespace kvalor {

QuestionWindowRun::QuestionWindowRun(TfmQuestion& window, TStudy& study,
                                     const ExamineQuestionView& records)
    : window_(&window), study_(&study) {
    for (const TExamineQuestion* record : records) {
        if (record->Question) {
            questions_.AddReference(*record->Question);
        }
    }
}

QuestionWindowRun::~QuestionWindowRun() {
    if (!window_) {
        return;
    }
    if (window_->QuestionList() == &questions_) {
        window_->SetQuestionList(nullptr);
    }
    if (window_->Study() == study_) {
        window_->SetStudy(nullptr);
    }
}

void QuestionWindowRun::Prepare(int timeAllowance) {
    window_->SetQuestionList(&questions_);
    window_->SetStudy(study_);
    window_->SetTimeAllowance(timeAllowance);
    window_->ShowQuestion(NextQuestion(questions_, nullptr));
    window_->Start();
}

}  // namespace kvalor
