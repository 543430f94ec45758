#include "results/StatisticsModel.h"

#include <limits>
#include <utility>

#include <QBrush>
#include <QColor>

#include "analysis/StatisticsTexts.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

// The table shows a question's first line; the whole text is one double click away.
QString firstLine(const std::string& text) {
    return fromCp1251(text).section(QLatin1Char('\n'), 0, 0).simplified();
}

QString numberText(const QuestionFigures& question) {
    return question.number > 0 ? QString::number(question.number) : QString(kNoFigure);
}

// Figures without value sort below every value.
double sortKey(const std::optional<double>& value) {
    return value ? *value : -std::numeric_limits<double>::infinity();
}

}  // namespace

StatisticsModel::StatisticsModel(QObject* parent) : QAbstractTableModel(parent) {}

void StatisticsModel::SetQuestions(std::vector<QuestionFigures> questions) {
    beginResetModel();
    questions_ = std::move(questions);
    endResetModel();
}

int StatisticsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(questions_.size());
}

int StatisticsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StatisticsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const QuestionFigures& question = questions_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
            case ColNumber:
                return numberText(question);
            case ColText:
                return question.type ? firstLine(question.text)
                                     : QStringLiteral("(вопроса больше нет в тестах)");
            case ColGiven:
                return question.given;
            case ColFacility:
                return FormatFigure(question.facility);
            case ColDiscrimination:
                return FormatFigure(question.discrimination);
            case ColFlags:
                return QuestionFlagWords(question.flags);
            default:
                return {};
        }
    }
    if (role == SortRole) {
        switch (index.column()) {
            case ColNumber:
                return question.number;
            case ColGiven:
                return question.given;
            case ColFacility:
                return sortKey(question.facility);
            case ColDiscrimination:
                return sortKey(question.discrimination);
            case ColFlags:
                return question.flags;
            default:
                return data(index, Qt::DisplayRole);
        }
    }
    if (role == Qt::ForegroundRole && question.flags != 0 && index.column() == ColFlags) {
        return QBrush(QColor(Qt::darkRed));
    }
    if (role == Qt::TextAlignmentRole && index.column() != ColText && index.column() != ColFlags) {
        return int(Qt::AlignCenter);
    }
    return {};
}

QVariant StatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const titles[ColumnCount] = {"№",          "Вопрос",     "Получили",
                                                    "Решаемость", "Различение", "Замечания"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(titles[section]) : QVariant();
}

QString QuestionDetailsText(const QuestionFigures& question) {
    QString text = QStringLiteral("Вопрос № %1\n\n%2")
                       .arg(numberText(question),
                            question.type ? fromCp1251(question.text)
                                          : QStringLiteral("Вопроса больше нет в тестах."));
    if (!question.answers.empty()) {
        text += QStringLiteral("\n\nОтветы (✔ — верный) и доля выбравших их:");
        for (std::size_t a = 0; a < question.answers.size(); ++a) {
            const AnswerFigures& answer = question.answers[a];
            text += QStringLiteral("\n%1 %2. %3 — %4")
                        .arg(answer.right ? QStringLiteral("✔") : QStringLiteral("   "))
                        .arg(a + 1)
                        .arg(fromCp1251(answer.text),
                             FormatFigure(question.given > 0 ? std::optional(answer.share)
                                                             : std::nullopt));
        }
    }
    return text;
}

}  // namespace kvalor
