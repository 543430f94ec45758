#include "ui/ItemTreeModel.h"

#include "model/ExaminerItem.h"

namespace kvalor {

TItemTreeModel::TItemTreeModel(QStringList captions, QStringList hints, QObject* parent)
    : QAbstractItemModel(parent),
      captions_(std::move(captions)),
      hints_(std::move(hints)),
      root_(std::make_unique<TItemNode>()) {}

TItemTreeModel::~TItemTreeModel() = default;

std::unique_ptr<TItemNode> TItemTreeModel::MakeNode(IExaminerItem& item) {
    auto node = std::make_unique<TItemNode>();
    node->Item = &item;
    return node;
}

TItemNode* TItemTreeModel::NodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<TItemNode*>(index.internalPointer()) : root_.get();
}

QModelIndex TItemTreeModel::IndexOf(const TItemNode* node, int column) const {
    if (!node || node->IsRoot()) {
        return {};
    }
    return createIndex(node->Row, column, const_cast<TItemNode*>(node));
}

void TItemTreeModel::AppendNodes(TItemNode& parent, ItemNodes nodes) {
    if (nodes.empty()) {
        return;
    }
    const int first = static_cast<int>(parent.Children.size());
    beginInsertRows(IndexOf(&parent), first, first + static_cast<int>(nodes.size()) - 1);
    int row = first;
    for (auto& node : nodes) {
        node->Parent = &parent;
        node->Row = row++;
        parent.Children.push_back(std::move(node));
    }
    endInsertRows();
}

void TItemTreeModel::RemoveNode(TItemNode& node) {
    if (node.IsRoot()) {
        return;
    }
    TItemNode& parent = *node.Parent;
    const int row = node.Row;
    beginRemoveRows(IndexOf(&parent), row, row);
    parent.Children.erase(parent.Children.begin() + row);
    for (auto i = static_cast<std::size_t>(row); i < parent.Children.size(); ++i) {
        parent.Children[i]->Row = static_cast<int>(i);
    }
    endRemoveRows();
}

void TItemTreeModel::RemoveChildren(TItemNode& node) {
    if (node.Children.empty()) {
        return;
    }
    beginRemoveRows(IndexOf(&node), 0, static_cast<int>(node.Children.size()) - 1);
    node.Children.clear();
    endRemoveRows();
}

void TItemTreeModel::Clear() {
    beginResetModel();
    root_->Children.clear();
    endResetModel();
}

void TItemTreeModel::ResetTexts(TItemNode& node) {
    if (node.IsRoot()) {
        return;
    }
    node.TextsCached = false;
    emit dataChanged(IndexOf(&node), IndexOf(&node, columnCount() - 1));
}

void TItemTreeModel::ResetTextsUpwards(TItemNode& node) {
    for (TItemNode* at = &node; at && !at->IsRoot(); at = at->Parent) {
        ResetTexts(*at);
    }
}

void TItemTreeModel::ResetTextsBelow(TItemNode& node) {
    ResetTexts(node);
    if (node.Children.empty()) {
        return;
    }
    // One notification per row range rather than per node: a test may hold 100,000 questions.
    std::vector<TItemNode*> pending{&node};
    while (!pending.empty()) {
        TItemNode* parent = pending.back();
        pending.pop_back();
        for (const auto& child : parent->Children) {
            child->TextsCached = false;
            if (!child->Children.empty()) {
                pending.push_back(child.get());
            }
        }
        const QModelIndex at = IndexOf(parent);
        emit dataChanged(index(0, 0, at), index(static_cast<int>(parent->Children.size()) - 1,
                                                columnCount() - 1, at));
    }
}

const QStringList& TItemTreeModel::TextsOf(TItemNode& node) const {
    if (!node.TextsCached) {
        node.Texts = texts_ ? texts_(node) : QStringList();
        // Every column has a text, whatever the function gave.
        while (node.Texts.size() < captions_.size()) {
            node.Texts.append(QString());
        }
        node.TextsCached = true;
    }
    return node.Texts;
}

QModelIndex TItemTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const TItemNode* node = NodeOf(parent);
    if (row < 0 || column < 0 || column >= columnCount() ||
        row >= static_cast<int>(node->Children.size())) {
        return {};
    }
    return createIndex(row, column, node->Children[static_cast<std::size_t>(row)].get());
}

QModelIndex TItemTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    return IndexOf(NodeOf(child)->Parent);
}

int TItemTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    return static_cast<int>(NodeOf(parent)->Children.size());
}

int TItemTreeModel::columnCount(const QModelIndex&) const {
    return static_cast<int>(captions_.size());
}

QVariant TItemTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    TItemNode& node = *NodeOf(index);
    if (role == Qt::DisplayRole) {
        return TextsOf(node).value(index.column());
    }
    return roles_ ? roles_(node, index.column(), role) : QVariant();
}

QVariant TItemTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= captions_.size()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return captions_[section];
        case Qt::ToolTipRole:
            return hints_.value(section);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(section == 0 ? Qt::AlignLeft | Qt::AlignVCenter
                                                    : Qt::AlignCenter);
        default:
            return {};
    }
}

Qt::ItemFlags TItemTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    // Views decide whether dragging is on (TDragTreeView); the model never refuses it.
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

}  // namespace kvalor
