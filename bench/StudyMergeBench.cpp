#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "model/StudyList.h"
#include "model/TaskList.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

using namespace kvalor;

namespace {

std::vector<Guid> makeIds(int count) {
    std::vector<Guid> ids;
    for (int i = 0; i < count; ++i) {
        ids.push_back(Guid::create());
    }
    return ids;
}

std::unique_ptr<TStudy> makeStudy(double date, const Guid& user, const Guid& test,
                                  const std::vector<Guid>& questions, std::mt19937& random) {
    auto study = std::make_unique<TStudy>();
    study->SetDate(date);
    study->SetMode(1);
    study->SetUserId(user);
    study->SetTestId(test);
    for (const auto& question : questions) {
        auto& record = study->Questions().Items(study->Questions().AddEmpty());
        record.QuestionId = question;
        record.Given = {static_cast<std::int32_t>(random() % 4)};
        record.Order = {0, 1, 2, 3};
    }
    return study;
}

// A journal of `count` studies by 1000 users of 50 tests, `questions` records each.
std::string journalStream(int count, int firstDate, int questions, std::mt19937& random) {
    static const auto users = makeIds(1000);
    static const auto tests = makeIds(50);
    static const auto questionIds = makeIds(500);
    TStudyList list;
    for (int i = 0; i < count; ++i) {
        std::vector<Guid> picked;
        for (int q = 0; q < questions; ++q) {
            picked.push_back(questionIds[random() % questionIds.size()]);
        }
        list.Append(makeStudy(45000.0 + (firstDate + i) / 1440.0, users[random() % users.size()],
                              tests[random() % tests.size()], picked, random));
    }
    ByteStream stream;
    list.SaveToStream(stream);
    return stream.takeData();
}

// Merging an import of 100k studies, half of them runs already in the journal, into a journal
// of 200k.
void BM_MergeStudyStream(benchmark::State& state) {
    std::mt19937 random(1);
    const std::string journal = journalStream(200000, 0, 2, random);
    std::mt19937 again(1);
    // The same generator state gives the same first 50k keys as the journal.
    const std::string overlapping = journalStream(50000, 0, 2, again);
    const std::string fresh = journalStream(50000, 200000, 2, random);
    TStudyList import;
    ByteStream overlapStream(overlapping), freshStream(fresh);
    import.LoadFromStream(overlapStream);
    import.LoadFromStream(freshStream);
    ByteStream importStream;
    import.SaveToStream(importStream);
    const std::string incoming = importStream.takeData();

    for (auto _ : state) {
        state.PauseTiming();
        TStudyList list;
        ByteStream base(journal);
        list.LoadFromStream(base);
        ByteStream in(incoming);
        state.ResumeTiming();
        list.LoadFromStream(in);
        state.PauseTiming();
        state.counters["studies"] = list.Count();  // 250k: half of the import was known
        list.Clear();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * 100000);
}
BENCHMARK(BM_MergeStudyStream)->Unit(benchmark::kMillisecond);

void BM_GroupStudiesByUser(benchmark::State& state) {
    std::mt19937 random(2);
    TStudyList list;
    ByteStream in(journalStream(200000, 0, 0, random));
    list.LoadFromStream(in);
    for (auto _ : state) {
        state.PauseTiming();
        list.GroupByTest();  // undo the previous run's order
        state.ResumeTiming();
        benchmark::DoNotOptimize(list.GroupByUser());
    }
    state.SetItemsProcessed(state.iterations() * list.Count());
}
BENCHMARK(BM_GroupStudiesByUser)->Unit(benchmark::kMillisecond);

void BM_GroupTasksBySource(benchmark::State& state) {
    const auto complexTests = makeIds(1000);
    const auto sources = makeIds(5000);
    std::mt19937 random(4);
    ByteStream stream;
    stream.writeI32(100000);
    for (int i = 0; i < 100000; ++i) {
        stream.writeGuid(complexTests[random() % complexTests.size()]);
        stream.writeGuid(sources[random() % sources.size()]);
        stream.writeI32(2);
    }
    TTaskList tasks;
    stream.seek(0);
    tasks.LoadFromStream(stream);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tasks.GroupBySource());
    }
    state.SetItemsProcessed(state.iterations() * tasks.Count());
}
BENCHMARK(BM_GroupTasksBySource)->Unit(benchmark::kMillisecond);

}  // namespace
