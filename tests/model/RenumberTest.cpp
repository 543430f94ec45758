#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "model/CollectionHelpers.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/Questions.h"
#include "model/TypeIds.h"

using namespace kvalor;
using testdata::addGroup;
using testdata::addQuestion;

namespace {

// Numbering as every group renumbering itself did it: a root has each group below it renumber
// itself, a group its whole test. Repeated work, but the numbers every existing file shows.
void renumberOneGroupAtATime(TQuestions& group) {
    switch (group.GroupKind()) {
        case kGroupKindRoot:
            for (TExaminerCollection* below : CollectCollections(group, "TQuestions")) {
                if (below != &group) {
                    renumberOneGroupAtATime(static_cast<TQuestions&>(*below));
                }
            }
            break;
        case kGroupKindSimpleTest:
            group.TExaminerCollection::Renumber();
            break;
        case kGroupKindSubgroup:
            for (TExaminerCollection* up = group.Parent(); up; up = up->Parent()) {
                auto* test = dynamic_cast<TQuestions*>(up);
                if (test && test->GroupKind() == kGroupKindSimpleTest) {
                    test->TExaminerCollection::Renumber();
                    break;
                }
            }
            break;
        default:
            break;
    }
}

// Groups and questions in random order and depth below a test or group, as authors make them.
void fillRandomly(TQuestions& group, std::mt19937& random, int depth) {
    const int entries = static_cast<int>(random() % 6);
    for (int i = 0; i < entries; ++i) {
        if (depth < 4 && random() % 3 == 0) {
            fillRandomly(addGroup(group, kGroupKindSubgroup), random, depth + 1);
        } else {
            addQuestion(group);
        }
    }
}

std::map<const IExaminerItem*, std::int32_t> numbersOf(TQuestions& root) {
    std::map<const IExaminerItem*, std::int32_t> numbers;
    for (TExaminerElement* element : CollectItems(root, {}, true)) {
        numbers[element] = element->GetNumber();
    }
    for (TExaminerCollection* collection : CollectCollections(root, {})) {
        numbers[collection] = collection->GetNumber();
    }
    return numbers;
}

void scramble(TQuestions& root) {
    for (TExaminerElement* element : CollectItems(root, {}, true)) {
        element->SetNumber(-7);
    }
    for (TExaminerCollection* collection : CollectCollections(root, {})) {
        collection->SetNumber(-7);
    }
}

}  // namespace

TEST(Renumber, EveryTreeTheProgramMakesGetsTheNumbersItAlwaysGot) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        TQuestions simple(kGroupKindRoot);
        TQuestions complex(kGroupKindRoot);
        const int tests = 1 + static_cast<int>(random() % 4);
        for (int t = 0; t < tests; ++t) {
            fillRandomly(addGroup(simple, kGroupKindSimpleTest), random, 0);
            addGroup(complex, kGroupKindComplexTest);
        }
        scramble(simple);
        scramble(complex);
        renumberOneGroupAtATime(simple);
        renumberOneGroupAtATime(complex);
        const auto expected = numbersOf(simple);
        const auto expectedComplex = numbersOf(complex);

        scramble(simple);
        scramble(complex);
        simple.Renumber();
        complex.Renumber();
        EXPECT_EQ(numbersOf(simple), expected) << "round " << round;
        EXPECT_EQ(numbersOf(complex), expectedComplex) << "round " << round;

        // A group renumbers its test, as the editor asks after a change.
        std::vector<TExaminerCollection*> groups = CollectCollections(simple, "TQuestions");
        auto& group = static_cast<TQuestions&>(*groups[random() % groups.size()]);
        scramble(simple);
        renumberOneGroupAtATime(group);
        const auto expectedByGroup = numbersOf(simple);
        scramble(simple);
        group.Renumber();
        EXPECT_EQ(numbersOf(simple), expectedByGroup) << "round " << round;
    }
}

TEST(Renumber, EachItemIsNumberedOnceHoweverTheGroupsNest) {
    // Forty roots nested in each other: every root renumbering the groups below it would walk
    // the test at the bottom 2^40 times.
    TQuestions root(kGroupKindRoot);
    TQuestions* bottom = &root;
    for (int level = 0; level < 40; ++level) {
        bottom = &addGroup(*bottom, kGroupKindRoot);
    }
    TQuestions& test = addGroup(*bottom, kGroupKindSimpleTest);
    addQuestion(test);
    TQuestions& group = addGroup(test, kGroupKindSubgroup);
    addQuestion(group);
    // A simple test inside a test numbers its own questions, the test they belong to.
    TQuestions& inner = addGroup(group, kGroupKindSimpleTest);
    addQuestion(inner);
    addQuestion(test);
    scramble(root);
    root.Renumber();
    std::vector<std::int32_t> numbers;
    for (TExaminerElement* element : CollectItems(test, {}, true)) {
        numbers.push_back(element->GetNumber());
    }
    EXPECT_EQ(numbers, (std::vector<std::int32_t>{1, 2, 1, 3}));
    EXPECT_EQ(group.GetNumber(), 1);
    EXPECT_EQ(inner.GetNumber(), 1);
    EXPECT_EQ(test.GetNumber(), -7);  // tests keep the numbers their load gave them
}
