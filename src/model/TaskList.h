#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "model/Questions.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

// The id's bytes in the order in which their digits appear in the canonical text
// ("{XXXXXXXX-XXXX-...}"): comparing two keys compares the two texts ordinally.
std::array<std::uint8_t, 16> IdTextKey(const Guid& id);
inline bool IdTextLess(const Guid& a, const Guid& b) {
    return IdTextKey(a) < IdTextKey(b);
}

// Sorts the items stably by the canonical text of the id that idOf gives for each, and returns
// the index of the first item of each run of equal ids (none for no items). Records are grouped
// this way so that linking matches each id once.
template <class T, class IdOf>
std::vector<int> SortByIdText(std::vector<T>& items, IdOf idOf) {
    // The keys are computed once and carry the original index, which keeps equal ids in order.
    std::vector<std::pair<std::array<std::uint8_t, 16>, std::size_t>> keys;
    keys.reserve(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) {
        keys.emplace_back(IdTextKey(idOf(items[i])), i);
    }
    std::ranges::sort(keys);
    std::vector<T> sorted;
    sorted.reserve(items.size());
    std::vector<int> starts;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || keys[i].first != keys[i - 1].first) {
            starts.push_back(static_cast<int>(i));
        }
        sorted.push_back(std::move(items[keys[i].second]));
    }
    items = std::move(sorted);
    return starts;
}

// One part of a complex test: how many questions to take from one simple test or group. The
// references are set when the task is created or linked after a load; an unlinked task stays
// in the list and is written back unchanged.
struct TTask {
    Guid ComplexTestId;
    Guid SourceId;
    TQuestions* ComplexTest = nullptr;
    TQuestions* Source = nullptr;
    std::int32_t QuestionCount = 0;
};

// A sorted, non-owning index over the tasks and the index of the first task of each run of
// equal ids. The list itself keeps its order.
struct TaskGroups {
    std::vector<TTask*> tasks;
    std::vector<int> starts;
};

// The tasks of all complex tests, in stored order. The order is never changed by grouping, so
// that a draw without mixing gives the same questions in the same order after a save and a load.
class TTaskList : public ITaskCounts {
public:
    // Complex-test id, source id, question count.
    static constexpr std::size_t kTaskRecordBytes = 16 + 16 + 4;

    TTaskList() = default;
    TTaskList(const TTaskList&) = delete;
    TTaskList& operator=(const TTaskList&) = delete;

    // Appends a task with question count 0; duplicates are not checked (ask HasTask first).
    int AddTask(TQuestions& complexTest, TQuestions& source);
    int Count() const { return static_cast<int>(tasks_.size()); }
    // The index must be below Count.
    TTask& Task(int index) const { return *tasks_.at(static_cast<std::size_t>(index)); }

    // Tasks whose complex-test (or source) reference is that group, in list order.
    std::vector<TTask*> TasksOf(const TQuestions& complexTest) const;
    std::vector<TTask*> TasksFrom(const TQuestions& source) const;
    TTask* FindTask(const TQuestions& complexTest, const TQuestions& source) const;
    bool HasTask(const TQuestions& complexTest, const TQuestions& source) const {
        return FindTask(complexTest, source) != nullptr;
    }
    // Removes the first task with both references; its former index, or -1.
    int RemoveTask(const TQuestions& complexTest, const TQuestions& source);
    // Whether some task belongs to the complex test or draws from the source; null arguments
    // match nothing (an unlinked task never counts).
    bool IsSourceUsed(const TQuestions* complexTest, const TQuestions* source) const;
    void Clear() { tasks_.clear(); }

    // The questions an examination of the test draws: for each of its tasks with a source,
    // the task's count, but no more than the source holds.
    int ComplexTestQuestionCount(const TQuestions& complexTest) const override;
    // Removes the tasks of a complex test that does not exist, as linking after a load leaves
    // them, and says how many went; they could never be drawn, shown or deleted.
    void DropTasksWithoutComplexTest();

    // Tasks sorted (stably) by the text of the complex-test id, or of the source id, with the
    // start of each run of equal ids; for the linking after a load.
    TaskGroups GroupByComplexTest() const;
    TaskGroups GroupBySource() const;

    // A 4-byte count, then 36 bytes per task (storage/TaskRecords.cpp). Given the complex tests,
    // the tasks of a complex test that is not among them are left out.
    void SaveToStream(ByteStream& stream, const TQuestions* complexTests = nullptr) const;
    // Appends the tasks read, without references. A negative count, which no draw can take,
    // is read as 0.
    void LoadFromStream(ByteStream& stream);

private:
    std::vector<std::unique_ptr<TTask>> tasks_;
};

}  // namespace kvalor
