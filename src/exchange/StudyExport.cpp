#include "exchange/StudyExport.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "model/Competitor.h"
#include "model/ExaminerCollection.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

using Ranks = std::unordered_map<const IExaminerItem*, int>;

// Places of the distinct items by name, ties by the text of the id. Ranking the few distinct
// tests, groups and users first keeps the collation out of the sort of many studies.
Ranks rankByName(std::vector<const IExaminerItem*> items) {
    std::sort(items.begin(), items.end());
    items.erase(std::unique(items.begin(), items.end()), items.end());
    struct Named {
        const IExaminerItem* item;
        QString name;
        std::string id;
    };
    std::vector<Named> named;
    named.reserve(items.size());
    for (const IExaminerItem* item : items) {
        named.push_back({item, fromCp1251(item->GetName()), item->Id().toString()});
    }
    std::sort(named.begin(), named.end(), [](const Named& a, const Named& b) {
        const int byName = compareDisplayNames(a.name, b.name);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    Ranks ranks;
    for (std::size_t i = 0; i < named.size(); ++i) {
        ranks.emplace(named[i].item, static_cast<int>(i));
    }
    return ranks;
}

}  // namespace

StudyView ExportOrder(const StudyView& studies) {
    StudyView listed;
    std::vector<const IExaminerItem*> tests;
    std::vector<const IExaminerItem*> groups;
    std::vector<const IExaminerItem*> users;
    for (TStudy* study : studies) {
        if (study->Test() == nullptr || study->User() == nullptr) {
            continue;
        }
        listed.push_back(study);
        tests.push_back(study->Test());
        users.push_back(study->User());
        if (study->User()->Parent() != nullptr) {
            groups.push_back(study->User()->Parent());
        }
    }
    const Ranks testRanks = rankByName(std::move(tests));
    const Ranks groupRanks = rankByName(std::move(groups));
    const Ranks userRanks = rankByName(std::move(users));
    const auto key = [&](const TStudy* study) {
        const TExaminerCollection* group = study->User()->Parent();
        // A damaged date must not break the ordering: it goes last.
        const double date = std::isnan(study->Date()) ? HUGE_VAL : study->Date();
        return std::tuple(testRanks.at(study->Test()),
                          group != nullptr ? groupRanks.at(group) : INT_MAX,
                          userRanks.at(study->User()), date);
    };
    std::stable_sort(listed.begin(), listed.end(),
                     [&](const TStudy* a, const TStudy* b) { return key(a) < key(b); });
    return listed;
}

}  // namespace kvalor
