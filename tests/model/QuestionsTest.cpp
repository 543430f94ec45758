#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "RecordBytes.h"
#include "model/CollectionHelpers.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;
using testdata::addGroup;
using testdata::addQuestion;

namespace {

const Guid kTestId = Guid::fromLiteral("{48BB66FE-0000-4000-8000-000000000001}");
const Guid kGroupId = Guid::fromLiteral("{48BB66FE-0000-4000-8000-000000000002}");
const Guid kQuestionId = Guid::fromLiteral("{736AC03F-0000-4000-8000-000000000003}");
const Guid kListId = Guid::fromLiteral("{FA5C179B-0000-4000-8000-000000000004}");

// A simple test holding an empty group (null id) and a question without answers, with
// three grade levels; the mixing flags from version 2 on.
std::string testRecord(int version) {
    RecordBytes bytes;
    bytes.collection(QuestionsTypeId(), kTestId, 0, kQuestionsKind, 2, "Test", 2);
    bytes.u8(0x84).collection(QuestionsTypeId(), Guid(), 0, kQuestionsKind, 1, "Group", 0);
    bytes.u8(5).i32(0).f64(0.0).u8(0).f64(0).f64(0).f64(0).f64(0).f64(0).u8(kGroupKindSubgroup);
    if (version >= 2) {
        bytes.u8(0).u8(0).u8(0).u8(1);
    }
    bytes.u8(kQuestionKind).element(QuestionTypeId(), kQuestionId, 1, kQuestionKind, 1, "Q");
    bytes.u8(kMultipleAnswers).collection(AnswersTypeId(), kListId, 0, kAnswersKind, 0, "", 0);
    if (version >= 1) {
        bytes.u8(1);
    }
    bytes.u8(3).i32(95).f64(62.5).u8(1).f64(50.0).f64(70.0).f64(90.0).u8(kGroupKindSimpleTest);
    if (version >= 2) {
        bytes.u8(0).u8(1).u8(0).u8(1);
    }
    return bytes.data();
}

struct FixedTaskCounts : ITaskCounts {
    int ComplexTestQuestionCount(const TQuestions&) const override { return 17; }
};

}  // namespace

TEST(QuestionsRecord, EveryVersionReadsTheSettings) {
    for (int version : {1, 2, 3}) {
        SCOPED_TRACE(version);
        TQuestions test(kGroupKindSimpleTest, Guid());
        ByteStream in(testRecord(version));
        test.LoadFromStream(in, ReadContext{version});
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(test.Id(), kTestId);
        EXPECT_EQ(test.GetName(), "Test");
        EXPECT_EQ(test.LevelCount(), 3);
        EXPECT_EQ(test.Duration(), 95);
        EXPECT_EQ(test.PassPercent(), 62.5);
        EXPECT_EQ(test.GradingMethod(), 1);
        EXPECT_EQ(test.LevelThresholds(), (std::vector<double>{50.0, 70.0, 90.0}));
        EXPECT_EQ(test.GroupKind(), kGroupKindSimpleTest);
        const bool flags = version >= 2;
        EXPECT_EQ(test.MixQuestions(), !flags);
        EXPECT_TRUE(test.MixGroups());
        EXPECT_EQ(test.MixAnswers(), !flags);
        EXPECT_EQ(test.BreakGroups(), flags);

        ASSERT_EQ(test.Count(), 2);
        auto* group = dynamic_cast<TQuestions*>(test.Items(0));
        ASSERT_NE(group, nullptr);
        EXPECT_FALSE(group->Id().isNull());  // a group read with the null id gets a new one
        EXPECT_EQ(group->GroupKind(), kGroupKindSubgroup);
        EXPECT_EQ(group->LevelCount(), 5);
        EXPECT_EQ(group->MixQuestions(), !flags);
        EXPECT_EQ(group->Parent(), &test);
        auto* question = dynamic_cast<TQuestion*>(test.Items(1));
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->QuestionType(), kMultipleAnswers);
    }

    // Version 3 is the written format, byte for byte once the group's new id is in place.
    TQuestions test(kGroupKindSimpleTest, Guid());
    ByteStream in(testRecord(3));
    test.LoadFromStream(in, ReadContext{});
    ByteStream out;
    test.SaveToStream(out);
    auto expected = testRecord(3);
    const auto& groupId = test.CollectionAt(0)->Id().bytes();
    expected.replace(46 + 4 + 1 + 16, 16, reinterpret_cast<const char*>(groupId.data()), 16);
    EXPECT_EQ(out.data(), expected);
}

TEST(Questions, LevelCountResizesTheThresholds) {
    TQuestions test(kGroupKindSimpleTest);
    EXPECT_EQ(test.LevelCount(), 5);
    EXPECT_EQ(test.LevelThresholds(), std::vector<double>(5, 0.0));
    for (int i = 0; i < 5; ++i) {
        test.SetLevelThreshold(i, 10.0 * (i + 1));
    }
    test.SetLevelCount(7);
    EXPECT_EQ(test.LevelThresholds(), (std::vector<double>{10, 20, 30, 40, 50, 0, 0}));
    test.SetLevelCount(3);
    EXPECT_EQ(test.LevelThresholds(), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(test.LevelCount(), 3);
    EXPECT_THROW(test.SetLevelThreshold(3, 1.0), KvalorError);
}

TEST(Questions, AcceptedElementsDependOnTheGroupKind) {
    const auto accepts = [](std::uint8_t groupKind, std::uint8_t elementKind) {
        TQuestions group(groupKind);
        try {
            group.AddItem(std::make_unique<TExaminerElement>(elementKind));
            return true;
        } catch (const KvalorError&) {
            return false;
        }
    };
    EXPECT_FALSE(accepts(kGroupKindRoot, kQuestionKind));
    EXPECT_FALSE(accepts(kGroupKindRoot, kGroupElementKind));
    EXPECT_FALSE(accepts(kGroupKindComplexTest, kQuestionKind));
    EXPECT_TRUE(accepts(kGroupKindComplexTest, kGroupElementKind));
    EXPECT_TRUE(accepts(kGroupKindSimpleTest, kQuestionKind));
    EXPECT_TRUE(accepts(kGroupKindSubgroup, kGroupElementKind));
    EXPECT_FALSE(accepts(kGroupKindSubgroup, kAnswerKind));

    TQuestions root(kGroupKindRoot);
    EXPECT_NO_THROW(addGroup(root, kGroupKindSimpleTest));
}

TEST(Questions, CopyGivesADeepCopyWithNewIds) {
    TQuestions source(kGroupKindSimpleTest);
    source.SetName("S");
    source.SetDuration(30);
    source.SetLevelCount(2);
    source.SetLevelThreshold(1, 80.0);
    source.SetBreakGroups(true);
    addQuestion(source, "one");
    auto* group = &addGroup(source, kGroupKindSubgroup);
    group->SetPassPercent(55.0);
    addQuestion(*group, "two");

    TQuestions copy(kGroupKindSimpleTest);
    copy.Assign(source);
    copy.CopyContent(source);
    EXPECT_EQ(copy.GetName(), "S");
    EXPECT_EQ(copy.Duration(), 30);
    EXPECT_EQ(copy.LevelThresholds(), (std::vector<double>{0.0, 80.0}));
    EXPECT_TRUE(copy.BreakGroups());
    ASSERT_EQ(copy.Count(), 2);
    auto* copiedGroup = dynamic_cast<TQuestions*>(copy.Items(1));
    ASSERT_NE(copiedGroup, nullptr);
    EXPECT_EQ(copiedGroup->PassPercent(), 55.0);
    EXPECT_EQ(copiedGroup->Parent(), &copy);
    ASSERT_EQ(copiedGroup->Count(), 1);
    EXPECT_EQ(copiedGroup->Items(0)->GetName(), "two");

    TQuestions complex(kGroupKindComplexTest);
    EXPECT_THROW(complex.CopyContent(source), KvalorError);

    // A group copied into itself doubles once and stops.
    source.CopyContent(source);
    EXPECT_EQ(source.Count(), 4);
    EXPECT_EQ(CountItems(source, true), 4);
}

// However an item is copied (pasted, duplicated, dragged), the copy shares no id with its
// source at any level: groups in groups, questions, their answers lists and answers.
TEST(RenewIds, CopiesShareNoIdWithTheirSource) {
    TQuestions test(kGroupKindSimpleTest);
    const TQuestion& question = addQuestion(test, kSingleAnswer, "1", {"a", "b"}, {0});
    TQuestions& group = addGroup(test, "outer");
    addQuestion(addGroup(group, "inner"), kSequence, "2", {"a", "b"});
    const auto pasted = [](const auto& source, auto copy) -> std::unique_ptr<IExaminerItem> {
        ByteStream in;
        source.SaveToStream(in);
        in.seek(0);
        copy->LoadAsCopy(in, ReadContext{});
        return copy;
    };
    auto duplicated = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    duplicated->Assign(test);
    duplicated->CopyContent(test);
    auto dragged = std::make_unique<TQuestion>();
    dragged->Assign(question);
    const std::pair<const IExaminerItem*, std::unique_ptr<IExaminerItem>> cases[] = {
        {&question, pasted(question, std::make_unique<TQuestion>(Guid()))},
        {&test, pasted(test, std::make_unique<TQuestions>(kGroupKindSimpleTest, Guid()))},
        {&group, pasted(group, std::make_unique<TQuestions>(kGroupKindSubgroup, Guid()))},
        {&question, std::move(dragged)},
        {&test, std::move(duplicated)},
    };
    for (const auto& [source, copy] : cases) {
        SCOPED_TRACE(source->GetName());
        EXPECT_TRUE(testdata::renewedThroughout(*source, *copy));
    }
}

TEST(Questions, CountingAndPaging) {
    TQuestions test(kGroupKindSimpleTest);
    auto* q1 = &addQuestion(test);
    auto* group = &addGroup(test, kGroupKindSubgroup);
    addQuestion(*group);
    auto* q3 = &addQuestion(test);
    const FixedTaskCounts tasks;
    EXPECT_EQ(QuestionCount(test, tasks), 3);
    EXPECT_EQ(QuestionCount(TQuestions(kGroupKindComplexTest), tasks), 17);

    EXPECT_EQ(NextQuestion(test, q1), q3);  // the group is skipped
    EXPECT_EQ(NextQuestion(test, nullptr), q1);
    EXPECT_EQ(NextQuestion(test, q3), nullptr);
    EXPECT_EQ(PrevQuestion(test, q3), q1);
    EXPECT_EQ(PrevQuestion(test, q1), nullptr);
    EXPECT_EQ(PrevQuestion(test, nullptr), nullptr);
    EXPECT_TRUE(IsFirstEntry(test, q1));
    EXPECT_FALSE(IsFirstEntry(test, q3));
    EXPECT_TRUE(IsLastEntry(test, q3));
    EXPECT_EQ(dynamic_cast<TQuestion*>(group->Items(0))->OwnerTest(), &test);
}
