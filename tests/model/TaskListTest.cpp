#include <gtest/gtest.h>

#include <memory>

#include "QuestionBuilders.h"
#include "RecordBytes.h"
#include "model/AccountMessages.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const Guid kComplexA = Guid::fromLiteral("{0000000A-0000-4000-8000-000000000001}");
const Guid kComplexB = Guid::fromLiteral("{0000000B-0000-4000-8000-000000000002}");
const Guid kSourceA = Guid::fromLiteral("{00000001-0000-4000-8000-0000000000AA}");
const Guid kSourceB = Guid::fromLiteral("{00000002-0000-4000-8000-0000000000BB}");

}  // namespace

TEST(TaskList, OperationsFollowTheReferences) {
    TQuestions complexTest(kGroupKindComplexTest);
    TQuestions other(kGroupKindComplexTest);
    TQuestions simpleTest(kGroupKindSimpleTest);
    auto* group = new TQuestions(kGroupKindSubgroup);
    simpleTest.AddCollection(std::unique_ptr<TQuestions>(group));
    for (int i = 0; i < 10; ++i) {
        testdata::addQuestion(*group, kSingleAnswer, "?", {"1", "2"}, {0});
    }
    TQuestions unused(kGroupKindSimpleTest);

    TTaskList tasks;
    EXPECT_EQ(tasks.AddTask(complexTest, simpleTest), 0);
    EXPECT_EQ(tasks.AddTask(complexTest, *group), 1);
    EXPECT_EQ(tasks.AddTask(complexTest, simpleTest), 2);  // duplicates are the caller's choice
    EXPECT_EQ(tasks.AddTask(other, *group), 3);
    ASSERT_EQ(tasks.Count(), 4);
    EXPECT_EQ(tasks.Task(1).ComplexTestId, complexTest.Id());
    EXPECT_EQ(tasks.Task(1).SourceId, group->Id());
    EXPECT_EQ(tasks.Task(1).QuestionCount, 0);

    tasks.Task(0).QuestionCount = 3;
    tasks.Task(1).QuestionCount = 2;
    tasks.Task(2).QuestionCount = 4;
    tasks.Task(3).QuestionCount = 7;
    const auto ofTest = tasks.TasksOf(complexTest);
    ASSERT_EQ(ofTest.size(), 3u);
    EXPECT_EQ(ofTest[0], &tasks.Task(0));
    EXPECT_EQ(ofTest[2], &tasks.Task(2));
    EXPECT_EQ(tasks.ComplexTestQuestionCount(complexTest), 9);
    EXPECT_EQ(QuestionCount(complexTest, tasks), 9);
    EXPECT_EQ(QuestionCount(other, tasks), 7);
    const auto fromGroup = tasks.TasksFrom(*group);
    ASSERT_EQ(fromGroup.size(), 2u);
    EXPECT_EQ(fromGroup[1], &tasks.Task(3));

    EXPECT_EQ(tasks.FindTask(complexTest, simpleTest), &tasks.Task(0));
    EXPECT_TRUE(tasks.HasTask(other, *group));
    EXPECT_FALSE(tasks.HasTask(other, simpleTest));

    EXPECT_TRUE(tasks.IsSourceUsed(nullptr, group));
    EXPECT_FALSE(tasks.IsSourceUsed(nullptr, &unused));
    EXPECT_TRUE(tasks.IsSourceUsed(&other, nullptr));
    EXPECT_FALSE(tasks.IsSourceUsed(nullptr, nullptr));

    // Only the first of the two equal tasks goes; the second keeps its count.
    EXPECT_EQ(tasks.RemoveTask(complexTest, simpleTest), 0);
    ASSERT_EQ(tasks.Count(), 3);
    EXPECT_EQ(tasks.Task(1).QuestionCount, 4);
    EXPECT_TRUE(tasks.HasTask(complexTest, simpleTest));
    EXPECT_EQ(tasks.RemoveTask(complexTest, simpleTest), 1);
    EXPECT_EQ(tasks.RemoveTask(complexTest, simpleTest), -1);
    EXPECT_EQ(tasks.ComplexTestQuestionCount(complexTest), 2);
}

TEST(TaskList, UnlinkedTasksMatchNoNullArgument) {
    TTaskList tasks;
    ByteStream in(RecordBytes().i32(1).id(kComplexA).id(kSourceA).i32(5).data());
    tasks.LoadFromStream(in);
    ASSERT_EQ(tasks.Count(), 1);
    EXPECT_EQ(tasks.Task(0).ComplexTest, nullptr);
    EXPECT_FALSE(tasks.IsSourceUsed(nullptr, nullptr));
    TQuestions complexTest(kGroupKindComplexTest);
    EXPECT_TRUE(tasks.TasksOf(complexTest).empty());
    EXPECT_EQ(tasks.ComplexTestQuestionCount(complexTest), 0);
}

TEST(TaskList, StreamHoldsCountAndThirtySixBytesPerTask) {
    RecordBytes record;
    record.i32(2);
    record.id(kComplexA).id(kSourceA).i32(3);
    record.id(kComplexB).id(kSourceB).i32(0);
    const std::string bytes = record.data();
    ASSERT_EQ(bytes.size(), 4u + 2 * 36u);
    TTaskList tasks;
    TQuestions complexTest(kGroupKindComplexTest);
    TQuestions source(kGroupKindSimpleTest);
    tasks.AddTask(complexTest, source);
    ByteStream in(bytes);
    tasks.LoadFromStream(in);  // appends
    EXPECT_TRUE(in.atEnd());
    ASSERT_EQ(tasks.Count(), 3);
    EXPECT_EQ(tasks.Task(0).Source, &source);
    EXPECT_EQ(tasks.Task(1).ComplexTestId, kComplexA);
    EXPECT_EQ(tasks.Task(1).SourceId, kSourceA);
    EXPECT_EQ(tasks.Task(1).QuestionCount, 3);
    EXPECT_EQ(tasks.Task(2).ComplexTestId, kComplexB);
    EXPECT_EQ(tasks.Task(2).QuestionCount, 0);
    EXPECT_EQ(tasks.Task(2).ComplexTest, nullptr);
    EXPECT_EQ(tasks.Task(2).Source, nullptr);

    TTaskList loaded;
    ByteStream again(bytes);
    loaded.LoadFromStream(again);
    ByteStream out;
    loaded.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);

    // A count the rest cannot hold fails before anything is added.
    TTaskList damaged;
    ByteStream huge(RecordBytes().i32(2147483647).id(kComplexA).id(kSourceA).i32(1).data());
    EXPECT_THROW(damaged.LoadFromStream(huge), ReadError);
    ByteStream cut(bytes.substr(0, bytes.size() - 1));
    EXPECT_THROW(damaged.LoadFromStream(cut), ReadError);
    EXPECT_EQ(damaged.Count(), 0);
}

TEST(TaskList, GroupingIsASortedIndexAndKeepsTheStoredOrder) {
    // Text order is not the order of the stored bytes: the first word is stored little-endian.
    const Guid low = Guid::fromLiteral("{01000000-0000-0000-0000-000000000000}");
    const Guid high = Guid::fromLiteral("{00000002-0000-0000-0000-000000000000}");
    ASSERT_LT(low.bytes()[0], high.bytes()[0]);
    ASSERT_LT(high.toString(), low.toString());
    EXPECT_TRUE(IdTextLess(high, low));
    EXPECT_FALSE(IdTextLess(low, high));
    EXPECT_FALSE(IdTextLess(low, low));
    for (int i = 0; i < 200; ++i) {
        const Guid a = Guid::create();
        const Guid b = Guid::create();
        EXPECT_EQ(IdTextLess(a, b), a.toString() < b.toString());
    }

    TTaskList tasks;
    EXPECT_TRUE(tasks.GroupBySource().starts.empty());
    RecordBytes record;
    record.i32(4);
    record.id(kComplexB).id(low).i32(1);
    record.id(kComplexA).id(high).i32(2);
    record.id(kComplexB).id(high).i32(3);
    record.id(kComplexA).id(low).i32(4);
    const std::string bytes = record.data();
    ByteStream in(bytes);
    tasks.LoadFromStream(in);

    const auto bySource = tasks.GroupBySource();
    ASSERT_EQ(bySource.tasks.size(), 4u);
    EXPECT_EQ(bySource.starts, (std::vector<int>{0, 2}));
    // Stable: within a run the stored order.
    EXPECT_EQ(bySource.tasks[0]->QuestionCount, 2);
    EXPECT_EQ(bySource.tasks[1]->QuestionCount, 3);
    EXPECT_EQ(bySource.tasks[2]->QuestionCount, 1);
    EXPECT_EQ(bySource.tasks[3]->QuestionCount, 4);

    const auto byTest = tasks.GroupByComplexTest();
    EXPECT_EQ(byTest.starts, (std::vector<int>{0, 2}));
    EXPECT_EQ(byTest.tasks[0]->ComplexTestId, kComplexA);
    EXPECT_EQ(byTest.tasks[0]->QuestionCount, 2);
    EXPECT_EQ(byTest.tasks[1]->QuestionCount, 4);

    ByteStream out;
    tasks.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);

    TTaskList one;
    ByteStream single(RecordBytes().i32(1).id(kComplexA).id(low).i32(1).data());
    one.LoadFromStream(single);
    EXPECT_EQ(one.GroupByComplexTest().starts, std::vector<int>{0});
}

TEST(TaskList, CountsAreWhatTheDrawTakesAndATaskNeedsItsTest) {
    TQuestions complexTests(kGroupKindRoot);
    auto& kept = static_cast<TQuestions&>(*complexTests.CollectionAt(
        complexTests.AddCollection(std::make_unique<TQuestions>(kGroupKindComplexTest))));
    TQuestions gone(kGroupKindComplexTest);
    TQuestions source(kGroupKindSimpleTest);
    for (int i = 0; i < 8; ++i) {
        testdata::addQuestion(source, kSingleAnswer, "?", {"1", "2"}, {0});
    }
    TQuestions other(kGroupKindSimpleTest);
    testdata::addQuestion(other, kSingleAnswer, "?", {"1", "2"}, {0});
    // A damaged file's count below 0 is read as 0: no draw takes fewer than none.
    TTaskList tasks;
    ByteStream in(RecordBytes().i32(1).id(kept.Id()).id(source.Id()).i32(-5).data());
    tasks.LoadFromStream(in);
    EXPECT_EQ(tasks.Task(0).QuestionCount, 0);
    tasks.Task(0).ComplexTest = &kept;
    tasks.Task(0).Source = &source;
    // A count above the source takes all of it, however large.
    tasks.Task(tasks.AddTask(kept, other)).QuestionCount = 2147483647;
    tasks.Task(tasks.AddTask(kept, source)).QuestionCount = 3;
    EXPECT_EQ(tasks.ComplexTestQuestionCount(kept), 4);

    // The task of a test that is not among the complex tests is never written.
    tasks.AddTask(gone, source);
    ByteStream out;
    tasks.SaveToStream(out, &complexTests);
    EXPECT_EQ(out.data().substr(0, 4), RecordBytes().i32(3).data());
    // Read back unlinked, it is dropped with a note.
    QStringList notes;
    setAccountMessageHandler([&notes](const QString& note) { notes << note; });
    tasks.Task(3).ComplexTest = nullptr;
    tasks.DropTasksWithoutComplexTest();
    setAccountMessageHandler({});
    EXPECT_EQ(tasks.Count(), 3);
    EXPECT_EQ(notes, QStringList{"В файле данных заданий комплексных тестов, чьих тестов в нём "
                                 "нет: 1. Эти задания отброшены."});
}

TEST(TaskList, DamagedCountsDoNotOverflowTheQuestionCount) {
    TQuestions complexTest(kGroupKindComplexTest);
    TQuestions source(kGroupKindSimpleTest);
    TTaskList tasks;
    tasks.Task(tasks.AddTask(complexTest, source)).QuestionCount = 2147483647;
    tasks.Task(tasks.AddTask(complexTest, source)).QuestionCount = 2147483647;
    // An empty source gives nothing to draw.
    EXPECT_EQ(tasks.ComplexTestQuestionCount(complexTest), 0);
}
