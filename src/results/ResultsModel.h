#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QString>

#include "model/ExamineQuestions.h"
#include "model/StudyList.h"
#include "ui/TreeNode.h"

namespace kvalor {

class TAnswer;
class TQuestion;
class TStudy;

// A row of the results view.
struct TResultRow : TTreeNode<TResultRow> {
    enum Kind : std::uint8_t { KindUser = 0, KindResult = 1, KindQuestion = 2, KindAnswer = 3 };
    static constexpr int kColumns = 3;
    struct Cells {
        std::array<QString, kColumns> texts;
        std::array<int, kColumns> images{-1, -1, -1};
    };

    TStudy* study = nullptr;
    Kind kind = KindUser;
    // User and result rows: the study's place in the list; question rows: the record's place
    // in the study; answer rows: the row's place under its question.
    int index = 0;
    mutable std::unique_ptr<Cells> cells;
};

// The rows of the results view: per study a user row, under it the result row, under that
// one row per question put, and under each question its answers. Texts and pictures of a row
// are made the first time anything of it is asked for and kept; questions and answers are
// looked up through the study at that moment, never remembered, so a row never holds an item
// that was freed before it was first shown.
class ResultsModel : public TTreeNodeModel<TResultRow> {
    Q_OBJECT
public:
    using RowKind = TResultRow::Kind;
    using enum RowKind;
    static constexpr int kColumnCount = TResultRow::kColumns;
    // The picture index of a cell (-1 none), as the pictures of the tree image list number them.
    static constexpr int ImageIndexRole = Qt::UserRole + 1;
    static constexpr int RowKindRole = Qt::UserRole + 2;

    explicit ResultsModel(QObject* parent = nullptr);
    ~ResultsModel() override;

    // Builds the rows of the studies. answersAsShown: the answers in the order of the run
    // (testing run mode), else in the author's order; withKey: the answer key is marked.
    void SetStudies(const StudyView& studies, bool answersAsShown, bool withKey);
    // The rows SetStudies builds for the studies, all of them expanded.
    static std::uint64_t RowsFor(const StudyView& studies, bool answersAsShown);
    // Removes the rows of the study (about to be freed).
    void RemoveStudy(const TStudy& study);

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    using Node = TResultRow;
    using Cells = TResultRow::Cells;

    static Node& AddChild(Node& parent, RowKind kind, int index);
    void AddQuestionRows(Node& result, TStudy& study);
    const Cells& CellsOf(const Node& node) const;
    void FillUserRow(const Node& node, Cells& cells) const;
    void FillResultRow(const Node& node, Cells& cells) const;
    void FillQuestionRow(const Node& node, Cells& cells) const;
    void FillAnswerRow(const Node& node, Cells& cells) const;
    std::optional<ExamineRecord> RecordOf(const Node& questionNode) const;
    // The answer an answer row shows, or nullptr when it no longer exists.
    TAnswer* AnswerOf(const Node& answerNode) const;

    bool answersAsShown_ = false;
    bool withKey_ = false;
};

}  // namespace kvalor
