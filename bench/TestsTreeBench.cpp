#include <benchmark/benchmark.h>

#include <memory>

#include <QTreeView>

#include "BenchApplication.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

using namespace kvalor;

namespace {

using bench::ensureApplication;

// One simple test of groups × perGroup questions, in a root of simple tests.
std::unique_ptr<TQuestions> largeTest(int groups, int perGroup) {
    auto root = std::make_unique<TQuestions>(kGroupKindRoot);
    auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    for (int g = 0; g < groups; ++g) {
        auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
        for (int q = 0; q < perGroup; ++q) {
            group->AddItem(std::make_unique<TQuestion>());
        }
        test->AddCollection(std::move(group));
    }
    test->Renumber();
    root->AddCollection(std::move(test));
    return root;
}

// Opening the tests tree at a test of 100,000 questions: the nodes are made, the test and its
// first group are expanded and the window painted. Only the rows on screen compute their
// texts ("texts" counts them); the target is 0.5 s at most.
void BM_OpenTreeOfLargeTest(benchmark::State& state) {
    ensureApplication();
    const auto root = largeTest(1000, static_cast<int>(state.range(0)) / 1000);
    int computed = 0;
    for (auto _ : state) {
        computed = 0;
        TItemTreeModel model({"Наименование", "Вопросов"}, {"", ""});
        model.SetTextsFunction([&computed](const TItemNode& node) {
            ++computed;
            return QStringList{QString::number(node.Item->GetNumber()), QString()};
        });
        QTreeView view;
        view.setUniformRowHeights(true);
        view.setModel(&model);
        view.resize(800, 600);
        FillTree(model, *root, nullptr);
        const TItemNode& test = *model.Root().Children.front();
        view.expand(model.IndexOf(&test));
        view.expand(model.IndexOf(test.Children.front().get()));
        benchmark::DoNotOptimize(view.grab());
    }
    state.counters["texts"] = computed;
}
BENCHMARK(BM_OpenTreeOfLargeTest)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
