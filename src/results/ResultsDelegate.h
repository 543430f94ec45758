#pragma once

#include <QStyledItemDelegate>

class QTreeView;

namespace kvalor {

// Draws the cells of the results view: texts of questions and answers word-wrapped in rows as
// tall as their longest text needs, and the verdict picture of an answer centred in its cell.
class ResultsDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ResultsDelegate(QTreeView& view);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    int TextMargin() const;

    QTreeView& view_;
};

}  // namespace kvalor
