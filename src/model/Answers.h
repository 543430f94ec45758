#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

class TAnswers;
class TQuestion;

// One answer variant of a question; its text is its Name. Number is its place in the
// presentation order.
class TAnswer : public TExaminerElement {
public:
    static constexpr std::size_t kMinRecordBytes = TExaminerElement::kMinRecordBytes + 1 + 4;

    explicit TAnswer(std::optional<Guid> id = std::nullopt);

    std::string_view ClassName() const override { return "TAnswer"; }

    // The mark: the author's in the editor, the applicant's during an examination.
    bool Checked() const { return checked_; }
    // Goes through the question's answers list so that the rules of the question type apply;
    // an answer not yet in a question's list just takes the mark.
    void SetChecked(bool value);
    // The question whose list the answer was added to, or nullptr.
    TQuestion* Question() const { return question_; }
    bool Correct() const { return correct_; }
    void SetCorrect(bool correct) { correct_ = correct; }
    std::int32_t CorrectPosition() const { return correctPosition_; }
    void SetCorrectPosition(std::int32_t position) { correctPosition_ = position; }

    void SaveToStream(ByteStream& stream) const override;
    void LoadFromStream(ByteStream& stream, const ReadContext& context) override;
    // The base copy plus Checked, Correct and CorrectPosition when the source is an answer.
    void Assign(const TExaminerElement& source) override;

private:
    friend class TAnswers;

    bool checked_ = false;
    TQuestion* question_ = nullptr;
    bool correct_ = false;
    std::int32_t correctPosition_ = 0;
};

// The answers of one question in the author's order (the primary list, which owns them), or
// the same answers in the order shown during an examination (its presentation list, a view).
class TAnswers : public TExaminerCollection {
public:
    using ChangeHandler = std::function<void(TAnswers& sender)>;

    // Raises "Создание объекта невозможно" without an owner question. A primary list takes
    // the id given (or a new one) and creates its presentation list; a presentation list has
    // the null id and no presentation list of its own.
    TAnswers(TQuestion* question, std::optional<Guid> id = std::nullopt, bool presentation = false);
    ~TAnswers() override;

    std::string_view ClassName() const override { return "TAnswers"; }

    TQuestion* Question() const { return question_; }
    bool IsPresentation() const { return isPresentation_; }
    // The presentation list of a primary list; nullptr for a presentation list.
    TAnswers* Presentation() const { return presentation_.get(); }
    bool AllowMix() const { return allowMix_; }
    void SetAllowMix(bool allowMix) { allowMix_ = allowMix; }
    int CheckedCount() const { return checkedCount_; }

    // Fired after SetChecked and after a change of the question type.
    void SetOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }

    // The answer at index, or nullptr when the index is out of range.
    TAnswer* AnswerAt(int index) const;
    // A new answer whose Parent is this list; it is not added.
    std::unique_ptr<TAnswer> NewAnswer();

    // Marks or unmarks an answer by the rules of the question type: one answer keeps exactly
    // one mark, several answers mark freely, a sequence refuses marks ("Невозможно изменить
    // значение Checked") and a request to clear clears all.
    void SetChecked(TAnswer& answer, bool value);
    int CountChecked() const;
    std::vector<int> CheckedIndexes() const;
    // Clears all marks without notification.
    void ClearChecked();
    // Turns the author's marks (or, for a sequence, the author's order) into the stored key.
    void StoreKey();
    // Fills the presentation list in a random order when asked and AllowMix permits, else in
    // the author's order, and clears all marks.
    void PreparePresentation(bool shuffle);

    // Both raise "Объект отсутствует в коллекции" for an answer that is not in the list.
    bool CanMoveUp(const TAnswer& answer) const;
    bool CanMoveDown(const TAnswer& answer) const;
    void MoveUp(TAnswer& answer);
    void MoveDown(TAnswer& answer);

protected:
    bool Accepts(const TExaminerElement& element) const override;
    void Adopt(TExaminerElement& element) override;
    void EntriesChanged() override;
    void EntryInserted(int index) override;
    void EntryRemoved(IExaminerItem& entry) override;

private:
    friend class TQuestion;

    // Adapts the marks to a new question type and notifies.
    void questionTypeChanged();
    void notifyChange();
    int requireIndex(const TAnswer& answer) const;

    TQuestion* question_;
    bool isPresentation_;
    int checkedCount_ = 0;
    ChangeHandler onChange_;
    std::unique_ptr<TAnswers> presentation_;
    bool allowMix_ = true;
};

// An answer read from stored data: the object, and its place in the presentation order.
inline constexpr EntryCost kAnswerEntryCost{TAnswer::kMinRecordBytes,
                                            OwnedObjectBytes(sizeof(TAnswer)) + 64};

}  // namespace kvalor
