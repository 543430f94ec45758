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

void TQuestions::LoadAsCopy(ByteStream& stream, const ReadContext& context) {
    LoadFromStream(stream, context);
    NewId();
    for (int i = 0; i < Count(); ++i) {
        if (auto* element = ElementAt(i)) {
            element->NewId();
        } else {
            CollectionAt(i)->NewId();
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

void TQuestions::SaveToStream(ByteStream& stream) const {
    TExaminerCollection::SaveToStream(stream);
    stream.writeU8(levelCount_);
    stream.writeI32(duration_);
    stream.writeDouble(passPercent_);
    stream.writeU8(gradingMethod_);
    for (double threshold : levelThresholds_) {
        stream.writeDouble(threshold);
    }
    stream.writeU8(groupKind_);
    stream.writeBool(mixQuestions_);
    stream.writeBool(mixGroups_);
    stream.writeBool(mixAnswers_);
    stream.writeBool(breakGroups_);
}

void TQuestions::LoadFromStream(ByteStream& stream, const ReadContext& context) {
    TExaminerCollection::LoadFromStream(stream, context);
    if (Id().isNull()) {
        NewId();
    }
    // The settings follow the entries; they are taken over only once all of them are read.
    const std::uint8_t levelCount = stream.readU8();
    const std::int32_t duration = stream.readI32();
    const double passPercent = stream.readDouble();
    const std::uint8_t gradingMethod = stream.readU8();
    std::vector<double> thresholds(levelCount);
    for (auto& threshold : thresholds) {
        threshold = stream.readDouble();
    }
    const std::uint8_t groupKind = stream.readU8();
    bool mix[4] = {true, true, true, false};
    // The mixing flags exist from version 2 on; older groups keep the defaults.
    if (context.version >= 2) {
        for (auto& flag : mix) {
            flag = stream.readBool();
        }
    }

    levelCount_ = levelCount;
    duration_ = duration;
    passPercent_ = passPercent;
    gradingMethod_ = gradingMethod;
    levelThresholds_ = std::move(thresholds);
    groupKind_ = groupKind;
    mixQuestions_ = mix[0];
    mixGroups_ = mix[1];
    mixAnswers_ = mix[2];
    breakGroups_ = mix[3];
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
