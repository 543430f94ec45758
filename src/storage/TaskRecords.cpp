// The tasks stream of the complex tests: a count, then the complex-test id, the source id and
// the question count of each task.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "model/Questions.h"
#include "model/TaskList.h"
#include "util/ByteStream.h"

namespace kvalor {

namespace {

bool holdsTest(const TQuestions& tests, const Guid& id) {
    for (int i = 0; i < tests.Count(); ++i) {
        if (const TExaminerCollection* test = tests.CollectionAt(i); test && test->Id() == id) {
            return true;
        }
    }
    return false;
}

}  // namespace

void TTaskList::SaveToStream(ByteStream& stream, const TQuestions* complexTests) const {
    std::vector<const TTask*> written;
    for (const auto& task : tasks_) {
        // By id: a task must never outlive its test in the file, even if a pointer did.
        if (!complexTests || holdsTest(*complexTests, task->ComplexTestId)) {
            written.push_back(task.get());
        }
    }
    stream.writeI32(static_cast<std::int32_t>(written.size()));
    for (const TTask* task : written) {
        stream.writeGuid(task->ComplexTestId);
        stream.writeGuid(task->SourceId);
        stream.writeI32(task->QuestionCount);
    }
}

void TTaskList::LoadFromStream(ByteStream& stream) {
    constexpr EntryCost kTaskCost{kTaskRecordBytes, OwnedObjectBytes(sizeof(TTask))};
    const std::int32_t count = stream.readCount(kTaskCost);
    tasks_.reserve(tasks_.size() + static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        auto task = std::make_unique<TTask>();
        task->ComplexTestId = stream.readGuid();
        task->SourceId = stream.readGuid();
        task->QuestionCount = std::max(stream.readI32(), 0);
        tasks_.push_back(std::move(task));
    }
}

}  // namespace kvalor
