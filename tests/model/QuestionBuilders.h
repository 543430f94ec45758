#pragma once

// Groups and questions built the way the question window leaves them, for the tests of any
// folder.

#include <initializer_list>
#include <memory>

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

}  // namespace kvalor::testdata
