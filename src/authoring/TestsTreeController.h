#pragma once

#include <cstdint>
#include <vector>

#include <QObject>

class QTimer;

namespace kvalor {

class ITestsTreeView;
class TItemTreeModel;
class TQuestion;
class TQuestions;
struct TItemNode;

// What the focused nodes of the tests window allow; creating and importing always are.
struct TestsCommandStates {
    // A complex test has the focus: its copy, a task added to it.
    bool ComplexTest = false;
    // Some node of the complex tree has the focus: changed, deleted.
    bool ComplexNode = false;
    // Some node of the simple tree has the focus: a copy of its test, a question added to it,
    // the node changed, copied or deleted.
    bool SimpleNode = false;
    bool SimplePaste = false;
    bool SimpleAddGroup = false;
    // Moved up or down among its like, within its test.
    bool SimpleMove = false;
    bool SimpleExport = false;
};

// The commands of the tests window without its widgets: tests created, changed, copied and
// deleted, groups, questions and tasks added, questions imported and tests exported. It works
// on the data, on the two tree models, whose nodes it keeps in step, and through the view on
// the trees' focus and the dialogs; it asks the user through the prompts.
class TTestsTreeController : public QObject {
    Q_OBJECT
public:
    TTestsTreeController(ITestsTreeView& view, TItemTreeModel& complexModel,
                         TItemTreeModel& simpleModel, QObject* parent = nullptr);

    TestsCommandStates CommandStates() const;

    // The data file written now, as the users window's "Сохранить" writes it.
    void Save();
    // A change by the author, noted before it is made: the data file is saved by itself once
    // the author pauses, even after a change that failed halfway.
    void NoteChange();
    // How long it waits after the last change before it saves by itself.
    static constexpr int kAutoSaveMilliseconds = 60'000;

    // A complex or simple test, created when the user saves it in the test settings dialog.
    void CreateTest(std::uint8_t groupKind);
    // The focused node in the dialog that changes it: the test settings (for a task those of
    // its simple test), the name of a group, or the question window.
    void ChangeComplex();
    void ChangeSimple();
    // A group named by the user into the focused test that holds no question directly.
    void AddGroup();
    // A new question in the editor; deleted after asking when the author left it invalid.
    void AddQuestion();
    // A task of the focused complex test, from a simple test the user chooses.
    void AddTask();
    // A copy of the focused complex test with its tasks, or of the test that encloses the
    // focused node of the simple tree, named a copy.
    void DuplicateComplex();
    void DuplicateSimple();
    // The focused node of the complex tree (a test or one task), or the selected nodes of the
    // simple tree, after asking and naming what goes with them.
    void DeleteComplex();
    void DeleteSimple();
    // Questions of GIFT and Aiken files into the focused test or group (the collection of a
    // focused question), or into a new test per file when no node has the focus.
    void ImportQuestions();
    // Writes the test that encloses the focused node as a workbook and opens it.
    void Export();
    // The focused simple test as a Moodle XML or GIFT file, for learning platforms.
    void ExportQuestions();

    // The selected nodes of the simple tree, in tree order; "Выделенные элементы должны быть
    // одинакового типа." unless they show items of one class and kind.
    std::vector<TItemNode*> SimpleSelectionOfOneType() const;
    // Texts that follow the tests: every count and name of the complex tree, and whether each
    // simple test is used; after a change in a test, also the texts of its nodes.
    void RefreshComplexTree();
    void RefreshSimpleTest(TQuestions& test);

private:
    void AutoSave();
    TQuestions* FocusedComplexTest() const;
    void RenameGroup(TItemNode& node, TQuestions& group);
    // Shows the question in the editor; the test's nodes are rebuilt afterwards.
    void EditQuestion(TQuestion& question, TQuestions& test);
    // Whether the user agrees to delete the item of the node of the simple tree.
    bool ConfirmSimpleDeletion(TItemNode& node);
    // A new test of the tests list, shown selected.
    void ShowNewTest(TQuestions& test, bool complex);

    ITestsTreeView& view_;
    TItemTreeModel& complexModel_;
    TItemTreeModel& simpleModel_;
    // Single shot, restarted by every change (objectName "tmAutoSave").
    QTimer* tmAutoSave_;
};

}  // namespace kvalor
