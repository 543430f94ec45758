#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>

#include "ui/TreeNode.h"

namespace kvalor {

class IExaminerItem;
class TCompetitors;

// A node of the users tree; the root shows no item.
struct TCompetitorsNode : TTreeNode<TCompetitorsNode> {
    IExaminerItem* Item = nullptr;
};

// The tree of the users window over the users list: groups with their members below them and
// the accounts of no group, sorted by name. The nodes refer to the items; the texts are read
// from the items at every display, so an edited account shows its new name at once.
class TCompetitorsModel : public TTreeNodeModel<TCompetitorsNode> {
    Q_OBJECT
public:
    // Decides whether the selection may be dropped on the node, and drops it.
    using DropCheck = std::function<bool(const QModelIndex& target)>;
    using Drop = std::function<void(const QModelIndex& target)>;

    explicit TCompetitorsModel(QObject* parent = nullptr);
    ~TCompetitorsModel() override;

    // Empties the tree and shows the list, the members of a group under its node: the
    // built-in accounts first, then accounts and groups by name; the built-in applicant
    // account never.
    void Fill(TCompetitors& users);
    // Removes the node and its children; the item stays as it is.
    void RemoveNode(const QModelIndex& index);
    // The item the node shows; nullptr for an invalid index.
    IExaminerItem* ItemAt(const QModelIndex& index) const;
    // The first node, in depth-first order from the top, that shows the item.
    QModelIndex FindItemNode(const IExaminerItem* item) const;

    // Drags carry a mark of this model, so that only drags out of its own tree are dropped.
    void SetDropHandlers(DropCheck check, Drop drop);

    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

private:
    static const TCompetitorsNode* findNode(const TCompetitorsNode& node,
                                            const IExaminerItem* item);
    static void fillNode(TCompetitorsNode& node, TCompetitors& collection);
    bool isOwnDrag(const QMimeData* data) const;

    QByteArray dragMark_;
    DropCheck dropCheck_;
    Drop drop_;
};

}  // namespace kvalor
