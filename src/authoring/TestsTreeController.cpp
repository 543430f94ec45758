#include "authoring/TestsTreeController.h"

#include <algorithm>
#include <memory>

#include <QDir>
#include <QFileInfo>
#include <QPersistentModelIndex>
#include <QRegularExpression>
#include <QTimer>

#include "app/DataModule.h"
#include "authoring/TestItems.h"
#include "authoring/TestsTreeDrops.h"
#include "authoring/TestsTreeNodes.h"
#include "authoring/TestsTreeView.h"
#include "exchange/QuestionExport.h"
#include "exchange/QuestionImport.h"
#include "exchange/QuestionText.h"
#include "exchange/TestWorkbook.h"
#include "model/CollectionHelpers.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "ui/Clipboard.h"
#include "ui/ErrorGuard.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "ui/Workbooks.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Deletions: Enter pressed by habit deletes nothing.
bool askYes(const QString& text) {
    return confirmDestructive(text, kProgramCaption, QMessageBox::Critical);
}

// The object in words, as a deletion question names it: "тест «Алгебра»".
QString objectTitle(const IExaminerItem& item) {
    if (const auto* question = dynamic_cast<const TQuestion*>(&item)) {
        constexpr int kShownLetters = 60;
        QString text = fromCp1251(question->GetName()).simplified();
        if (text.size() > kShownLetters) {
            text = text.left(kShownLetters - 1) + QChar(0x2026);
        }
        return QStringLiteral("вопрос %1 «%2»").arg(question->GetNumber()).arg(text);
    }
    const auto* group = dynamic_cast<const TQuestions*>(&item);
    const QString name = group ? fromCp1251(group->GetName()) : QString();
    switch (group ? group->GroupKind() : 0) {
        case kGroupKindComplexTest:
            return QStringLiteral("комплексный тест «%1»").arg(name);
        case kGroupKindSimpleTest:
            return QStringLiteral("тест «%1»").arg(name);
        default:
            return QStringLiteral("группу вопросов «%1»").arg(name);
    }
}

// What a deletion takes along, as a second line of its question; empty when nothing.
struct Losses {
    int Questions = 0;
    int Tasks = 0;
    int Results = 0;

    QString Line() const {
        QStringList parts;
        const auto add = [&parts](int count, const char* what) {
            if (count > 0) {
                parts << QStringLiteral("%1 (%2)").arg(QString::fromUtf8(what)).arg(count);
            }
        };
        add(Questions, "вопросы");
        add(Tasks, "задания комплексных тестов");
        add(Results, "результаты тестирования");
        return parts.isEmpty() ? QString()
                               : QStringLiteral("\nВместе с этим будут удалены ") +
                                     parts.join(QStringLiteral(", ")) + QLatin1Char('.');
    }
};

Losses simpleLosses(const std::vector<TItemNode*>& nodes) {
    const TKvalor& root = kvalorRoot();
    Losses losses;
    for (const TItemNode* node : nodes) {
        auto* group = AsGroup(node->Item);
        if (!group) {
            continue;
        }
        losses.Questions += CountItems(*group, true);
        for (TExaminerCollection* inside : CollectCollections(*group, "TQuestions")) {
            if (const auto* source = dynamic_cast<const TQuestions*>(inside)) {
                losses.Tasks += static_cast<int>(root.Tasks().TasksFrom(*source).size());
            }
        }
        if (group->GroupKind() == kGroupKindSimpleTest) {
            losses.Results += static_cast<int>(root.Studies().StudiesOfTest(*group).size());
        }
    }
    return losses;
}

}  // namespace

TTestsTreeController::TTestsTreeController(ITestsTreeView& view, TItemTreeModel& complexModel,
                                           TItemTreeModel& simpleModel, QObject* parent)
    : QObject(parent),
      view_(view),
      complexModel_(complexModel),
      simpleModel_(simpleModel),
      tmAutoSave_(new QTimer(this)) {
    setObjectName(QStringLiteral("TestsTreeController"));
    tmAutoSave_->setObjectName(QStringLiteral("tmAutoSave"));
    tmAutoSave_->setSingleShot(true);
    tmAutoSave_->setInterval(kAutoSaveMilliseconds);
    connect(tmAutoSave_, &QTimer::timeout, this, [this] { AutoSave(); });
}

TestsCommandStates TTestsTreeController::CommandStates() const {
    const TItemNode* simple = view_.CurrentNode(TestsTree::Simple);
    const TQuestions* test = EnclosingTest(simple);
    TestsCommandStates states;
    states.ComplexTest = FocusedComplexTest() != nullptr;
    states.ComplexNode = view_.CurrentNode(TestsTree::Complex) != nullptr;
    states.SimpleNode = simple != nullptr;
    states.SimplePaste = simple != nullptr && ClipboardHasProgramData();
    states.SimpleAddGroup = test && !HoldsQuestionDirectly(*test);
    states.SimpleMove = test != nullptr && simple->Item != test;
    states.SimpleExport = test != nullptr;
    return states;
}

// Saving.

void TTestsTreeController::Save() {
    // What a failed load left in memory must never replace the file it could not read.
    if (!dataModule().DataLoaded()) {
        throw KvalorError(
            "База данных не была прочитана при запуске программы. Сохранение невозможно");
    }
    tmAutoSave_->stop();
    dataModule().SaveDataFile();
}

void TTestsTreeController::NoteChange() {
    tmAutoSave_->start();
}

void TTestsTreeController::AutoSave() {
    // Never under an open dialog or editor, whose work is not stored yet.
    if (view_.Busy()) {
        tmAutoSave_->start();
        return;
    }
    // A failed save is shown once; the next change tries again.
    if (dataModule().DataLoaded()) {
        guarded([] { dataModule().SaveDataFile(); });
    }
}

TQuestions* TTestsTreeController::FocusedComplexTest() const {
    const TItemNode* node = view_.CurrentNode(TestsTree::Complex);
    return node && IsKind(node->Item, kGroupKindComplexTest) ? static_cast<TQuestions*>(node->Item)
                                                             : nullptr;
}

std::vector<TItemNode*> TTestsTreeController::SimpleSelectionOfOneType() const {
    if (!view_.SimpleSelectionType().Same) {
        throw KvalorError("Выделенные элементы должны быть одинакового типа.");
    }
    return view_.SimpleSelection();
}

void TTestsTreeController::RefreshComplexTree() {
    // Counts and names of tasks follow their sources; the complex tree is small.
    complexModel_.ResetAllTexts();
    // Whether a simple test is used by a complex test.
    for (const auto& node : simpleModel_.Root().Children) {
        simpleModel_.ResetTexts(*node);
    }
}

void TTestsTreeController::RefreshSimpleTest(TQuestions& test) {
    if (TItemNode* node = FindItemNode(simpleModel_, &test)) {
        simpleModel_.ResetTextsBelow(*node);
    }
    RefreshComplexTree();
}

void TTestsTreeController::ShowNewTest(TQuestions& test, bool complex) {
    TItemTreeModel& model = complex ? complexModel_ : simpleModel_;
    TItemNode& node = AddItemNode(model, test, nullptr);
    FillTree(model, test, &node, complex ? &kvalorRoot().Tasks() : nullptr);
    view_.SelectAlone(complex ? TestsTree::Complex : TestsTree::Simple, node);
    RefreshComplexTree();
}

// Creating and changing.

void TTestsTreeController::CreateTest(std::uint8_t groupKind) {
    auto test = std::make_unique<TQuestions>(groupKind);
    if (!view_.EditSettings(*test, nullptr)) {
        // The tasks made for it on "Состав" go with it: none may name a test that never was.
        DiscardItem(*test);
        return;
    }
    TKvalor& root = kvalorRoot();
    const bool complex = groupKind == kGroupKindComplexTest;
    TQuestions& list = complex ? root.ComplexTests() : root.SimpleTests();
    TQuestions& created = *test;
    list.AddCollection(std::move(test));
    list.RenumberCollections();
    ShowNewTest(created, complex);
}

void TTestsTreeController::ChangeComplex() {
    TItemNode* node = view_.CurrentNode(TestsTree::Complex);
    TQuestions* test = node ? AsGroup(node->Item) : nullptr;
    if (!test) {
        return;
    }
    if (test->GroupKind() == kGroupKindComplexTest) {
        view_.EditSettings(*test, nullptr);
        // Its tasks may have changed in the dialog.
        view_.Rebuild(TestsTree::Complex, *test);
        RefreshComplexTree();
        return;
    }
    // A task: the settings of its simple test, with the task's question count at hand.
    TQuestions* owner = TaskOwner(node);
    view_.EditSettings(*test, owner ? kvalorRoot().Tasks().FindTask(*owner, *test) : nullptr);
    RefreshSimpleTest(*test);
}

void TTestsTreeController::ChangeSimple() {
    TItemNode* node = view_.CurrentNode(TestsTree::Simple);
    if (!node) {
        return;
    }
    if (auto* question = dynamic_cast<TQuestion*>(node->Item)) {
        if (TQuestions* test = EnclosingTest(node)) {
            EditQuestion(*question, *test);
        }
        return;
    }
    TQuestions* group = AsGroup(node->Item);
    if (!group) {
        return;
    }
    if (group->GroupKind() == kGroupKindSubgroup) {
        RenameGroup(*node, *group);
        return;
    }
    view_.EditSettings(*group, nullptr);
    simpleModel_.ResetTextsUpwards(*node);
    RefreshComplexTree();
}

void TTestsTreeController::RenameGroup(TItemNode& node, TQuestions& group) {
    const auto name =
        prompts().inputBox(QStringLiteral("Наименование группы вопросов"),
                           QStringLiteral("Наименование "), fromCp1251(group.GetName()));
    if (!name) {
        return;
    }
    group.SetName(toCp1251(*name));
    simpleModel_.ResetTexts(node);
    RefreshComplexTree();
}

void TTestsTreeController::EditQuestion(TQuestion& question, TQuestions& test) {
    TExaminerCollection* parent = question.Parent();
    TItemNode* testNode = FindItemNode(simpleModel_, &test);
    TItemNode* parentNode = FindItemNode(simpleModel_, parent);
    const bool testExpanded = testNode && view_.IsExpanded(TestsTree::Simple, *testNode);
    const bool parentExpanded = parentNode && view_.IsExpanded(TestsTree::Simple, *parentNode);
    // The editor adds and deletes questions anywhere in the test: while it is open no node
    // may point into the test.
    if (testNode) {
        simpleModel_.RemoveChildren(*testNode);
    }
    view_.EditQuestions(question, test);

    test.Renumber();
    view_.Rebuild(TestsTree::Simple, test);
    if (testNode) {
        view_.SetExpanded(TestsTree::Simple, *testNode, testExpanded);
    }
    if (TItemNode* former = FindItemNode(simpleModel_, parent)) {
        view_.SelectAlone(TestsTree::Simple, *former);
        view_.SetExpanded(TestsTree::Simple, *former, parentExpanded);
    }
    RefreshComplexTree();
}

void TTestsTreeController::AddGroup() {
    TQuestions* test = EnclosingTest(view_.CurrentNode(TestsTree::Simple));
    if (!test || HoldsQuestionDirectly(*test)) {
        return;
    }
    const auto name = prompts().inputBox(QStringLiteral("Задайте наименование группы"),
                                         QStringLiteral("Наименование "), QString());
    if (!name) {
        return;
    }
    auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
    group->SetName(toCp1251(*name));
    TQuestions& added = *group;
    test->AddCollection(std::move(group));
    test->Renumber();
    view_.Rebuild(TestsTree::Simple, *test);
    if (TItemNode* node = FindItemNode(simpleModel_, &added)) {
        view_.SelectAlone(TestsTree::Simple, *node);
    }
}

void TTestsTreeController::AddQuestion() {
    TQuestions* target = QuestionTarget(view_.CurrentNode(TestsTree::Simple));
    TQuestions* test = TestAbove(target);
    if (!target || !test) {
        return;
    }
    auto created = NewQuestion();
    TQuestion& question = *created;
    const Guid id = question.Id();
    target->AddItem(std::move(created));
    target->Renumber();
    EditQuestion(question, *test);

    // The author may have deleted it in the editor already.
    auto* kept = dynamic_cast<TQuestion*>(test->FindItem(id));
    if (kept && !kept->IsValid() &&
        confirmDestructive(QStringLiteral("Параметры вопроса некорректны.\nУдалить вопрос ?"),
                           kProgramCaption, QMessageBox::Warning)) {
        if (TItemNode* questionNode = FindItemNode(simpleModel_, kept)) {
            simpleModel_.RemoveNode(*questionNode);
        }
        DiscardItem(*kept);
        RefreshSimpleTest(*test);
    }
}

void TTestsTreeController::AddTask() {
    TQuestions* complex = FocusedComplexTest();
    if (!complex) {
        return;
    }
    if (TQuestions* source = view_.ChooseTaskSource(*complex)) {
        kvalorRoot().Tasks().AddTask(*complex, *source);
        view_.Rebuild(TestsTree::Complex, *complex);
        if (TItemNode* node = view_.CurrentNode(TestsTree::Complex)) {
            view_.SetExpanded(TestsTree::Complex, *node, true);
        }
        RefreshComplexTree();
    }
}

// Copies.

void TTestsTreeController::DuplicateComplex() {
    TQuestions* source = FocusedComplexTest();
    if (!source) {
        return;
    }
    TKvalor& root = kvalorRoot();
    auto copy = std::make_unique<TQuestions>(kGroupKindComplexTest);
    copy->Assign(*source);
    copy->SetName(CopyName(*source));
    for (const TTask* task : root.Tasks().TasksOf(*source)) {
        if (task->Source) {
            const int added = root.Tasks().AddTask(*copy, *task->Source);
            root.Tasks().Task(added).QuestionCount = task->QuestionCount;
        }
    }
    TQuestions& created = *copy;
    root.ComplexTests().AddCollection(std::move(copy));
    root.ComplexTests().RenumberCollections();
    ShowNewTest(created, true);
}

void TTestsTreeController::DuplicateSimple() {
    // "Создать копию" belongs to "Создать тест": on a group or a question it copies the test
    // that holds it.
    TQuestions* source = EnclosingTest(view_.CurrentNode(TestsTree::Simple));
    if (!source) {
        return;
    }
    TQuestions& tests = kvalorRoot().SimpleTests();
    auto& created = static_cast<TQuestions&>(CopyForDrop(*source, tests, tests.Count()));
    created.SetName(CopyName(*source));
    tests.RenumberCollections();
    created.Renumber();
    ShowNewTest(created, false);
}

// Deleting.

bool TTestsTreeController::ConfirmSimpleDeletion(TItemNode& node) {
    const IExaminerItem& item = *node.Item;
    const TQuestions* test = EnclosingTest(&node);
    TKvalor& root = kvalorRoot();
    if (test && !root.Studies().StudiesOfTest(*test).empty() &&
        !askYes(QStringLiteral("По удаляе(мой\\му) группе\\вопросу проводилось тестирование.\n"
                               "Удалить объект ?"))) {
        return false;
    }
    const auto* simpleTest = dynamic_cast<const TQuestions*>(&item);
    if (IsKind(simpleTest, kGroupKindSimpleTest) && !root.Tasks().TasksFrom(*simpleTest).empty() &&
        !askYes(QStringLiteral("Удаляемый тест используется в комплексных тестах.\n"
                               "Удалить объект ?"))) {
        return false;
    }
    return askYes(QStringLiteral("Вы действительно хотите удалить %1 ?").arg(objectTitle(item)) +
                  simpleLosses({&node}).Line());
}

void TTestsTreeController::DeleteSimple() {
    const std::vector<TItemNode*> selected = SimpleSelectionOfOneType();
    if (selected.empty()) {
        return;
    }
    // Several objects: one question with their count and what goes with them.
    const bool several = selected.size() > 1;
    if (several &&
        !askYes(QStringLiteral("Вы действительно хотите удалить выделенные объекты (%1) ?")
                    .arg(selected.size()) +
                simpleLosses(selected).Line())) {
        return;
    }
    // Deleting a group deletes the nodes inside it: those are skipped.
    std::vector<QPersistentModelIndex> pending;
    for (const TItemNode* node : selected) {
        pending.emplace_back(simpleModel_.IndexOf(node));
    }
    TKvalor& root = kvalorRoot();
    std::vector<TQuestions*> changedTests;
    for (const QPersistentModelIndex& index : pending) {
        if (!index.isValid()) {
            continue;
        }
        TItemNode& node = *simpleModel_.NodeOf(index);
        IExaminerItem& item = *node.Item;
        TQuestions* test = EnclosingTest(&node);
        if (!several && !ConfirmSimpleDeletion(node)) {
            continue;
        }
        const bool wholeTest = &item == test;
        if (wholeTest) {
            root.Studies().DeleteStudiesOf(nullptr, test);
        } else if (test && std::ranges::find(changedTests, test) == changedTests.end()) {
            changedTests.push_back(test);
        }
        simpleModel_.RemoveNode(node);
        const ItemRemoval removal = DiscardItem(item);
        for (TQuestions* complex : removal.ComplexTestsTouched) {
            view_.Rebuild(TestsTree::Complex, *complex);
        }
    }
    // Numbers and counts of what is left.
    for (TQuestions* test : changedTests) {
        RefreshSimpleTest(*test);
    }
    RefreshComplexTree();
}

void TTestsTreeController::DeleteComplex() {
    TItemNode* node = view_.CurrentNode(TestsTree::Complex);
    TQuestions* item = node ? AsGroup(node->Item) : nullptr;
    if (!item) {
        return;
    }
    TKvalor& root = kvalorRoot();
    const bool complexTest = item->GroupKind() == kGroupKindComplexTest;
    TQuestions* complex = complexTest ? item : TaskOwner(node);
    if (!complex) {
        return;
    }
    // Named, with what goes along: one Delete never removes a test unasked.
    const int results = static_cast<int>(root.Studies().StudiesOfTest(*complex).size());
    QString question;
    if (complexTest) {
        Losses losses;
        losses.Tasks = static_cast<int>(root.Tasks().TasksOf(*complex).size());
        losses.Results = results;
        question =
            QStringLiteral("Вы действительно хотите удалить %1 ?").arg(objectTitle(*complex)) +
            losses.Line();
    } else {
        question = QStringLiteral("Вы действительно хотите удалить задание «%1» из теста «%2» ?")
                       .arg(fromCp1251(item->GetName()), fromCp1251(complex->GetName()));
        if (results > 0) {
            question += QStringLiteral(
                            "\nПо тесту проводилось тестирование (результатов: %1), "
                            "результаты останутся.")
                            .arg(results);
        }
    }
    if (!askYes(question)) {
        return;
    }
    if (complexTest) {
        root.Studies().DeleteStudiesOf(nullptr, complex);
        complexModel_.RemoveNode(*node);
        DiscardItem(*complex);
    } else {
        root.Tasks().RemoveTask(*complex, *item);
        complexModel_.RemoveNode(*node);
    }
    root.ComplexTests().Renumber();
    root.SimpleTests().Renumber();
    RefreshComplexTree();
}

// Importing and exporting.

void TTestsTreeController::ImportQuestions() {
    const QStringList files = prompts().openFiles(
        QStringLiteral("Импорт вопросов"),
        QStringLiteral("Вопросы GIFT, Aiken и Moodle XML (*.gift *.txt *.xml)"), {});
    if (files.isEmpty()) {
        return;
    }
    // Every file is read before any is imported: one that cannot be read changes nothing.
    std::vector<QuestionFile> read;
    for (const QString& file : files) {
        read.push_back(ReadQuestionFile(file));
    }
    TQuestions* target = QuestionTarget(view_.CurrentNode(TestsTree::Simple));
    TQuestions* shown = target;
    QStringList lines;
    for (std::size_t i = 0; i < read.size(); ++i) {
        const QString& file = files[static_cast<qsizetype>(i)];
        const ImportReport report =
            ImportQuestionFile(read[i], file, kvalorRoot().SimpleTests(), target);
        if (files.size() > 1) {
            if (!lines.isEmpty()) {
                lines << QString();
            }
            lines << QStringLiteral("Файл %1").arg(QFileInfo(file).fileName());
        }
        lines << ReportLines(report);
        if (report.newTest && report.test) {
            TItemNode& node = AddItemNode(simpleModel_, *report.test, nullptr);
            FillTree(simpleModel_, *report.test, &node);
            shown = report.test;
        }
    }
    if (TQuestions* test = TestAbove(target)) {
        view_.Rebuild(TestsTree::Simple, *target);
        // Numbers after the target and counts above it.
        RefreshSimpleTest(*test);
    } else {
        RefreshComplexTree();
    }
    if (TItemNode* node = FindItemNode(simpleModel_, shown)) {
        view_.SelectAlone(TestsTree::Simple, *node);
        view_.SetExpanded(TestsTree::Simple, *node, true);
    }
    view_.ShowImportReport(lines);
}

void TTestsTreeController::Export() {
    const TQuestions* test = EnclosingTest(view_.CurrentNode(TestsTree::Simple));
    if (test == nullptr) {
        return;
    }
    const bool withAnswers =
        prompts().ask(QStringLiteral("Экспортировать ответы ?"), QStringLiteral("Внимание"),
                      QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::Yes) == QMessageBox::Yes;
    try {
        OpenWorkbook(ExportTest(*test, withAnswers));
    } catch (const KvalorError& error) {
        prompts().inform(error.message(), QStringLiteral("Ошибка"), QMessageBox::Critical);
    }
}

void TTestsTreeController::ExportQuestions() {
    const TQuestions* test = EnclosingTest(view_.CurrentNode(TestsTree::Simple));
    if (test == nullptr) {
        return;
    }
    // A test's name may hold characters that no file name can.
    QString name = fromCp1251(test->GetName()).trimmed();
    name.replace(QRegularExpression(QStringLiteral(R"([\\/:*?"<>|]+)")), QStringLiteral("_"));
    const QString path = prompts().saveFile(
        QStringLiteral("Экспорт вопросов"),
        QStringLiteral("Moodle XML (*.xml);;GIFT (*.gift *.txt)"),
        QDir::home().filePath((name.isEmpty() ? QStringLiteral("test") : name) + ".xml"),
        QStringLiteral("xml"));
    if (path.isEmpty()) {
        return;
    }
    try {
        const ExportReport report = kvalor::ExportQuestions(
            *test, path, ExportFormatOf(path).value_or(ExportFormat::MoodleXml));
        prompts().inform(ExportReportLines(report).join(QLatin1Char('\n')),
                         QStringLiteral("Экспорт вопросов"), QMessageBox::Information);
    } catch (const KvalorError& error) {
        prompts().inform(error.message(), QStringLiteral("Ошибка"), QMessageBox::Critical);
    }
}

}  // namespace kvalor
