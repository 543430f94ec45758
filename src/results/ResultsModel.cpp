#include "results/ResultsModel.h"

#include <algorithm>

#include <QBrush>
#include <QFont>
#include <QStringList>

#include "model/Answers.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "question/QuestionWindowSupport.h"
#include "results/StudyTexts.h"
#include "ui/Icons.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

bool contains(const AnswerIndexes& values, int value) {
    return std::ranges::find(values, value) != values.end();
}

// The group path of a question: its holder, then outwards up to (without) the first simple
// test above it.
QString groupPath(const TQuestion& question) {
    const TExaminerCollection* holder = question.Parent();
    if (!holder) {
        return {};
    }
    QStringList lines{fromCp1251(holder->GetName())};
    for (const TExaminerCollection* outer = holder->Parent(); outer; outer = outer->Parent()) {
        const auto* group = dynamic_cast<const TQuestions*>(outer);
        if (group && group->GroupKind() == kGroupKindSimpleTest) {
            break;
        }
        lines << fromCp1251(outer->GetName());
    }
    return lines.join(QLatin1Char('\n'));
}

// The answer rows under the question row of a record: as shown during the run, or the
// question's own answers; none when the question is gone.
int answerRows(const ExamineRecord& record, bool answersAsShown) {
    if (!record.Question) {
        return 0;
    }
    return answersAsShown ? static_cast<int>(record.Order.size())
                          : record.Question->Answers().Count();
}

}  // namespace

std::uint64_t ResultsModel::RowsFor(const StudyView& studies, bool answersAsShown) {
    std::uint64_t rows = 0;
    for (const TStudy* study : studies) {
        const TExamineQuestions& records = study->Questions();
        rows += 2 + static_cast<std::uint64_t>(records.Count());
        for (int q = 0; q < records.Count(); ++q) {
            rows += static_cast<std::uint64_t>(answerRows(records.At(q), answersAsShown));
        }
    }
    return rows;
}

ResultsModel::ResultsModel(QObject* parent) : TTreeNodeModel(parent) {}

ResultsModel::~ResultsModel() = default;

void ResultsModel::SetStudies(const StudyView& studies, bool answersAsShown, bool withKey) {
    Rebuild([&](Node& root) {
        answersAsShown_ = answersAsShown;
        withKey_ = withKey;
        root.Children.reserve(studies.size());
        for (std::size_t i = 0; i < studies.size(); ++i) {
            TStudy& study = *studies[i];
            Node& user = AddChild(root, KindUser, static_cast<int>(i));
            user.study = &study;
            Node& result = AddChild(user, KindResult, static_cast<int>(i));
            AddQuestionRows(result, study);
        }
    });
}

ResultsModel::Node& ResultsModel::AddChild(Node& parent, RowKind kind, int index) {
    auto node = std::make_unique<Node>();
    node->study = parent.study;
    node->kind = kind;
    node->index = index;
    return parent.Adopt(std::move(node));
}

void ResultsModel::AddQuestionRows(Node& result, TStudy& study) {
    const TExamineQuestions& records = study.Questions();
    result.Children.reserve(static_cast<std::size_t>(records.Count()));
    for (int q = 0; q < records.Count(); ++q) {
        Node& questionRow = AddChild(result, KindQuestion, q);
        const int answers = answerRows(records.At(q), answersAsShown_);
        questionRow.Children.reserve(static_cast<std::size_t>(answers));
        for (int k = 0; k < answers; ++k) {
            AddChild(questionRow, KindAnswer, k);
        }
    }
}

void ResultsModel::RemoveStudy(const TStudy& study) {
    for (const auto& user : Root().Children) {
        if (user->study == &study) {
            RemoveNode(*user);
            return;
        }
    }
}

std::optional<ExamineRecord> ResultsModel::RecordOf(const Node& questionNode) const {
    const TExamineQuestions& records = questionNode.study->Questions();
    if (questionNode.index >= records.Count()) {
        return std::nullopt;
    }
    return records.At(questionNode.index);
}

TAnswer* ResultsModel::AnswerOf(const Node& answerNode) const {
    const std::optional<ExamineRecord> record = RecordOf(*answerNode.Parent);
    if (!record || !record->Question) {
        return nullptr;
    }
    const TAnswers& answers = record->Question->Answers();
    if (!answersAsShown_) {
        return answers.AnswerAt(answerNode.index);
    }
    const auto k = static_cast<std::size_t>(answerNode.index);
    return k < record->Order.size() ? answers.AnswerAt(record->Order[k]) : nullptr;
}

const ResultsModel::Cells& ResultsModel::CellsOf(const Node& node) const {
    if (!node.cells) {
        auto cells = std::make_unique<Cells>();
        switch (node.kind) {
            case KindUser:
                FillUserRow(node, *cells);
                break;
            case KindResult:
                FillResultRow(node, *cells);
                break;
            case KindQuestion:
                FillQuestionRow(node, *cells);
                break;
            case KindAnswer:
                FillAnswerRow(node, *cells);
                break;
        }
        node.cells = std::move(cells);
    }
    return *node.cells;
}

void ResultsModel::FillUserRow(const Node& node, Cells& cells) const {
    cells.texts[0] = StudyUserName(*node.study);
}

void ResultsModel::FillResultRow(const Node& node, Cells& cells) const {
    const TStudy& study = *node.study;
    switch (StudyGradingMethod(study)) {
        case 0:
            cells.texts[0] =
                QStringLiteral("%1 (%2 из %3) дата %4")
                    .arg(StudyTestName(study), FormatPercent(study.Percent()),
                         FormatPercent(study.PassPercent()), FormatStudyDate(study.Date()));
            break;
        case 1:
            cells.texts[0] =
                QStringLiteral("%1 (оценка %2 %3) дата %4")
                    .arg(StudyTestName(study), QString::number(study.Grade()),
                         FormatPercent(study.Percent()), FormatStudyDate(study.Date()));
            break;
        default:
            break;
    }
}

void ResultsModel::FillQuestionRow(const Node& node, Cells& cells) const {
    cells.texts[0] = QStringLiteral("Вопрос № %1").arg(node.index + 1);
    const std::optional<ExamineRecord> record = RecordOf(node);
    if (!record) {
        return;
    }
    cells.images[0] = record->Right ? 5 : !record->Given.empty() ? 6 : 8;
    if (!record->Question) {
        cells.texts[1] = QStringLiteral("Удален");
        return;
    }
    cells.texts[1] = fromCp1251(record->Question->GetName());
    cells.texts[2] = groupPath(*record->Question);
}

void ResultsModel::FillAnswerRow(const Node& node, Cells& cells) const {
    const TAnswer* answer = AnswerOf(node);
    const std::optional<ExamineRecord> record = RecordOf(*node.Parent);
    if (!answer || !record) {
        return;
    }
    const TQuestion& question = *record->Question;
    cells.texts[0] = QStringLiteral("Вариант № %1").arg(node.index + 1);
    cells.texts[1] = fromCp1251(answer->GetName());
    cells.texts[2] = QStringLiteral(" ");
    const int p = question.Answers().IndexOf(answer);
    const auto given = record->Given;
    switch (question.QuestionType()) {
        case kSingleAnswer:
        case kMultipleAnswers: {
            const bool single = question.QuestionType() == kSingleAnswer;
            const int neutral = single ? 0 : 2;
            cells.images[0] = withKey_ && answer->Correct() ? neutral + 1 : neutral;
            if (contains(given, p)) {
                cells.images[2] = answer->Correct() ? 9 : 10;
            }
            break;
        }
        case kSequence:
            cells.images[0] = withKey_ ? 4 : -1;
            if (p >= 0 && static_cast<std::size_t>(p) < given.size()) {
                cells.images[2] = given[static_cast<std::size_t>(p)] == p ? 9 : 10;
            }
            break;
        default:
            break;
    }
}

int ResultsModel::columnCount(const QModelIndex&) const {
    return kColumnCount;
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const Node& node = *NodeOf(index);
    const int column = index.column();
    switch (role) {
        case Qt::DisplayRole:
        case Qt::ToolTipRole:
            return CellsOf(node).texts[static_cast<std::size_t>(column)];
        case Qt::DecorationRole: {
            const int image = CellsOf(node).images[static_cast<std::size_t>(column)];
            return image < 0 ? QVariant() : QVariant(treePicture(image));
        }
        case ImageIndexRole:
            return CellsOf(node).images[static_cast<std::size_t>(column)];
        case RowKindRole:
            return static_cast<int>(node.kind);
        case Qt::TextAlignmentRole:
            return column == 0 ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                               : QVariant(Qt::AlignCenter);
        case Qt::FontRole:
            if (node.kind == KindUser || node.kind == KindResult) {
                QFont bold;
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::ForegroundRole:
            if (node.kind == KindResult) {
                return QBrush(node.study->Passed() ? kNavyText : kRedText);
            }
            return {};
        default:
            return {};
    }
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace kvalor
