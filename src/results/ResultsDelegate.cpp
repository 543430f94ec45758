#include "results/ResultsDelegate.h"

#include <algorithm>
#include <climits>

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QTreeView>

#include "results/ResultsModel.h"

namespace kvalor {

ResultsDelegate::ResultsDelegate(QTreeView& view) : QStyledItemDelegate(&view), view_(view) {}

int ResultsDelegate::TextMargin() const {
    const QStyle* style = view_.style() ? view_.style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view_) + 1;
}

QSize ResultsDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem single = option;
    initStyleOption(&single, index);
    single.features &= ~QStyleOptionViewItem::WrapText;
    single.text = single.text.section(QLatin1Char('\n'), 0, 0);
    QSize size = QStyledItemDelegate::sizeHint(single, index);
    // Only rows with a text in the middle column (questions, answers) grow; the texts of the
    // middle and the right column are wrapped within their columns.
    const int column = index.column();
    if (column == 0 || index.siblingAtColumn(1).data().toString().isEmpty()) {
        return size;
    }
    const QString text = index.data().toString();
    if (text.isEmpty() || text == QLatin1String(" ")) {
        return size;
    }
    const int margin = TextMargin();
    const int width = std::max(1, view_.header()->sectionSize(column) - 2 * margin);
    const QFontMetrics metrics(single.font);
    const int height =
        metrics.boundingRect(QRect(0, 0, width, INT_MAX), Qt::AlignCenter | Qt::TextWordWrap, text)
            .height();
    size.setHeight(std::max(size.height(), height + 2 * margin));
    return size;
}

void ResultsDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const bool answerVerdict =
        index.column() == 2 &&
        index.data(ResultsModel::RowKindRole).toInt() == ResultsModel::KindAnswer;
    if (!answerVerdict) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The verdict on the user's choice sits in the middle of its cell, without text.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    const QIcon icon = cell.icon;
    cell.icon = QIcon();
    cell.text.clear();
    cell.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* widget = cell.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);
    if (!icon.isNull()) {
        icon.paint(painter, QStyle::alignedRect(cell.direction, Qt::AlignCenter,
                                                cell.decorationSize, option.rect));
    }
}

}  // namespace kvalor
