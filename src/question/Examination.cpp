#include "question/Examination.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <QTimer>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "ui/Clock.h"

namespace kvalor {

namespace {

constexpr int kTickMs = 1000;

// Puts the answers in the order the record kept: a sequence as the applicant left it, any
// other question as its answers were shown. A record that does not fit the question (it was
// edited since) leaves the order as it is.
void arrangeAsRecorded(TAnswers& answers, const TExamineQuestion& record, bool sequence) {
    const int count = answers.Count();
    std::vector<std::int32_t> order;
    const auto fits = [count](const std::vector<std::int32_t>& entries) {
        return static_cast<int>(entries.size()) == count && IsPermutation(entries);
    };
    if (sequence && fits(record.Given)) {
        order.resize(record.Given.size());
        for (int i = 0; i < count; ++i) {
            order[static_cast<std::size_t>(record.Given[static_cast<std::size_t>(i)])] = i;
        }
    } else if (fits(record.Order)) {
        order = record.Order;
    } else {
        return;
    }
    TAnswers& shown = *answers.Presentation();
    shown.Clear();
    for (const std::int32_t index : order) {
        shown.AddReference(*answers.AnswerAt(index));
    }
}

}  // namespace

TExamination::TExamination(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    setObjectName(QStringLiteral("examination"));
    timer_->setObjectName(QStringLiteral("tmCountdown"));
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &TExamination::Tick);
}

TExamination::~TExamination() {
    // The study must not call back into an examination that is gone.
    if (study_) {
        study_->SetOnStateChange({});
    }
}

void TExamination::SetMode(WindowMode mode) {
    mode_ = mode;
    timeAllowance_ = 0;
}

bool TExamination::Examining() const {
    return mode_ == WindowMode::Preparation || mode_ == WindowMode::Testing;
}

void TExamination::SetStudy(TStudy* study) {
    if (study_) {
        study_->SetOnStateChange({});
    }
    study_ = study;
    if (study_) {
        study_->SetOnStateChange([this](TStudy&) { emit StateChanged(); });
        if (Examining()) {
            study_->SetMinutesUsed(0);
        }
    }
}

void TExamination::Start() {
    countdownStart_ = appClock().now();
    if (Examining()) {
        // Started before the first tick, so that a tick which finds the time up stops it.
        timer_->start();
        Tick();
    } else {
        timer_->stop();
    }
}

void TExamination::Tick() {
    if (!study_) {
        timer_->stop();
        return;
    }
    // Full date-times: an examination that runs past midnight keeps its time.
    const qint64 elapsed = countdownStart_.secsTo(appClock().now());
    const qint64 remaining = static_cast<qint64>(timeAllowance_) * 60 - elapsed;
    if (remaining > 0) {
        emit Remaining(remaining);
    } else if (!expiryHeld_) {
        Expire();
    }
}

void TExamination::Expire() {
    timer_->stop();
    emit Expiring();
    study_->SetMinutesUsed(study_->MinutesUsed() + timeAllowance_);
    study_->SetState(kStudyTimeIsUp);
    timeAllowance_ = 0;
    emit Expired();
}

void TExamination::Extend(int minutes) {
    timeAllowance_ = minutes;
    // Back to work before the question is shown, so that its verdict is judged as usual.
    study_->SetState(kStudyInProgress);
    TQuestion* resume = nullptr;
    for (const TExamineQuestion* record : study_->SelectQuestions(kNotAnswered)) {
        if (record->Question) {
            resume = record->Question;
            break;
        }
    }
    for (int i = 0; !resume && i < study_->Questions().Count(); ++i) {
        resume = study_->Questions().Items(i).Question;
    }
    emit Resuming(resume);

    countdownStart_ = appClock().now();
    timer_->start();
    Tick();
}

const TExamineQuestion* TExamination::Record(const TQuestion* question) const {
    const int record = question && study_ ? study_->Questions().IndexOfQuestion(*question) : -1;
    return record >= 0 ? &study_->Questions().Items(record) : nullptr;
}

void TExamination::RestoreAnswer(TQuestion& question) const {
    const TExamineQuestion* record = Record(&question);
    TAnswers& answers = question.Answers();
    const bool choice = question.QuestionType() != kSequence;
    if (mode_ == WindowMode::Review) {
        if (record) {
            arrangeAsRecorded(answers, *record, !choice);
        }
        if (choice) {
            answers.ClearChecked();
        }
    }
    if (!choice || !record) {
        return;
    }
    for (int i = 0; i < answers.Count(); ++i) {
        if (std::find(record->Given.begin(), record->Given.end(), i) != record->Given.end()) {
            answers.AnswerAt(i)->SetChecked(true);
        }
    }
}

std::uint8_t TExamination::Judge(const TQuestion* question, bool touched, bool modified) const {
    const TExamineQuestion* record = Record(question);
    if (mode_ == WindowMode::Review) {
        if (record && record->Right) {
            return kVerdictRight;
        }
        return record && !record->Given.empty() ? kVerdictWrong : kVerdictNoAnswer;
    }
    if (mode_ != WindowMode::Preparation || !touched || !study_ ||
        study_->State() != kStudyInProgress || !question) {
        return kVerdictNoAnswer;
    }
    if (question->IsAnsweredRight()) {
        return kVerdictRight;
    }
    if (question->QuestionType() == kSequence) {
        // A recorded order is an answer, though nothing has moved since it came back.
        return modified || (record && !record->Given.empty()) ? kVerdictWrong : kVerdictNoAnswer;
    }
    return question->Answers().CountChecked() > 0 ? kVerdictWrong : kVerdictNoAnswer;
}

void TExamination::RecordAnswer(const TQuestion* question) {
    if (!Examining() || !question || !study_) {
        return;
    }
    const TAnswers& answers = question->Answers();
    std::vector<std::int32_t> given;
    if (question->QuestionType() == kSequence) {
        // For each answer in the author's order, the place the applicant put it in.
        const TAnswers& shown = *answers.Presentation();
        for (int i = 0; i < answers.Count(); ++i) {
            given.push_back(shown.IndexOf(answers.AnswerAt(i)));
        }
    } else {
        for (const int index : answers.CheckedIndexes()) {
            given.push_back(index);
        }
    }
    study_->SetAnswers(*question, std::move(given));
}

void TExamination::Finish(const TQuestion* current) {
    if (!study_ || study_->State() == kStudyFinished || !Examining()) {
        return;
    }
    timer_->stop();
    RecordAnswer(current);
    const qint64 minutes = countdownStart_.secsTo(appClock().now()) / 60;
    study_->SetMinutesUsed(study_->MinutesUsed() + static_cast<std::int32_t>(minutes));
    study_->SetState(kStudyFinished);
}

void TExamination::FinishOnClose(const TQuestion* current) {
    if (mode_ == WindowMode::Testing && study_ && study_->State() == kStudyInProgress) {
        Finish(current);
    }
}

void TExamination::Resume() {
    if (study_) {
        study_->SetState(kStudyInProgress);
    }
    timer_->start();
}

void TExamination::Close() {
    timer_->stop();
    if (study_ && study_->State() == kStudyInProgress && mode_ == WindowMode::Testing) {
        study_->SetState(kStudyFinished);
    }
}

}  // namespace kvalor
