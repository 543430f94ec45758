#include "model/ExamineQuestions.h"

#include <cstring>
#include <limits>

#include "model/Question.h"
#include "util/Error.h"

namespace kvalor {

namespace {

std::unique_ptr<TExamineQuestion> separateRecord(const ExamineRecord& record) {
    return std::make_unique<TExamineQuestion>(TExamineQuestion{
        record.QuestionId, record.Question,
        std::vector<std::int32_t>(record.Given.begin(), record.Given.end()), record.Right,
        std::vector<std::int32_t>(record.Order.begin(), record.Order.end())});
}

}  // namespace

TExamineQuestions& TExamineQuestions::operator=(const TExamineQuestions& source) {
    if (&source == this) {
        return *this;
    }
    TExamineQuestions copy;
    if (source.edited_.empty()) {
        copy.entries_ = source.entries_;
        copy.values_ = source.values_;
        copy.wide_ = source.wide_;
    } else {
        std::size_t indexes = 0;
        for (const auto& record : source.edited_) {
            indexes += record->Given.size() + record->Order.size();
        }
        copy.Reserve(source.Count(), indexes);
        for (const auto& record : source.edited_) {
            copy.AppendRecord(record->QuestionId, record->Given, record->Right, record->Order);
            copy.entries_.back().question = record->Question;
        }
        copy.FinishAppending();
    }
    *this = std::move(copy);
    return *this;
}

std::uint32_t TExamineQuestions::EndOf(std::size_t index) const {
    return index + 1 < entries_.size() ? entries_[index + 1].first
                                       : static_cast<std::uint32_t>(IndexCount());
}

ExamineRecord TExamineQuestions::At(int index) const {
    const auto i = static_cast<std::size_t>(index);
    if (!edited_.empty()) {
        const TExamineQuestion& record = *edited_.at(i);
        return {record.QuestionId, record.Question, std::span<const std::int32_t>(record.Given),
                record.Right, std::span<const std::int32_t>(record.Order)};
    }
    const Entry& entry = entries_.at(i);
    const std::size_t width = wide_ ? 4 : 1;
    const std::uint8_t* given = values_.data() + entry.first * width;
    const std::uint32_t order = entry.first + entry.givenCount;
    return {entry.questionId, entry.question, AnswerIndexes(given, entry.givenCount, wide_),
            entry.right != 0,
            AnswerIndexes(values_.data() + order * width, EndOf(i) - order, wide_)};
}

void TExamineQuestions::SetRight(int index, bool right) {
    const auto i = static_cast<std::size_t>(index);
    if (edited_.empty()) {
        entries_.at(i).right = right ? 1 : 0;
    } else {
        edited_.at(i)->Right = right;
    }
}

void TExamineQuestions::Unpack() const {
    if (entries_.empty()) {
        return;
    }
    std::vector<std::unique_ptr<TExamineQuestion>> records;
    records.reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        records.push_back(separateRecord(At(static_cast<int>(i))));
    }
    edited_ = std::move(records);
    entries_ = {};
    values_ = {};
    wide_ = false;
}

int TExamineQuestions::AddEmpty() {
    Unpack();
    edited_.push_back(std::make_unique<TExamineQuestion>());
    return Count() - 1;
}

int TExamineQuestions::AddCopy(const TExamineQuestion& record) {
    Unpack();
    edited_.push_back(std::make_unique<TExamineQuestion>(record));
    return Count() - 1;
}

void TExamineQuestions::Delete(int index) {
    if (index >= 0 && index < Count()) {
        Unpack();
        edited_.erase(edited_.begin() + index);
    }
}

void TExamineQuestions::Clear() {
    entries_ = {};
    values_ = {};
    wide_ = false;
    edited_.clear();
}

int TExamineQuestions::IndexOfQuestion(const TQuestion& question) const {
    for (int i = 0; i < Count(); ++i) {
        if (At(i).QuestionId == question.Id()) {
            return i;
        }
    }
    return -1;
}

ExamineQuestionView TExamineQuestions::View() const {
    Unpack();
    ExamineQuestionView view;
    view.reserve(edited_.size());
    for (const auto& record : edited_) {
        view.push_back(record.get());
    }
    return view;
}

void TExamineQuestions::Reserve(int records, std::size_t answerIndexes) {
    entries_.reserve(static_cast<std::size_t>(records));
    values_.reserve(answerIndexes);
}

void TExamineQuestions::AppendRecord(const Guid& questionId, std::span<const std::int32_t> given,
                                     bool right, std::span<const std::int32_t> order) {
    // Entries address the indexes with 32 bits; a study never comes near that.
    if (IndexCount() + given.size() + order.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw ReadError(kDamagedDataMessage);
    }
    if (!edited_.empty()) {
        edited_.push_back(separateRecord({questionId, nullptr, given, right, order}));
        return;
    }
    Entry& entry = entries_.emplace_back();
    entry.questionId = questionId;
    entry.first = static_cast<std::uint32_t>(IndexCount());
    entry.givenCount = static_cast<std::uint32_t>(given.size());
    entry.right = right ? 1 : 0;
    for (const std::span<const std::int32_t> values : {given, order}) {
        for (const std::int32_t value : values) {
            if (!wide_ && value != static_cast<std::int8_t>(value)) {
                Widen();
            }
            if (wide_) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
                values_.insert(values_.end(), bytes, bytes + sizeof value);
            } else {
                values_.push_back(static_cast<std::uint8_t>(value));
            }
        }
    }
}

void TExamineQuestions::Widen() {
    std::vector<std::uint8_t> wide(values_.size() * 4);
    for (std::size_t i = 0; i < values_.size(); ++i) {
        const std::int32_t value = static_cast<std::int8_t>(values_[i]);
        std::memcpy(wide.data() + i * 4, &value, sizeof value);
    }
    values_ = std::move(wide);
    wide_ = true;
}

void TExamineQuestions::FinishAppending() {
    if (entries_.capacity() > entries_.size()) {
        entries_.shrink_to_fit();
    }
    if (values_.capacity() > values_.size()) {
        values_.shrink_to_fit();
    }
}

}  // namespace kvalor
