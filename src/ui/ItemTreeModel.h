#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QAbstractItemModel>
#include <QStringList>

namespace kvalor {

class IExaminerItem;

// One node of a tree that shows items of the data model. The column texts are computed once,
// when the node is first shown, and kept until the code that changes the item resets them.
struct TItemNode {
    // The element or collection shown; for a task of a complex test, the task's source.
    IExaminerItem* Item = nullptr;
    bool TextsCached = false;
    // One text per column once cached.
    QStringList Texts;

    TItemNode* Parent = nullptr;
    std::vector<std::unique_ptr<TItemNode>> Children;
    // The node's place among its parent's children, kept up to date by the model.
    int Row = 0;

    // Whether the node is the invisible root of the tree.
    bool IsRoot() const { return Parent == nullptr; }
};

using ItemNodes = std::vector<std::unique_ptr<TItemNode>>;

// A tree model whose rows are item nodes. It knows nothing of what the items are: the window
// that shows it supplies the column texts (computed lazily and cached, so that a test of a
// hundred thousand questions opens without computing the rows never shown) and the other
// roles (fonts, pictures, hints, alignment), which are cheap and asked for on each paint.
class TItemTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    using TextsFunction = std::function<QStringList(const TItemNode& node)>;
    using RoleFunction = std::function<QVariant(const TItemNode& node, int column, int role)>;

    // captions and hints: one per column (the header's texts and tooltips).
    TItemTreeModel(QStringList captions, QStringList hints, QObject* parent = nullptr);
    ~TItemTreeModel() override;

    void SetTextsFunction(TextsFunction texts) { texts_ = std::move(texts); }
    void SetRoleFunction(RoleFunction roles) { roles_ = std::move(roles); }

    TItemNode& Root() const { return *root_; }
    // The node of the index; the root for an invalid index.
    TItemNode* NodeOf(const QModelIndex& index) const;
    // The index of the node's cell in the column; invalid for the root.
    QModelIndex IndexOf(const TItemNode* node, int column = 0) const;

    // Appends the nodes (with their subtrees) under the parent in one insertion.
    void AppendNodes(TItemNode& parent, ItemNodes nodes);
    // Removes the node with its subtree; the root cannot be removed.
    void RemoveNode(TItemNode& node);
    void RemoveChildren(TItemNode& node);
    // Empties the tree.
    void Clear();

    // Forgets the node's texts, so that they are computed again when next shown.
    void ResetTexts(TItemNode& node);
    // The same for the node and every node above it (question counts add up upwards).
    void ResetTextsUpwards(TItemNode& node);
    // The same for the node and every node below it.
    void ResetTextsBelow(TItemNode& node);
    // The same for every node of the tree.
    void ResetAllTexts() { ResetTextsBelow(Root()); }

    // A new node for the item, not yet in any tree.
    static std::unique_ptr<TItemNode> MakeNode(IExaminerItem& item);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const QStringList& TextsOf(TItemNode& node) const;

    QStringList captions_;
    QStringList hints_;
    TextsFunction texts_;
    RoleFunction roles_;
    std::unique_ptr<TItemNode> root_;
};

}  // namespace kvalor
