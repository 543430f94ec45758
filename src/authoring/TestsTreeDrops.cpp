#include "authoring/TestsTreeDrops.h"

#include <algorithm>
#include <memory>

#include "authoring/ItemPaste.h"
#include "authoring/TestsTreeController.h"
#include "authoring/TestsTreeNodes.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "storage/ClipboardData.h"
#include "ui/Clipboard.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

// An entry taken out of a collection, put into one.
int insertEntry(TExaminerCollection& collection, int index,
                std::unique_ptr<TExaminerElement>&& entry) {
    return collection.InsertItem(index, std::move(entry));
}
int insertEntry(TExaminerCollection& collection, int index,
                std::unique_ptr<TExaminerCollection>&& entry) {
    return collection.InsertCollection(index, std::move(entry));
}

// Whether the complex test has a task for the source; says so then.
bool reportExistingTask(const TQuestions& complex, const TQuestions& source) {
    if (!kvalorRoot().Tasks().HasTask(complex, source)) {
        return false;
    }
    prompts().inform(QStringLiteral("Задание %1 для %2 существует")
                         .arg(fromCp1251(source.GetName()), fromCp1251(complex.GetName())),
                     kProgramCaption, QMessageBox::Critical);
    return true;
}

}  // namespace

IExaminerItem& CopyForDrop(const IExaminerItem& item, TExaminerCollection& receiver, int index) {
    if (const auto* question = dynamic_cast<const TQuestion*>(&item)) {
        auto copy = std::make_unique<TQuestion>();
        copy->Assign(*question);
        TQuestion& placed = *copy;
        receiver.InsertItem(index, std::move(copy));
        return placed;
    }
    const auto& group = dynamic_cast<const TQuestions&>(item);
    auto copy = std::make_unique<TQuestions>(group.GroupKind());
    copy->Assign(group);
    copy->CopyContent(group);
    TQuestions& placed = *copy;
    receiver.InsertCollection(index, std::move(copy));
    return placed;
}

TTestsTreeDrops::TTestsTreeDrops(ITestsTreeView& view, TTestsTreeController& controller,
                                 TItemTreeModel& simpleModel, QObject* parent)
    : QObject(parent), view_(view), controller_(controller), simpleModel_(simpleModel) {
    setObjectName(QStringLiteral("TestsTreeDrops"));
}

// The clipboard.

void TTestsTreeDrops::Copy() {
    const std::vector<TItemNode*> selected = controller_.SimpleSelectionOfOneType();
    if (selected.empty()) {
        return;
    }
    std::vector<const IExaminerItem*> items;
    for (const TItemNode* node : selected) {
        items.push_back(node->Item);
    }
    const IExaminerItem* first = items.front();
    const ClipboardFormat format =
        dynamic_cast<const TQuestion*>(first) ? ClipboardFormat::Questions
        : IsKind(first, kGroupKindSimpleTest) ? ClipboardFormat::SimpleTests
                                              : ClipboardFormat::Groups;
    ClipboardPut(format, WriteClipboardItems(items));
}

void TTestsTreeDrops::Paste() {
    TItemNode* node = view_.CurrentNode(TestsTree::Simple);
    std::optional<ClipboardBlock> clip = ClipboardGet();
    if (!node || !clip || !MayPaste(clip->Format, *node->Item)) {
        return;
    }
    PastedItems pasted;
    try {
        PasteItems(clip->Format, clip->Block, *node->Item, pasted);
    } catch (...) {
        // What was placed before the damaged record stays and is shown.
        ShowPasted(pasted.Receiver, pasted.Last);
        throw;
    }
    ShowPasted(pasted.Receiver, pasted.Last);
}

void TTestsTreeDrops::ShowPasted(TExaminerCollection* receiver, const IExaminerItem* last) {
    if (!receiver || !last) {
        return;
    }
    TQuestions& tests = kvalorRoot().SimpleTests();
    if (receiver == &tests) {
        tests.Renumber();
        tests.RenumberCollections();
        simpleModel_.Clear();
        FillTree(simpleModel_, tests, nullptr);
    } else {
        TExaminerCollection& numbered = RenumberReceiver(*receiver);
        view_.Rebuild(TestsTree::Simple, numbered);
        if (TQuestions* test = TestAbove(&numbered)) {
            controller_.RefreshSimpleTest(*test);
        }
    }
    if (TItemNode* node = FindItemNode(simpleModel_, last)) {
        view_.SelectAlone(TestsTree::Simple, *node);
    }
    controller_.RefreshComplexTree();
}

// Dragging within the simple tree, and moving by the keys.

Qt::DropAction TTestsTreeDrops::AcceptSimpleDrop(std::optional<TestsTree> from,
                                                 Qt::KeyboardModifiers modifiers) const {
    if (from != TestsTree::Simple) {
        return Qt::IgnoreAction;
    }
    return modifiers.testFlag(Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
}

void TTestsTreeDrops::SimpleTreeDrop(TItemNode* target, DropPlace place,
                                     Qt::KeyboardModifiers modifiers) {
    const std::vector<TItemNode*> selected = controller_.SimpleSelectionOfOneType();
    if (!selected.empty() && target && !target->IsRoot()) {
        // With Shift a copy; without, the items move within their test.
        PlaceSelection(selected, *target->Item, place, !modifiers.testFlag(Qt::ShiftModifier));
    }
}

void TTestsTreeDrops::PlaceSelection(const std::vector<TItemNode*>& selected, IExaminerItem& target,
                                     DropPlace place, bool move) {
    const SelectionType type = view_.SimpleSelectionType();
    const bool questions = type.ClassName == "TQuestion";
    const auto* targetGroup = dynamic_cast<const TQuestions*>(&target);
    TExaminerCollection* receiver = nullptr;
    // The new items go next to the anchor, or at the end of the receiver without one.
    const IExaminerItem* anchor = nullptr;
    if (place == DropPlace::On && targetGroup &&
        (questions || type.GroupKind != targetGroup->GroupKind())) {
        // Onto a test or group itself: at its end, where a paste of the same items would
        // put them. Tests never go inside another test or a group.
        const ClipboardFormat format = questions ? ClipboardFormat::Questions
                                       : type.GroupKind == kGroupKindSubgroup
                                           ? ClipboardFormat::Groups
                                           : ClipboardFormat::None;
        if (!MayPaste(format, target)) {
            return;
        }
        receiver = AsGroup(&target);
    } else {
        // Next to an item of the same class and kind.
        const bool sameKind = questions ? dynamic_cast<const TQuestion*>(&target) != nullptr
                                        : targetGroup && targetGroup->GroupKind() == type.GroupKind;
        receiver = target.Parent();
        if (!sameKind || !receiver) {
            return;
        }
        anchor = &target;
    }
    const auto insertionIndex = [&](const IExaminerItem* last) {
        if (last) {
            return receiver->IndexOf(last) + 1;
        }
        return anchor ? receiver->IndexOf(anchor) + (place == DropPlace::Above ? 0 : 1)
                      : receiver->Count();
    };
    if (move) {
        if (std::ranges::none_of(
                selected, [anchor](const TItemNode* node) { return node->Item == anchor; })) {
            MoveItems(selected, *receiver, insertionIndex);
        }
        return;
    }
    const IExaminerItem* last = nullptr;
    for (const TItemNode* node : selected) {
        last = &CopyForDrop(*node->Item, *receiver, insertionIndex(last));
    }
    ShowPasted(receiver, last);
}

void TTestsTreeDrops::MoveItems(const std::vector<TItemNode*>& selected,
                                TExaminerCollection& receiver,
                                const std::function<int(const IExaminerItem*)>& insertionIndex) {
    // Within one test only: results keep the test each question was asked in.
    TQuestions* test = TestAbove(&receiver);
    std::vector<IExaminerItem*> items;
    for (const TItemNode* node : selected) {
        for (const TExaminerCollection* above = &receiver; above; above = above->Parent()) {
            if (above == node->Item) {
                return;  // into itself
            }
        }
        if (!test || EnclosingTest(node) != test) {
            return;
        }
        items.push_back(node->Item);
    }
    const IExaminerItem* last = nullptr;
    for (IExaminerItem* item : items) {
        TExaminerCollection& holder = *item->Parent();
        const int from = holder.IndexOf(item);
        // Taken out before the place is counted, so that the place is among what stays.
        const auto reinsert = [&](auto owned) {
            try {
                insertEntry(receiver, insertionIndex(last), std::move(owned));
            } catch (...) {
                // A refused entry goes back where it was: a move never loses it.
                insertEntry(holder, from, std::move(owned));
                throw;
            }
        };
        if (auto* collection = dynamic_cast<TExaminerCollection*>(item)) {
            reinsert(holder.Extract(*collection));
        } else if (auto* element = dynamic_cast<TExaminerElement*>(item)) {
            reinsert(holder.Extract(*element));
        }
        last = item;
    }
    test->Renumber();
    view_.Rebuild(TestsTree::Simple, *test);
    controller_.RefreshSimpleTest(*test);
    // The moved items stay chosen, so that another key press moves them on.
    std::vector<TItemNode*> moved;
    for (const IExaminerItem* item : items) {
        if (TItemNode* node = FindItemNode(simpleModel_, item)) {
            moved.push_back(node);
        }
    }
    view_.SelectSimpleNodes(moved);
}

void TTestsTreeDrops::MoveSelectionBy(int step) {
    const std::vector<TItemNode*> selected = controller_.SimpleSelectionOfOneType();
    if (selected.empty() || selected.front()->IsRoot()) {
        return;
    }
    // The neighbour of the same class and kind past the first (or the last) selected item,
    // within the same collection.
    TExaminerCollection* holder = selected.front()->Item->Parent();
    const IExaminerItem* edge = (step < 0 ? selected.front() : selected.back())->Item;
    if (!holder || !std::ranges::all_of(selected, [holder](const TItemNode* node) {
            return node->Item->Parent() == holder;
        })) {
        return;
    }
    const auto sameType = [edge](const IExaminerItem* item) {
        const auto* a = dynamic_cast<const TQuestions*>(edge);
        const auto* b = dynamic_cast<const TQuestions*>(item);
        return item->ClassName() == edge->ClassName() &&
               (!a || (b && a->GroupKind() == b->GroupKind()));
    };
    for (int i = holder->IndexOf(edge) + step; i >= 0 && i < holder->Count(); i += step) {
        IExaminerItem* neighbour = holder->Items(i);
        if (sameType(neighbour)) {
            PlaceSelection(selected, *neighbour, step < 0 ? DropPlace::Above : DropPlace::Below,
                           true);
            return;
        }
    }
}

// Dropping onto complex tests. Tasks made by dragging take no questions until their counts
// are set (AddTask).

Qt::DropAction TTestsTreeDrops::AcceptComplexDrop(std::optional<TestsTree> from,
                                                  const TItemNode* target,
                                                  Qt::KeyboardModifiers modifiers) const {
    if (from == TestsTree::Complex) {
        if (!TaskOwner(view_.CurrentNode(TestsTree::Complex))) {
            return Qt::IgnoreAction;
        }
        return modifiers.testFlag(Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
    }
    if (from != TestsTree::Simple || !target) {
        return Qt::IgnoreAction;
    }
    const bool test = std::ranges::any_of(view_.SimpleSelection(), [](const TItemNode* node) {
        return IsKind(node->Item, kGroupKindSimpleTest);
    });
    return test ? Qt::CopyAction : Qt::IgnoreAction;
}

void TTestsTreeDrops::ComplexTreeDrop(TItemNode* target, Qt::KeyboardModifiers modifiers) {
    TItemNode* dragged = view_.CurrentNode(TestsTree::Complex);
    TQuestions* owner = TaskOwner(dragged);
    TQuestions* source = owner ? AsGroup(dragged->Item) : nullptr;
    TQuestions* complex = ComplexTestOf(target);
    if (!source || !complex || reportExistingTask(*complex, *source)) {
        return;
    }
    TKvalor& root = kvalorRoot();
    const bool copy = modifiers.testFlag(Qt::ShiftModifier);
    if (copy || root.Studies().StudiesOfTest(*complex).empty() ||
        confirmDestructive(QStringLiteral("По изменяемому комплексному тесту проводилось "
                                          "тестирование.\nИзменить состав теста ?"),
                           kProgramCaption, QMessageBox::Critical)) {
        root.Tasks().AddTask(*complex, *source);
        if (!copy) {
            root.Tasks().RemoveTask(*owner, *source);
            view_.Rebuild(TestsTree::Complex, *owner);
        }
        prompts().inform(
            copy ? QStringLiteral("Задание скопировано") : QStringLiteral("Задание перенесено"),
            kProgramCaption, QMessageBox::Information);
    }
    view_.Rebuild(TestsTree::Complex, *complex);
    controller_.RefreshComplexTree();
}

void TTestsTreeDrops::SimpleToComplexDrop(TItemNode* target) {
    TQuestions* complex = ComplexTestOf(target);
    if (!complex) {
        return;
    }
    for (const TItemNode* node : view_.SimpleSelection()) {
        TQuestions* source = AsGroup(node->Item);
        if (source && !reportExistingTask(*complex, *source)) {
            kvalorRoot().Tasks().AddTask(*complex, *source);
            view_.Rebuild(TestsTree::Complex, *complex);
        }
    }
    controller_.RefreshComplexTree();
}

}  // namespace kvalor
