#include "model/StudyList.h"

#include <algorithm>
#include <functional>

#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/TaskList.h"

namespace kvalor {

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

}  // namespace kvalor
