#include "model/QuestionDraw.h"

#include <algorithm>
#include <numeric>

#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Error.h"
#include "util/Random.h"

namespace kvalor {

namespace {

// The questions held directly in the collection, in stored order, that are not drawn yet.
std::vector<TQuestion*> candidates(const TQuestions& collection, const DrawnQuestions& drawn) {
    std::vector<TQuestion*> result;
    for (auto* element : CollectItems(collection, "TQuestion", false)) {
        auto* question = dynamic_cast<TQuestion*>(element);
        if (question && !drawn.contains(question)) {
            result.push_back(question);
        }
    }
    return result;
}

class Draw {
public:
    explicit Draw(const TQuestions& test) : mixAnswers_(test.MixAnswers()) {}

    // The questions of one task (or of a simple test), collection by collection in pre-order,
    // each collection's in drawing order or, when asked, in author order.
    std::vector<TQuestion*> take(TQuestions& source, int count, bool authorOrder) {
        std::vector<TQuestion*> taken;
        for (const auto& quota : SplitQuota(source, count, drawn_)) {
            if (quota.Quota <= 0) {
                continue;
            }
            const auto pool = candidates(*quota.Collection, drawn_);
            auto pick = RandomSelection(static_cast<int>(pool.size()), quota.Quota);
            if (authorOrder) {
                std::ranges::sort(pick);
            }
            for (int index : pick) {
                auto* question = pool[static_cast<std::size_t>(index)];
                drawn_.insert(question);
                taken.push_back(question);
            }
        }
        return taken;
    }

    void append(TQuestion& question) {
        auto& record = records_.Items(records_.AddEmpty());
        record.Question = &question;
        record.QuestionId = question.Id();
        TAnswers& answers = question.Answers();
        answers.PreparePresentation(mixAnswers_);
        const TAnswers& shown = *answers.Presentation();
        record.Order.reserve(static_cast<std::size_t>(shown.Count()));
        for (int k = 0; k < shown.Count(); ++k) {
            record.Order.push_back(answers.IndexOf(shown.Items(k)));
        }
    }

    void append(const std::vector<TQuestion*>& questions) {
        for (auto* question : questions) {
            append(*question);
        }
    }

    TExamineQuestions takeRecords() { return std::move(records_); }

private:
    bool mixAnswers_;
    DrawnQuestions drawn_;
    TExamineQuestions records_;
};

}  // namespace

std::vector<TQuota> SplitQuota(TQuestions& collection, int count, const DrawnQuestions& drawn) {
    std::vector<TQuota> quotas;
    std::vector<int> available;
    for (auto* group : CollectCollections(collection, "TQuestions")) {
        auto* questions = dynamic_cast<TQuestions*>(group);
        if (!questions) {
            continue;
        }
        quotas.push_back({questions, 0});
        available.push_back(static_cast<int>(candidates(*questions, drawn).size()));
    }
    if (count <= 0 || quotas.empty()) {
        return quotas;
    }
    const int base = count / static_cast<int>(quotas.size());
    int sum = 0;
    for (std::size_t j = 0; j < quotas.size(); ++j) {
        quotas[j].Quota = std::min(available[j], base);
        sum += quotas[j].Quota;
    }
    bool added = true;
    while (sum < count && added) {
        added = false;
        for (std::size_t j = 0; j < quotas.size() && sum < count; ++j) {
            if (quotas[j].Quota < available[j]) {
                ++quotas[j].Quota;
                ++sum;
                added = true;
            }
        }
    }
    return quotas;
}

TExamineQuestions DrawExamineQuestions(TQuestions& test, const TTaskList& tasks, int maximum) {
    Draw draw(test);
    if (test.GroupKind() == kGroupKindSimpleTest) {
        const int all = static_cast<int>(CollectItems(test, "TQuestion", true).size());
        const int count = maximum == -1 ? all : std::min(maximum, all);
        draw.append(draw.take(test, count, !test.MixQuestions()));
    } else if (test.GroupKind() == kGroupKindComplexTest) {
        std::vector<TTask*> testTasks;
        for (auto* task : tasks.TasksOf(test)) {
            if (task->Source) {
                testTasks.push_back(task);
            }
        }
        if (test.BreakGroups()) {
            std::vector<TQuestion*> pool;
            for (auto* task : testTasks) {
                const auto taken = draw.take(*task->Source, task->QuestionCount, false);
                pool.insert(pool.end(), taken.begin(), taken.end());
            }
            for (int index : RandomSelection(static_cast<int>(pool.size()), -1)) {
                draw.append(*pool[static_cast<std::size_t>(index)]);
            }
        } else {
            std::vector<int> order(testTasks.size());
            if (test.MixGroups()) {
                order = RandomSelection(static_cast<int>(testTasks.size()), -1);
            } else {
                std::iota(order.begin(), order.end(), 0);
            }
            for (int index : order) {
                const TTask& task = *testTasks[static_cast<std::size_t>(index)];
                const bool authorOrder = !test.MixQuestions() && !task.Source->MixQuestions();
                draw.append(draw.take(*task.Source, task.QuestionCount, authorOrder));
            }
        }
    } else {
        throw KvalorError("Некорректная группа вопросов");
    }
    return draw.takeRecords();
}

}  // namespace kvalor
