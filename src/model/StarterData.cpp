#include "model/StarterData.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QString>

#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

// Data strings are Windows-1251 bytes; the texts here are written in UTF-8.
std::string cp(const char* utf8) {
    return toCp1251(QString::fromUtf8(utf8));
}

struct AnswerText {
    const char* text;
    bool right;  // ignored for a sequence: the order given is the right order
};

void addQuestion(TQuestions& group, const char* text, std::uint8_t questionType,
                 const std::vector<AnswerText>& answers) {
    auto question = std::make_unique<TQuestion>();
    question->SetName(cp(text));
    question->SetQuestionType(questionType);
    TAnswers& list = question->Answers();
    for (const AnswerText& answer : answers) {
        auto entry = list.NewAnswer();
        entry->SetName(cp(answer.text));
        TAnswer& added = *entry;
        list.AddItem(std::move(entry));
        if (questionType != kSequence && answer.right) {
            added.SetChecked(true);
        }
    }
    // The editor's save does the same: the marks, or the author's order, become the key.
    list.StoreKey();
    list.ClearChecked();
    group.AddItem(std::move(question));
}

TQuestions& addGroup(TQuestions& test, const char* name) {
    auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
    group->SetName(cp(name));
    TQuestions& added = *group;
    test.AddCollection(std::move(group));
    return added;
}

void addApplicant(TCompetitors& group, const char* displayName, const char* firstName,
                  const char* lastName, const char* patronymic) {
    auto account = std::make_unique<TCompetitor>();
    account->SetName(cp(displayName));
    account->SetField(AccountField::FirstName, cp(firstName));
    account->SetField(AccountField::LastName, cp(lastName));
    account->SetField(AccountField::Patronymic, cp(patronymic));
    account->SetField(AccountField::Organisation, cp("Школа № 1"));
    account->SetField(AccountField::Town, cp("Москва"));
    group.AddCompetitor(std::move(account), true);
}

void buildUsers(TCompetitors& users) {
    auto group = std::make_unique<TCompetitors>();
    group->SetName(cp("10 А класс"));
    // A group keeps the null id until a load gives it one; a fixed id now keeps the file the
    // same from one load to the next.
    group->NewId();
    addApplicant(*group, "Иванов П.С.", "Пётр", "Иванов", "Сергеевич");
    addApplicant(*group, "Смирнова А.В.", "Анна", "Смирнова", "Викторовна");
    users.AddCollection(std::move(group));
    users.Sort();
}

}  // namespace

void BuildEmptyData(TKvalor& root) {
    root.Clear();
    // Every file the program saves carries 1 and 1 here.
    root.SetOption1(1);
    root.SetOption2(1);
    root.Users().EnsureBuiltins();
}

void BuildStarterData(TKvalor& root) {
    BuildEmptyData(root);
    buildUsers(root.Users());

    auto simple = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    simple->SetName(cp("Демонстрационный тест"));
    simple->SetDuration(10);
    simple->SetGradingMethod(0);
    simple->SetPassPercent(50.0);
    TQuestions& arithmetic = addGroup(*simple, "Арифметика");
    addQuestion(arithmetic, "Сколько будет 2 + 2?", kSingleAnswer,
                {{"3", false}, {"4", true}, {"5", false}});
    addQuestion(arithmetic, "Какие из чисел чётные?", kMultipleAnswers,
                {{"2", true}, {"3", false}, {"8", true}, {"11", false}});
    TQuestions& astronomy = addGroup(*simple, "Астрономия");
    addQuestion(astronomy, "Какая планета ближе всех к Солнцу?", kSingleAnswer,
                {{"Венера", false}, {"Меркурий", true}, {"Марс", false}});
    addQuestion(astronomy, "Расположите планеты по удалённости от Солнца, начиная с ближайшей",
                kSequence,
                {{"Меркурий", false}, {"Венера", false}, {"Земля", false}, {"Марс", false}});
    simple->SetNumber(1);
    root.SimpleTests().AddCollection(std::move(simple));

    auto complex = std::make_unique<TQuestions>(kGroupKindComplexTest);
    complex->SetName(cp("Демонстрационный комплексный тест"));
    complex->SetDuration(5);
    complex->SetGradingMethod(1);
    complex->SetLevelCount(5);
    for (int level = 0; level < 5; ++level) {
        complex->SetLevelThreshold(level, 20.0 * level);
    }
    complex->SetNumber(1);
    TQuestions& complexTest = *complex;
    root.ComplexTests().AddCollection(std::move(complex));
    root.Tasks().Task(root.Tasks().AddTask(complexTest, arithmetic)).QuestionCount = 1;
    root.Tasks().Task(root.Tasks().AddTask(complexTest, astronomy)).QuestionCount = 2;

    root.SimpleTests().Renumber();
    root.ComplexTests().Renumber();
}

}  // namespace kvalor
