#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kvalor {

class IExaminerItem;
class TExaminerCollection;
class TQuestion;
class TQuestions;

// A new question as the authoring windows create it: three empty answers, the first one
// right and marked.
std::unique_ptr<TQuestion> NewQuestion();

// A test holds a question directly when one of its own entries (not those of its groups) is a
// question; such a test takes no groups.
bool HoldsQuestionDirectly(const TQuestions& test);

// The name of a copy of a test: the source's name followed by " Копия".
std::string CopyName(const TQuestions& source);

// What a removal left to refresh on screen.
struct ItemRemoval {
    // The collection that held the item, renumbered.
    TExaminerCollection* Holder = nullptr;
    // The complex tests that lost a task to the removal.
    std::vector<TQuestions*> ComplexTestsTouched;
};

// Takes a test, group or question out of the collection that holds it and frees it, once
// nothing refers to it any more: the tasks of a removed complex test and the tasks that draw
// from the item or from a group inside it leave the task list, and the records of studies
// lose their reference to every question removed (such a record counts as wrong). The
// studies themselves stay; deleting them is the caller's decision. Renumbers the holder.
ItemRemoval DiscardItem(IExaminerItem& item);

}  // namespace kvalor
