#include "model/Question.h"

#include <vector>

#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/TextUtils.h"

namespace kvalor {

TQuestion::TQuestion(std::optional<Guid> id)
    : TExaminerElement(kQuestionKind, id), answers_(std::make_unique<TAnswers>(this)) {
    FixClassIdentity(QuestionTypeId());
}

TQuestion::~TQuestion() = default;

bool IsPermutation(const std::vector<std::int32_t>& entries) {
    std::vector<bool> seen(entries.size(), false);
    for (const std::int32_t entry : entries) {
        if (entry < 0 || static_cast<std::size_t>(entry) >= entries.size() ||
            seen[static_cast<std::size_t>(entry)]) {
            return false;
        }
        seen[static_cast<std::size_t>(entry)] = true;
    }
    return true;
}

void TQuestion::SetQuestionType(std::uint8_t questionType) {
    if (questionType == questionType_) {
        return;
    }
    questionType_ = questionType;
    answers_->questionTypeChanged();
}

bool TQuestion::IsValid() const {
    if (TrimText(GetName()).empty()) {
        return false;
    }
    const auto& answers = *answers_;
    for (int i = 0; i < answers.Count(); ++i) {
        if (TrimText(answers.AnswerAt(i)->GetName()).empty()) {
            return false;
        }
    }
    return MarksFitType() && KeyFitsType();
}

bool TQuestion::MarksFitType() const {
    switch (questionType_) {
        case kSingleAnswer:
            return answers_->CheckedCount() == 1;
        case kSequence:
            return true;
        default:
            return answers_->CheckedCount() >= 1;
    }
}

bool TQuestion::KeyFitsType() const {
    const auto& answers = *answers_;
    const int count = answers.Count();
    if (questionType_ == kSequence) {
        std::vector<std::int32_t> places;
        for (int i = 0; i < count; ++i) {
            places.push_back(answers.AnswerAt(i)->CorrectPosition());
        }
        return IsPermutation(places);
    }
    int right = 0;
    for (int i = 0; i < count; ++i) {
        right += answers.AnswerAt(i)->Correct() ? 1 : 0;
    }
    return questionType_ == kSingleAnswer ? right == 1 : right >= 1;
}

bool TQuestion::IsAnsweredRight() const {
    const auto& answers = *answers_;
    for (int i = 0; i < answers.Count(); ++i) {
        const auto* answer = answers.AnswerAt(i);
        if (questionType_ == kSequence) {
            if (answers.Presentation()->IndexOf(answer) != answer->CorrectPosition()) {
                return false;
            }
        } else if (answer->Checked() != answer->Correct()) {
            return false;
        }
    }
    return true;
}

TQuestions* TQuestion::OwnerTest() const {
    for (auto* collection = Parent(); collection; collection = collection->Parent()) {
        auto* group = dynamic_cast<TQuestions*>(collection);
        if (group && group->GroupKind() == kGroupKindSimpleTest) {
            return group;
        }
    }
    return nullptr;
}

int TQuestion::EntryLevelsBelow() const {
    return answers_->Count() > 0 ? 2 : 0;
}

void TQuestion::RenewIds() {
    TExaminerElement::RenewIds();
    answers_->RenewIds();
}

void TQuestion::Assign(const TExaminerElement& source) {
    TExaminerElement::Assign(source);
    const auto* question = dynamic_cast<const TQuestion*>(&source);
    if (!question || question == this) {
        return;
    }
    questionType_ = question->questionType_;
    answers_->Clear();
    const auto& sourceAnswers = *question->answers_;
    for (int i = 0; i < sourceAnswers.Count(); ++i) {
        auto answer = std::make_unique<TAnswer>();
        answer->Assign(*sourceAnswers.AnswerAt(i));
        answers_->AddItem(std::move(answer));
    }
}

}  // namespace kvalor
