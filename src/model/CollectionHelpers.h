#pragma once

#include <string_view>
#include <vector>

#include "model/ExaminerCollection.h"
#include "model/ExaminerElement.h"
#include "model/ExaminerItem.h"

namespace kvalor {

// Class names compare without regard to letter case ("tquestion" matches TQuestion).
bool SameClassName(std::string_view a, std::string_view b);

// The elements held by the collection in list order, only those of the class name when one is
// given; when recursive, each sub-collection is descended into at its place (depth-first).
// The result is a view: it owns nothing.
std::vector<TExaminerElement*> CollectItems(const TExaminerCollection& collection,
                                            std::string_view className, bool recursive);

// The collection itself, then everything below it in pre-order; only those of the class name
// when one is given. The result is a view.
std::vector<TExaminerCollection*> CollectCollections(TExaminerCollection& collection,
                                                     std::string_view className);

int CountItems(const TExaminerCollection& collection, bool recursive);

// Kinds below 4: any entry at all; kinds 4 and 5: some element (CountItems); others: false.
bool HasItems(const TExaminerCollection& collection, bool recursive);

bool IsFirstEntry(const TExaminerCollection& list, const IExaminerItem* entry);
bool IsLastEntry(const TExaminerCollection& list, const IExaminerItem* entry);

}  // namespace kvalor
