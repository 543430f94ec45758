#include "SchoolData.h"

#include <QString>
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

constexpr int kAnswersPerQuestion = 4;
// 1 January 2020 in days since 30 December 1899.
constexpr double kFirstDay = 43831.0;

const char* const kSubjects[] = {
    "Алгебра",   "Геометрия",  "Физика",       "Химия",       "Биология",       "История",
    "География", "Литература", "Русский язык", "Информатика", "Обществознание", "Английский язык"};
const char* const kTopics[] = {"Основные понятия", "Решение задач",      "Определения и законы",
                               "Повторение",       "Контрольная работа", "Практикум"};
const char* const kQuestionStems[] = {"Какое из утверждений о теме «%1» верно?",
                                      "Выберите правильное определение понятия «%1».",
                                      "Какие из перечисленных примеров относятся к разделу «%1»?",
                                      "Расположите этапы изучения темы «%1» в правильном порядке.",
                                      "Укажите, к какому разделу курса относится понятие «%1».",
                                      "Что из перечисленного характеризует явление «%1»?"};
const char* const kTerms[] = {
    "уравнение",  "многочлен",   "треугольник", "скорость",   "ускорение",    "молекула",
    "реакция",    "клетка",      "фотосинтез",  "реформа",    "революция",    "материк",
    "климат",     "метафора",    "эпитет",      "причастие",  "деепричастие", "алгоритм",
    "переменная", "государство", "право",       "экосистема", "валентность",  "интеграл"};
const char* const kAnswerPhrases[] = {
    "Это верно при любых условиях",    "Это зависит от исходных данных",
    "Так было принято до XIX века",    "Это следует из определения",
    "Ни одно из утверждений не верно", "Это справедливо только в частном случае",
    "Так утверждает основной закон",   "Это противоречит опыту"};
const char* const kFirstNames[] = {"Александр", "Мария",  "Дмитрий", "Анна",    "Иван",
                                   "Екатерина", "Сергей", "Ольга",   "Николай", "Татьяна",
                                   "Андрей",    "Елена",  "Михаил",  "Наталья", "Алексей"};
const char* const kLastNames[] = {"Иванов",  "Смирнов", "Кузнецов", "Попов",   "Васильев",
                                  "Петров",  "Соколов", "Михайлов", "Новиков", "Фёдоров",
                                  "Морозов", "Волков",  "Алексеев", "Лебедев", "Семёнов"};
const char* const kPatronymics[] = {"Александрович", "Сергеевич", "Иванович",
                                    "Дмитриевич",    "Андреевич", "Николаевич"};
const char* const kTowns[] = {"Москва", "Тверь", "Казань", "Самара", "Пермь", "Омск"};

// The lowest percentage of each grade from 1 to 5, as schools set them.
constexpr std::array<double, 5> kSchoolGrades = {0.0, 40.0, 60.0, 75.0, 90.0};
constexpr std::array<double, 5> kLenientGrades = {0.0, 30.0, 50.0, 70.0, 85.0};
constexpr std::array<double, 5> kFinalGrades = {0.0, 20.0, 40.0, 60.0, 80.0};

void gradeBy(TQuestions& test, const std::array<double, 5>& thresholds) {
    test.SetGradingMethod(1);
    test.SetLevelCount(static_cast<std::uint8_t>(thresholds.size()));
    for (std::size_t level = 0; level < thresholds.size(); ++level) {
        test.SetLevelThreshold(static_cast<int>(level), thresholds[level]);
    }
}

template <class T, std::size_t N>
const T& pick(const T (&list)[N], std::mt19937& random) {
    return list[random() % N];
}

std::string cp(const QString& text) {
    return toCp1251(text);
}

std::string cp(const char* utf8) {
    return toCp1251(QString::fromUtf8(utf8));
}

// Ids from the generator, shaped as random ids are (version 4, variant 1).
Guid nextId(std::mt19937& random) {
    Guid::Bytes bytes;
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    bytes[7] = static_cast<std::uint8_t>((bytes[7] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    return Guid(bytes);
}

std::unique_ptr<TQuestion> makeQuestion(std::mt19937& random, const char* subject) {
    auto question = std::make_unique<TQuestion>(nextId(random));
    const int stem = static_cast<int>(random() % std::size(kQuestionStems));
    // Every fourth stem asks for an order; some ask for several answers.
    const std::uint8_t type = stem == 3 ? kSequence : stem == 2 ? kMultipleAnswers : kSingleAnswer;
    question->SetQuestionType(type);
    question->SetName(
        cp(QString::fromUtf8(kQuestionStems[stem]).arg(QString::fromUtf8(pick(kTerms, random)))) +
        cp(QStringLiteral(" (%1)").arg(QString::fromUtf8(subject))));
    TAnswers& answers = question->Answers();
    const int right = static_cast<int>(random() % kAnswersPerQuestion);
    for (int a = 0; a < kAnswersPerQuestion; ++a) {
        auto answer = std::make_unique<TAnswer>(nextId(random));
        answer->SetParent(&answers);
        answer->SetName(cp(QString::fromUtf8(pick(kAnswerPhrases, random)) +
                           QStringLiteral(": %1").arg(QString::fromUtf8(pick(kTerms, random)))));
        TAnswer& added = *answer;
        answers.AddItem(std::move(answer));
        if (type != kSequence && (a == right || (type == kMultipleAnswers && random() % 3 == 0))) {
            added.SetChecked(true);
        }
    }
    answers.StoreKey();
    answers.ClearChecked();
    return question;
}

void buildTests(TKvalor& root, const SchoolShape& shape, std::mt19937& random,
                std::vector<TQuestions*>& tests) {
    for (int t = 0; t < shape.simpleTests; ++t) {
        const char* subject = pick(kSubjects, random);
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest, nextId(random));
        test->SetName(cp(QStringLiteral("%1, %2 класс, тест %3")
                             .arg(QString::fromUtf8(subject))
                             .arg(5 + t % 7)
                             .arg(t + 1)));
        test->SetDuration(20 + 5 * static_cast<int>(random() % 5));
        test->SetPassPercent(50.0 + 10.0 * static_cast<double>(random() % 3));
        test->SetGradingMethod(static_cast<std::uint8_t>(random() % 2));
        if (test->GradingMethod() == 1) {
            gradeBy(*test, t % 2 == 0 ? kSchoolGrades : kLenientGrades);
        }
        for (int g = 0; g < shape.groupsPerTest; ++g) {
            auto group = std::make_unique<TQuestions>(kGroupKindSubgroup, nextId(random));
            group->SetName(cp(pick(kTopics, random)));
            for (int q = 0; q < shape.questionsPerGroup; ++q) {
                group->AddItem(makeQuestion(random, subject));
            }
            test->AddCollection(std::move(group));
        }
        tests.push_back(test.get());
        root.SimpleTests().AddCollection(std::move(test));
    }
    for (int c = 0; c < shape.complexTests; ++c) {
        auto complex = std::make_unique<TQuestions>(kGroupKindComplexTest, nextId(random));
        complex->SetName(cp(QStringLiteral("Итоговая аттестация %1").arg(c + 1)));
        complex->SetDuration(45);
        gradeBy(*complex, kFinalGrades);
        TQuestions& added = *complex;
        root.ComplexTests().AddCollection(std::move(complex));
        // Ten question groups from the simple tests, two questions each.
        for (int s = 0; s < 10 && !tests.empty(); ++s) {
            TQuestions& test = *tests[random() % tests.size()];
            auto* source = dynamic_cast<TQuestions*>(test.CollectionAt(
                static_cast<int>(random() % static_cast<unsigned>(test.Count()))));
            root.Tasks().Task(root.Tasks().AddTask(added, *source)).QuestionCount = 2;
        }
    }
}

std::vector<TCompetitor*> buildUsers(TKvalor& root, const SchoolShape& shape,
                                     std::mt19937& random) {
    std::vector<TCompetitor*> accounts;
    for (int g = 0; g < shape.accountGroups; ++g) {
        auto group = std::make_unique<TCompetitors>();
        group->SetName(
            cp(QStringLiteral("%1 %2 класс").arg(5 + g % 7).arg(QString(QChar(u'А' + g / 7 % 8)))));
        // Stored with an id, so that the next load does not draw one.
        group->NewId();
        for (int a = 0; a < shape.accountsPerGroup; ++a) {
            const char* first = pick(kFirstNames, random);
            const char* last = pick(kLastNames, random);
            const char* patronymic = pick(kPatronymics, random);
            auto account = std::make_unique<TCompetitor>(nextId(random));
            account->SetName(cp(QStringLiteral("%1 %2. %3.")
                                    .arg(QString::fromUtf8(last))
                                    .arg(QString::fromUtf8(first).left(1))
                                    .arg(QString::fromUtf8(patronymic).left(1))));
            account->SetField(AccountField::FirstName, cp(first));
            account->SetField(AccountField::LastName, cp(last));
            account->SetField(AccountField::Patronymic, cp(patronymic));
            account->SetField(AccountField::Organisation,
                              cp(QStringLiteral("Школа № %1").arg(1 + g / 10)));
            account->SetField(AccountField::Town, cp(pick(kTowns, random)));
            accounts.push_back(account.get());
            group->AddCompetitor(std::move(account), false);
        }
        root.Users().AddCollection(std::move(group));
    }
    return accounts;
}

// An answer as an applicant gives it: right two times in three, else one answer marked
// wrongly or two places of a sequence swapped.
std::vector<std::int32_t> givenAnswer(const TQuestion& question, std::mt19937& random) {
    const bool right = random() % 3 != 0;
    std::vector<std::int32_t> given(kAnswersPerQuestion);
    std::iota(given.begin(), given.end(), 0);
    if (question.QuestionType() == kSequence) {
        if (!right) {
            std::swap(given[0], given[1 + random() % (kAnswersPerQuestion - 1)]);
        }
        return given;
    }
    const auto mistaken = static_cast<std::int32_t>(right ? -1 : random() % kAnswersPerQuestion);
    given.clear();
    for (std::int32_t a = 0; a < kAnswersPerQuestion; ++a) {
        const bool correct = question.Answers().AnswerAt(a)->Correct();
        if (a == mistaken ? !correct : correct) {
            given.push_back(a);
        }
    }
    return given;
}

void buildStudies(TKvalor& root, const SchoolShape& shape, std::mt19937& random,
                  const std::vector<TQuestions*>& tests,
                  const std::vector<TCompetitor*>& accounts) {
    if (tests.empty() || accounts.empty()) {
        return;
    }
    std::vector<std::vector<TQuestion*>> questionsOf;
    for (TQuestions* test : tests) {
        std::vector<TQuestion*> questions;
        for (int g = 0; g < test->Count(); ++g) {
            const TExaminerCollection& group = *test->CollectionAt(g);
            for (int q = 0; q < group.Count(); ++q) {
                questions.push_back(dynamic_cast<TQuestion*>(group.ElementAt(q)));
            }
        }
        questionsOf.push_back(std::move(questions));
    }
    // Five school years of runs, one every few minutes.
    const double step = 5.0 * 365.0 / std::max(1, shape.studies);
    for (int s = 0; s < shape.studies; ++s) {
        const std::size_t t = random() % tests.size();
        TCompetitor& account = *accounts[random() % accounts.size()];
        auto study = std::make_unique<TStudy>();
        study->SetDate(kFirstDay + s * step);
        study->SetMode(random() % 4 == 0 ? kModePreparation : kModeTesting);
        study->SetUserId(account.Id());
        study->SetUser(&account);
        study->SetTestId(tests[t]->Id());
        study->SetTest(tests[t]);
        std::vector<TQuestion*>& pool = questionsOf[t];
        const int count = std::min<int>(shape.questionsPerStudy, static_cast<int>(pool.size()));
        for (int q = 0; q < count; ++q) {
            // A partial shuffle: the first `count` of the pool are the draw.
            std::swap(pool[q], pool[q + random() % (pool.size() - q)]);
            TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
            record.QuestionId = pool[q]->Id();
            record.Question = pool[q];
            record.Given = givenAnswer(*pool[q], random);
            record.Order.resize(kAnswersPerQuestion);
            std::iota(record.Order.begin(), record.Order.end(), 0);
            std::shuffle(record.Order.begin(), record.Order.end(), random);
        }
        study->Score();
        study->SetState(kStudyFinished);
        root.Studies().Append(std::move(study));
    }
}

}  // namespace

SchoolShape SchoolShape::atScale(double scale) {
    const auto scaled = [scale](int full) {
        return std::max(1, static_cast<int>(full * scale + 0.5));
    };
    SchoolShape shape;
    shape.simpleTests = scaled(500);
    shape.complexTests = scaled(50);
    shape.accountGroups = scaled(50);
    shape.studies = scaled(200000);
    return shape;
}

void BuildSchoolData(TKvalor& root, const SchoolShape& shape) {
    BuildEmptyData(root);
    std::mt19937 random(2024);
    std::vector<TQuestions*> tests;
    buildTests(root, shape, random, tests);
    const std::vector<TCompetitor*> accounts = buildUsers(root, shape, random);
    buildStudies(root, shape, random, tests, accounts);
    // In the order a load leaves everything, so that a load and a save keep the file as it is.
    root.LinkStudies();
    root.Users().Sort();
    root.SimpleTests().Renumber();
    root.ComplexTests().Renumber();
}

void AppendExaminations(TKvalor& root, int count, double daysLater) {
    for (int i = 0; i < count && i < root.Studies().Count(); ++i) {
        auto study = std::make_unique<TStudy>();
        study->Assign(root.Studies().StudyAt(i));
        study->SetDate(study->Date() + daysLater);
        root.Studies().Append(std::move(study));
    }
}

}  // namespace kvalor
