#pragma once

#include <memory>
#include <vector>

#include <QAbstractItemModel>

namespace kvalor {

// The links of a node of a hand-made tree: a Node derives from TTreeNode<Node>, owns its
// children and knows its parent and its place among its siblings.
template <class Node>
struct TTreeNode {
    Node* Parent = nullptr;
    std::vector<std::unique_ptr<Node>> Children;
    // The node's place among its parent's children, kept up to date by Adopt and the model.
    int Row = 0;

    // Whether the node is the invisible root of the tree (or not yet in one).
    bool IsRoot() const { return Parent == nullptr; }

    // Appends the child after the others, for building a subtree before a model shows it.
    Node& Adopt(std::unique_ptr<Node> child) {
        child->Parent = static_cast<Node*>(this);
        child->Row = static_cast<int>(Children.size());
        Children.push_back(std::move(child));
        return *Children.back();
    }
};

// A tree model over nodes that derive from TTreeNode: the model owns the invisible root, each
// index carries its node, and the rows change only through the functions below, which tell
// the views.
template <class Node>
class TTreeNodeModel : public QAbstractItemModel {
public:
    using Nodes = std::vector<std::unique_ptr<Node>>;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        const Node* holder = NodeOf(parent);
        if (!holder || row < 0 || column < 0 || column >= columnCount() ||
            row >= static_cast<int>(holder->Children.size())) {
            return {};
        }
        return createIndex(row, column, holder->Children[static_cast<std::size_t>(row)].get());
    }

    QModelIndex parent(const QModelIndex& child) const override {
        const Node* node = child.isValid() ? NodeOf(child) : nullptr;
        return node ? IndexOf(node->Parent) : QModelIndex();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        const Node* holder = parent.column() > 0 ? nullptr : NodeOf(parent);
        return holder ? static_cast<int>(holder->Children.size()) : 0;
    }

protected:
    explicit TTreeNodeModel(QObject* parent)
        : QAbstractItemModel(parent), root_(std::make_unique<Node>()) {}

    Node& Root() const { return *root_; }

    // The node of the index; the root for an invalid index, nullptr for another model's index.
    Node* NodeOf(const QModelIndex& index) const {
        if (!index.isValid()) {
            return root_.get();
        }
        return index.model() == this ? static_cast<Node*>(index.internalPointer()) : nullptr;
    }

    // The index of the node's cell in the column; invalid for the root.
    QModelIndex IndexOf(const Node* node, int column = 0) const {
        if (!node || node->IsRoot()) {
            return {};
        }
        return createIndex(node->Row, column, const_cast<Node*>(node));
    }

    // Appends the nodes (with their subtrees) under the parent in one insertion.
    void AppendNodes(Node& parent, Nodes nodes) {
        if (nodes.empty()) {
            return;
        }
        const int first = static_cast<int>(parent.Children.size());
        beginInsertRows(IndexOf(&parent), first, first + static_cast<int>(nodes.size()) - 1);
        for (auto& node : nodes) {
            parent.Adopt(std::move(node));
        }
        endInsertRows();
    }

    // Removes the node with its subtree; the root cannot be removed.
    void RemoveNode(Node& node) {
        if (node.IsRoot()) {
            return;
        }
        Node& parent = *node.Parent;
        const int row = node.Row;
        beginRemoveRows(IndexOf(&parent), row, row);
        parent.Children.erase(parent.Children.begin() + row);
        for (auto i = static_cast<std::size_t>(row); i < parent.Children.size(); ++i) {
            parent.Children[i]->Row = static_cast<int>(i);
        }
        endRemoveRows();
    }

    void RemoveChildren(Node& node) {
        if (node.Children.empty()) {
            return;
        }
        beginRemoveRows(IndexOf(&node), 0, static_cast<int>(node.Children.size()) - 1);
        node.Children.clear();
        endRemoveRows();
    }

    // Empties the tree and lets fill(root) build it anew, in one reset of the views.
    template <class Fill>
    void Rebuild(Fill fill) {
        beginResetModel();
        root_->Children.clear();
        fill(*root_);
        endResetModel();
    }

    // Empties the tree.
    void Clear() {
        Rebuild([](Node&) {});
    }

private:
    std::unique_ptr<Node> root_;
};

}  // namespace kvalor
