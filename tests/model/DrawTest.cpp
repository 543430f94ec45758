#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/QuestionDraw.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Error.h"
#include "util/Random.h"

using namespace kvalor;
using testdata::addGroup;

namespace {

std::vector<TQuestion*> addQuestions(TQuestions& group, int count, int answers = 3) {
    std::vector<TQuestion*> added;
    for (int i = 0; i < count; ++i) {
        auto question = std::make_unique<TQuestion>();
        for (int j = 0; j < answers; ++j) {
            question->Answers().AddItem(question->Answers().NewAnswer());
        }
        added.push_back(question.get());
        group.AddItem(std::move(question));
    }
    return added;
}

std::vector<TQuestion*> questionsOf(const TExamineQuestions& records) {
    std::vector<TQuestion*> result;
    for (int i = 0; i < records.Count(); ++i) {
        result.push_back(records.Items(i).Question);
    }
    return result;
}

std::vector<int> quotasOf(const std::vector<TQuota>& quotas) {
    std::vector<int> result;
    for (const auto& quota : quotas) {
        result.push_back(quota.Quota);
    }
    return result;
}

bool isIdentity(const std::vector<std::int32_t>& order) {
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] != static_cast<std::int32_t>(i)) {
            return false;
        }
    }
    return true;
}

// Every record fresh, each question once, Order a permutation that matches the prepared
// presentation list.
void expectDrawInvariants(const TExamineQuestions& records) {
    std::set<const TQuestion*> seen;
    for (int i = 0; i < records.Count(); ++i) {
        const auto& record = records.Items(i);
        ASSERT_NE(record.Question, nullptr);
        EXPECT_TRUE(seen.insert(record.Question).second) << "question twice at " << i;
        EXPECT_EQ(record.QuestionId, record.Question->Id());
        EXPECT_TRUE(record.Given.empty());
        EXPECT_FALSE(record.Right);
        const TAnswers& answers = record.Question->Answers();
        ASSERT_EQ(record.Order.size(), static_cast<std::size_t>(answers.Count()));
        auto sorted = record.Order;
        std::ranges::sort(sorted);
        EXPECT_TRUE(isIdentity(sorted));
        for (int k = 0; k < answers.Count(); ++k) {
            EXPECT_EQ(answers.Presentation()->Items(k), answers.AnswerAt(record.Order[k]));
        }
    }
}

class Draw : public ::testing::Test {
protected:
    void SetUp() override { setRandomGenerator(&generator_); }
    void TearDown() override { setRandomGenerator(nullptr); }

    TExamineQuestions draw(TQuestions& test, int maximum = -1) {
        auto records = DrawExamineQuestions(test, tasks, maximum);
        expectDrawInvariants(records);
        return records;
    }

    TTaskList tasks;

private:
    std::mt19937 generator_{12345};
};

// A simple test without direct questions and the groups A (5), B (1), C (6) below it.
struct ThreeGroups {
    TQuestions test{kGroupKindSimpleTest};
    std::vector<TQuestion*> a, b, c;
    ThreeGroups() {
        a = addQuestions(addGroup(test), 5);
        b = addQuestions(addGroup(test), 1);
        c = addQuestions(addGroup(test), 6);
        test.SetMixQuestions(false);
    }
};

}  // namespace

TEST_F(Draw, QuotasSpreadOverTheTestAndItsGroups) {
    ThreeGroups groups;
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, 9)), (std::vector<int>{0, 4, 1, 4}));
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, 2)), (std::vector<int>{0, 1, 1, 0}));
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, 20)), (std::vector<int>{0, 5, 1, 6}));
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, 0)), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, -2)), (std::vector<int>{0, 0, 0, 0}));
    const auto quotas = SplitQuota(groups.test, 9);
    EXPECT_EQ(quotas[0].Collection, &groups.test);
    EXPECT_EQ(quotas[3].Collection, groups.test.CollectionAt(2));

    // Questions already drawn are not available.
    DrawnQuestions drawn(groups.a.begin(), groups.a.begin() + 4);
    EXPECT_EQ(quotasOf(SplitQuota(groups.test, 9, drawn)), (std::vector<int>{0, 1, 1, 6}));
}

TEST_F(Draw, SimpleTestTakesItsQuotasGroupByGroupInAuthorOrder) {
    ThreeGroups groups;
    const auto nine = questionsOf(draw(groups.test, 9));
    ASSERT_EQ(nine.size(), 9u);
    const auto inOrder = [](const std::vector<TQuestion*>& part,
                            const std::vector<TQuestion*>& of) {
        std::vector<std::ptrdiff_t> places;
        for (auto* question : part) {
            const auto found = std::ranges::find(of, question);
            if (found == of.end()) {
                return false;
            }
            places.push_back(found - of.begin());
        }
        return std::ranges::is_sorted(places) &&
               std::adjacent_find(places.begin(), places.end()) == places.end();
    };
    EXPECT_TRUE(inOrder({nine.begin(), nine.begin() + 4}, groups.a));
    EXPECT_EQ(nine[4], groups.b[0]);
    EXPECT_TRUE(inOrder({nine.begin() + 5, nine.end()}, groups.c));

    const auto two = questionsOf(draw(groups.test, 2));
    ASSERT_EQ(two.size(), 2u);
    EXPECT_TRUE(inOrder({two[0]}, groups.a));
    EXPECT_EQ(two[1], groups.b[0]);

    std::vector<TQuestion*> all = groups.a;
    all.insert(all.end(), groups.b.begin(), groups.b.end());
    all.insert(all.end(), groups.c.begin(), groups.c.end());
    EXPECT_EQ(questionsOf(draw(groups.test, 20)), all);
    EXPECT_EQ(questionsOf(draw(groups.test, -1)), all);
    EXPECT_EQ(draw(groups.test, 0).Count(), 0);
    EXPECT_EQ(draw(groups.test, -2).Count(), 0);

    TQuestions empty(kGroupKindSimpleTest);
    EXPECT_EQ(draw(empty).Count(), 0);
}

TEST_F(Draw, MixQuestionsGivesEachQuestionOnceInRandomOrder) {
    TQuestions test(kGroupKindSimpleTest);
    const auto questions = addQuestions(test, 12);
    test.SetMixQuestions(false);
    EXPECT_EQ(questionsOf(draw(test)), questions);

    test.SetMixQuestions(true);
    const auto mixed = questionsOf(draw(test));
    EXPECT_NE(mixed, questions);
    auto sorted = mixed;
    auto expected = questions;
    std::ranges::sort(sorted);
    std::ranges::sort(expected);
    EXPECT_EQ(sorted, expected);
    EXPECT_EQ(draw(test, 5).Count(), 5);
}

TEST_F(Draw, AnswerOrderFollowsMixAnswersAndAllowMix) {
    TQuestions test(kGroupKindSimpleTest);
    const auto questions = addQuestions(test, 2, 8);
    test.SetMixQuestions(false);
    questions[0]->Answers().SetAllowMix(false);
    questions[1]->Answers().AnswerAt(2)->SetChecked(true);

    auto records = draw(test);
    EXPECT_EQ(records.Items(0).Order, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_FALSE(isIdentity(records.Items(1).Order));
    EXPECT_EQ(questions[1]->Answers().CountChecked(), 0);  // marks cleared for the run

    test.SetMixAnswers(false);
    records = draw(test);
    EXPECT_TRUE(isIdentity(records.Items(1).Order));
}

TEST_F(Draw, ComplexTestTakesItsTasksInOrder) {
    TQuestions s1(kGroupKindSimpleTest), s2(kGroupKindSimpleTest);
    const auto q1 = addQuestions(s1, 4);
    const auto q2 = addQuestions(s2, 3);
    s1.SetMixQuestions(false);
    s2.SetMixQuestions(false);
    TQuestions complexTest(kGroupKindComplexTest);
    complexTest.SetMixGroups(false);
    complexTest.SetMixQuestions(false);
    tasks.Task(tasks.AddTask(complexTest, s1)).QuestionCount = 3;
    tasks.Task(tasks.AddTask(complexTest, s2)).QuestionCount = 2;
    TQuestions otherTest(kGroupKindComplexTest);
    tasks.Task(tasks.AddTask(otherTest, s1)).QuestionCount = 4;

    const auto drawn = questionsOf(draw(complexTest, 1));  // the maximum plays no part
    ASSERT_EQ(drawn.size(), 5u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(std::ranges::find(q1, drawn[i]), q1.end());
    }
    EXPECT_TRUE(std::ranges::is_sorted(drawn.begin(), drawn.begin() + 3, {}, [&](TQuestion* q) {
        return std::ranges::find(q1, q) - q1.begin();
    }));
    for (int i = 3; i < 5; ++i) {
        EXPECT_NE(std::ranges::find(q2, drawn[i]), q2.end());
    }

    // MixQuestions of a source alone mixes that task's questions.
    tasks.Task(0).QuestionCount = 4;
    s1.SetMixQuestions(true);
    bool mixedS1 = false;
    for (int round = 0; round < 10; ++round) {
        const auto again = questionsOf(draw(complexTest));
        ASSERT_EQ(again.size(), 6u);
        mixedS1 = mixedS1 || !std::equal(q1.begin(), q1.end(), again.begin());
        EXPECT_TRUE(std::ranges::is_sorted(again.begin() + 4, again.end(), {}, [&](TQuestion* q) {
            return std::ranges::find(q2, q) - q2.begin();
        }));
    }
    EXPECT_TRUE(mixedS1);

    // MixGroups mixes the order of the tasks, each task's questions staying together.
    complexTest.SetMixGroups(true);
    s1.SetMixQuestions(false);
    bool s2First = false;
    for (int round = 0; round < 10; ++round) {
        const auto again = questionsOf(draw(complexTest));
        const bool first = std::ranges::find(q2, again[0]) != q2.end();
        s2First = s2First || first;
        EXPECT_EQ(first ? std::vector<TQuestion*>(again.begin() + 2, again.end())
                        : std::vector<TQuestion*>(again.begin(), again.begin() + 4),
                  q1);
    }
    EXPECT_TRUE(s2First);
}

TEST_F(Draw, BreakGroupsPutsAllTasksInOneRandomOrder) {
    TQuestions s1(kGroupKindSimpleTest), s2(kGroupKindSimpleTest);
    const auto q1 = addQuestions(s1, 3);
    const auto q2 = addQuestions(s2, 2);
    TQuestions complexTest(kGroupKindComplexTest);
    complexTest.SetBreakGroups(true);
    complexTest.SetMixGroups(false);
    complexTest.SetMixQuestions(false);
    s1.SetMixQuestions(false);
    s2.SetMixQuestions(false);
    tasks.Task(tasks.AddTask(complexTest, s1)).QuestionCount = 3;
    tasks.Task(tasks.AddTask(complexTest, s2)).QuestionCount = 2;

    bool interleaved = false;
    for (int round = 0; round < 10; ++round) {
        auto drawn = questionsOf(draw(complexTest));
        ASSERT_EQ(drawn.size(), 5u);
        interleaved = interleaved || std::ranges::find(q2, drawn[0]) != q2.end() ||
                      std::ranges::find(q2, drawn[2]) != q2.end();
        std::ranges::sort(drawn);
        std::vector<TQuestion*> all = q1;
        all.insert(all.end(), q2.begin(), q2.end());
        std::ranges::sort(all);
        EXPECT_EQ(drawn, all);
    }
    EXPECT_TRUE(interleaved);
}

TEST_F(Draw, OverlappingSourcesNeverRepeatAQuestion) {
    // A simple test with two direct questions and a group of three inside it.
    TQuestions test(kGroupKindSimpleTest);
    const auto direct = addQuestions(test, 2);
    auto& group = addGroup(test);
    const auto inGroup = addQuestions(group, 3);
    TQuestions complexTest(kGroupKindComplexTest);
    complexTest.SetMixGroups(false);
    tasks.Task(tasks.AddTask(complexTest, group)).QuestionCount = 2;
    tasks.Task(tasks.AddTask(complexTest, test)).QuestionCount = 4;

    for (bool breakGroups : {false, true}) {
        complexTest.SetBreakGroups(breakGroups);
        // The group gives two; of the four asked, the test can give only its two direct
        // questions and the one its group has left.
        const auto drawn = questionsOf(draw(complexTest));
        ASSERT_EQ(drawn.size(), 5u);
        EXPECT_EQ(std::set<TQuestion*>(drawn.begin(), drawn.end()).size(), 5u);
    }

    // Asking more of the group after the whole test was taken gives nothing more.
    complexTest.SetBreakGroups(false);
    tasks.Clear();
    tasks.Task(tasks.AddTask(complexTest, test)).QuestionCount = 5;
    tasks.Task(tasks.AddTask(complexTest, group)).QuestionCount = 2;
    EXPECT_EQ(draw(complexTest).Count(), 5);
    tasks.Task(0).QuestionCount = 3;
    const auto drawn = questionsOf(draw(complexTest));
    ASSERT_EQ(drawn.size(), 5u);
    // Three from the test spread over it and its group, then the group's last two.
    EXPECT_NE(std::ranges::find(direct, drawn[0]), direct.end());
    EXPECT_NE(std::ranges::find(inGroup, drawn[4]), inGroup.end());
}

TEST_F(Draw, TasksWithoutSourceOrWithNegativeCountsGiveNothing) {
    TQuestions source(kGroupKindSimpleTest);
    addQuestions(source, 3);
    TQuestions complexTest(kGroupKindComplexTest);
    tasks.Task(tasks.AddTask(complexTest, source)).QuestionCount = -2;
    tasks.Task(tasks.AddTask(complexTest, source)).QuestionCount = 1;
    tasks.Task(1).Source = nullptr;
    EXPECT_EQ(draw(complexTest).Count(), 0);
    tasks.Task(0).QuestionCount = 2;
    EXPECT_EQ(draw(complexTest).Count(), 2);
}

TEST_F(Draw, StudyDrawReplacesItsRecordsOrFailsWithoutChange) {
    TQuestions test(kGroupKindSimpleTest);
    auto& group = addGroup(test);
    addQuestions(test, 3);
    TStudy study;
    study.Questions().AddEmpty();
    try {
        study.DrawQuestions(tasks, -1);
        ADD_FAILURE() << "drawn without a test";
    } catch (const KvalorError& error) {
        EXPECT_EQ(error.message(), QString::fromUtf8("Не определена группа вопросов"));
    }
    TQuestions root(kGroupKindRoot);
    for (TQuestions* wrong : {&root, &group}) {
        study.SetTest(wrong);
        try {
            study.DrawQuestions(tasks, -1);
            ADD_FAILURE() << "drawn from a root or a group";
        } catch (const KvalorError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8("Некорректная группа вопросов"));
        }
    }
    EXPECT_EQ(study.Questions().Count(), 1);
    EXPECT_EQ(study.Questions().Items(0).Question, nullptr);

    study.SetTest(&test);
    study.DrawQuestions(tasks, 2);
    EXPECT_EQ(study.Questions().Count(), 2);
    expectDrawInvariants(study.Questions());
}
