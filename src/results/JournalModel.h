#pragma once

#include <array>
#include <memory>
#include <unordered_set>
#include <vector>

#include <QAbstractTableModel>
#include <QMimeData>
#include <QPointer>

#include "model/StudyList.h"

namespace kvalor {

class TStudy;

// What a drag of journal rows carries: the journal it starts from. Only this type is taken
// by the results view, so drags from anywhere else are refused.
class JournalDragData : public QMimeData {
    Q_OBJECT
public:
    static constexpr const char* kMimeType = "application/x-kvalor-journal-rows";
    explicit JournalDragData(QObject* origin);
    QObject* Origin() const { return origin_; }

private:
    QPointer<QObject> origin_;
};

// The lines of the journal, one per study, without hierarchy. The texts of a line are made
// when it is first shown and kept; sorting compares keys made once per sort, so that hundreds
// of thousands of studies list and sort without a pause.
class JournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColUser, ColTest, ColTestKind, ColMode, ColResult, ColDate, ColumnCount };

    explicit JournalModel(QObject* parent = nullptr);
    ~JournalModel() override;

    // The studies in the order given; the studies stay owned by the journal of the root object.
    void SetStudies(const StudyView& studies);
    // nullptr for a line whose study is being removed.
    TStudy* StudyAt(int row) const;
    // The studies of the lines in their order, those being removed left out.
    StudyView Studies() const;
    // Sorts stably by the column's values; equal values keep their order.
    void SortRows(int column, Qt::SortOrder order);
    // Adds lines for the studies and sorts again, the selection and the lines' texts kept.
    void AppendStudies(const StudyView& studies, int column, Qt::SortOrder order);

    // The study is about to be freed: its line shows nothing from now on and goes at the next
    // Compact (queued by the caller, or called at once after a deletion of its own).
    void StudyRemoved(const TStudy& study);
    void Compact();

    // The window that drags of these lines come from.
    void SetDragOrigin(QObject* origin) { dragOrigin_ = origin; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    using Texts = std::array<QString, ColumnCount>;
    struct Row {
        TStudy* study;
        mutable std::unique_ptr<Texts> texts;
    };

    const Texts& TextsOf(const Row& row) const;
    std::vector<double> SortKeys(int column) const;

    std::vector<Row> rows_;
    std::unordered_set<const TStudy*> removed_;
    QPointer<QObject> dragOrigin_;
};

}  // namespace kvalor
