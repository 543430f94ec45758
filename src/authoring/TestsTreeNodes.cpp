#include "authoring/TestsTreeNodes.h"

#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "ui/ItemTreeModel.h"
#include "util/Codepage.h"
#include "util/TextUtils.h"

namespace kvalor {

TQuestions* AsGroup(IExaminerItem* item) {
    return dynamic_cast<TQuestions*>(item);
}

bool IsKind(const IExaminerItem* item, std::uint8_t groupKind) {
    const auto* group = dynamic_cast<const TQuestions*>(item);
    return group && group->GroupKind() == groupKind;
}

TQuestions* EnclosingTest(const TItemNode* node) {
    for (; node && !node->IsRoot(); node = node->Parent) {
        if (IsKind(node->Item, kGroupKindSimpleTest)) {
            return static_cast<TQuestions*>(node->Item);
        }
    }
    return nullptr;
}

TQuestions* TaskOwner(const TItemNode* node) {
    if (!node || node->IsRoot() || node->Parent->IsRoot()) {
        return nullptr;
    }
    return IsKind(node->Parent->Item, kGroupKindComplexTest)
               ? static_cast<TQuestions*>(node->Parent->Item)
               : nullptr;
}

TQuestions* ComplexTestOf(const TItemNode* node) {
    for (; node && !node->IsRoot(); node = node->Parent) {
        if (IsKind(node->Item, kGroupKindComplexTest)) {
            return static_cast<TQuestions*>(node->Item);
        }
    }
    return nullptr;
}

TQuestions* TestAbove(TExaminerCollection* collection) {
    for (; collection; collection = collection->Parent()) {
        if (IsKind(collection, kGroupKindSimpleTest)) {
            return static_cast<TQuestions*>(collection);
        }
    }
    return nullptr;
}

TQuestions* QuestionTarget(const TItemNode* node) {
    if (!node) {
        return nullptr;
    }
    if (TQuestions* group = AsGroup(node->Item)) {
        return group;
    }
    return AsGroup(node->Item->Parent());
}

QStringList NodeTexts(const TItemNode& node, bool complexTree) {
    QStringList texts(complexTree ? kUsedColumn : kUsedColumn + 1, QStringLiteral(" "));
    if (const auto* question = dynamic_cast<const TQuestion*>(node.Item)) {
        texts[kNameColumn] = QStringLiteral("Вопрос %1").arg(question->GetNumber());
        return texts;
    }
    const auto* group = dynamic_cast<const TQuestions*>(node.Item);
    if (!group) {
        return texts;
    }
    const TTaskList& tasks = kvalorRoot().Tasks();
    texts[kNameColumn] = fromCp1251(group->GetName());
    const bool testLevel = !complexTree || group->GroupKind() == kGroupKindComplexTest;
    if (!testLevel) {
        const TQuestions* owner = TaskOwner(&node);
        if (const TTask* task = owner ? tasks.FindTask(*owner, *group) : nullptr) {
            texts[kCountColumn] = QStringLiteral("%1 из %2")
                                      .arg(task->QuestionCount)
                                      .arg(QuestionCount(*group, tasks));
        }
        return texts;
    }
    texts[kCountColumn] = QString::number(QuestionCount(*group, tasks));
    if (group->GradingMethod() == 0) {
        texts[kPercentColumn] = FormatPercent(group->PassPercent());
    } else if (!group->LevelThresholds().empty()) {
        texts[kPercentColumn] = FormatPercent(group->LevelThresholds().back());
    }
    if (group->Duration() != 0) {
        texts[kTimeColumn] =
            QStringLiteral("%1 ч. %2 мин.").arg(group->Duration() / 60).arg(group->Duration() % 60);
    }
    if (!complexTree) {
        texts[kUsedColumn] =
            tasks.IsSourceUsed(nullptr, group) ? QStringLiteral("+") : QStringLiteral("-");
    }
    return texts;
}

}  // namespace kvalor
