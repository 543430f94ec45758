#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QStringList>

#include "ui/TreeNode.h"

namespace kvalor {

class IExaminerItem;

// One node of a tree that shows items of the data model. The column texts are computed once,
// when the node is first shown, and kept until the code that changes the item resets them.
struct TItemNode : TTreeNode<TItemNode> {
    // The element or collection shown; for a task of a complex test, the task's source.
    IExaminerItem* Item = nullptr;
    bool TextsCached = false;
    // One text per column once cached.
    QStringList Texts;
};

using ItemNodes = std::vector<std::unique_ptr<TItemNode>>;

// A tree model whose rows are item nodes. It knows nothing of what the items are: the window
// that shows it supplies the column texts (computed lazily and cached, so that a test of a
// hundred thousand questions opens without computing the rows never shown) and the other
// roles (fonts, pictures, hints, alignment), which are cheap and asked for on each paint.
class TItemTreeModel : public TTreeNodeModel<TItemNode> {
    Q_OBJECT
public:
    using TextsFunction = std::function<QStringList(const TItemNode& node)>;
    using RoleFunction = std::function<QVariant(const TItemNode& node, int column, int role)>;

    // captions and hints: one per column (the header's texts and tooltips).
    TItemTreeModel(QStringList captions, QStringList hints, QObject* parent = nullptr);
    ~TItemTreeModel() override;

    void SetTextsFunction(TextsFunction texts) { texts_ = std::move(texts); }
    void SetRoleFunction(RoleFunction roles) { roles_ = std::move(roles); }

    // The nodes, and the changes of the tree that tell the views.
    using TTreeNodeModel::AppendNodes;
    using TTreeNodeModel::Clear;
    using TTreeNodeModel::IndexOf;
    using TTreeNodeModel::NodeOf;
    using TTreeNodeModel::RemoveChildren;
    using TTreeNodeModel::RemoveNode;
    using TTreeNodeModel::Root;

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
};

}  // namespace kvalor
