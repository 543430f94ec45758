#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "model/Answers.h"
#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

class TQuestions;

// Whether the entries are 0 .. size-1, each once: a complete order of that many answers.
bool IsPermutation(const std::vector<std::int32_t>& entries);

// A question: its text is its Name, Number its running number within its simple test. It
// owns its answers.
class TQuestion : public TExaminerElement {
public:
    // Element record, QuestionType, the answers' collection record (AllowMix is optional).
    static constexpr std::size_t kMinRecordBytes =
        TExaminerElement::kMinRecordBytes + 1 + TExaminerCollection::kMinRecordBytes;

    explicit TQuestion(std::optional<Guid> id = std::nullopt);
    ~TQuestion() override;

    std::string_view ClassName() const override { return "TQuestion"; }

    TAnswers& Answers() const { return *answers_; }
    // kSingleAnswer, kMultipleAnswers or kSequence.
    std::uint8_t QuestionType() const { return questionType_; }
    // Adapts the marks to the new type (one answer: exactly the first mark, or the first
    // answer when none is marked; sequence: no marks) and notifies the answers' handler.
    void SetQuestionType(std::uint8_t questionType);

    // What the editor requires before leaving a question: a text, texts for all answers, marks
    // that fit the type and a stored key that an answer can meet.
    bool IsValid() const;
    // Whether the marks make a key of the type: one answer exactly one mark, several answers
    // at least one. A sequence's key is the order of its answers, which always fits.
    bool MarksFitType() const;
    // Whether the stored key fits the type: one answer exactly one right answer, several
    // answers at least one, a sequence each place 0 .. n-1 once. Any other key is a question
    // that no applicant can answer right (or that every blank answer answers right).
    bool KeyFitsType() const;
    // Choice questions: every mark equals the key; sequences: every answer's place in the
    // presentation list equals its CorrectPosition. A question without answers is right.
    bool IsAnsweredRight() const;
    // The nearest enclosing simple test (group kind 2), or nullptr.
    TQuestions* OwnerTest() const;

    void SaveToStream(ByteStream& stream) const override;
    void LoadFromStream(ByteStream& stream, const ReadContext& context) override;
    int EntryLevelsBelow() const override;
    // The question, its answers list and its answers.
    void RenewIds() override;
    // Reads the record, then renews the ids (RenewIds) and empties the presentation list: a
    // pasted question is a new one.
    void LoadAsCopy(ByteStream& stream, const ReadContext& context);
    // The base copy plus, from a question, QuestionType and copies of its answers (new ids).
    // AllowMix stays as it was.
    void Assign(const TExaminerElement& source) override;

private:
    std::unique_ptr<TAnswers> answers_;
    std::uint8_t questionType_ = 0;
};

// A question read from stored data: the object with its answers list and that list's
// presentation order.
inline constexpr EntryCost kQuestionEntryCost{
    TQuestion::kMinRecordBytes,
    OwnedObjectBytes(sizeof(TQuestion)) + 2 * OwnedObjectBytes(sizeof(TAnswers))};

}  // namespace kvalor
