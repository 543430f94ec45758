#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

class QTreeView;

namespace kvalor {

class IExaminerItem;
class TExaminerCollection;
class TItemTreeModel;
class TTaskList;
struct TItemNode;

// The routines with which windows show collections of the data model in a tree view over a
// TItemTreeModel.

// Appends a node for the item under the parent (nullptr: the top level) and returns it.
TItemNode& AddItemNode(TItemTreeModel& model, IExaminerItem& item, TItemNode* parent);

// Appends one node per entry of the collection under the parent, sub-collections with their
// entries. With a task list (the complex tests tree) each test gets one child per task of it,
// showing the task's source, instead of its own entries; the tasks of the collection itself
// go under the parent, which is how a complex test's node gets its tasks when only that node
// is rebuilt.
void FillTree(TItemTreeModel& model, TExaminerCollection& collection, TItemNode* parent,
              const TTaskList* tasks = nullptr);

// The first node, depth-first from the top, that shows the item; nullptr when none does.
TItemNode* FindItemNode(const TItemTreeModel& model, const IExaminerItem* item);

// Fills the item's node anew from the item (its texts are recomputed), keeping the node and
// the nodes below it expanded or collapsed as they were, and the current node on its item
// when that is still below it. Nothing happens when no node shows the item.
void RebuildItemNode(QTreeView& tree, TItemTreeModel& model, IExaminerItem& item,
                     const TTaskList* tasks = nullptr);

// Selects the node alone, collapsed, makes it the current node and expands the nodes above
// it.
void SelectNodeAlone(QTreeView& tree, TItemNode& node);

// The selected nodes in tree order (depth-first from the top).
std::vector<TItemNode*> SelectedNodes(const QTreeView& tree);

// Whether the selected nodes show items of one class and, for groups of questions, of one
// group kind; with the class name and group kind of the first. An empty selection is of one
// type, with no class name.
struct SelectionType {
    bool Same = true;
    std::string_view ClassName;
    std::uint8_t GroupKind = 0;
};
SelectionType SameTypeSelection(const QTreeView& tree);

}  // namespace kvalor
