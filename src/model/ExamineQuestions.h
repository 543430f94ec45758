#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <span>
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

// The answer indexes of one record as they are read, whatever width they are kept in: one
// byte each while every index of the study fits in one, four bytes each otherwise.
class AnswerIndexes {
public:
    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using iterator_concept = std::forward_iterator_tag;
        using value_type = std::int32_t;
        using difference_type = std::ptrdiff_t;
        using reference = std::int32_t;

        Iterator() = default;
        Iterator(const AnswerIndexes* list, std::size_t index) : list_(list), index_(index) {}
        std::int32_t operator*() const { return (*list_)[index_]; }
        Iterator& operator++() {
            ++index_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator before = *this;
            ++index_;
            return before;
        }
        Iterator operator+(std::size_t count) const { return {list_, index_ + count}; }
        bool operator==(const Iterator& other) const { return index_ == other.index_; }

    private:
        const AnswerIndexes* list_ = nullptr;
        std::size_t index_ = 0;
    };

    AnswerIndexes() = default;
    AnswerIndexes(const std::uint8_t* bytes, std::size_t size, bool wide)
        : bytes_(bytes), size_(size), wide_(wide) {}
    AnswerIndexes(std::span<const std::int32_t> values)
        : AnswerIndexes(reinterpret_cast<const std::uint8_t*>(values.data()), values.size(), true) {
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::int32_t operator[](std::size_t index) const {
        if (!wide_) {
            return static_cast<std::int8_t>(bytes_[index]);
        }
        std::int32_t value = 0;
        std::memcpy(&value, bytes_ + index * sizeof value, sizeof value);
        return value;
    }
    Iterator begin() const { return {this, 0}; }
    Iterator end() const { return {this, size_}; }

private:
    const std::uint8_t* bytes_ = nullptr;
    std::size_t size_ = 0;
    bool wide_ = false;
};

// One record as it is read, the same fields as TExamineQuestion. A look, valid until the
// records change (an edit, an append, a replacement).
struct ExamineRecord {
    Guid QuestionId;
    TQuestion* Question = nullptr;
    AnswerIndexes Given;
    bool Right = false;
    AnswerIndexes Order;
};

// A selection of question records owned by their study.
using ExamineQuestionView = std::vector<TExamineQuestion*>;

// The question records of a study, in the order the questions are put.
//
// A journal holds millions of records, so records read from a file or copied are kept
// compactly: fixed-size entries in one array and every answer index of the study in a second
// one, a byte each where they fit. Reading (At), linking (ReplaceQuestions) and scoring (SetRight)
// work on that form. The first access for editing (Items, View, an append) turns the study's
// records into separate TExamineQuestion objects, whose addresses stay valid until the records are
// replaced: only the few studies being run or reviewed pay for that.
class TExamineQuestions {
public:
    TExamineQuestions() = default;
    TExamineQuestions(const TExamineQuestions& source) { *this = source; }
    // The copy is compact, whatever form the source has.
    TExamineQuestions& operator=(const TExamineQuestions& source);
    TExamineQuestions(TExamineQuestions&&) = default;
    TExamineQuestions& operator=(TExamineQuestions&&) = default;

    int Count() const {
        return static_cast<int>(edited_.empty() ? entries_.size() : edited_.size());
    }
    // The index must be below Count.
    ExamineRecord At(int index) const;
    // Sets each record's question to replace(QuestionId, Question), in one pass.
    template <class Replace>
    void ReplaceQuestions(Replace replace) {
        for (Entry& entry : entries_) {
            entry.question = replace(entry.questionId, entry.question);
        }
        for (const auto& record : edited_) {
            record->Question = replace(record->QuestionId, record->Question);
        }
    }
    void SetRight(int index, bool right);

    // The record for editing; the index must be below Count.
    TExamineQuestion& Items(int index) const {
        Unpack();
        return *edited_.at(static_cast<std::size_t>(index));
    }
    // Appends a record with the null id, no question and empty arrays.
    int AddEmpty();
    // Appends a copy of the record (arrays included).
    int AddCopy(const TExamineQuestion& record);
    // An index out of range does nothing.
    void Delete(int index);
    void Clear();
    // The first record whose QuestionId is the question's id, or -1.
    int IndexOfQuestion(const TQuestion& question) const;
    // All records, in order, for editing.
    ExamineQuestionView View() const;

    // Builds the compact form record by record (a load); nothing else may change the records
    // meanwhile. Reserve what is known to come, then finish once all are appended.
    void Reserve(int records, std::size_t answerIndexes);
    void AppendRecord(const Guid& questionId, std::span<const std::int32_t> given, bool right,
                      std::span<const std::int32_t> order);
    void FinishAppending();

private:
    // The answer indexes of entry i are those from first to the next entry's first: Given,
    // then Order. values_ holds each in one byte, or in four (native order) once wide_.
    struct Entry {
        Guid questionId;
        TQuestion* question = nullptr;
        std::uint32_t first = 0;
        std::uint32_t givenCount : 31 = 0;
        std::uint32_t right : 1 = 0;
    };

    std::uint32_t EndOf(std::size_t index) const;
    std::size_t IndexCount() const { return wide_ ? values_.size() / 4 : values_.size(); }
    void Widen();
    void Unpack() const;

    // Mutable: handing out a record for editing changes the form, not the records.
    mutable std::vector<Entry> entries_;
    mutable std::vector<std::uint8_t> values_;
    mutable bool wide_ = false;
    mutable std::vector<std::unique_ptr<TExamineQuestion>> edited_;
};

}  // namespace kvalor
