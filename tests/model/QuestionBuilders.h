#pragma once

// Groups and questions built the way the question window leaves them, for the tests of any
// folder.

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QString>
#include <QStringList>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor::testdata {

inline TQuestions& addGroup(TQuestions& parent, const QString& name) {
    auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
    group->SetName(toCp1251(name));
    TQuestions& result = *group;
    parent.AddCollection(std::move(group));
    return result;
}

// An empty question group of the group kind.
inline TQuestions& addGroup(TExaminerCollection& parent,
                            std::uint8_t groupKind = kGroupKindSubgroup) {
    auto group = std::make_unique<TQuestions>(groupKind);
    TQuestions& added = *group;
    parent.AddCollection(std::move(group));
    return added;
}

// A question without answers.
inline TQuestion& addQuestion(TExaminerCollection& group, const std::string& name = {}) {
    auto question = std::make_unique<TQuestion>();
    question->SetName(name);
    TQuestion& added = *question;
    group.AddItem(std::move(question));
    return added;
}

// A question with its answers in the author's order. Choice questions: the right answers are
// those at the indexes in key; a sequence's right order is the author's.
inline TQuestion& addQuestion(TQuestions& group, std::uint8_t type, const QString& text,
                              const QStringList& answers, std::initializer_list<int> key = {}) {
    auto question = std::make_unique<TQuestion>();
    question->SetName(toCp1251(text));
    TAnswers& list = question->Answers();
    for (int i = 0; i < answers.size(); ++i) {
        auto answer = list.NewAnswer();
        answer->SetName(toCp1251(answers[i]));
        answer->SetCorrectPosition(i);
        for (const int right : key) {
            if (right == i) {
                answer->SetCorrect(true);
            }
        }
        list.AddItem(std::move(answer));
    }
    question->SetQuestionType(type);
    list.ClearChecked();
    TQuestion& result = *question;
    group.AddItem(std::move(question));
    group.Renumber();
    return result;
}

// The ids of the item and of all it owns: entries at every level, a question's answers list and
// its answers.
inline std::vector<Guid> idsWithin(const IExaminerItem& item) {
    std::vector<Guid> ids{item.Id()};
    if (const auto* question = dynamic_cast<const TQuestion*>(&item)) {
        std::ranges::copy(idsWithin(question->Answers()), std::back_inserter(ids));
    }
    const auto* list = dynamic_cast<const TExaminerCollection*>(&item);
    for (int i = 0; list && i < list->Count(); ++i) {
        std::ranges::copy(idsWithin(*list->Items(i)), std::back_inserter(ids));
    }
    return ids;
}

// Whether the copy has as many ids as its source and none of them.
inline bool renewedThroughout(const IExaminerItem& source, const IExaminerItem& copy) {
    const std::vector<Guid> old = idsWithin(source), renewed = idsWithin(copy);
    return renewed.size() == old.size() &&
           std::ranges::find_first_of(renewed, old) == renewed.end();
}

}  // namespace kvalor::testdata
