#include "ui/ItemTree.h"

#include <algorithm>
#include <unordered_set>

#include <QItemSelectionModel>
#include <QTreeView>

#include "model/ExaminerCollection.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "ui/ItemTreeModel.h"

namespace kvalor {

namespace {

// Nodes for the tasks of the test, each showing the task's source. An unlinked task has no
// source to show.
void appendTaskNodes(ItemNodes& nodes, const TExaminerCollection& collection,
                     const TTaskList& tasks) {
    const auto* test = dynamic_cast<const TQuestions*>(&collection);
    if (!test) {
        return;
    }
    for (const TTask* task : tasks.TasksOf(*test)) {
        if (task->Source) {
            nodes.push_back(TItemTreeModel::MakeNode(*task->Source));
        }
    }
}

// The nodes of the collection's entries with their subtrees, built before they enter the
// model, so that a whole test goes in with one insertion.
ItemNodes buildNodes(TExaminerCollection& collection, const TTaskList* tasks) {
    ItemNodes nodes;
    nodes.reserve(static_cast<std::size_t>(collection.Count()));
    for (int i = 0; i < collection.Count(); ++i) {
        IExaminerItem* entry = collection.Items(i);
        auto* sub = collection.CollectionAt(i);
        // The complex tests tree shows tests and their tasks, never elements.
        if (tasks && !sub) {
            continue;
        }
        auto node = TItemTreeModel::MakeNode(*entry);
        if (sub) {
            ItemNodes children;
            if (tasks) {
                appendTaskNodes(children, *sub, *tasks);
            } else {
                children = buildNodes(*sub, nullptr);
            }
            for (auto& child : children) {
                node->Adopt(std::move(child));
            }
        }
        nodes.push_back(std::move(node));
    }
    if (tasks) {
        appendTaskNodes(nodes, collection, *tasks);
    }
    return nodes;
}

// Every node below the node, depth-first.
template <class Visit>
void forEachBelow(TItemNode& node, Visit visit) {
    std::vector<TItemNode*> pending{&node};
    while (!pending.empty()) {
        TItemNode* next = pending.back();
        pending.pop_back();
        for (const auto& child : next->Children) {
            visit(*child);
            pending.push_back(child.get());
        }
    }
}

bool treeOrderLess(const QModelIndex& a, const QModelIndex& b) {
    // Compare the paths of rows from the top.
    const auto path = [](QModelIndex index) {
        std::vector<int> rows;
        for (; index.isValid(); index = index.parent()) {
            rows.push_back(index.row());
        }
        std::ranges::reverse(rows);
        return rows;
    };
    return path(a) < path(b);
}

}  // namespace

TItemNode& AddItemNode(TItemTreeModel& model, IExaminerItem& item, TItemNode* parent) {
    TItemNode& target = parent ? *parent : model.Root();
    ItemNodes nodes;
    nodes.push_back(TItemTreeModel::MakeNode(item));
    TItemNode& node = *nodes.front();
    model.AppendNodes(target, std::move(nodes));
    return node;
}

void FillTree(TItemTreeModel& model, TExaminerCollection& collection, TItemNode* parent,
              const TTaskList* tasks) {
    model.AppendNodes(parent ? *parent : model.Root(), buildNodes(collection, tasks));
}

TItemNode* FindItemNode(const TItemTreeModel& model, const IExaminerItem* item) {
    if (!item) {
        return nullptr;
    }
    // Depth-first with an explicit stack: trees can be deep.
    std::vector<TItemNode*> pending;
    const auto pushChildren = [&pending](TItemNode& node) {
        for (auto child = node.Children.rbegin(); child != node.Children.rend(); ++child) {
            pending.push_back(child->get());
        }
    };
    pushChildren(model.Root());
    while (!pending.empty()) {
        TItemNode* node = pending.back();
        pending.pop_back();
        if (node->Item == item) {
            return node;
        }
        pushChildren(*node);
    }
    return nullptr;
}

void RebuildItemNode(QTreeView& tree, TItemTreeModel& model, IExaminerItem& item,
                     const TTaskList* tasks) {
    TItemNode* node = FindItemNode(model, &item);
    if (!node) {
        tree.viewport()->update();
        return;
    }
    const QModelIndex index = model.IndexOf(node);
    const bool expanded = tree.isExpanded(index);
    // The author's place: the open groups below the node and the current node, by item.
    std::unordered_set<const IExaminerItem*> open;
    const IExaminerItem* current = nullptr;
    const TItemNode* currentNode = model.NodeOf(tree.currentIndex());
    forEachBelow(*node, [&](const TItemNode& below) {
        if (tree.isExpanded(model.IndexOf(&below))) {
            open.insert(below.Item);
        }
        if (&below == currentNode) {
            current = below.Item;
        }
    });
    model.ResetTexts(*node);
    model.RemoveChildren(*node);
    if (auto* collection = dynamic_cast<TExaminerCollection*>(&item)) {
        model.AppendNodes(*node, buildNodes(*collection, tasks));
    }
    tree.setExpanded(index, expanded);
    TItemNode* newCurrent = nullptr;
    forEachBelow(*node, [&](TItemNode& below) {
        if (open.contains(below.Item)) {
            tree.expand(model.IndexOf(&below));
        }
        if (current && below.Item == current && !newCurrent) {
            newCurrent = &below;
        }
    });
    if (newCurrent) {
        tree.selectionModel()->setCurrentIndex(
            model.IndexOf(newCurrent),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    tree.viewport()->update();
}

void SelectNodeAlone(QTreeView& tree, TItemNode& node) {
    auto* model = static_cast<TItemTreeModel*>(tree.model());
    const QModelIndex index = model->IndexOf(&node);
    tree.selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tree.collapse(index);
    // Every node above it, so that it can be seen.
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        tree.expand(above);
    }
    tree.scrollTo(index);
}

std::vector<TItemNode*> SelectedNodes(const QTreeView& tree) {
    QModelIndexList rows = tree.selectionModel()->selectedRows();
    std::ranges::sort(rows, treeOrderLess);
    const auto* model = static_cast<const TItemTreeModel*>(tree.model());
    std::vector<TItemNode*> nodes;
    nodes.reserve(static_cast<std::size_t>(rows.size()));
    for (const QModelIndex& index : rows) {
        nodes.push_back(model->NodeOf(index));
    }
    return nodes;
}

SelectionType SameTypeSelection(const QTreeView& tree) {
    const auto kindOf = [](const IExaminerItem& item) -> std::uint8_t {
        const auto* group = dynamic_cast<const TQuestions*>(&item);
        return group ? group->GroupKind() : 0;
    };
    SelectionType result;
    const std::vector<TItemNode*> nodes = SelectedNodes(tree);
    if (nodes.empty()) {
        return result;
    }
    result.ClassName = nodes.front()->Item->ClassName();
    result.GroupKind = kindOf(*nodes.front()->Item);
    result.Same = std::ranges::all_of(nodes, [&result, &kindOf](const TItemNode* node) {
        return node->Item->ClassName() == result.ClassName &&
               kindOf(*node->Item) == result.GroupKind;
    });
    return result;
}

}  // namespace kvalor
