#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QObject>

#include "authoring/TestsTreeView.h"
#include "ui/DropPlace.h"

namespace kvalor {

class IExaminerItem;
class TExaminerCollection;
class TItemTreeModel;
class TTestsTreeController;

// A copy of the question, group or test with new ids, placed at the index of the receiver;
// the copy placed. Every copy a drop or "Создать копию" makes is made here.
IExaminerItem& CopyForDrop(const IExaminerItem& item, TExaminerCollection& receiver, int index);

// The clipboard and the drags of the tests window, without its widgets: the selection of the
// simple tree copied and pasted, moved or copied by dragging within its tree or by the keys,
// and tasks moved, copied or made by dragging onto complex tests.
class TTestsTreeDrops : public QObject {
    Q_OBJECT
public:
    TTestsTreeDrops(ITestsTreeView& view, TTestsTreeController& controller,
                    TItemTreeModel& simpleModel, QObject* parent = nullptr);

    // The selected nodes of the simple tree onto the clipboard, and pasted on the focused node.
    void Copy();
    void Paste();
    // The selected items one place up (-1) or down (1) among their like in their collection.
    void MoveSelectionBy(int step);

    // The effect a drag from the tree (none: from another program) shows over each tree;
    // IgnoreAction refuses it.
    Qt::DropAction AcceptSimpleDrop(std::optional<TestsTree> from,
                                    Qt::KeyboardModifiers modifiers) const;
    Qt::DropAction AcceptComplexDrop(std::optional<TestsTree> from, const TItemNode* target,
                                     Qt::KeyboardModifiers modifiers) const;
    // Drops as the trees hand them over: the selection of the simple tree copied within it
    // (only with Shift), the focused task moved or copied (Shift) to the complex test of the
    // target node, and the selected tests and groups of the simple tree made tasks of it.
    void SimpleTreeDrop(TItemNode* target, DropPlace place, Qt::KeyboardModifiers modifiers);
    void ComplexTreeDrop(TItemNode* target, Qt::KeyboardModifiers modifiers);
    void SimpleToComplexDrop(TItemNode* target);

private:
    // The tests tree after a paste or a copying drop: the tests list reloaded, or the
    // collection that received the items rebuilt; the last new item's node selected.
    void ShowPasted(TExaminerCollection* receiver, const IExaminerItem* last);
    // Copies of the selected tests, groups or questions next to the target or into it; or,
    // moving, the items themselves, within their test.
    void PlaceSelection(const std::vector<TItemNode*>& selected, IExaminerItem& target,
                        DropPlace place, bool move);
    void MoveItems(const std::vector<TItemNode*>& selected, TExaminerCollection& receiver,
                   const std::function<int(const IExaminerItem*)>& insertionIndex);

    ITestsTreeView& view_;
    TTestsTreeController& controller_;
    TItemTreeModel& simpleModel_;
};

}  // namespace kvalor
