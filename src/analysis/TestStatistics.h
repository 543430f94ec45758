#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/StudyList.h"
#include "util/Guid.h"

namespace kvalor {

class TQuestions;
class TTaskList;

// Why a question deserves the teacher's attention (flags of QuestionFigures).
enum QuestionFlag : std::uint8_t {
    kFlagTooHard = 1,
    kFlagTooEasy = 2,
    kFlagWeakDiscrimination = 4,
};
// Facility below the first or above the second, discrimination below the third.
inline constexpr double kHardFacility = 0.2;
inline constexpr double kEasyFacility = 0.9;
inline constexpr double kWeakDiscrimination = 0.2;
// A correlation over fewer studies says nothing.
inline constexpr int kLeastStudiesForDiscrimination = 5;
inline constexpr int kHistogramBins = 10;

// One answer of a choice question: how many of the studies given the question marked it.
struct AnswerFigures {
    Guid id;
    // Windows-1251, as stored.
    std::string text;
    bool right = false;
    int chosen = 0;
    // Of the studies given the question, 0..1.
    double share = 0.0;
};

// One question over the studies that were given it. Texts are copied when the figures are
// made, so that they outlive a question deleted meanwhile.
struct QuestionFigures {
    Guid id;
    // The question's number in its test and its type; number 0 and no type when the question
    // is no longer in the data.
    int number = 0;
    std::optional<std::uint8_t> type;
    std::string text;
    // Studies given the question, and in how many of them it counted as right.
    int given = 0;
    int right = 0;
    // right / given; none when nobody was given it.
    std::optional<double> facility;
    // Pearson correlation of the question's 0/1 score with the rest of the study's score (its
    // right questions but this one); none with fewer than kLeastStudiesForDiscrimination
    // studies or when either score does not vary.
    std::optional<double> discrimination;
    // Choice questions still in the data: every answer in the author's order.
    std::vector<AnswerFigures> answers;
    std::uint8_t flags = 0;
};

// Why KR-20 has no value.
enum class Kr20Gap : std::uint8_t {
    None,
    NoStudies,
    DifferentQuestions,
    TooFewQuestions,
    NoVariance,
};

// The percents of the studies (population standard deviation).
struct PercentFigures {
    double mean = 0.0;
    double median = 0.0;
    double sd = 0.0;
    double min = 0.0;
    double max = 0.0;
};

// The figures of one test over a set of its studies.
struct TestFigures {
    // The test as it was when the figures were made.
    std::string testName;
    std::uint8_t gradingMethod = 0;
    double passPercent = 0.0;
    std::vector<double> levelThresholds;

    int studies = 0;
    // None without studies.
    std::optional<PercentFigures> percent;
    // Studies per ten points of percent; 100 % goes into the last bin.
    std::array<int, kHistogramBins> histogram{};
    int passed = 0;
    // Graded tests: the studies of each grade, grade 1 first; empty for pass/fail tests.
    std::vector<int> gradeCounts;
    std::optional<double> kr20;
    Kr20Gap kr20Gap = Kr20Gap::NoStudies;
    // The test's own questions in its order (those nobody was given included), then any
    // other question the studies were given, in the order first met.
    std::vector<QuestionFigures> questions;
};

// The figures of the test over the studies, all taken as runs of it, from what the journal
// shows of them: each study's stored percent, grade and pass, and each record's verdict
// (Right) as the scoring left it. A question put twice in one study counts once, by its first
// record. The tasks give the questions of a complex test.
TestFigures ComputeTestFigures(const TQuestions& test, const TTaskList& tasks,
                               const StudyView& studies);

}  // namespace kvalor
