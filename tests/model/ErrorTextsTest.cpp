#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "model/Answers.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/ExaminerCollection.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;

// The texts the user reads when the data model refuses an operation.
TEST(ErrorTexts, TheModelRefusesWithItsOwnWords) {
    const struct {
        const char* text;
        std::function<void()> action;
    } cases[] = {
        {"Невозможно изменить значение Kind",
         [] {
             TExaminerCollection list(3);
             list.AddItem(std::make_unique<TExaminerElement>(0));
             list.SetKind(4);
         }},
        {"Несовместимые типы объектов",
         [] { TExaminerCollection(3).Assign(TExaminerCollection(4)); }},
        {"Несовместимые типы объектов",
         [] { TQuestions(kGroupKindSimpleTest).CopyContent(TQuestions(kGroupKindSubgroup)); }},
        {"Несовместимые типы объекта и контейнера",
         [] { TQuestions(kGroupKindRoot).AddItem(std::make_unique<TQuestion>()); }},
        {"Несовместимые типы объекта и контейнера",
         [] { TExaminerCollection(2).AddCollection(std::make_unique<TExaminerCollection>(3)); }},
        {"Объект отсутствует в коллекции",
         [] {
             TQuestion question;
             TAnswer stranger;
             question.Answers().CanMoveUp(stranger);
         }},
        {"Создание объекта невозможно", [] { TAnswers answers(nullptr); }},
        {"Невозможно изменить значение",
         [] {
             TExaminerElement element(0);
             element.SetEditable(false);
             element.SetName("x");
         }},
        {"Невозможно изменить значение Checked",
         [] {
             TQuestion question;
             question.SetQuestionType(kSequence);
             auto answer = question.Answers().NewAnswer();
             TAnswer& added = *answer;
             question.Answers().AddItem(std::move(answer));
             added.SetChecked(true);
         }},
        {"Выполнение невозможно",
         [] {
             TQuestion question;
             question.Answers().Presentation()->StoreKey();
         }},
        {"Выполнение невозможно",
         [] {
             TQuestion question;
             question.Answers().Presentation()->PreparePresentation(false);
         }},
        {"Выполнение невозможно",
         [] {
             TCompetitors users;
             users.AddCompetitor(std::make_unique<TCompetitor>(TeacherAccountId()), false);
         }},
    };
    for (const auto& c : cases) {
        try {
            c.action();
            ADD_FAILURE() << "no error: " << c.text;
        } catch (const KvalorError& error) {
            EXPECT_EQ(error.message(), QString::fromUtf8(c.text));
        }
    }
}
