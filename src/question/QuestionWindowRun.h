#pragma once

#include <QPointer>

#include "model/ExamineQuestions.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Guid.h"

namespace kvalor {

class TfmQuestion;
class TStudy;

// The question window works on a list of the questions of one run and on its study for as
// long as it is shown; neither may outlive the run in its hands. Records without their
// question are left out.
class QuestionWindowRun {
public:
    QuestionWindowRun(TfmQuestion& window, TStudy& study, const ExamineQuestionView& records);
    ~QuestionWindowRun();
    QuestionWindowRun(const QuestionWindowRun&) = delete;
    QuestionWindowRun& operator=(const QuestionWindowRun&) = delete;

    // Hands the list and the study to the window (whose mode is set), shows the first question
    // and starts the window.
    void Prepare(int timeAllowance);

private:
    QPointer<TfmQuestion> window_;
    TStudy* study_;
    // A view: the questions stay where they are.
    TQuestions questions_{kGroupKindSimpleTest, Guid(), Ownership::View};
};

}  // namespace kvalor
