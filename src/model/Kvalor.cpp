#include "model/Kvalor.h"

#include <bit>
#include <cstdint>
#include <unordered_map>

#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "storage/PackCache.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Objects of a flattened tree by id; the first in depth-first order wins, as a search would.
template <class T>
std::unordered_map<Guid, T*> indexById(const std::vector<T*>& objects) {
    std::unordered_map<Guid, T*> index;
    index.reserve(objects.size());
    for (T* object : objects) {
        index.emplace(object->Id(), object);
    }
    return index;
}

template <class T>
T* lookUp(const std::unordered_map<Guid, T*>& index, const Guid& id) {
    const auto it = index.find(id);
    return it == index.end() ? nullptr : it->second;
}

template <class T>
std::vector<T*> downcast(const std::vector<TExaminerElement*>& elements) {
    std::vector<T*> result;
    result.reserve(elements.size());
    for (TExaminerElement* element : elements) {
        if (auto* object = dynamic_cast<T*>(element)) {
            result.push_back(object);
        }
    }
    return result;
}

// Questions by id in one open-addressed array: each of a journal's millions of records looks
// its question up, and probing one array costs far less than walking hash nodes. As in
// indexById, the first question of an id in depth-first order wins.
class QuestionIndex {
public:
    explicit QuestionIndex(const std::vector<TQuestion*>& questions)
        : slots_(std::bit_ceil(2 * questions.size() + 1)),
          shift_(64 - std::countr_zero(slots_.size())) {
        for (TQuestion* question : questions) {
            Slot& slot = slots_[SlotOf(question->Id())];
            if (slot.question == nullptr) {
                slot = {question->Id(), question};
            }
        }
    }
    TQuestion* operator()(const Guid& id) const { return slots_[SlotOf(id)].question; }

private:
    struct Slot {
        Guid id;
        TQuestion* question = nullptr;
    };

    // The id's slot, or the empty one where it would go; at most half the slots are taken.
    std::size_t SlotOf(const Guid& id) const {
        // The hash's high bits after a multiplication spread ids that differ only in a few bits.
        const std::uint64_t spread = std::hash<Guid>{}(id)*0x9E3779B97F4A7C15ull;
        const std::size_t mask = slots_.size() - 1;
        std::size_t at = shift_ < 64 ? static_cast<std::size_t>(spread >> shift_) : 0;
        while (slots_[at].question != nullptr && slots_[at].id != id) {
            at = (at + 1) & mask;
        }
        return at;
    }

    std::vector<Slot> slots_;
    int shift_;
};

std::vector<TQuestions*> questionGroups(TQuestions& root) {
    std::vector<TQuestions*> groups;
    for (TExaminerCollection* collection : CollectCollections(root, "TQuestions")) {
        if (auto* group = dynamic_cast<TQuestions*>(collection)) {
            groups.push_back(group);
        }
    }
    return groups;
}

// Runs of equal ids, given as the index of each run's first entry: calls link(first, end) for
// every run, so that each id is looked up once however many records carry it.
template <class Link>
void forEachRun(const std::vector<int>& starts, std::size_t total, Link link) {
    for (std::size_t run = 0; run < starts.size(); ++run) {
        const auto first = static_cast<std::size_t>(starts[run]);
        const std::size_t end =
            run + 1 < starts.size() ? static_cast<std::size_t>(starts[run + 1]) : total;
        link(first, end);
    }
}

// Clears the synchronising mark however the linking ends, so that one failure does not
// refuse every later import.
class SynchronizingMark {
public:
    SynchronizingMark(std::uint8_t& state) : state_(state) { state_ |= TKvalor::Synchronizing; }
    ~SynchronizingMark() { state_ &= static_cast<std::uint8_t>(~TKvalor::Synchronizing); }
    SynchronizingMark(const SynchronizingMark&) = delete;
    SynchronizingMark& operator=(const SynchronizingMark&) = delete;

private:
    std::uint8_t& state_;
};

}  // namespace

TKvalor::TKvalor()
    : complexTests_(std::make_unique<TQuestions>(kGroupKindRoot)),
      simpleTests_(std::make_unique<TQuestions>(kGroupKindRoot)),
      users_(std::make_unique<TCompetitors>()),
      tasks_(std::make_unique<TTaskList>()),
      studies_(std::make_unique<TStudyList>()),
      packCache_(std::make_unique<PackCache>()) {
    installUsersFactories();
    complexTests_->SetName(toCp1251(QString::fromUtf8("Комплексные тесты")));
    simpleTests_->SetName(toCp1251(QString::fromUtf8("Простые тесты")));
}

// Studies refer to tests and accounts, so they go first.
TKvalor::~TKvalor() {
    currentUser_ = nullptr;
    studies_.reset();
    complexTests_.reset();
    simpleTests_.reset();
    users_.reset();
    tasks_.reset();
}

void TKvalor::Clear() {
    SetCurrentUser(nullptr);
    studies_->Clear();
    simpleTests_->Clear();
    complexTests_->Clear();
    users_->Clear();
    tasks_->Clear();
    ForgetPackedStreams();
}

void TKvalor::ForgetPackedStreams() {
    packCache_ = std::make_unique<PackCache>();
}

void TKvalor::LinkStudies() {
    SynchronizeStudies(*studies_);

    // Tasks: their sources among the groups of the simple tests, their complex tests among
    // the complex tests. The task list keeps its stored order.
    const auto sources = indexById(questionGroups(*simpleTests_));
    const TaskGroups bySource = tasks_->GroupBySource();
    forEachRun(bySource.starts, bySource.tasks.size(), [&](std::size_t first, std::size_t end) {
        TQuestions* source = lookUp(sources, bySource.tasks[first]->SourceId);
        for (std::size_t i = first; i < end; ++i) {
            bySource.tasks[i]->Source = source;
        }
    });
    const auto complexTests = indexById(questionGroups(*complexTests_));
    const TaskGroups byTest = tasks_->GroupByComplexTest();
    forEachRun(byTest.starts, byTest.tasks.size(), [&](std::size_t first, std::size_t end) {
        TQuestions* test = lookUp(complexTests, byTest.tasks[first]->ComplexTestId);
        for (std::size_t i = first; i < end; ++i) {
            byTest.tasks[i]->ComplexTest = test;
        }
    });
    tasks_->DropTasksWithoutComplexTest();

    // A study whose account or test is gone can be neither shown nor scored.
    studies_->DeleteWhere(
        [](const TStudy& study) { return study.User() == nullptr || study.Test() == nullptr; });
}

void TKvalor::SynchronizeStudies(TStudyList& list) {
    if (state_ & Synchronizing) {
        throw KvalorError("Синхронизация.\nВыполнение невозможно");
    }
    SynchronizingMark mark(state_);

    // Each id is looked up once per record in an index built once.
    const QuestionIndex questions(
        downcast<TQuestion>(CollectItems(*simpleTests_, "TQuestion", true)));
    const auto simpleGroups = indexById(questionGroups(*simpleTests_));
    const auto complexTests = indexById(questionGroups(*complexTests_));
    const auto accounts =
        indexById(downcast<TCompetitor>(CollectItems(*users_, "TCompetitor", true)));
    for (int i = 0; i < list.Count(); ++i) {
        TStudy& study = list.StudyAt(i);
        study.Questions().ReplaceQuestions(
            [&questions](const Guid& id, TQuestion*) { return questions(id); });
        TQuestions* test = lookUp(simpleGroups, study.TestId());
        study.SetTest(test != nullptr ? test : lookUp(complexTests, study.TestId()));
        study.SetUser(lookUp(accounts, study.UserId()));
    }
    // Linked studies have always been listed by account, then by test.
    list.GroupByTest();
    list.GroupByUser();
}

StudiesImportReport TKvalor::ImportStudies(const QStringList& fileNames, const Progress& progress) {
    const TStudyReferences known(*this);
    StudiesImportReport report;
    // A study of an account or a test that this data lacks could be neither shown nor scored,
    // and the next load would drop it: it is left out and counted instead.
    const auto admit = [&](const TStudy& study) {
        const bool account = known.HasAccount(study);
        const bool test = known.HasTest(study);
        report.withoutAccount += account ? 0 : 1;
        report.withoutTest += test ? 0 : 1;
        if (account && test) {
            ++report.merged;
            return true;
        }
        ++report.leftOut;
        return false;
    };
    // Studies merged before a failing file stay; they are linked all the same, so that none
    // is left without the references the others have.
    try {
        const auto total = static_cast<std::uint64_t>(fileNames.size());
        ReportProgress(progress, 0, total);
        for (std::uint64_t done = 0; done < total; ++done) {
            studies_->LoadFromFile(fileNames[static_cast<qsizetype>(done)], admit);
            ReportProgress(progress, done + 1, total);
        }
    } catch (...) {
        SynchronizeStudies(*studies_);
        throw;
    }
    SynchronizeStudies(*studies_);
    return report;
}

TStudyReferences::TStudyReferences(const TKvalor& root) {
    for (TExaminerElement* account : CollectItems(root.Users(), "TCompetitor", true)) {
        accounts_.insert(account->Id());
    }
    for (TQuestions* tests : {&root.SimpleTests(), &root.ComplexTests()}) {
        for (const TQuestions* group : questionGroups(*tests)) {
            tests_.insert(group->Id());
        }
    }
    for (TExaminerElement* question : CollectItems(root.SimpleTests(), "TQuestion", true)) {
        questions_.insert(question->Id());
    }
}

bool TStudyReferences::HasAccount(const TStudy& study) const {
    return accounts_.contains(study.UserId());
}

bool TStudyReferences::HasTest(const TStudy& study) const {
    return tests_.contains(study.TestId());
}

bool TStudyReferences::HasEverything(const TStudy& study) const {
    if (!HasAccount(study) || !HasTest(study)) {
        return false;
    }
    const TExamineQuestions& records = study.Questions();
    for (int index = 0; index < records.Count(); ++index) {
        if (!questions_.contains(records.At(index).QuestionId)) {
            return false;
        }
    }
    return true;
}

TKvalor& kvalorRoot() {
    static TKvalor root;
    return root;
}

}  // namespace kvalor
