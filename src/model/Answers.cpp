#include "model/Answers.h"

#include <numeric>

#include "model/Question.h"
#include "model/TypeIds.h"
#include "util/Error.h"
#include "util/Random.h"

namespace kvalor {

TAnswer::TAnswer(std::optional<Guid> id) : TExaminerElement(kAnswerKind, id) {
    FixClassIdentity(AnswerTypeId());
}

void TAnswer::SetChecked(bool value) {
    if (value == checked_) {
        return;
    }
    if (question_) {
        question_->Answers().SetChecked(*this, value);
    } else {
        checked_ = value;
    }
}

void TAnswer::Assign(const TExaminerElement& source) {
    TExaminerElement::Assign(source);
    if (const auto* answer = dynamic_cast<const TAnswer*>(&source)) {
        checked_ = answer->checked_;
        correct_ = answer->correct_;
        correctPosition_ = answer->correctPosition_;
    }
}

namespace {

TQuestion* requireQuestion(TQuestion* question) {
    if (!question) {
        throw KvalorError("Создание объекта невозможно");
    }
    return question;
}

std::optional<Guid> listId(std::optional<Guid> id, bool presentation) {
    if (presentation) {
        return Guid();
    }
    return id;
}

}  // namespace

TAnswers::TAnswers(TQuestion* question, std::optional<Guid> id, bool presentation)
    : TExaminerCollection(kAnswersKind, listId(id, presentation),
                          presentation ? Ownership::View : Ownership::Owning),
      question_(requireQuestion(question)),
      isPresentation_(presentation) {
    FixClassIdentity(AnswersTypeId());
    if (!presentation) {
        presentation_ = std::make_unique<TAnswers>(question, Guid(), true);
    }
}

TAnswers::~TAnswers() = default;

TAnswer* TAnswers::AnswerAt(int index) const {
    // Accepts lets nothing but answers in.
    return static_cast<TAnswer*>(ElementAt(index));
}

std::unique_ptr<TAnswer> TAnswers::NewAnswer() {
    auto answer = std::make_unique<TAnswer>();
    answer->SetParent(this);
    return answer;
}

bool TAnswers::Accepts(const TExaminerElement& element) const {
    return dynamic_cast<const TAnswer*>(&element) != nullptr;
}

// The presentation list re-parents too: during an examination an answer's Parent is the list
// it is shown in.
void TAnswers::Adopt(TExaminerElement& element) {
    auto& answer = static_cast<TAnswer&>(element);
    answer.question_ = question_;
    answer.SetParent(this);
}

void TAnswers::EntriesChanged() {
    if (isPresentation_) {
        for (int i = 0; i < Count(); ++i) {
            AnswerAt(i)->SetNumber(i);
        }
    }
    checkedCount_ = CountChecked();
}

// One insertion renumbers only the answers behind it, so that filling a list stays linear.
void TAnswers::EntryInserted(int index) {
    if (isPresentation_) {
        for (int i = index; i < Count(); ++i) {
            AnswerAt(i)->SetNumber(i);
        }
    }
    if (AnswerAt(index)->Checked()) {
        ++checkedCount_;
    }
}

void TAnswers::EntryRemoved(IExaminerItem& entry) {
    if (presentation_) {
        // An answer that leaves the primary list must not stay visible in the presentation.
        presentation_->ForgetEntry(entry);
    } else if (entry.Parent() == this) {
        entry.SetParent(&question_->Answers());
    }
}

void TAnswers::notifyChange() {
    if (onChange_) {
        onChange_(*this);
    }
}

void TAnswers::questionTypeChanged() {
    switch (question_->QuestionType()) {
        case kSingleAnswer: {
            const auto checked = CheckedIndexes();
            for (std::size_t i = 1; i < checked.size(); ++i) {
                AnswerAt(checked[i])->checked_ = false;
            }
            if (checked.empty() && Count() > 0) {
                AnswerAt(0)->checked_ = true;
            }
            checkedCount_ = CountChecked();
            break;
        }
        case kSequence:
            ClearChecked();
            break;
        default:
            break;
    }
    notifyChange();
}

void TAnswers::SetChecked(TAnswer& answer, bool value) {
    switch (question_->QuestionType()) {
        case kSingleAnswer:
            // The one mark can only move to another answer, never disappear.
            if (value) {
                for (int i = 0; i < Count(); ++i) {
                    AnswerAt(i)->checked_ = false;
                }
                answer.checked_ = true;
            }
            break;
        case kSequence:
            if (value) {
                throw KvalorError("Невозможно изменить значение Checked");
            }
            ClearChecked();
            break;
        default:
            answer.checked_ = value;
            break;
    }
    checkedCount_ = CountChecked();
    notifyChange();
}

int TAnswers::CountChecked() const {
    int count = 0;
    for (int i = 0; i < Count(); ++i) {
        if (AnswerAt(i)->Checked()) {
            ++count;
        }
    }
    return count;
}

std::vector<int> TAnswers::CheckedIndexes() const {
    std::vector<int> indexes;
    for (int i = 0; i < Count(); ++i) {
        if (AnswerAt(i)->Checked()) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

void TAnswers::ClearChecked() {
    for (int i = 0; i < Count(); ++i) {
        AnswerAt(i)->checked_ = false;
    }
    checkedCount_ = 0;
}

void TAnswers::StoreKey() {
    if (isPresentation_) {
        throw KvalorError("Выполнение невозможно");
    }
    const bool sequence = question_->QuestionType() == kSequence;
    for (int i = 0; i < Count(); ++i) {
        auto* answer = AnswerAt(i);
        if (sequence) {
            answer->SetCorrectPosition(i);
        } else {
            answer->SetCorrect(answer->Checked());
        }
    }
}

void TAnswers::PreparePresentation(bool shuffle) {
    if (isPresentation_) {
        throw KvalorError("Выполнение невозможно");
    }
    presentation_->Clear();
    std::vector<int> order;
    if (shuffle && allowMix_) {
        order = RandomSelection(Count(), -1);
    } else {
        order.resize(static_cast<std::size_t>(Count()));
        std::iota(order.begin(), order.end(), 0);
    }
    for (int index : order) {
        presentation_->AddReference(*AnswerAt(index));
    }
    ClearChecked();
    presentation_->ClearChecked();
}

int TAnswers::requireIndex(const TAnswer& answer) const {
    const int index = IndexOf(&answer);
    if (index < 0) {
        throw KvalorError("Объект отсутствует в коллекции");
    }
    return index;
}

bool TAnswers::CanMoveUp(const TAnswer& answer) const {
    return requireIndex(answer) > 0 && Count() > 1;
}

bool TAnswers::CanMoveDown(const TAnswer& answer) const {
    return requireIndex(answer) < Count() - 1 && Count() > 1;
}

void TAnswers::MoveUp(TAnswer& answer) {
    if (CanMoveUp(answer)) {
        const int index = IndexOf(&answer);
        MoveEntry(index, index - 1);
    }
}

void TAnswers::MoveDown(TAnswer& answer) {
    if (CanMoveDown(answer)) {
        const int index = IndexOf(&answer);
        MoveEntry(index, index + 1);
    }
}

}  // namespace kvalor
