#pragma once

#include <cstdint>

#include <QStringList>

namespace kvalor {

class IExaminerItem;
class TExaminerCollection;
class TQuestions;
struct TItemNode;

// The columns of both tests trees. The simple tree shows names and counts only; the last
// column, whether complex tests use the test, is the simple tree's alone.
enum TestsTreeColumn : int { kNameColumn, kCountColumn, kPercentColumn, kTimeColumn, kUsedColumn };

// The item as a test or group of questions; nullptr for a question.
TQuestions* AsGroup(IExaminerItem* item);
// Whether the item is a test or group of the kind.
bool IsKind(const IExaminerItem* item, std::uint8_t groupKind);

// The simple test that encloses the node in the simple tree (the test itself for a test).
TQuestions* EnclosingTest(const TItemNode* node);
// The complex test whose task the node of the complex tree is; nullptr for a test node.
TQuestions* TaskOwner(const TItemNode* node);
// The complex test of a node of the complex tree: the node's own or its parent's.
TQuestions* ComplexTestOf(const TItemNode* node);
// The nearest simple test at or above the collection.
TQuestions* TestAbove(TExaminerCollection* collection);
// Where new questions go for the focused node: the test or group itself, or the collection
// that holds the question.
TQuestions* QuestionTarget(const TItemNode* node);

// The column texts of a node of the complex or the simple tree.
QStringList NodeTexts(const TItemNode& node, bool complexTree);

}  // namespace kvalor
