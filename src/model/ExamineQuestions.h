#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "util/Guid.h"

namespace kvalor {

class TQuestion;

// One question put to the applicant: which question, the answer given, the verdict and the
// order in which its answers were shown.
struct TExamineQuestion {
    Guid QuestionId;
    // Set by the draw, resolved from QuestionId after a load; nullptr while unresolved.
    TQuestion* Question = nullptr;
    // Choice questions: the authoring indexes of the marked answers, ascending. Sequences:
    // entry i is the place at which the applicant put the answer with authoring index i.
    // Empty while unanswered.
    std::vector<std::int32_t> Given;
    bool Right = false;
    // Entry k: the authoring index of the answer shown in place k.
    std::vector<std::int32_t> Order;
};

// A selection of question records owned by their study.
using ExamineQuestionView = std::vector<TExamineQuestion*>;

// The question records of a study, in the order the questions are put. Owns its records.
class TExamineQuestions {
public:
    TExamineQuestions() = default;
    TExamineQuestions(TExamineQuestions&&) = default;
    TExamineQuestions& operator=(TExamineQuestions&&) = default;

    int Count() const { return static_cast<int>(records_.size()); }
    // The index must be below Count.
    TExamineQuestion& Items(int index) const {
        return *records_.at(static_cast<std::size_t>(index));
    }

    // Appends a record with the null id, no question and empty arrays.
    int AddEmpty();
    // Appends a copy of the record (arrays included).
    int AddCopy(const TExamineQuestion& record);
    // An index out of range does nothing.
    void Delete(int index);
    void Clear() { records_.clear(); }
    // The first record whose QuestionId is the question's id, or -1.
    int IndexOfQuestion(const TQuestion& question) const;
    // All records, in order.
    ExamineQuestionView View() const;

private:
    std::vector<std::unique_ptr<TExamineQuestion>> records_;
};

}  // namespace kvalor
