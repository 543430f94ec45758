#pragma once

// A journal as a school's data leaves it after some years, linked and scored, for the
// benchmarks of the results windows.

#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QString>

#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor::bench {

inline std::string cp(const QString& text) {
    return toCp1251(text);
}

// `tests` tests of `questions` questions (four answers each, the second right) in two groups,
// `accounts` applicants in classes of 25, and `studies` finished runs spread over three years,
// each of `perStudy` questions of its test (at most `questions`), about two thirds answered
// right.
inline void fillJournal(TKvalor& root, int tests, int questions, int accounts, int studies,
                        int perStudy) {
    std::mt19937 random(13);
    root.Clear();
    root.Users().EnsureBuiltins();
    std::vector<TQuestions*> testList;
    for (int t = 0; t < tests; ++t) {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        test->SetName(cp(QStringLiteral("Тест %1 по предмету %2").arg(t + 1).arg(t % 12 + 1)));
        test->SetPassPercent(50.0 + 10 * (t % 3));
        test->SetGradingMethod(t % 4 == 0 ? 1 : 0);
        for (int level = 0; level < 5; ++level) {
            test->SetLevelThreshold(level, 20.0 * level);
        }
        for (int g = 0; g < 2; ++g) {
            auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
            group->SetName(cp(QStringLiteral("Раздел %1").arg(g + 1)));
            for (int q = g; q < questions; q += 2) {
                auto question = std::make_unique<TQuestion>();
                question->SetName(cp(QStringLiteral("Вопрос %1 теста %2: что из перечисленного "
                                                    "верно для случая, описанного в условии?")
                                         .arg(q + 1)
                                         .arg(t + 1)));
                for (int a = 0; a < 4; ++a) {
                    auto answer = question->Answers().NewAnswer();
                    answer->SetName(cp(QStringLiteral("Вариант ответа %1").arg(a + 1)));
                    answer->SetCorrect(a == 1);
                    question->Answers().AddItem(std::move(answer));
                }
                group->AddItem(std::move(question));
            }
            test->AddCollection(std::move(group));
        }
        testList.push_back(test.get());
        root.SimpleTests().AddCollection(std::move(test));
    }
    std::vector<TCompetitor*> people;
    TCompetitors* form = nullptr;
    for (int u = 0; u < accounts; ++u) {
        if (u % 25 == 0) {
            auto group = std::make_unique<TCompetitors>();
            group->SetName(cp(QStringLiteral("%1 %2 класс")
                                  .arg(u / 25 % 11 + 1)
                                  .arg(QChar(0x0410 + u / 275 % 6))));
            group->NewId();
            form = group.get();
            root.Users().AddCollection(std::move(group));
        }
        auto account = std::make_unique<TCompetitor>();
        account->SetName(cp(QStringLiteral("Ученик %1").arg(u + 1, 5, 10, QLatin1Char('0'))));
        people.push_back(account.get());
        form->AddCompetitor(std::move(account), true);
    }
    for (int s = 0; s < studies; ++s) {
        TQuestions& test = *testList[random() % testList.size()];
        auto study = TStudyList::NewStudy(kModeTesting, *people[random() % people.size()], test,
                                          43000.0 + (random() % (3 * 365 * 1440)) / 1440.0);
        const auto all = CollectItems(test, "TQuestion", true);
        for (int q = 0; q < perStudy && q < static_cast<int>(all.size()); ++q) {
            auto& record = study->Questions().Items(study->Questions().AddEmpty());
            record.Question = static_cast<TQuestion*>(all[static_cast<std::size_t>(q)]);
            record.QuestionId = record.Question->Id();
            record.Order = {3, 1, 0, 2};
            const unsigned roll = random() % 6;
            if (roll < 4) {
                record.Given = {1};
            } else if (roll == 4) {
                record.Given = {0};
            }
        }
        study->SetState(kStudyFinished);
        TStudy& added = *study;
        root.Studies().Append(std::move(study));
        added.Score();
    }
}

}  // namespace kvalor::bench
