#include "results/JournalChoices.h"

#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/TypeIds.h"

namespace kvalor {

std::vector<TExaminerCollection*> UserGroups(TCompetitors& users) {
    auto groups = CollectCollections(users, "TCompetitors");
    std::erase(groups, &users);
    return groups;
}

std::vector<TExaminerElement*> GroupAccounts(const TExaminerCollection& group, bool withApplicant) {
    auto accounts = CollectItems(group, "TCompetitor", true);
    if (!withApplicant) {
        std::erase_if(accounts, [](const TExaminerElement* account) {
            return account->Id() == ApplicantAccountId();
        });
    }
    return accounts;
}

std::vector<TQuestions*> TestsOfKind(TKvalor& root, bool complex) {
    TQuestions& tree = complex ? root.ComplexTests() : root.SimpleTests();
    const std::uint8_t kind = complex ? kGroupKindComplexTest : kGroupKindSimpleTest;
    std::vector<TQuestions*> tests;
    for (TExaminerCollection* collection : CollectCollections(tree, "TQuestions")) {
        auto* test = dynamic_cast<TQuestions*>(collection);
        if (test && test->GroupKind() == kind) {
            tests.push_back(test);
        }
    }
    return tests;
}

std::vector<int> DistinctRows(const QItemSelection& selection, std::size_t limit) {
    std::vector<int> rows;
    const auto distinct = [&rows] {
        std::ranges::sort(rows);
        const auto [first, last] = std::ranges::unique(rows);
        rows.erase(first, last);
    };
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
        if (rows.size() >= limit) {
            distinct();
            if (rows.size() >= limit) {
                rows.resize(limit);
                return rows;
            }
        }
    }
    distinct();
    return rows;
}

}  // namespace kvalor
