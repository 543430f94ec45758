#include "authoring/TestTasks.h"

#include <algorithm>

#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/TextUtils.h"

namespace kvalor {

void TTestTasks::Reload(const TQuestions* test, const TTaskList& tasks) {
    tasks_.clear();
    if (!test) {
        return;
    }
    complex_ = test->GroupKind() == kGroupKindComplexTest;
    tasks_ = complex_ ? tasks.TasksOf(*test) : tasks.TasksFrom(*test);
}

TTask* TTestTasks::At(int index) const {
    return index >= 0 && index < Count() ? tasks_[static_cast<std::size_t>(index)] : nullptr;
}

int TTestTasks::IndexOf(const TTask* task) const {
    const auto listed = std::ranges::find(tasks_, task);
    return task && listed != tasks_.end() ? static_cast<int>(listed - tasks_.begin()) : -1;
}

QString TTestTasks::NameAt(int index) const {
    const TTask* task = At(index);
    const TQuestions* named = !task ? nullptr : complex_ ? task->Source : task->ComplexTest;
    return named ? fromCp1251(named->GetName()) : QString();
}

QString TTestTasks::SourceName(const TTask& task) {
    return task.Source ? fromCp1251(task.Source->GetName()) : QString();
}

int TTestTasks::SourceTotal(const TTask& task, const TTaskList& tasks) {
    return task.Source ? QuestionCount(*task.Source, tasks) : 0;
}

int TTestTasks::SetCount(TTask& task, const QString& typed, const TTaskList& tasks) {
    task.QuestionCount = std::clamp(VariantToInt(typed, 0), 0, SourceTotal(task, tasks));
    return task.QuestionCount;
}

}  // namespace kvalor
