#include "ui/DragTreeView.h"

#include <algorithm>

#include <QDrag>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QPersistentModelIndex>
#include <QTimer>

#include "ui/ErrorGuard.h"
#include "ui/ItemTreeModel.h"

namespace kvalor {

namespace {

// The band at the top and bottom of a row that means "above" and "below" it.
int edgeBand(const QRect& row) {
    return qBound(2, row.height() / 4, 12);
}

}  // namespace

TDragTreeView::TDragTreeView(QWidget* parent) : QTreeView(parent) {
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
}

QString TDragTreeView::MimeType() {
    return QStringLiteral("application/x-kvalor-tree-drag");
}

void TDragTreeView::SetDropHandling(AcceptFunction accept, DropFunction drop) {
    accept_ = std::move(accept);
    drop_ = std::move(drop);
}

void TDragTreeView::startDrag(Qt::DropActions) {
    auto* data = new QMimeData;
    data->setData(MimeType(), QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    // The drop does the work; the source never removes anything afterwards.
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void TDragTreeView::SetFillColumn(int column, int minimum) {
    if (fillColumn_ < 0) {
        connect(header(), &QHeaderView::sectionResized, this, [this](int logical) {
            if (logical != fillColumn_) {
                FitFillColumn();
            }
        });
    }
    fillColumn_ = column;
    fillMinimum_ = minimum;
    header()->setSectionResizeMode(column, QHeaderView::Interactive);
    FitFillColumn();
}

void TDragTreeView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    FitFillColumn();
}

void TDragTreeView::FitFillColumn() {
    if (fillColumn_ < 0 || fillColumn_ >= header()->count()) {
        return;
    }
    int others = 0;
    for (int column = 0; column < header()->count(); ++column) {
        if (column != fillColumn_ && !header()->isSectionHidden(column)) {
            others += header()->sectionSize(column);
        }
    }
    header()->resizeSection(fillColumn_, std::max(fillMinimum_, viewport()->width() - others));
}

TreeDrop TDragTreeView::DropAt(const QDropEvent& event) const {
    TreeDrop drop;
    drop.Source = event.source();
    drop.Modifiers = event.modifiers();
    const QPoint at = event.position().toPoint();
    const QModelIndex index = indexAt(at);
    if (!index.isValid()) {
        return drop;
    }
    drop.Target = static_cast<const TItemTreeModel*>(model())->NodeOf(index);
    const QRect row = visualRect(index);
    if (at.y() - row.top() < edgeBand(row)) {
        drop.Place = DropPlace::Above;
    } else if (row.bottom() - at.y() < edgeBand(row)) {
        drop.Place = DropPlace::Below;
    }
    return drop;
}

Qt::DropAction TDragTreeView::Accepting(QDropEvent& event) const {
    Qt::DropAction action = Qt::IgnoreAction;
    if (accept_ && event.mimeData()->hasFormat(MimeType())) {
        guarded([&] { action = accept_(DropAt(event)); });
    }
    if (action == Qt::IgnoreAction) {
        event.ignore();
    } else {
        event.setDropAction(action);
        event.accept();
    }
    return action;
}

void TDragTreeView::dragEnterEvent(QDragEnterEvent* event) {
    // Entering is allowed for every drag of ours; the position decides while moving.
    if (event->mimeData()->hasFormat(MimeType())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TDragTreeView::dragMoveEvent(QDragMoveEvent* event) {
    Accepting(*event);
}

void TDragTreeView::dropEvent(QDropEvent* event) {
    if (Accepting(*event) == Qt::IgnoreAction || !drop_) {
        return;
    }
    // The drop's questions and messages come once the drag has ended, outside its event loop;
    // the target node is kept through a persistent index in case the tree changes meanwhile.
    const TreeDrop drop = DropAt(*event);
    const QPersistentModelIndex target(
        drop.Target ? static_cast<const TItemTreeModel*>(model())->IndexOf(drop.Target)
                    : QModelIndex());
    QTimer::singleShot(0, this, [this, drop, target, hadTarget = drop.Target != nullptr] {
        if (hadTarget && !target.isValid()) {
            return;
        }
        TreeDrop later = drop;
        later.Target =
            hadTarget ? static_cast<const TItemTreeModel*>(model())->NodeOf(target) : nullptr;
        guarded([&] { drop_(later); });
    });
}

}  // namespace kvalor
