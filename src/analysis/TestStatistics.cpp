#include "analysis/TestStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <unordered_map>
#include <utility>

#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"

namespace kvalor {

namespace {

using Wide = __int128;

// What the correlation of one question needs, summed exactly over the studies given it: x is
// the question's 0/1 score, y the rest of the study's score.
struct ItemSums {
    std::int64_t restSum = 0;
    std::int64_t restSquares = 0;
    std::int64_t restWhenRight = 0;
    // The study that last counted the question: a second record in the same study is skipped.
    std::size_t lastStudy = SIZE_MAX;
};

// Pearson's r from exact sums; none when a variable does not vary. n, sx, sxx, ... as usual.
std::optional<double> correlation(Wide n, Wide sx, Wide sxx, Wide sy, Wide syy, Wide sxy) {
    const Wide varianceX = n * sxx - sx * sx;
    const Wide varianceY = n * syy - sy * sy;
    if (varianceX <= 0 || varianceY <= 0) {
        return std::nullopt;
    }
    const Wide covariance = n * sxy - sx * sy;
    return static_cast<double>(covariance) /
           (std::sqrt(static_cast<double>(varianceX)) * std::sqrt(static_cast<double>(varianceY)));
}

bool isChoice(std::uint8_t type) {
    return type == kSingleAnswer || type == kMultipleAnswers;
}

QuestionFigures describe(const Guid& id, const TQuestion* question) {
    QuestionFigures figures;
    figures.id = id;
    if (question == nullptr) {
        return figures;
    }
    figures.number = question->GetNumber();
    figures.type = question->QuestionType();
    figures.text = question->GetName();
    if (isChoice(question->QuestionType())) {
        const TAnswers& answers = question->Answers();
        for (int i = 0; i < answers.Count(); ++i) {
            const TAnswer& answer = *answers.AnswerAt(i);
            figures.answers.push_back({answer.Id(), answer.GetName(), answer.Correct(), 0, 0.0});
        }
    }
    return figures;
}

// The questions a run of the test can be given, in the test's order: a simple test's whole
// tree, or the sources of a complex test's tasks.
std::vector<const TQuestion*> questionsOf(const TQuestions& test, const TTaskList& tasks) {
    std::vector<const TExaminerCollection*> sources;
    if (test.GroupKind() == kGroupKindComplexTest) {
        for (const TTask* task : tasks.TasksOf(test)) {
            if (task->Source) {
                sources.push_back(task->Source);
            }
        }
    } else {
        sources.push_back(&test);
    }
    std::vector<const TQuestion*> questions;
    for (const TExaminerCollection* source : sources) {
        for (const TExaminerElement* element : CollectItems(*source, "TQuestion", true)) {
            questions.push_back(dynamic_cast<const TQuestion*>(element));
        }
    }
    std::erase(questions, nullptr);
    return questions;
}

// A stored percent outside 0..100 (damaged data) counts as the nearer end; no number as 0.
double boundedPercent(double percent) {
    return std::isnan(percent) ? 0.0 : std::clamp(percent, 0.0, 100.0);
}

PercentFigures describePercents(std::vector<double> percents) {
    PercentFigures figures;
    const double n = static_cast<double>(percents.size());
    double sum = 0.0;
    for (const double p : percents) {
        sum += p;
    }
    figures.mean = sum / n;
    double squares = 0.0;
    for (const double p : percents) {
        squares += (p - figures.mean) * (p - figures.mean);
    }
    figures.sd = std::sqrt(squares / n);
    const auto [low, high] = std::ranges::minmax_element(percents);
    figures.min = *low;
    figures.max = *high;
    const std::size_t middle = percents.size() / 2;
    std::ranges::nth_element(percents, percents.begin() + static_cast<std::ptrdiff_t>(middle));
    figures.median = percents[middle];
    if (percents.size() % 2 == 0) {
        const double below = *std::max_element(
            percents.begin(), percents.begin() + static_cast<std::ptrdiff_t>(middle));
        figures.median = (below + figures.median) / 2.0;
    }
    return figures;
}

// KR-20 = k/(k-1) (1 - sum p q / variance of the scores), from exact sums over n studies.
void computeKr20(TestFigures& figures, std::int64_t scoreSum, std::int64_t scoreSquares) {
    const Wide n = figures.studies;
    figures.kr20.reset();
    if (n == 0) {
        figures.kr20Gap = Kr20Gap::NoStudies;
        return;
    }
    Wide k = 0;
    Wide itemVariances = 0;
    for (const QuestionFigures& question : figures.questions) {
        if (question.given == 0) {
            continue;
        }
        // Every question of every study given to every study: one set of questions for all.
        if (question.given != n) {
            figures.kr20Gap = Kr20Gap::DifferentQuestions;
            return;
        }
        ++k;
        itemVariances += Wide(question.right) * (n - question.right);
    }
    const Wide scoreVariance = n * scoreSquares - Wide(scoreSum) * scoreSum;
    if (k < 2) {
        figures.kr20Gap = Kr20Gap::TooFewQuestions;
    } else if (scoreVariance <= 0) {
        figures.kr20Gap = Kr20Gap::NoVariance;
    } else {
        figures.kr20Gap = Kr20Gap::None;
        figures.kr20 =
            static_cast<double>(k) / static_cast<double>(k - 1) *
            (1.0 - static_cast<double>(itemVariances) / static_cast<double>(scoreVariance));
    }
}

void setFlags(QuestionFigures& question) {
    if (question.facility && *question.facility < kHardFacility) {
        question.flags |= kFlagTooHard;
    }
    if (question.facility && *question.facility > kEasyFacility) {
        question.flags |= kFlagTooEasy;
    }
    if (question.discrimination && *question.discrimination < kWeakDiscrimination) {
        question.flags |= kFlagWeakDiscrimination;
    }
}

}  // namespace

TestFigures ComputeTestFigures(const TQuestions& test, const TTaskList& tasks,
                               const StudyView& studies) {
    TestFigures figures;
    figures.testName = test.GetName();
    figures.gradingMethod = test.GradingMethod();
    figures.passPercent = test.PassPercent();
    figures.levelThresholds = test.LevelThresholds();
    if (figures.gradingMethod == 1) {
        figures.gradeCounts.assign(test.LevelCount(), 0);
    }

    std::unordered_map<Guid, std::size_t> indexOf;
    std::vector<ItemSums> sums;
    const auto questionIndex = [&](const Guid& id, const TQuestion* question) {
        const auto [place, added] = indexOf.try_emplace(id, figures.questions.size());
        if (added) {
            figures.questions.push_back(describe(id, question));
            sums.emplace_back();
        }
        return place->second;
    };
    for (const TQuestion* question : questionsOf(test, tasks)) {
        questionIndex(question->Id(), question);
    }

    std::vector<double> percents;
    percents.reserve(studies.size());
    std::int64_t scoreSum = 0;
    std::int64_t scoreSquares = 0;
    // The distinct questions of the study being counted, with their verdicts.
    std::vector<std::pair<std::size_t, bool>> items;
    for (std::size_t s = 0; s < studies.size(); ++s) {
        const TStudy& study = *studies[s];
        const double percent = boundedPercent(study.Percent());
        percents.push_back(percent);
        ++figures.histogram[std::min(kHistogramBins - 1, static_cast<int>(percent / 10.0))];
        figures.passed += study.Passed() ? 1 : 0;
        if (!figures.gradeCounts.empty()) {
            // A grade the scale no longer has (its levels were cut since) counts as the top one.
            const int top = static_cast<int>(figures.gradeCounts.size());
            ++figures.gradeCounts[static_cast<std::size_t>(std::clamp(study.Grade(), 1, top) - 1)];
        }

        items.clear();
        int score = 0;
        const TExamineQuestions& records = study.Questions();
        for (int r = 0; r < records.Count(); ++r) {
            const ExamineRecord record = records.At(r);
            const std::size_t index = questionIndex(record.QuestionId, record.Question);
            if (sums[index].lastStudy == s) {
                continue;
            }
            sums[index].lastStudy = s;
            items.emplace_back(index, record.Right);
            score += record.Right ? 1 : 0;
            QuestionFigures& question = figures.questions[index];
            // Each answer once, whatever a damaged record repeats.
            for (std::size_t g = 0; g < record.Given.size(); ++g) {
                const std::int32_t answer = record.Given[g];
                if (answer >= 0 && static_cast<std::size_t>(answer) < question.answers.size() &&
                    std::find(record.Given.begin(), record.Given.begin() + g, answer) ==
                        record.Given.begin() + g) {
                    ++question.answers[static_cast<std::size_t>(answer)].chosen;
                }
            }
        }
        scoreSum += score;
        scoreSquares += std::int64_t(score) * score;
        for (const auto& [index, right] : items) {
            QuestionFigures& question = figures.questions[index];
            ItemSums& item = sums[index];
            const std::int64_t rest = score - (right ? 1 : 0);
            ++question.given;
            question.right += right ? 1 : 0;
            item.restSum += rest;
            item.restSquares += rest * rest;
            item.restWhenRight += right ? rest : 0;
        }
    }

    figures.studies = static_cast<int>(studies.size());
    if (!percents.empty()) {
        figures.percent = describePercents(std::move(percents));
    }
    for (std::size_t i = 0; i < figures.questions.size(); ++i) {
        QuestionFigures& question = figures.questions[i];
        const ItemSums& item = sums[i];
        if (question.given == 0) {
            continue;
        }
        const double given = question.given;
        question.facility = question.right / given;
        for (AnswerFigures& answer : question.answers) {
            answer.share = answer.chosen / given;
        }
        if (question.given >= kLeastStudiesForDiscrimination) {
            question.discrimination =
                correlation(question.given, question.right, question.right, item.restSum,
                            item.restSquares, item.restWhenRight);
        }
        setFlags(question);
    }
    computeKr20(figures, scoreSum, scoreSquares);
    return figures;
}

}  // namespace kvalor
