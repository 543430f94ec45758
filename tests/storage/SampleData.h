#pragma once

// A root object holding one of everything the data file keeps, and a description of a root's
// whole content that round trips are compared by.

#include <bit>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include <QString>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace storagetest {

// Windows-1251 bytes of a UTF-8 literal.
inline std::string cp(const char* utf8) {
    return kvalor::toCp1251(QString::fromUtf8(utf8));
}

struct Sample {
    kvalor::TQuestions* test = nullptr;      // a simple test with a nested group
    kvalor::TQuestions* group = nullptr;     // the nested group
    kvalor::TQuestions* second = nullptr;    // a second simple test
    kvalor::TQuestions* complex = nullptr;   // a complex test drawing from both
    kvalor::TQuestion* question = nullptr;   // first question of the test
    kvalor::TQuestion* sequence = nullptr;   // a sequence question in the group
    kvalor::TCompetitor* ivanov = nullptr;   // an account directly in the list
    kvalor::TCompetitor* petrova = nullptr;  // an account in a group
    kvalor::TCompetitors* users = nullptr;   // the group of accounts
};

inline kvalor::TQuestion* addQuestion(kvalor::TQuestions& group, const char* text,
                                      std::uint8_t type, std::initializer_list<bool> correct) {
    auto question = std::make_unique<kvalor::TQuestion>();
    question->SetName(cp(text));
    kvalor::TQuestion& added = *question;
    group.AddItem(std::move(question));
    added.SetQuestionType(type);
    int position = static_cast<int>(correct.size());
    for (bool right : correct) {
        auto answer = added.Answers().NewAnswer();
        answer->SetName(cp("Ответ ") + std::to_string(added.Answers().Count() + 1));
        answer->SetCorrect(right);
        answer->SetCorrectPosition(--position);
        added.Answers().AddItem(std::move(answer));
    }
    return &added;
}

inline kvalor::TQuestions* addTest(kvalor::TQuestions& parent, std::uint8_t groupKind,
                                   const char* name) {
    auto test = std::make_unique<kvalor::TQuestions>(groupKind);
    test->SetName(cp(name));
    kvalor::TQuestions& added = *test;
    parent.AddCollection(std::move(test));
    return &added;
}

inline kvalor::TCompetitor* addAccount(kvalor::TCompetitors& list, const char* lastName,
                                       const char* password) {
    auto account = std::make_unique<kvalor::TCompetitor>();
    account->SetName(cp(lastName));
    account->SetField(0, cp("Анна"));
    account->SetField(1, cp(lastName));
    account->SetField(9, cp("Тверь"));
    account->SetPassword(cp(password));
    kvalor::TCompetitor& added = *account;
    list.AddCompetitor(std::move(account), true);
    return &added;
}

// Studies of the sample accounts on the sample tests, scored; the root is left as a load with
// fix-ups leaves it (built-in accounts present, numbered, sorted, linked).
inline Sample fillSample(kvalor::TKvalor& root) {
    using namespace kvalor;
    Sample s;
    s.test = addTest(root.SimpleTests(), kGroupKindSimpleTest, "Физика");
    s.test->SetDuration(45);
    s.test->SetGradingMethod(1);
    s.test->SetLevelCount(4);
    for (int level = 0; level < 4; ++level) {
        s.test->SetLevelThreshold(level, 12.5 * (level + 1));
    }
    s.test->SetPassPercent(62.5);
    s.test->SetMixQuestions(false);
    s.test->SetMixAnswers(false);
    s.test->SetBreakGroups(true);
    s.question = addQuestion(*s.test, "Что такое сила?", kSingleAnswer, {false, true, false});
    s.question->Answers().SetAllowMix(false);
    addQuestion(*s.test, "Единицы", kMultipleAnswers, {true, true, false, true});
    s.group = addTest(*s.test, kGroupKindSubgroup, "Механика");
    s.group->SetMixGroups(false);
    s.sequence = addQuestion(*s.group, "Порядок", kSequence, {false, false, false});
    s.second = addTest(root.SimpleTests(), kGroupKindSimpleTest, "Алгебра");
    addQuestion(*s.second, "2 + 2", kSingleAnswer, {false, true});
    s.complex = addTest(root.ComplexTests(), kGroupKindComplexTest, "Итоговый");
    root.Tasks().Task(root.Tasks().AddTask(*s.complex, *s.group)).QuestionCount = 1;
    root.Tasks().Task(root.Tasks().AddTask(*s.complex, *s.second)).QuestionCount = 2;

    root.Users().EnsureBuiltins();
    root.Users().Administrator()->SetPassword(cp("Ёлка-1"));
    s.ivanov = addAccount(root.Users(), "Иванов", "пароль");
    s.ivanov->SetRole(kRoleTeacher);
    auto group = std::make_unique<TCompetitors>();
    group->NewId();
    group->SetName(cp("10 Б"));
    s.users = group.get();
    root.Users().AddCollection(std::move(group));
    s.petrova = addAccount(*s.users, "Петрова", "");

    auto study = TStudyList::NewStudy(kModeTesting, *s.ivanov, *s.test, 45000.5);
    for (TQuestion* question : {s.question, s.sequence}) {
        TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
        record.QuestionId = question->Id();
        record.Question = question;
        record.Order = {2, 0, 1};
    }
    study->Questions().Items(0).Given = {1};
    study->Questions().Items(1).Given = {0, 2, 1};
    study->SetState(kStudyFinished);
    study->Score();
    root.Studies().Append(std::move(study));
    auto other = TStudyList::NewStudy(kModePreparation, *s.petrova, *s.complex, 45001.25);
    other->SetState(kStudyTimeIsUp);
    other->Score();
    root.Studies().Append(std::move(other));

    root.SimpleTests().Renumber();
    root.ComplexTests().Renumber();
    // A load numbers the tests in stored order.
    for (TQuestions* tests : {&root.SimpleTests(), &root.ComplexTests()}) {
        for (int i = 0; i < tests->Count(); ++i) {
            tests->CollectionAt(i)->SetNumber(i + 1);
        }
    }
    root.Users().Sort();
    root.LinkStudies();
    return s;
}

inline std::string hexOf(double value) {
    char text[20];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(value)));
    return text;
}

inline void describeItems(std::ostream& out, const kvalor::TExaminerCollection& list,
                          const std::string& indent);

inline void describeItem(std::ostream& out, const kvalor::IExaminerItem& item,
                         const std::string& indent) {
    using namespace kvalor;
    out << indent << item.ClassName() << " " << item.Id().toString() << " #" << item.GetNumber()
        << " k" << int(item.GetKind()) << " e" << int(item.GetEditable()) << " '" << item.GetName()
        << "'";
    if (const auto* group = dynamic_cast<const TQuestions*>(&item)) {
        out << " gk" << int(group->GroupKind()) << " d" << group->Duration() << " p"
            << hexOf(group->PassPercent()) << " g" << int(group->GradingMethod()) << " l"
            << int(group->LevelCount()) << " t";
        for (double threshold : group->LevelThresholds()) {
            out << hexOf(threshold) << ",";
        }
        out << " m" << group->MixQuestions() << group->MixGroups() << group->MixAnswers()
            << group->BreakGroups() << "\n";
        describeItems(out, *group, indent + "  ");
    } else if (const auto* question = dynamic_cast<const TQuestion*>(&item)) {
        out << " q" << int(question->QuestionType()) << " mix" << question->Answers().AllowMix()
            << " answers " << question->Answers().Id().toString() << "\n";
        for (int i = 0; i < question->Answers().Count(); ++i) {
            const TAnswer& answer = *question->Answers().AnswerAt(i);
            describeItem(out, answer, indent + "  ");
            out << indent << "    c" << answer.Correct() << " pos" << answer.CorrectPosition()
                << "\n";
        }
    } else if (const auto* account = dynamic_cast<const TCompetitor*>(&item)) {
        out << " r" << int(account->Role()) << " pw'" << account->Password() << "' f";
        for (const std::string& field : account->Fields()) {
            out << "'" << field << "'";
        }
        out << "\n";
    } else if (const auto* users = dynamic_cast<const kvalor::TCompetitors*>(&item)) {
        out << "\n";
        describeItems(out, *users, indent + "  ");
    } else {
        out << "\n";
    }
}

inline void describeItems(std::ostream& out, const kvalor::TExaminerCollection& list,
                          const std::string& indent) {
    for (int i = 0; i < list.Count(); ++i) {
        describeItem(out, *list.Items(i), indent);
    }
}

inline std::string nameOf(const kvalor::IExaminerItem* item) {
    return item ? "'" + item->GetName() + "'" : "-";
}

// Everything the data file keeps, with the links that the fix-ups make.
inline std::string describe(const kvalor::TKvalor& root) {
    using namespace kvalor;
    std::ostringstream out;
    out << "simple\n";
    describeItems(out, root.SimpleTests(), "  ");
    out << "complex\n";
    describeItems(out, root.ComplexTests(), "  ");
    out << "users\n";
    describeItems(out, root.Users(), "  ");
    out << "tasks\n";
    for (int i = 0; i < root.Tasks().Count(); ++i) {
        const TTask& task = root.Tasks().Task(i);
        out << "  " << task.ComplexTestId.toString() << " " << task.SourceId.toString() << " "
            << task.QuestionCount << " " << nameOf(task.ComplexTest) << " " << nameOf(task.Source)
            << "\n";
    }
    out << "studies\n";
    for (int i = 0; i < root.Studies().Count(); ++i) {
        const TStudy& study = root.Studies().StudyAt(i);
        out << "  " << hexOf(study.Date()) << " m" << int(study.Mode()) << " "
            << study.UserId().toString() << " " << study.TestId().toString() << " "
            << nameOf(study.User()) << " " << nameOf(study.Test()) << " s" << int(study.State())
            << " p" << hexOf(study.PassPercent()) << " " << hexOf(study.Percent()) << " c"
            << study.CorrectCount() << " g" << study.Grade() << " ok" << study.Passed() << "\n";
        for (int r = 0; r < study.Questions().Count(); ++r) {
            const TExamineQuestion& record = study.Questions().Items(r);
            out << "    " << record.QuestionId.toString() << " " << nameOf(record.Question) << " r"
                << record.Right << " given";
            for (int index : record.Given) {
                out << " " << index;
            }
            out << " order";
            for (int index : record.Order) {
                out << " " << index;
            }
            out << "\n";
        }
    }
    return out.str();
}

}  // namespace storagetest
