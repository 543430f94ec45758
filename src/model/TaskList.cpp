#include "model/TaskList.h"

#include <algorithm>
#include <array>
#include <limits>

#include <QString>

#include "model/AccountMessages.h"

namespace kvalor {

namespace {

// The bytes in the order their hexadecimal digits appear in the canonical text: the 32-bit
// and the two 16-bit words are stored little-endian but written most significant first.
constexpr std::array<std::size_t, 16> kTextOrder = {3, 2, 1,  0,  5,  4,  7,  6,
                                                    8, 9, 10, 11, 12, 13, 14, 15};

TaskGroups groupTasks(const std::vector<std::unique_ptr<TTask>>& tasks,
                      const Guid& (*idOf)(TTask*)) {
    TaskGroups groups;
    groups.tasks.reserve(tasks.size());
    for (const auto& task : tasks) {
        groups.tasks.push_back(task.get());
    }
    groups.starts = SortByIdText(groups.tasks, idOf);
    return groups;
}

}  // namespace

std::array<std::uint8_t, 16> IdTextKey(const Guid& id) {
    std::array<std::uint8_t, 16> key;
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = id.bytes()[kTextOrder[i]];
    }
    return key;
}

int TTaskList::AddTask(TQuestions& complexTest, TQuestions& source) {
    auto task = std::make_unique<TTask>();
    task->ComplexTestId = complexTest.Id();
    task->SourceId = source.Id();
    task->ComplexTest = &complexTest;
    task->Source = &source;
    tasks_.push_back(std::move(task));
    return Count() - 1;
}

std::vector<TTask*> TTaskList::TasksOf(const TQuestions& complexTest) const {
    std::vector<TTask*> result;
    for (const auto& task : tasks_) {
        if (task->ComplexTest == &complexTest) {
            result.push_back(task.get());
        }
    }
    return result;
}

std::vector<TTask*> TTaskList::TasksFrom(const TQuestions& source) const {
    std::vector<TTask*> result;
    for (const auto& task : tasks_) {
        if (task->Source == &source) {
            result.push_back(task.get());
        }
    }
    return result;
}

TTask* TTaskList::FindTask(const TQuestions& complexTest, const TQuestions& source) const {
    for (const auto& task : tasks_) {
        if (task->ComplexTest == &complexTest && task->Source == &source) {
            return task.get();
        }
    }
    return nullptr;
}

int TTaskList::RemoveTask(const TQuestions& complexTest, const TQuestions& source) {
    for (std::size_t i = 0; i < tasks_.size(); ++i) {
        if (tasks_[i]->ComplexTest == &complexTest && tasks_[i]->Source == &source) {
            tasks_.erase(tasks_.begin() + static_cast<std::ptrdiff_t>(i));
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool TTaskList::IsSourceUsed(const TQuestions* complexTest, const TQuestions* source) const {
    return std::ranges::any_of(tasks_, [&](const auto& task) {
        return (complexTest && task->ComplexTest == complexTest) ||
               (source && task->Source == source);
    });
}

int TTaskList::ComplexTestQuestionCount(const TQuestions& complexTest) const {
    // As the draw takes them: nothing of a task without a source or with a count below 1, and
    // all questions of a source smaller than the count.
    std::int64_t sum = 0;
    for (const auto* task : TasksOf(complexTest)) {
        if (task->Source) {
            sum += std::clamp(task->QuestionCount, 0, QuestionCount(*task->Source, *this));
        }
    }
    return static_cast<int>(std::min<std::int64_t>(sum, std::numeric_limits<int>::max()));
}

void TTaskList::DropTasksWithoutComplexTest() {
    const auto dropped = std::erase_if(tasks_, [](const auto& task) { return !task->ComplexTest; });
    if (dropped > 0) {
        reportAccountMessage(
            QStringLiteral("В файле данных заданий комплексных тестов, чьих тестов в нём нет: "
                           "%1. Эти задания отброшены.")
                .arg(dropped));
    }
}

TaskGroups TTaskList::GroupByComplexTest() const {
    return groupTasks(tasks_, [](TTask* task) -> const Guid& { return task->ComplexTestId; });
}

TaskGroups TTaskList::GroupBySource() const {
    return groupTasks(tasks_, [](TTask* task) -> const Guid& { return task->SourceId; });
}

}  // namespace kvalor
