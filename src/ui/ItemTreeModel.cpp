#include "ui/ItemTreeModel.h"

#include "model/ExaminerItem.h"

namespace kvalor {

TItemTreeModel::TItemTreeModel(QStringList captions, QStringList hints, QObject* parent)
    : TTreeNodeModel(parent), captions_(std::move(captions)), hints_(std::move(hints)) {}

TItemTreeModel::~TItemTreeModel() = default;

std::unique_ptr<TItemNode> TItemTreeModel::MakeNode(IExaminerItem& item) {
    auto node = std::make_unique<TItemNode>();
    node->Item = &item;
    return node;
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
