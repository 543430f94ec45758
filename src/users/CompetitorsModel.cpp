#include "users/CompetitorsModel.h"

#include <algorithm>

#include <QApplication>
#include <QFont>
#include <QMimeData>
#include <QPalette>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

constexpr int kColumnCount = 2;
const QString kDragFormat = QStringLiteral("application/x-kvalor-users-drag");

}  // namespace

TCompetitorsModel::TCompetitorsModel(QObject* parent)
    : TTreeNodeModel(parent),
      // Another window, or another copy of the program, has another mark.
      dragMark_(QByteArray::number(QCoreApplication::applicationPid()) + ':' +
                QByteArray::number(reinterpret_cast<quintptr>(this))) {}

TCompetitorsModel::~TCompetitorsModel() = default;

void TCompetitorsModel::Fill(TCompetitors& users) {
    Rebuild([&users](TCompetitorsNode& root) { fillNode(root, users); });
}

void TCompetitorsModel::fillNode(TCompetitorsNode& node, TCompetitors& collection) {
    // The built-in accounts in their places, then the accounts, then the groups, each by name
    // with digits read as numbers ("5 А" before "10 А"); the list keeps its stored order.
    struct Entry {
        int rank;
        QString name;
        IExaminerItem* item;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < collection.Count(); ++i) {
        IExaminerItem* item = collection.Items(i);
        if (!item || item->Id() == ApplicantAccountId()) {
            continue;
        }
        const int place = item->IsCollection() ? -1 : BuiltinAccountPlace(item->Id());
        const int rank = place >= 0 ? place : item->IsCollection() ? 4 : 3;
        entries.push_back({rank, fromCp1251(item->GetName()), item});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.rank != b.rank ? a.rank < b.rank : compareDisplayNames(a.name, b.name) < 0;
    });
    for (const Entry& entry : entries) {
        auto child = std::make_unique<TCompetitorsNode>();
        child->Item = entry.item;
        if (auto* group = dynamic_cast<TCompetitors*>(entry.item)) {
            fillNode(*child, *group);
        }
        node.Adopt(std::move(child));
    }
}

void TCompetitorsModel::RemoveNode(const QModelIndex& index) {
    if (TCompetitorsNode* node = NodeOf(index)) {
        TTreeNodeModel::RemoveNode(*node);
    }
}

IExaminerItem* TCompetitorsModel::ItemAt(const QModelIndex& index) const {
    // The root shows no item.
    const TCompetitorsNode* node = NodeOf(index);
    return node ? node->Item : nullptr;
}

QModelIndex TCompetitorsModel::FindItemNode(const IExaminerItem* item) const {
    return IndexOf(findNode(Root(), item));
}

const TCompetitorsNode* TCompetitorsModel::findNode(const TCompetitorsNode& node,
                                                    const IExaminerItem* item) {
    for (const auto& child : node.Children) {
        if (child->Item == item) {
            return child.get();
        }
        if (const TCompetitorsNode* found = findNode(*child, item)) {
            return found;
        }
    }
    return nullptr;
}

void TCompetitorsModel::SetDropHandlers(DropCheck check, Drop drop) {
    dropCheck_ = std::move(check);
    drop_ = std::move(drop);
}

int TCompetitorsModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant TCompetitorsModel::data(const QModelIndex& index, int role) const {
    const IExaminerItem* item = ItemAt(index);
    if (!item) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            if (index.column() == 0) {
                return fromCp1251(item->GetName());
            }
            if (const auto* account = dynamic_cast<const TCompetitor*>(item)) {
                return fromCp1251(account->GetField(AccountField::Town));
            }
            return QString();
        case Qt::FontRole:
            if (index.column() == 0 && item->IsCollection()) {
                // Only the weight is set: the size and family stay those of the tree.
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::TextAlignmentRole:
            return index.column() == 1 ? QVariant(Qt::AlignCenter) : QVariant();
        case Qt::ForegroundRole:
            return QApplication::palette().color(QPalette::WindowText);
        default:
            return {};
    }
}

QVariant TCompetitorsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return section == 0 ? QStringLiteral("Имя") : QString();
    }
    if (role == Qt::ToolTipRole) {
        return section == 0 ? QStringLiteral("Наименование теста")
                            : QStringLiteral("Общее количество вопросов");
    }
    if (role == Qt::TextAlignmentRole && section == 1) {
        return QVariant(Qt::AlignCenter);
    }
    return {};
}

Qt::ItemFlags TCompetitorsModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList TCompetitorsModel::mimeTypes() const {
    return {kDragFormat};
}

// The drag says only where it comes from; what moves is the tree's selection at the drop.
QMimeData* TCompetitorsModel::mimeData(const QModelIndexList&) const {
    auto* data = new QMimeData;
    data->setData(kDragFormat, dragMark_);
    return data;
}

Qt::DropActions TCompetitorsModel::supportedDropActions() const {
    return Qt::MoveAction;
}

bool TCompetitorsModel::isOwnDrag(const QMimeData* data) const {
    return data && data->data(kDragFormat) == dragMark_;
}

// Only a drop right on a node counts; between nodes or beside them nothing is dropped.
bool TCompetitorsModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int row, int,
                                        const QModelIndex& parent) const {
    return isOwnDrag(data) && row < 0 && parent.isValid() && dropCheck_ && dropCheck_(parent);
}

bool TCompetitorsModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row,
                                     int column, const QModelIndex& parent) {
    if (!canDropMimeData(data, action, row, column, parent) || !drop_) {
        return false;
    }
    drop_(parent.siblingAtColumn(0));
    return true;
}

}  // namespace kvalor
