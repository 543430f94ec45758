#pragma once

#include <vector>

#include <QAbstractTableModel>

#include "analysis/TestStatistics.h"

namespace kvalor {

// The questions of the test statistics, one line each, in the test's order. Each column sorts
// by its value (Qt::UserRole): numbers as numbers, a figure without value below every number.
class StatisticsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        ColNumber,
        ColText,
        ColGiven,
        ColFacility,
        ColDiscrimination,
        ColFlags,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole;

    explicit StatisticsModel(QObject* parent = nullptr);

    void SetQuestions(std::vector<QuestionFigures> questions);
    const std::vector<QuestionFigures>& Questions() const { return questions_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<QuestionFigures> questions_;
};

// What a double click on a question shows: its text, and its answers with the right ones
// marked and the share of studies that chose each.
QString QuestionDetailsText(const QuestionFigures& question);

}  // namespace kvalor
