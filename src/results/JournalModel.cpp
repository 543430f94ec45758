#include "results/JournalModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <unordered_map>
#include <utility>

#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "results/StudyTexts.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

// Beyond this many separate runs of removed lines one reset is cheaper than removing each run.
constexpr std::size_t kMaxRemovedRuns = 32;

double numericKey(double value) {
    return std::isnan(value) ? -std::numeric_limits<double>::infinity() : value;
}

}  // namespace

JournalDragData::JournalDragData(QObject* origin) : origin_(origin) {
    setData(QString::fromLatin1(kMimeType), QByteArray());
}

JournalModel::JournalModel(QObject* parent) : QAbstractTableModel(parent) {}

JournalModel::~JournalModel() = default;

void JournalModel::SetStudies(const StudyView& studies) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(studies.size());
    for (TStudy* study : studies) {
        rows_.push_back({study, nullptr});
    }
    removed_.clear();
    endResetModel();
}

TStudy* JournalModel::StudyAt(int row) const {
    if (row < 0 || row >= rowCount()) {
        return nullptr;
    }
    TStudy* study = rows_[static_cast<std::size_t>(row)].study;
    return removed_.empty() || !removed_.contains(study) ? study : nullptr;
}

StudyView JournalModel::Studies() const {
    StudyView studies;
    studies.reserve(rows_.size());
    for (const Row& row : rows_) {
        if (!removed_.contains(row.study)) {
            studies.push_back(row.study);
        }
    }
    return studies;
}

void JournalModel::AppendStudies(const StudyView& studies, int column, Qt::SortOrder order) {
    if (studies.empty()) {
        return;
    }
    beginInsertRows(QModelIndex(), rowCount(), rowCount() + static_cast<int>(studies.size()) - 1);
    for (TStudy* study : studies) {
        rows_.push_back({study, nullptr});
    }
    endInsertRows();
    SortRows(column, order);
}

void JournalModel::StudyRemoved(const TStudy& study) {
    removed_.insert(&study);
}

void JournalModel::Compact() {
    if (removed_.empty()) {
        return;
    }
    const auto isRemoved = [this](const Row& row) { return removed_.contains(row.study); };
    // Runs of removed lines, last first, so that each removal leaves the earlier ones in place.
    std::vector<std::pair<int, int>> runs;
    for (int row = rowCount() - 1; row >= 0;) {
        if (!isRemoved(rows_[static_cast<std::size_t>(row)])) {
            --row;
            continue;
        }
        const int last = row;
        while (row >= 0 && isRemoved(rows_[static_cast<std::size_t>(row)])) {
            --row;
        }
        runs.emplace_back(row + 1, last);
    }
    if (runs.size() > kMaxRemovedRuns) {
        beginResetModel();
        std::erase_if(rows_, isRemoved);
        removed_.clear();
        endResetModel();
        return;
    }
    for (const auto& [first, last] : runs) {
        beginRemoveRows(QModelIndex(), first, last);
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        endRemoveRows();
    }
    removed_.clear();
}

std::vector<double> JournalModel::SortKeys(int column) const {
    std::vector<double> keys(rows_.size());
    if (column == ColUser || column == ColTest) {
        // Each account or test is ranked once by its name, so that the sort itself compares
        // numbers; equal names share a rank.
        std::unordered_map<const void*, double> ranks;
        std::vector<std::pair<QString, const void*>> names;
        for (const Row& row : rows_) {
            const void* object = column == ColUser ? static_cast<const void*>(row.study->User())
                                                   : static_cast<const void*>(row.study->Test());
            if (ranks.try_emplace(object, 0.0).second) {
                names.emplace_back(
                    column == ColUser ? StudyUserName(*row.study) : StudyTestName(*row.study),
                    object);
            }
        }
        std::ranges::sort(names, [](const auto& a, const auto& b) {
            return compareDisplayNames(a.first, b.first) < 0;
        });
        double rank = 0.0;
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i > 0 && compareDisplayNames(names[i - 1].first, names[i].first) != 0) {
                rank += 1.0;
            }
            ranks[names[i].second] = rank;
        }
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const TStudy& study = *rows_[i].study;
            keys[i] = ranks[column == ColUser ? static_cast<const void*>(study.User())
                                              : static_cast<const void*>(study.Test())];
        }
        return keys;
    }
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const TStudy& study = *rows_[i].study;
        switch (column) {
            case ColTestKind:
                keys[i] = study.Test() ? study.Test()->GroupKind() : -1.0;
                break;
            case ColMode:
                keys[i] = study.Mode();
                break;
            case ColResult:
                keys[i] = numericKey(study.Percent());
                break;
            default:
                keys[i] = numericKey(study.Date());
                break;
        }
    }
    return keys;
}

void JournalModel::SortRows(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    // Lines of studies being removed are gone first: their studies may be freed already.
    Compact();
    const std::vector<double> keys = SortKeys(column);
    std::vector<int> permutation(rows_.size());
    std::iota(permutation.begin(), permutation.end(), 0);
    // Exact comparison is one of the orders that a comparison with a tolerance allows (values
    // that close count as equal and are not ordered further), and unlike it a strict weak
    // order, which the sort requires.
    if (order == Qt::AscendingOrder) {
        std::ranges::stable_sort(permutation, [&keys](int a, int b) {
            return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
        });
    } else {
        std::ranges::stable_sort(permutation, [&keys](int a, int b) {
            return keys[static_cast<std::size_t>(a)] > keys[static_cast<std::size_t>(b)];
        });
    }

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRowOf(rows_.size());
    std::vector<Row> sorted;
    sorted.reserve(rows_.size());
    for (std::size_t i = 0; i < permutation.size(); ++i) {
        newRowOf[static_cast<std::size_t>(permutation[i])] = static_cast<int>(i);
        sorted.push_back(std::move(rows_[static_cast<std::size_t>(permutation[i])]));
    }
    rows_ = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        after.append(this->index(newRowOf[static_cast<std::size_t>(index.row())], index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

const JournalModel::Texts& JournalModel::TextsOf(const Row& row) const {
    if (!row.texts) {
        const TStudy& study = *row.study;
        auto texts = std::make_unique<Texts>();
        (*texts)[ColUser] = StudyUserName(study);
        (*texts)[ColTest] = StudyTestName(study);
        if (study.Test()) {
            (*texts)[ColTestKind] = study.Test()->GroupKind() == kGroupKindComplexTest
                                        ? QStringLiteral("комплексный")
                                        : QStringLiteral("простой");
        }
        (*texts)[ColMode] = study.Mode() != kModePreparation ? QStringLiteral("тестирование")
                                                             : QStringLiteral("подготовка");
        switch (StudyGradingMethod(study)) {
            case 0:
                (*texts)[ColResult] =
                    QStringLiteral("%1 из %2")
                        .arg(FormatPercent(study.Percent()), FormatPercent(study.PassPercent()));
                break;
            case 1:
                (*texts)[ColResult] = QStringLiteral("оценка %1 (%2)")
                                          .arg(study.Grade())
                                          .arg(FormatPercent(study.Percent()));
                break;
            default:
                break;
        }
        (*texts)[ColDate] = FormatStudyDate(study.Date());
        row.texts = std::move(texts);
    }
    return *row.texts;
}

int JournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int JournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !StudyAt(index.row())) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return TextsOf(rows_[static_cast<std::size_t>(index.row())])[index.column()];
        case Qt::TextAlignmentRole:
            return index.column() == ColUser ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                             : QVariant(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return {};
    }
    static const char* const kTitles[ColumnCount] = {"Соискатель",       "Тест",       "Вид теста",
                                                     "Вид тестирования", "Результаты", "Дата"};
    switch (role) {
        case Qt::DisplayRole:
            return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section])
                                                         : QVariant();
        case Qt::TextAlignmentRole:
            return section == ColUser ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                      : QVariant(Qt::AlignCenter);
        default:
            return {};
    }
}

Qt::ItemFlags JournalModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled |
           Qt::ItemNeverHasChildren;
}

QStringList JournalModel::mimeTypes() const {
    return {QString::fromLatin1(JournalDragData::kMimeType)};
}

QMimeData* JournalModel::mimeData(const QModelIndexList&) const {
    // The drop takes the journal's selection, so the drag carries only where it comes from.
    return new JournalDragData(dragOrigin_);
}

Qt::DropActions JournalModel::supportedDragActions() const {
    return Qt::CopyAction;
}

}  // namespace kvalor
