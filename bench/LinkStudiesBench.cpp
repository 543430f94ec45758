#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TypeIds.h"

using namespace kvalor;

namespace {

// A school's data: 50 tests of 40 questions, 2000 applicants, and a journal of `studies`
// studies of 20 questions each, as a load leaves them (ids only).
void fill(TKvalor& root, int studies) {
    std::mt19937 random(7);
    std::vector<const TQuestions*> tests;
    std::vector<Guid> questions;
    for (int t = 0; t < 50; ++t) {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        for (int q = 0; q < 40; ++q) {
            auto question = std::make_unique<TQuestion>();
            questions.push_back(question->Id());
            test->AddItem(std::move(question));
        }
        tests.push_back(test.get());
        root.SimpleTests().AddCollection(std::move(test));
    }
    std::vector<Guid> users;
    for (int u = 0; u < 2000; ++u) {
        auto account = std::make_unique<TCompetitor>();
        root.Users().AddCompetitor(std::move(account), true);
        users.push_back(root.Users().Items(root.Users().Count() - 1)->Id());
    }
    for (int s = 0; s < studies; ++s) {
        auto study = std::make_unique<TStudy>();
        study->SetDate(45000.0 + s / 1440.0);
        study->SetUserId(users[random() % users.size()]);
        study->SetTestId(tests[random() % tests.size()]->Id());
        for (int q = 0; q < 20; ++q) {
            const int at = study->Questions().AddEmpty();
            study->Questions().Items(at).QuestionId = questions[random() % questions.size()];
        }
        root.Studies().Append(std::move(study));
    }
}

void BM_LinkStudies(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        TKvalor root;
        fill(root, static_cast<int>(state.range(0)));
        state.ResumeTiming();
        root.LinkStudies();
        benchmark::DoNotOptimize(root.Studies().Count());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LinkStudies)->Arg(10000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
