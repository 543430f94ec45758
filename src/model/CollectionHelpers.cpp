#include "model/CollectionHelpers.h"

#include <algorithm>

#include "model/TypeIds.h"

namespace kvalor {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void collectItems(const TExaminerCollection& collection, std::string_view className, bool recursive,
                  std::vector<TExaminerElement*>& target) {
    for (int i = 0; i < collection.Count(); ++i) {
        if (auto* element = collection.ElementAt(i)) {
            if (className.empty() || SameClassName(element->ClassName(), className)) {
                target.push_back(element);
            }
        } else if (recursive) {
            collectItems(*collection.CollectionAt(i), className, recursive, target);
        }
    }
}

void collectCollections(TExaminerCollection& collection, std::string_view className,
                        std::vector<TExaminerCollection*>& target) {
    if (className.empty() || SameClassName(collection.ClassName(), className)) {
        target.push_back(&collection);
    }
    for (int i = 0; i < collection.Count(); ++i) {
        if (auto* sub = collection.CollectionAt(i)) {
            collectCollections(*sub, className, target);
        }
    }
}

}  // namespace

bool SameClassName(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::vector<TExaminerElement*> CollectItems(const TExaminerCollection& collection,
                                            std::string_view className, bool recursive) {
    std::vector<TExaminerElement*> result;
    collectItems(collection, className, recursive, result);
    return result;
}

std::vector<TExaminerCollection*> CollectCollections(TExaminerCollection& collection,
                                                     std::string_view className) {
    std::vector<TExaminerCollection*> result;
    collectCollections(collection, className, result);
    return result;
}

int CountItems(const TExaminerCollection& collection, bool recursive) {
    int count = 0;
    for (int i = 0; i < collection.Count(); ++i) {
        if (collection.ElementAt(i)) {
            ++count;
        } else if (recursive) {
            count += CountItems(*collection.CollectionAt(i), recursive);
        }
    }
    return count;
}

bool HasItems(const TExaminerCollection& collection, bool recursive) {
    const auto kind = collection.GetKind();
    if (kind < kQuestionsKind) {
        return collection.Count() > 0;
    }
    if (kind == kQuestionsKind || kind == kUsersGroupKind) {
        return CountItems(collection, recursive) > 0;
    }
    return false;
}

bool IsFirstEntry(const TExaminerCollection& list, const IExaminerItem* entry) {
    return entry && list.Count() > 0 && list.Items(0) == entry;
}

bool IsLastEntry(const TExaminerCollection& list, const IExaminerItem* entry) {
    return entry && list.Count() > 0 && list.Items(list.Count() - 1) == entry;
}

}  // namespace kvalor
