#include "exchange/QuestionImport.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>

#include <QFileInfo>
#include <QHash>

#include "exchange/QuestionText.h"
#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

std::unique_ptr<TQuestion> makeQuestion(const ImportedQuestion& imported) {
    auto question = std::make_unique<TQuestion>();
    question->SetName(imported.text);
    question->SetQuestionType(imported.type);
    TAnswers& answers = question->Answers();
    answers.SetAllowMix(imported.allowMix);
    for (std::size_t i = 0; i < imported.answers.size(); ++i) {
        auto answer = answers.NewAnswer();
        answer->SetName(imported.answers[i].text);
        answer->SetCorrect(imported.answers[i].right);
        answer->SetCorrectPosition(static_cast<std::int32_t>(i));
        answers.AddItem(std::move(answer));
    }
    return question;
}

// The group of that name among the groups directly in parent, or nullptr.
TQuestions* childGroup(const TQuestions& parent, const std::string& name) {
    for (int i = 0; i < parent.Count(); ++i) {
        auto* group = dynamic_cast<TQuestions*>(parent.CollectionAt(i));
        if (group && group->GroupKind() == kGroupKindSubgroup && sameName(group->GetName(), name)) {
            return group;
        }
    }
    return nullptr;
}

// Everything an import adds, made before anything is linked into the test. New groups under
// new groups are built in place; what goes into the test's present collections waits in
// links_ for the commit, in file order.
class ImportPlan {
public:
    explicit ImportPlan(TQuestions& test) : test_(test) {}

    void Add(const ImportedQuestion& imported) {
        // A test written out by Kvalor files its groups under a category named like the test:
        // read back into a test of that name, that level is the test itself.
        QStringList path = imported.category;
        if (!path.isEmpty() && sameName(toCp1251(path.front()), test_.GetName())) {
            path.removeFirst();
        }
        const Target target = groupFor(path);
        auto question = makeQuestion(imported);
        if (target.linked) {
            links_.push_back({target.group, std::move(question), nullptr});
        } else {
            target.group->AddItem(std::move(question));
        }
    }

    // Only moves pointers into collections that accept them.
    void Commit() {
        for (Link& link : links_) {
            if (link.question) {
                link.parent->AddItem(std::move(link.question));
            } else {
                link.parent->AddCollection(std::move(link.group));
            }
        }
        links_.clear();
        test_.Renumber();
    }

    int GroupsCreated() const { return groupsCreated_; }

private:
    struct Target {
        TQuestions* group = nullptr;
        bool linked = false;  // already in the test, so its new entries wait for the commit
    };
    struct Link {
        TQuestions* parent;
        std::unique_ptr<TQuestion> question;
        std::unique_ptr<TQuestions> group;
    };

    Target groupFor(const QStringList& path) {
        Target target{&test_, true};
        for (const QString& name : path) {
            // Every group the plan has met is remembered, so that a large file costs one
            // lookup per category level rather than a walk over what was added before.
            const std::pair<const TQuestions*, QString> key(target.group, name.toCaseFolded());
            if (const auto known = groups_.constFind(key); known != groups_.constEnd()) {
                target = known.value();
                continue;
            }
            const std::string stored = toCp1251(name);
            if (TQuestions* present = target.linked ? childGroup(*target.group, stored) : nullptr) {
                target.group = present;
            } else {
                auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
                group->SetName(stored);
                TQuestions* created = group.get();
                if (target.linked) {
                    links_.push_back({target.group, nullptr, std::move(group)});
                } else {
                    target.group->AddCollection(std::move(group));
                }
                ++groupsCreated_;
                target = {created, false};
            }
            groups_.insert(key, target);
        }
        return target;
    }

    TQuestions& test_;
    std::vector<Link> links_;
    QHash<std::pair<const TQuestions*, QString>, Target> groups_;
    int groupsCreated_ = 0;
};

}  // namespace

int ImportReport::Skipped() const {
    return static_cast<int>(std::count_if(notes.begin(), notes.end(),
                                          [](const ImportNote& note) { return note.skipped; }));
}

int ImportReport::Altered() const {
    return static_cast<int>(notes.size()) - Skipped();
}

ImportReport ImportQuestions(const QuestionFile& file, TQuestions& test) {
    if (test.GroupKind() != kGroupKindSimpleTest && test.GroupKind() != kGroupKindSubgroup) {
        throw KvalorError("Вопросы можно импортировать только в простой тест");
    }
    ImportPlan plan(test);
    for (const ImportedQuestion& question : file.Questions()) {
        plan.Add(question);
    }
    plan.Commit();
    return {&test, false, static_cast<int>(file.Questions().size()), plan.GroupsCreated(),
            file.Notes()};
}

ImportReport ImportQuestionFile(const QString& fileName, TQuestions& simpleTests, TQuestions* test,
                                const QString& newTestName) {
    return ImportQuestionFile(ReadQuestionFile(fileName), fileName, simpleTests, test, newTestName);
}

ImportReport ImportQuestionFile(const QuestionFile& file, const QString& fileName,
                                TQuestions& simpleTests, TQuestions* test,
                                const QString& newTestName) {
    if (test) {
        return ImportQuestions(file, *test);
    }
    auto fresh = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    fresh->SetName(
        toCp1251(newTestName.isEmpty() ? QFileInfo(fileName).completeBaseName() : newTestName));
    ImportReport report = ImportQuestions(file, *fresh);
    report.newTest = true;
    if (report.imported == 0) {
        report.test = nullptr;
        return report;
    }
    simpleTests.AddCollection(std::move(fresh));
    simpleTests.RenumberCollections();
    return report;
}

TQuestions* FindSimpleTest(const TQuestions& simpleTests, const QString& name) {
    const std::string stored = toCp1251(name);
    for (int i = 0; i < simpleTests.Count(); ++i) {
        auto* test = dynamic_cast<TQuestions*>(simpleTests.CollectionAt(i));
        if (test && test->GroupKind() == kGroupKindSimpleTest &&
            sameName(test->GetName(), stored)) {
            return test;
        }
    }
    return nullptr;
}

QStringList ReportLines(const ImportReport& report) {
    QStringList lines;
    if (report.test) {
        const QString where = report.newTest ? QStringLiteral("новый тест")
                              : report.test->GroupKind() == kGroupKindSubgroup
                                  ? QStringLiteral("группу")
                                  : QStringLiteral("тест");
        lines << QStringLiteral("Импортировано вопросов: %1 в %2 «%3»")
                     .arg(report.imported)
                     .arg(where, fromCp1251(report.test->GetName()));
    } else {
        lines << QStringLiteral("Импортировано вопросов: %1").arg(report.imported);
    }
    if (report.groupsCreated > 0) {
        lines << QStringLiteral("Создано групп вопросов: %1").arg(report.groupsCreated);
    }
    if (const int skipped = report.Skipped(); skipped > 0) {
        lines << QStringLiteral("Пропущено вопросов: %1").arg(skipped);
    }
    if (const int altered = report.Altered(); altered > 0) {
        lines << QStringLiteral("Изменено при импорте: %1").arg(altered);
    }
    for (const ImportNote& note : report.notes) {
        lines << QStringLiteral("Строка %1: %2 «%3» — %4")
                     .arg(note.line)
                     .arg(note.skipped ? QStringLiteral("пропущено") : QStringLiteral("изменено"),
                          note.firstWords, note.reason);
    }
    return lines;
}

}  // namespace kvalor
