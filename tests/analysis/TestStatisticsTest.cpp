#include <gtest/gtest.h>

#include <cmath>

#include "analysis/ClassTable.h"
#include "analysis/StatisticsTexts.h"
#include "analysis/TestStatistics.h"
#include "model/TaskList.h"

using namespace kvalor;
using namespace kvalor::testdata;

namespace {

constexpr double kTolerance = 1e-12;

std::vector<double> shares(const QuestionFigures& question) {
    std::vector<double> result;
    for (const AnswerFigures& answer : question.answers) {
        result.push_back(answer.share);
    }
    return result;
}

// The hand computations are in the comments; scores are in thirds of 100 %.
TEST(TestStatistics, FiguresOfTheClassTableMatchTheHandComputation) {
    TQuestions test(kGroupKindSimpleTest);
    const ClassTable table(test);
    const TestFigures figures = ComputeTestFigures(table.test, TTaskList(), table.view());

    EXPECT_EQ(figures.studies, 6);
    ASSERT_TRUE(figures.percent);
    // Scores 3 2 2 1 1 0: mean 1.5, median (1 + 2) / 2, deviations ±1.5, ±0.5 (four times).
    EXPECT_NEAR(figures.percent->mean, 50.0, kTolerance);
    EXPECT_NEAR(figures.percent->median, 50.0, kTolerance);
    EXPECT_NEAR(figures.percent->sd, std::sqrt(5.5 / 6) * 100 / 3, kTolerance);
    EXPECT_EQ(figures.percent->min, 0.0);
    EXPECT_EQ(figures.percent->max, 100.0);
    EXPECT_EQ(figures.histogram, (std::array<int, 10>{1, 0, 0, 2, 0, 0, 2, 0, 0, 1}));
    EXPECT_EQ(figures.gradeCounts, (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(figures.passed, 3);
    // k = 3, n = 6: sum r(n - r) = 5 + 9 + 5 = 19; n sum X² - (sum X)² = 6 * 19 - 81 = 33.
    ASSERT_TRUE(figures.kr20);
    EXPECT_NEAR(*figures.kr20, 1.5 * (1 - 19.0 / 33), kTolerance);

    ASSERT_EQ(figures.questions.size(), 4u);
    const QuestionFigures& q1 = figures.questions[0];
    const QuestionFigures& q2 = figures.questions[1];
    const QuestionFigures& q3 = figures.questions[2];
    const QuestionFigures& q4 = figures.questions[3];
    EXPECT_EQ(q1.id, table.q1->Id());
    EXPECT_EQ(q4.number, 4);
    EXPECT_EQ(q1.given, 6);
    EXPECT_NEAR(*q1.facility, 5.0 / 6, kTolerance);
    EXPECT_NEAR(*q2.facility, 0.5, kTolerance);
    EXPECT_NEAR(*q3.facility, 1.0 / 6, kTolerance);
    // Q1: x 111110, rest 211000: (6*4 - 5*4) / sqrt(5 * 20). Q2: x 111000, rest 211110:
    // (6*4 - 3*6) / sqrt(9 * 12). Q3: x 100000, rest 222110: (6*2 - 8) / sqrt(5 * 20).
    EXPECT_NEAR(*q1.discrimination, 0.4, kTolerance);
    EXPECT_NEAR(*q2.discrimination, 1 / std::sqrt(3.0), kTolerance);
    EXPECT_NEAR(*q3.discrimination, 0.4, kTolerance);
    // B of Q1 was chosen by one study only; Q2's C by S5 alone, its B by the three right.
    EXPECT_EQ(shares(q1), (std::vector<double>{5.0 / 6, 1.0 / 6, 0.0}));
    EXPECT_EQ(shares(q2), (std::vector<double>{5.0 / 6, 3.0 / 6, 1.0 / 6}));
    EXPECT_TRUE(q2.answers[1].right && !q2.answers[2].right);
    EXPECT_TRUE(q3.answers.empty());
    EXPECT_EQ(q1.flags | q2.flags, 0);
    EXPECT_EQ(q3.flags, kFlagTooHard);
    // Nobody was given Q4: no figures, no flags, and it does not make the sets differ.
    EXPECT_EQ(q4.given, 0);
    EXPECT_FALSE(q4.facility || q4.discrimination);
    EXPECT_EQ(q4.flags, 0);
    EXPECT_EQ(q4.answers.size(), 2u);
}

// A drawn test: every study right on E, wrong on H, W answered right by the weaker, O given
// to one study only. Scores: S1 E+X, S2 E+X, S3 E+W, S4 E+W, S5 E+W+O, S6 E.
TEST(TestStatistics, EdgeQuestionsAreFlaggedAndADrawnTestHasNoKr20) {
    TQuestions test(kGroupKindSimpleTest);
    const auto add = [&test](const char* name) {
        return &addQuestion(test, kSingleAnswer, name, {"+", "-"}, {0});
    };
    TQuestion *e = add("E"), *h = add("H"), *w = add("W"), *x = add("X"), *o = add("O");
    const std::vector<std::int32_t> right{0}, wrong{1};
    std::vector<std::unique_ptr<TStudy>> owned;
    for (const std::vector<Answer>& row : std::vector<std::vector<Answer>>{
             {{e, right}, {h, wrong}, {w, wrong}, {x, right}},
             {{e, right}, {h, wrong}, {w, wrong}, {x, right}},
             {{e, right}, {h, wrong}, {w, right}, {x, wrong}},
             {{e, right}, {h, wrong}, {w, right}, {x, wrong}},
             {{e, right}, {h, wrong}, {w, right}, {x, wrong}, {o, right}},
             {{e, right}, {h, wrong}}}) {
        owned.push_back(scoredStudy(test, row));
    }
    StudyView studies;
    for (const auto& study : owned) {
        studies.push_back(study.get());
    }
    const TestFigures figures = ComputeTestFigures(test, TTaskList(), studies);

    EXPECT_FALSE(figures.kr20);
    EXPECT_EQ(figures.kr20Gap, Kr20Gap::DifferentQuestions);
    EXPECT_TRUE(figures.gradeCounts.empty());
    const auto& q = figures.questions;
    EXPECT_EQ(*q[0].facility, 1.0);
    EXPECT_EQ(*q[1].facility, 0.0);
    EXPECT_FALSE(q[0].discrimination || q[1].discrimination || q[4].discrimination);
    // W: x 00111, rest 22112: (5*4 - 3*8) / sqrt(6 * 6).
    EXPECT_NEAR(*q[2].discrimination, -4.0 / 6, kTolerance);
    EXPECT_EQ(q[4].given, 1);
    EXPECT_EQ(q[0].flags, kFlagTooEasy);
    EXPECT_EQ(q[1].flags, kFlagTooHard);
    EXPECT_EQ(q[2].flags, kFlagWeakDiscrimination);
    EXPECT_EQ(q[4].flags, kFlagTooEasy);
    EXPECT_EQ(QuestionFlagWords(kFlagTooHard | kFlagWeakDiscrimination),
              QStringLiteral("трудный, не различает"));

    // The same questions for all, yet no KR-20: without studies, with one question, when
    // everybody scores the same.
    const TestFigures none = ComputeTestFigures(test, TTaskList(), {});
    EXPECT_EQ(none.kr20Gap, Kr20Gap::NoStudies);
    EXPECT_FALSE(none.percent);
    EXPECT_EQ(Kr20Text(none), QStringLiteral("— (нет результатов)"));
    EXPECT_EQ(ComputeTestFigures(test, TTaskList(), {studies[5]}).kr20Gap, Kr20Gap::NoVariance);
    const auto single = scoredStudy(test, {{e, right}});
    EXPECT_EQ(ComputeTestFigures(test, TTaskList(), {single.get()}).kr20Gap,
              Kr20Gap::TooFewQuestions);
}

}  // namespace
