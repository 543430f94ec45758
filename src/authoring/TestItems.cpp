#include "authoring/TestItems.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

void noteTouched(std::vector<TQuestions*>& touched, TQuestions* complexTest) {
    if (complexTest && std::ranges::find(touched, complexTest) == touched.end()) {
        touched.push_back(complexTest);
    }
}

// Removes every task of the doomed complex tests and every task that draws from a doomed
// group. A task that is not linked on its other side cannot be found by its pair; it only
// forgets the doomed reference.
void dropTasks(const std::vector<TExaminerCollection*>& doomed, std::vector<TQuestions*>& touched) {
    TTaskList& tasks = kvalorRoot().Tasks();
    for (TExaminerCollection* collection : doomed) {
        auto* group = dynamic_cast<TQuestions*>(collection);
        if (!group) {
            continue;
        }
        for (TTask* task : tasks.TasksFrom(*group)) {
            if (task->ComplexTest) {
                noteTouched(touched, task->ComplexTest);
                tasks.RemoveTask(*task->ComplexTest, *group);
            } else {
                task->Source = nullptr;
            }
        }
        for (TTask* task : tasks.TasksOf(*group)) {
            if (task->Source) {
                tasks.RemoveTask(*group, *task->Source);
            } else {
                task->ComplexTest = nullptr;
            }
        }
    }
}

void forgetQuestions(const std::unordered_set<const TQuestion*>& doomed) {
    if (doomed.empty()) {
        return;
    }
    TStudyList& studies = kvalorRoot().Studies();
    for (int i = 0; i < studies.Count(); ++i) {
        studies.StudyAt(i).Questions().ReplaceQuestions([&](const Guid&, TQuestion* question) {
            return doomed.contains(question) ? nullptr : question;
        });
    }
}

}  // namespace

std::unique_ptr<TQuestion> NewQuestion() {
    auto question = std::make_unique<TQuestion>();
    TAnswers& answers = question->Answers();
    for (int i = 0; i < 3; ++i) {
        answers.AddItem(answers.NewAnswer());
    }
    answers.AnswerAt(0)->SetCorrect(true);
    answers.SetChecked(*answers.AnswerAt(0), true);
    return question;
}

ItemRemoval DiscardItem(IExaminerItem& item) {
    ItemRemoval removal;
    removal.Holder = item.Parent();
    std::unordered_set<const TQuestion*> questions;
    if (auto* collection = dynamic_cast<TExaminerCollection*>(&item)) {
        dropTasks(CollectCollections(*collection, "TQuestions"), removal.ComplexTestsTouched);
        for (TExaminerElement* element : CollectItems(*collection, "TQuestion", true)) {
            questions.insert(static_cast<const TQuestion*>(element));
        }
    } else if (auto* question = dynamic_cast<const TQuestion*>(&item)) {
        questions.insert(question);
    }
    forgetQuestions(questions);

    if (removal.Holder) {
        // Freed when the extracted pointer goes.
        if (auto* collection = dynamic_cast<TExaminerCollection*>(&item)) {
            removal.Holder->Extract(*collection);
        } else if (auto* element = dynamic_cast<TExaminerElement*>(&item)) {
            removal.Holder->Extract(*element);
        }
        removal.Holder->Renumber();
    }
    return removal;
}

bool HoldsQuestionDirectly(const TQuestions& test) {
    for (int i = 0; i < test.Count(); ++i) {
        if (dynamic_cast<const TQuestion*>(test.Items(i))) {
            return true;
        }
    }
    return false;
}

std::string CopyName(const TQuestions& source) {
    return source.GetName() + toCp1251(QStringLiteral(" Копия"));
}

}  // namespace kvalor
