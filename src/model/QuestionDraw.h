#pragma once

#include <unordered_set>
#include <vector>

#include "model/ExamineQuestions.h"

namespace kvalor {

class TQuestion;
class TQuestions;
class TTaskList;

// The questions already drawn for an examination.
using DrawnQuestions = std::unordered_set<const TQuestion*>;

// How many questions to take from one collection.
struct TQuota {
    TQuestions* Collection = nullptr;
    int Quota = 0;
};

// Spreads count questions evenly over the collection and the groups below it (pre-order): each
// gets count / (number of collections), at most what it holds directly, and the remainder goes
// one by one to the first collections that still have questions. Questions already drawn are
// not available. A count of 0 or less gives no questions at all.
std::vector<TQuota> SplitQuota(TQuestions& collection, int count, const DrawnQuestions& drawn = {});

// A fresh draw from a simple test (up to maximum questions, -1 for all) or from a complex test
// by its tasks (maximum ignored), with the answer order of every question prepared. No
// question is put twice, even when the sources of two tasks overlap: a source then gives
// others of its questions while it has some left. Raises "Некорректная группа вопросов" for
// anything but a simple or a complex test (a root, a group inside a simple test).
TExamineQuestions DrawExamineQuestions(TQuestions& test, const TTaskList& tasks, int maximum);

}  // namespace kvalor
