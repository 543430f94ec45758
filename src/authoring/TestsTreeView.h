#pragma once

#include <vector>

#include <QStringList>

namespace kvalor {

class IExaminerItem;
class TQuestion;
class TQuestions;
struct SelectionType;
struct TTask;
struct TItemNode;

// The two trees of the tests window.
enum class TestsTree { Complex, Simple };

// What the commands of the tests window need of the window that shows them: the focus,
// selection and expansion of its trees, and its dialogs, which are widgets.
class ITestsTreeView {
public:
    virtual ~ITestsTreeView() = default;

    // The node that has the focus in the tree, or nullptr.
    virtual TItemNode* CurrentNode(TestsTree tree) const = 0;
    // The selected nodes of the simple tree in tree order, and whether they are of one type.
    virtual std::vector<TItemNode*> SimpleSelection() const = 0;
    virtual SelectionType SimpleSelectionType() const = 0;
    // The item's node filled anew, keeping what is expanded (the complex tree shows tasks).
    virtual void Rebuild(TestsTree tree, IExaminerItem& item) = 0;
    // The node alone selected and focused, the nodes above it expanded.
    virtual void SelectAlone(TestsTree tree, TItemNode& node) = 0;
    // The nodes of the simple tree selected, the last one focused.
    virtual void SelectSimpleNodes(const std::vector<TItemNode*>& nodes) = 0;
    virtual bool IsExpanded(TestsTree tree, const TItemNode& node) const = 0;
    virtual void SetExpanded(TestsTree tree, const TItemNode& node, bool expanded) = 0;
    // Whether a dialog, editor or menu is open, whose work is not stored yet.
    virtual bool Busy() const = 0;

    // The test settings dialog on the test or group, with the task through which a simple
    // test was reached; whether the user accepted it.
    virtual bool EditSettings(TQuestions& group, TTask* task) = 0;
    // The question window in its editing mode on the question of the test, until it closes.
    virtual void EditQuestions(TQuestion& question, TQuestions& test) = 0;
    // A simple test the complex test does not draw from yet, chosen by the user; or nullptr.
    virtual TQuestions* ChooseTaskSource(TQuestions& complex) = 0;
    virtual void ShowImportReport(const QStringList& lines) = 0;
};

}  // namespace kvalor
