#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "model/Answers.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"

using namespace kvalor;

namespace {

// A data file holding one simple test of `questions` questions of four answers each, spread
// over `groups` groups (none: all directly in the test).
QString writeOneTest(const QTemporaryDir& dir, int questions, int groups) {
    TKvalor root;
    auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    test->SetName("Test");
    std::vector<TQuestions*> targets;
    for (int g = 0; g < groups; ++g) {
        auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
        targets.push_back(group.get());
        test->AddCollection(std::move(group));
    }
    if (targets.empty()) {
        targets.push_back(test.get());
    }
    for (int q = 0; q < questions; ++q) {
        auto question = std::make_unique<TQuestion>();
        question->SetName("Question " + std::to_string(q));
        for (int a = 0; a < 4; ++a) {
            auto answer = question->Answers().NewAnswer();
            answer->SetName("Answer " + std::to_string(a));
            answer->SetCorrect(a == q % 4);
            question->Answers().AddItem(std::move(answer));
        }
        targets[static_cast<std::size_t>(q) % targets.size()]->AddItem(std::move(question));
    }
    root.SimpleTests().AddCollection(std::move(test));
    const QString file = dir.filePath("KvalorData.exd");
    root.SaveToFile(file);
    return file;
}

// The load at start, fix-ups included, of one test of 100,000 questions: loading is linear in
// the file, so this takes about four times as long as a test of 25,000.
void BM_LoadOneLargeTest(benchmark::State& state) {
    const QTemporaryDir dir;
    const QString file =
        writeOneTest(dir, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        TKvalor root;
        root.LoadFromFile(file, true);
        benchmark::DoNotOptimize(root.SimpleTests().Count());
    }
}
BENCHMARK(BM_LoadOneLargeTest)
    ->Args({25000, 0})
    ->Args({100000, 0})
    ->Args({100000, 1000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
