#pragma once

// Groups and questions built the way the question window leaves them, for the tests of any
// folder.

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <memory>
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
    const auto* question = dynamic_cast<const TQuestion*>(&item);
    const auto* list =
        question ? &question->Answers() : dynamic_cast<const TExaminerCollection*>(&item);
    std::vector<Guid> ids{item.Id()};
    if (question) {
        ids.push_back(list->Id());
    }
    for (int i = 0; list && i < list->Count(); ++i) {
        std::ranges::copy(idsWithin(*list->Items(i)), std::back_inserter(ids));
    }
    return ids;
}

// How many ids of the copy its source has too.
inline std::size_t sharedIds(const IExaminerItem& source, const IExaminerItem& copy) {
    const std::vector<Guid> old = idsWithin(source);
    return std::ranges::count_if(idsWithin(copy), [&old](const Guid& id) {
        return std::ranges::find(old, id) != old.end();
    });
}

}  // namespace kvalor::testdata
