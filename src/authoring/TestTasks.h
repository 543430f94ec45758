#pragma once

#include <vector>

#include <QString>

namespace kvalor {

class TQuestions;
class TTaskList;
struct TTask;

// The tasks that the settings of a test list, apart from the widgets: for a complex test its
// own tasks (page "Состав" shows and edits them), for a simple test the tasks that draw from
// it.
class TTestTasks {
public:
    // Lists the tasks of the test anew; none without a test.
    void Reload(const TQuestions* test, const TTaskList& tasks);
    void Clear() { tasks_.clear(); }

    int Count() const { return static_cast<int>(tasks_.size()); }
    // nullptr outside the list.
    TTask* At(int index) const;
    // -1 for a task that is not listed (and for none).
    int IndexOf(const TTask* task) const;
    // What a line of the list names: the source of a complex test's task, the complex test of
    // a simple test's task.
    QString NameAt(int index) const;
    // The name of the task's source, and how many questions it holds.
    static QString SourceName(const TTask& task);
    static int SourceTotal(const TTask& task, const TTaskList& tasks);
    // Stores the count typed for the listed task: never negative, nor more than its source
    // holds. Returns the count stored.
    static int SetCount(TTask& task, const QString& typed, const TTaskList& tasks);

private:
    bool complex_ = false;
    std::vector<TTask*> tasks_;
};

}  // namespace kvalor
