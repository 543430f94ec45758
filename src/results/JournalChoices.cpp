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

}  // namespace kvalor
