#include "model/Questions.h"

#include <memory>

#include "model/CollectionHelpers.h"
#include "model/Question.h"
#include "model/TypeIds.h"
#include "util/Error.h"

namespace kvalor {

TQuestions::TQuestions(std::uint8_t groupKind, std::optional<Guid> id, Ownership ownership)
    : TExaminerCollection(kQuestionsKind, id, ownership), groupKind_(groupKind) {
    FixClassIdentity(QuestionsTypeId());
}

void TQuestions::SetLevelCount(std::uint8_t count) {
    if (count != levelCount_) {
        levelThresholds_.resize(count, 0.0);
        levelCount_ = count;
    }
}

void TQuestions::SetLevelThreshold(int level, double percent) {
    if (level < 0 || level >= static_cast<int>(levelThresholds_.size())) {
        throw KvalorError("Выполнение невозможно");
    }
    levelThresholds_[static_cast<std::size_t>(level)] = percent;
}

bool TQuestions::Accepts(const TExaminerElement& element) const {
    const auto kind = element.GetKind();
    switch (groupKind_) {
        case kGroupKindComplexTest:
            return kind == kGroupElementKind;
        case kGroupKindSimpleTest:
        case kGroupKindSubgroup:
            return kind == kQuestionKind || kind == kGroupElementKind;
        default:
            return false;
    }
}

void TQuestions::Assign(const TExaminerCollection& source) {
    TExaminerCollection::Assign(source);
    if (const auto* group = dynamic_cast<const TQuestions*>(&source)) {
        levelCount_ = group->levelCount_;
        passPercent_ = group->passPercent_;
        duration_ = group->duration_;
        gradingMethod_ = group->gradingMethod_;
        levelThresholds_ = group->levelThresholds_;
        groupKind_ = group->groupKind_;
        mixQuestions_ = group->mixQuestions_;
        mixGroups_ = group->mixGroups_;
        mixAnswers_ = group->mixAnswers_;
        breakGroups_ = group->breakGroups_;
    }
}

void TQuestions::CopyContent(const TQuestions& source) {
    if (source.groupKind_ != groupKind_) {
        throw KvalorError("Несовместимые типы объектов");
    }
    // The entries are taken first and each nested copy is complete before it is added, so
    // copying a group into itself or into one of its own groups ends.
    std::vector<IExaminerItem*> entries;
    for (int i = 0; i < source.Count(); ++i) {
        entries.push_back(source.Items(i));
    }
    for (auto* entry : entries) {
        if (const auto* group = dynamic_cast<const TQuestions*>(entry)) {
            auto copy = std::make_unique<TQuestions>(group->groupKind_);
            copy->Assign(*group);
            copy->CopyContent(*group);
            AddCollection(std::move(copy));
        } else if (const auto* question = dynamic_cast<const TQuestion*>(entry)) {
            auto copy = std::make_unique<TQuestion>();
            copy->Assign(*question);
            AddItem(std::move(copy));
        }
    }
}

namespace {

TQuestions* asSimpleTest(IExaminerItem* item) {
    auto* group = dynamic_cast<TQuestions*>(item);
    return group && group->GroupKind() == kGroupKindSimpleTest ? group : nullptr;
}

// Numbers the elements below the collection on from question, through every level in
// depth-first order, and its sub-collections 1, 2, 3 ... per level. A simple test further down
// numbers its own questions, since a question belongs to its nearest test (OwnerTest): so
// every item is numbered exactly once, however the groups nest.
void numberWithin(TExaminerCollection& collection, std::int32_t& question) {
    std::int32_t group = 0;
    for (int i = 0; i < collection.Count(); ++i) {
        if (TExaminerElement* element = collection.ElementAt(i)) {
            element->SetNumber(++question);
            continue;
        }
        TExaminerCollection* sub = collection.CollectionAt(i);
        sub->SetNumber(++group);
        if (asSimpleTest(sub)) {
            std::int32_t own = 0;
            numberWithin(*sub, own);
        } else {
            numberWithin(*sub, question);
        }
    }
}

void numberTest(TQuestions& test) {
    std::int32_t question = 0;
    numberWithin(test, question);
}

// Every simple test anywhere below the collection, numbered once each.
void numberTestsBelow(TExaminerCollection& collection) {
    for (int i = 0; i < collection.Count(); ++i) {
        if (TExaminerCollection* sub = collection.CollectionAt(i)) {
            if (TQuestions* test = asSimpleTest(sub)) {
                numberTest(*test);
            } else {
                numberTestsBelow(*sub);
            }
        }
    }
}

}  // namespace

void TQuestions::Renumber() {
    switch (groupKind_) {
        case kGroupKindRoot:
            numberTestsBelow(*this);
            break;
        case kGroupKindSimpleTest:
            numberTest(*this);
            break;
        case kGroupKindSubgroup:
            for (auto* collection = Parent(); collection; collection = collection->Parent()) {
                if (TQuestions* test = asSimpleTest(collection)) {
                    numberTest(*test);
                    break;
                }
            }
            break;
        default:
            break;
    }
}

int QuestionCount(const TQuestions& test, const ITaskCounts& tasks) {
    if (test.GroupKind() == kGroupKindComplexTest) {
        return tasks.ComplexTestQuestionCount(test);
    }
    return static_cast<int>(CollectItems(test, "TQuestion", true).size());
}

TQuestion* NextQuestion(const TExaminerCollection& collection, const IExaminerItem* entry) {
    for (int i = collection.IndexOf(entry) + 1; i < collection.Count(); ++i) {
        if (auto* question = dynamic_cast<TQuestion*>(collection.Items(i))) {
            return question;
        }
    }
    return nullptr;
}

TQuestion* PrevQuestion(const TExaminerCollection& collection, const IExaminerItem* entry) {
    for (int i = collection.IndexOf(entry) - 1; i >= 0; --i) {
        if (auto* question = dynamic_cast<TQuestion*>(collection.Items(i))) {
            return question;
        }
    }
    return nullptr;
}

}  // namespace kvalor
