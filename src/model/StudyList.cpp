#include "model/StudyList.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <unordered_map>

#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/TaskList.h"

namespace kvalor {

namespace {

// The identity of a run. Dates compare as numbers: +0.0 equals -0.0 and NaN equals nothing,
// so NaN keys are never entered into or looked up in the index.
struct StudyKey {
    double date;
    std::uint8_t mode;
    Guid userId;
    Guid testId;

    explicit StudyKey(const TStudy& study)
        : date(study.Date()), mode(study.Mode()), userId(study.UserId()), testId(study.TestId()) {}

    bool indexable() const { return !std::isnan(date); }
    friend bool operator==(const StudyKey& a, const StudyKey& b) {
        return a.date == b.date && a.mode == b.mode && a.userId == b.userId && a.testId == b.testId;
    }
};

struct StudyKeyHash {
    std::size_t operator()(const StudyKey& key) const noexcept {
        const double date = key.date == 0.0 ? 0.0 : key.date;  // one hash for both zeros
        std::size_t hash = std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(date));
        const auto mix = [&hash](std::size_t value) {
            hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
        };
        mix(key.mode);
        mix(std::hash<Guid>{}(key.userId));
        mix(std::hash<Guid>{}(key.testId));
        return hash;
    }
};

}  // namespace

int TStudyList::IndexOf(const TStudy* study) const {
    for (std::size_t i = 0; i < studies_.size(); ++i) {
        if (studies_[i].get() == study) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TStudyList::Append(std::unique_ptr<TStudy> study) {
    studies_.push_back(std::move(study));
    return Count() - 1;
}

std::unique_ptr<TStudy> TStudyList::Remove(TStudy& study) {
    const int index = IndexOf(&study);
    if (index < 0) {
        return nullptr;
    }
    auto owned = std::move(studies_[static_cast<std::size_t>(index)]);
    studies_.erase(studies_.begin() + index);
    return owned;
}

void TStudyList::Delete(int index) {
    if (index >= 0 && index < Count()) {
        NotifyRemoval(*studies_[static_cast<std::size_t>(index)]);
        studies_.erase(studies_.begin() + index);
    }
}

void TStudyList::Clear() {
    for (const auto& study : studies_) {
        NotifyRemoval(*study);
    }
    studies_.clear();
}

int TStudyList::AddRemovalObserver(RemovalObserver observer) {
    removalObservers_.emplace_back(++nextObserverToken_, std::move(observer));
    return nextObserverToken_;
}

void TStudyList::RemoveRemovalObserver(int token) {
    std::erase_if(removalObservers_, [token](const auto& entry) { return entry.first == token; });
}

void TStudyList::NotifyRemoval(const TStudy& study) const {
    // A copy: an observer may unregister itself (a window closing) while being told.
    const auto observers = removalObservers_;
    for (const auto& [token, observer] : observers) {
        observer(study);
    }
}

StudyView TStudyList::View() const {
    StudyView view;
    view.reserve(studies_.size());
    for (const auto& study : studies_) {
        view.push_back(study.get());
    }
    return view;
}

std::unique_ptr<TStudy> TStudyList::NewStudy(std::uint8_t mode, TCompetitor& user, TQuestions& test,
                                             double date) {
    auto study = std::make_unique<TStudy>();
    study->SetDate(date);
    study->SetMode(mode);
    study->SetUserId(user.Id());
    study->SetUser(&user);
    study->SetTestId(test.Id());
    study->SetTest(&test);
    return study;
}

StudyView TStudyList::StudiesOfTest(const TQuestions& test) const {
    StudyView view;
    for (const auto& study : studies_) {
        if (study->Test() == &test) {
            view.push_back(study.get());
        }
    }
    return view;
}

void TStudyList::DeleteStudiesOf(const TCompetitor* user, const TQuestions* test) {
    DeleteWhere([&](const TStudy& study) {
        return (user && study.User() == user) || (test && study.Test() == test);
    });
}

void TStudyList::DeleteWhere(const std::function<bool(const TStudy&)>& condition) {
    std::erase_if(studies_, [&](const std::unique_ptr<TStudy>& study) {
        if (!condition(*study)) {
            return false;
        }
        NotifyRemoval(*study);
        return true;
    });
}

std::vector<int> TStudyList::GroupByUser() {
    return SortByIdText(studies_, [](const auto& study) -> const Guid& { return study->UserId(); });
}

std::vector<int> TStudyList::GroupByTest() {
    return SortByIdText(studies_, [](const auto& study) -> const Guid& { return study->TestId(); });
}

void TStudyList::SaveToStream(ByteStream& stream) const {
    stream.writeU8(kStreamVersion);
    stream.writeI32(Count());
    for (const auto& study : studies_) {
        study->SaveToStream(stream);
    }
}

void TStudyList::LoadFromStream(ByteStream& stream, const StudyFilter& admit) {
    stream.readU8();  // the version does not change the layout
    // A study, and its place in the index of keys below.
    constexpr EntryCost kStudyCost{TStudy::kMinRecordBytes, OwnedObjectBytes(sizeof(TStudy)) + 64};
    const std::int32_t count = stream.readCount(kStudyCost);
    // The first study of each key, so that a merge costs no scan per record.
    std::unordered_map<StudyKey, TStudy*, StudyKeyHash> firstOfKey;
    firstOfKey.reserve(studies_.size() + static_cast<std::size_t>(count));
    for (const auto& study : studies_) {
        const StudyKey key(*study);
        if (key.indexable()) {
            firstOfKey.try_emplace(key, study.get());
        }
    }
    for (std::int32_t i = 0; i < count; ++i) {
        auto study = std::make_unique<TStudy>();
        study->LoadFromStream(stream);
        if (admit && !admit(*study)) {
            continue;
        }
        // A study read has a finite date, so its key is always indexable.
        const StudyKey key(*study);
        if (auto found = firstOfKey.find(key); found != firstOfKey.end()) {
            found->second->Assign(*study);
            continue;
        }
        firstOfKey.emplace(key, study.get());
        studies_.push_back(std::move(study));
    }
}

}  // namespace kvalor
