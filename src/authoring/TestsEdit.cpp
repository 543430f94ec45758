#include "authoring/TestsEdit.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "authoring/ImportReportDialog.h"
#include "authoring/ItemPaste.h"
#include "authoring/QuestionEditor.h"
#include "authoring/QuestionGroupSettings.h"
#include "authoring/SelectObject.h"
#include "authoring/TestItems.h"
#include "authoring/TreeImages.h"
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
#include "question/QuestionWindow.h"
#include "storage/ClipboardData.h"
#include "ui/Clipboard.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "ui/Workbooks.h"
#include "util/Codepage.h"
#include "util/Error.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kNameColumn = 0;
constexpr int kCountColumn = 1;
constexpr int kPercentColumn = 2;
constexpr int kTimeColumn = 3;
constexpr int kUsedColumn = 4;

const QStringList kCaptions = {QStringLiteral("Наименование"), QStringLiteral("Вопросов"),
                               QStringLiteral("Ценз %"), QStringLiteral("Время")};
const QStringList kHints = {
    QStringLiteral("Наименование теста"), QStringLiteral("Общее количество вопросов"),
    QStringLiteral("% правильных ответов для успешного прохождения"),
    QStringLiteral("Время прохождения теста"), QStringLiteral("Используется в комплексных тестах")};

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

TQuestions* asGroup(IExaminerItem* item) {
    return dynamic_cast<TQuestions*>(item);
}

bool isKind(const IExaminerItem* item, std::uint8_t groupKind) {
    const auto* group = dynamic_cast<const TQuestions*>(item);
    return group && group->GroupKind() == groupKind;
}

Losses simpleLosses(const std::vector<TItemNode*>& nodes) {
    const TKvalor& root = kvalorRoot();
    Losses losses;
    for (const TItemNode* node : nodes) {
        auto* group = asGroup(node->Item);
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

// An entry taken out of a collection, put into one.
int insertEntry(TExaminerCollection& collection, int index,
                std::unique_ptr<TExaminerElement>&& entry) {
    return collection.InsertItem(index, std::move(entry));
}
int insertEntry(TExaminerCollection& collection, int index,
                std::unique_ptr<TExaminerCollection>&& entry) {
    return collection.InsertCollection(index, std::move(entry));
}

// The nearest simple test at or above the collection.
TQuestions* testAbove(TExaminerCollection* collection) {
    for (; collection; collection = collection->Parent()) {
        if (isKind(collection, kGroupKindSimpleTest)) {
            return static_cast<TQuestions*>(collection);
        }
    }
    return nullptr;
}

// Where new questions go for the focused node: the test or group itself, or the collection
// that holds the question.
TQuestions* questionTarget(const TItemNode* node) {
    if (!node) {
        return nullptr;
    }
    if (TQuestions* group = asGroup(node->Item)) {
        return group;
    }
    return asGroup(node->Item->Parent());
}

TDragTreeView* makeTree(TItemTreeModel* model) {
    auto* tree = new TDragTreeView;
    tree->setModel(model);
    // Rows of one height: a test of many questions is laid out without measuring each row.
    tree->setUniformRowHeights(true);
    tree->setExpandsOnDoubleClick(false);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->setAllColumnsShowFocus(true);
    tree->header()->setStretchLastSection(false);
    for (int column = 1; column < model->columnCount(); ++column) {
        tree->header()->setSectionResizeMode(column, QHeaderView::Interactive);
    }
    return tree;
}

QAction* makeAction(QObject* owner, const QString& caption, ActionIcon icon) {
    return new QAction(actionIcon(icon), caption, owner);
}

}  // namespace

TfmTestsEdit::TfmTestsEdit(TfmKvalor& mainWindow, QWidget* parent)
    : QWidget(parent),
      questionWindow_(questionWindow(mainWindow)),
      settings_(questionGroupSettingsDialog(mainWindow)),
      selectObject_(selectObjectDialog(mainWindow)),
      area_(*mainWindow.centralWidget()),
      complexModel_(new TItemTreeModel(kCaptions, kHints.mid(0, kCaptions.size()), this)),
      simpleModel_(new TItemTreeModel(kCaptions + QStringList{QString()}, kHints, this)),
      actCmpCreate_(makeAction(this, QStringLiteral("Создать новый"), ActionIcon::Add)),
      actCmpDublicateTask_(makeAction(this, QStringLiteral("Создать копию"), ActionIcon::Copy)),
      actCmpAddTask_(makeAction(this, QStringLiteral("Добавить задание"), ActionIcon::Add)),
      actCmpChange_(makeAction(this, QStringLiteral("Редактировать"), ActionIcon::Edit)),
      actCmpDelete_(makeAction(this, QStringLiteral("Удалить"), ActionIcon::Delete)),
      actSmpCreate_(makeAction(this, QStringLiteral("Создать новый"), ActionIcon::Add)),
      actSmpDublicateTask_(makeAction(this, QStringLiteral("Создать копию"), ActionIcon::Copy)),
      actSmpAddGroup_(makeAction(this, QStringLiteral("Группу вопросов"), ActionIcon::Add)),
      actSmpAddQuestion_(makeAction(this, QStringLiteral("Вопрос"), ActionIcon::Add)),
      actSmpCopy_(makeAction(this, QStringLiteral("Копировать"), ActionIcon::Copy)),
      actSmpPaste_(makeAction(this, QStringLiteral("Вставить"), ActionIcon::Paste)),
      actSmpChange_(makeAction(this, QStringLiteral("Редактировать"), ActionIcon::Edit)),
      actSmpDelete_(makeAction(this, QStringLiteral("Удалить"), ActionIcon::Delete)),
      actSmpExport_(makeAction(this, QStringLiteral("Экспорт"), ActionIcon::Export)),
      actSmpImportQuestions_(
          makeAction(this, QStringLiteral("Импорт вопросов..."), ActionIcon::Import)),
      actSmpMoveUp_(new QAction(themeIcon(QStringLiteral("go-up"), ActionIcon::Edit),
                                QStringLiteral("Переместить вверх"), this)),
      actSmpMoveDown_(new QAction(themeIcon(QStringLiteral("go-down"), ActionIcon::Edit),
                                  QStringLiteral("Переместить вниз"), this)),
      actSave_(makeAction(this, QStringLiteral("Сохранить"), ActionIcon::Save)),
      tmAutoSave_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("Тесты (редактирование)"));
    complexModel_->SetTextsFunction(
        [this](const TItemNode& node) { return NodeTexts(node, true); });
    complexModel_->SetRoleFunction([this](const TItemNode& node, int column, int role) {
        return NodeRole(node, column, role, true);
    });
    simpleModel_->SetTextsFunction(
        [this](const TItemNode& node) { return NodeTexts(node, false); });
    simpleModel_->SetRoleFunction([this](const TItemNode& node, int column, int role) {
        return NodeRole(node, column, role, false);
    });
    BuildControls();
    BuildActions();
    ConnectTrees();
    tmAutoSave_->setObjectName(QStringLiteral("tmAutoSave"));
    tmAutoSave_->setSingleShot(true);
    tmAutoSave_->setInterval(kAutoSaveMilliseconds);
    connect(tmAutoSave_, &QTimer::timeout, this, [this] { AutoSave(); });
    connect(&mainWindow.SettingDialog(), &TfmSetting::fontSizeChanged, this,
            guard([this] { ApplyFontSetting(kvalorRoot().FontSize()); }));
    ApplyFontSetting(kvalorRoot().FontSize());
    resize(900, 600);
    FitToToolBars();
    UpdateActions();
}

TfmTestsEdit::~TfmTestsEdit() = default;

void TfmTestsEdit::BuildControls() {
    tvComplex_ = makeTree(complexModel_);
    tvSimple_ = makeTree(simpleModel_);
    tvSimple_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvSimple_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvComplex_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The simple tree shows names and counts only; the other texts are computed all the same.
    for (const int column : {kPercentColumn, kTimeColumn, kUsedColumn}) {
        tvSimple_->setColumnHidden(column, true);
    }
    FitColumns();
    tbComplex_ = new QToolBar;
    tbSimple_ = new QToolBar;

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->addWidget(BuildSide(QStringLiteral("Комплексные тесты"), tbComplex_, tvComplex_));
    splitter_->addWidget(BuildSide(QStringLiteral("Простые тесты"), tbSimple_, tvSimple_));
    splitter_->setChildrenCollapsible(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(splitter_);
}

QWidget* TfmTestsEdit::BuildSide(const QString& title, QToolBar* toolBar, QTreeView* tree) {
    auto* caption = new QLabel(title);
    caption->setAlignment(Qt::AlignCenter);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setIconSize(QSize(24, 24));

    auto* side = new QWidget;
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(caption);
    layout->addWidget(toolBar);
    layout->addWidget(tree, 1);
    return side;
}

void TfmTestsEdit::BuildActions() {
    const auto submenu = [this](QToolBar* toolBar, const QString& caption, ActionIcon icon) {
        auto* menu = new QMenu(caption, this);
        auto* button = new QToolButton;
        button->setText(caption);
        button->setIcon(actionIcon(icon));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolBar->addWidget(button);
        return menu;
    };

    mnComplexCreate_ = submenu(tbComplex_, QStringLiteral("Создать тест"), ActionIcon::Tests);
    mnComplexCreate_->addActions({actCmpCreate_, actCmpDublicateTask_});
    tbComplex_->addActions({actCmpAddTask_, actCmpChange_, actCmpDelete_});
    tbComplex_->addSeparator();
    tbComplex_->addAction(actSave_);

    mnSimpleCreate_ = submenu(tbSimple_, QStringLiteral("Создать тест"), ActionIcon::Tests);
    mnSimpleCreate_->addActions({actSmpCreate_, actSmpDublicateTask_});
    mnSimpleAdd_ = submenu(tbSimple_, QStringLiteral("Добавить"), ActionIcon::Add);
    mnSimpleAdd_->addActions({actSmpAddGroup_, actSmpAddQuestion_});
    // Questions from files are added too; a button of its own would not fit beside the tree at
    // larger fonts.
    mnSimpleAdd_->addAction(actSmpImportQuestions_);
    mnSimpleItem_ = submenu(tbSimple_, QStringLiteral("Элемент"), ActionIcon::Copy);
    mnSimpleItem_->addActions({actSmpCopy_, actSmpPaste_, actSmpMoveUp_, actSmpMoveDown_});
    tbSimple_->addActions({actSmpChange_, actSmpDelete_, actSmpExport_});

    pmComplex_ = new QMenu(this);
    pmComplex_->addAction(actCmpCreate_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpAddTask_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpChange_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpDelete_);

    pmSimple_ = new QMenu(this);
    pmSimple_->addActions({actSmpCreate_, actSmpDublicateTask_});
    pmSimple_->addSeparator();
    pmSimple_->addAction(actSmpChange_);
    pmSimple_->addSeparator();
    pmSimple_->addActions({actSmpAddGroup_, actSmpAddQuestion_, actSmpImportQuestions_});
    pmSimple_->addSeparator();
    pmSimple_->addActions({actSmpCopy_, actSmpPaste_, actSmpMoveUp_, actSmpMoveDown_});
    pmSimple_->addSeparator();
    pmSimple_->addAction(actSmpDelete_);

    // The keys act on the tree that has the focus.
    actCmpDelete_->setShortcut(QKeySequence::Delete);
    actSmpDelete_->setShortcut(QKeySequence::Delete);
    actCmpAddTask_->setShortcut(QKeySequence(Qt::Key_Insert));
    actSmpAddQuestion_->setShortcut(QKeySequence(Qt::Key_Insert));
    actCmpChange_->setShortcut(QKeySequence(Qt::Key_F2));
    actSmpChange_->setShortcut(QKeySequence(Qt::Key_F2));
    actSmpCopy_->setShortcut(QKeySequence::Copy);
    actSmpPaste_->setShortcut(QKeySequence::Paste);
    for (QAction* action : {actCmpDelete_, actCmpAddTask_, actCmpChange_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        tvComplex_->addAction(action);
    }
    actSmpMoveUp_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up));
    actSmpMoveDown_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down));
    for (QAction* action : {actSmpDelete_, actSmpAddQuestion_, actSmpChange_, actSmpCopy_,
                            actSmpPaste_, actSmpMoveUp_, actSmpMoveDown_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        tvSimple_->addAction(action);
    }

    // Ctrl+S wherever the keyboard is in the window.
    actSave_->setShortcut(QKeySequence::Save);
    actSave_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actSave_);
    connect(actSave_, &QAction::triggered, this, guard([this] { actSaveExecute(); }));

    // Every action but copying and exporting may change the data.
    const auto handle = [this](QAction* action, void (TfmTestsEdit::*handler)()) {
        const bool changes = action != actSmpCopy_ && action != actSmpExport_;
        connect(action, &QAction::triggered, this, guard([this, handler, changes] {
                    if (changes) {
                        NoteChange();
                    }
                    (this->*handler)();
                    UpdateActions();
                }));
    };
    handle(actCmpCreate_, &TfmTestsEdit::actCmpCreateExecute);
    handle(actCmpDublicateTask_, &TfmTestsEdit::actCmpDublicateTaskExecute);
    handle(actCmpAddTask_, &TfmTestsEdit::actCmpAddTaskExecute);
    handle(actCmpChange_, &TfmTestsEdit::actCmpChangeExecute);
    handle(actCmpDelete_, &TfmTestsEdit::actCmpDeleteExecute);
    handle(actSmpCreate_, &TfmTestsEdit::actSmpCreateExecute);
    handle(actSmpDublicateTask_, &TfmTestsEdit::actSmpDublicateTaskExecute);
    handle(actSmpAddGroup_, &TfmTestsEdit::actSmpAddGroupExecute);
    handle(actSmpAddQuestion_, &TfmTestsEdit::actSmpAddQuestionExecute);
    handle(actSmpChange_, &TfmTestsEdit::actSmpChangeExecute);
    handle(actSmpCopy_, &TfmTestsEdit::actSmpCopyExecute);
    handle(actSmpPaste_, &TfmTestsEdit::actSmpPasteExecute);
    handle(actSmpDelete_, &TfmTestsEdit::actSmpDeleteExecute);
    handle(actSmpExport_, &TfmTestsEdit::actSmpExportExecute);
    handle(actSmpImportQuestions_, &TfmTestsEdit::actSmpImportQuestionsExecute);
    for (const auto& [action, step] : {std::pair{actSmpMoveUp_, -1}, {actSmpMoveDown_, 1}}) {
        connect(action, &QAction::triggered, this, guard([this, step] {
                    NoteChange();
                    MoveSelectionBy(step);
                    UpdateActions();
                }));
    }
}

void TfmTestsEdit::ConnectTrees() {
    const auto popup = [this](QTreeView* tree, QMenu* menu) {
        connect(tree, &QTreeView::customContextMenuRequested, this, [this, tree, menu](QPoint at) {
            UpdateActions();
            // From the keyboard the menu opens at the current node.
            if (!tree->indexAt(at).isValid() && tree->currentIndex().isValid()) {
                at = tree->visualRect(tree->currentIndex()).center();
            }
            menu->popup(tree->viewport()->mapToGlobal(at));
        });
    };
    popup(tvComplex_, pmComplex_);
    popup(tvSimple_, pmSimple_);
    // A double click or Enter on a node changes it.
    connect(tvComplex_, &QTreeView::activated, actCmpChange_, &QAction::trigger);
    connect(tvSimple_, &QTreeView::activated, actSmpChange_, &QAction::trigger);
    for (QTreeView* tree : {tvComplex_, tvSimple_}) {
        connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
                guard([this] { UpdateActions(); }));
    }
    // "Вставить" follows the clipboard, which other programs and Print Screen change too.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
            guard([this] { UpdateActions(); }));

    tvSimple_->SetDropHandling([this](const TreeDrop& drop) { return AcceptSimpleDrop(drop); },
                               [this](const TreeDrop& drop) {
                                   NoteChange();
                                   SimpleTreeDrop(drop.Target, drop.Place, drop.Modifiers);
                                   UpdateActions();
                               });
    tvComplex_->SetDropHandling([this](const TreeDrop& drop) { return AcceptComplexDrop(drop); },
                                [this](const TreeDrop& drop) {
                                    NoteChange();
                                    if (drop.Source == tvSimple_) {
                                        SimpleToComplexDrop(drop.Target);
                                    } else {
                                        ComplexTreeDrop(drop.Target, drop.Modifiers);
                                    }
                                    UpdateActions();
                                });
}

void TfmTestsEdit::Reload() {
    complexModel_->Clear();
    simpleModel_->Clear();
    TKvalor& root = kvalorRoot();
    FillTree(*complexModel_, root.ComplexTests(), nullptr, &root.Tasks());
    FillTree(*simpleModel_, root.SimpleTests(), nullptr);
    UpdateActions();
}

TItemNode* TfmTestsEdit::ComplexNode() const {
    const QModelIndex current = tvComplex_->currentIndex();
    return current.isValid() ? complexModel_->NodeOf(current) : nullptr;
}

TQuestions* TfmTestsEdit::FocusedComplexTest() const {
    const TItemNode* node = ComplexNode();
    return node && isKind(node->Item, kGroupKindComplexTest) ? static_cast<TQuestions*>(node->Item)
                                                             : nullptr;
}

TItemNode* TfmTestsEdit::SimpleNode() const {
    const QModelIndex current = tvSimple_->currentIndex();
    return current.isValid() ? simpleModel_->NodeOf(current) : nullptr;
}

void TfmTestsEdit::UpdateActions() {
    const TItemNode* complex = ComplexNode();
    const TItemNode* simple = SimpleNode();
    const bool complexTest = FocusedComplexTest() != nullptr;
    actCmpCreate_->setEnabled(true);
    actCmpDublicateTask_->setEnabled(complexTest);
    actCmpAddTask_->setEnabled(complexTest);
    actCmpChange_->setEnabled(complex != nullptr);
    actCmpDelete_->setEnabled(complex != nullptr);

    const TQuestions* test = EnclosingTest(simple);
    actSmpCreate_->setEnabled(true);
    actSmpDublicateTask_->setEnabled(simple != nullptr);
    actSmpAddGroup_->setEnabled(test && !HoldsQuestionDirectly(*test));
    actSmpAddQuestion_->setEnabled(simple != nullptr);
    actSmpCopy_->setEnabled(simple != nullptr);
    actSmpPaste_->setEnabled(simple != nullptr && ClipboardHasProgramData());
    actSmpMoveUp_->setEnabled(test != nullptr && simple->Item != test);
    actSmpMoveDown_->setEnabled(test != nullptr && simple->Item != test);
    actSmpChange_->setEnabled(simple != nullptr);
    actSmpDelete_->setEnabled(simple != nullptr);
    actSmpExport_->setEnabled(test != nullptr);
    // Without a focused node the questions go into a new test.
    actSmpImportQuestions_->setEnabled(true);
}

QStringList TfmTestsEdit::NodeTexts(const TItemNode& node, bool complexTree) const {
    QStringList texts(complexTree ? kCaptions.size() : kCaptions.size() + 1, QStringLiteral(" "));
    if (const auto* question = dynamic_cast<const TQuestion*>(node.Item)) {
        texts[kNameColumn] = QStringLiteral("Вопрос %1").arg(question->GetNumber());
        return texts;
    }
    const auto* group = dynamic_cast<const TQuestions*>(node.Item);
    if (!group) {
        return texts;
    }
    const TTaskList& tasks = kvalorRoot().Tasks();
    texts[kNameColumn] = fromCp1251(group->GetName());
    const bool testLevel = !complexTree || group->GroupKind() == kGroupKindComplexTest;
    if (!testLevel) {
        const TQuestions* owner = TaskOwner(&node);
        if (const TTask* task = owner ? tasks.FindTask(*owner, *group) : nullptr) {
            texts[kCountColumn] = QStringLiteral("%1 из %2")
                                      .arg(task->QuestionCount)
                                      .arg(QuestionCount(*group, tasks));
        }
        return texts;
    }
    texts[kCountColumn] = QString::number(QuestionCount(*group, tasks));
    if (group->GradingMethod() == 0) {
        texts[kPercentColumn] = FormatPercent(group->PassPercent());
    } else if (!group->LevelThresholds().empty()) {
        texts[kPercentColumn] = FormatPercent(group->LevelThresholds().back());
    }
    if (group->Duration() != 0) {
        texts[kTimeColumn] =
            QStringLiteral("%1 ч. %2 мин.").arg(group->Duration() / 60).arg(group->Duration() % 60);
    }
    if (!complexTree) {
        texts[kUsedColumn] =
            tasks.IsSourceUsed(nullptr, group) ? QStringLiteral("+") : QStringLiteral("-");
    }
    return texts;
}

QVariant TfmTestsEdit::NodeRole(const TItemNode& node, int column, int role,
                                bool complexTree) const {
    const auto* question = dynamic_cast<const TQuestion*>(node.Item);
    switch (role) {
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(column == kNameColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                             : Qt::AlignCenter);
        case Qt::FontRole:
            if (column == kNameColumn && !question &&
                (!complexTree || isKind(node.Item, kGroupKindComplexTest))) {
                QFont bold = (complexTree ? tvComplex_ : tvSimple_)->font();
                bold.setBold(true);
                return bold;
            }
            return {};
        case Qt::DecorationRole:
            if (!complexTree && question && column == kNameColumn) {
                return questionTypePicture(question->QuestionType());
            }
            return {};
        case Qt::ToolTipRole:
            if (!complexTree && question && column == kNameColumn) {
                return fromCp1251(question->GetName());
            }
            // A long name cut short in a narrow column can still be read whole.
            if (const auto* group = dynamic_cast<const TQuestions*>(node.Item);
                group && column == kNameColumn) {
                return fromCp1251(group->GetName());
            }
            return {};
        default:
            return {};
    }
}

TQuestions* TfmTestsEdit::EnclosingTest(const TItemNode* node) {
    for (; node && !node->IsRoot(); node = node->Parent) {
        if (isKind(node->Item, kGroupKindSimpleTest)) {
            return static_cast<TQuestions*>(node->Item);
        }
    }
    return nullptr;
}

TQuestions* TfmTestsEdit::TaskOwner(const TItemNode* node) {
    if (!node || node->IsRoot() || node->Parent->IsRoot()) {
        return nullptr;
    }
    return isKind(node->Parent->Item, kGroupKindComplexTest)
               ? static_cast<TQuestions*>(node->Parent->Item)
               : nullptr;
}

void TfmTestsEdit::RefreshComplexTree() {
    // Counts and names of tasks follow their sources; the complex tree is small.
    complexModel_->ResetAllTexts();
    // Whether a simple test is used by a complex test.
    for (const auto& node : simpleModel_->Root().Children) {
        simpleModel_->ResetTexts(*node);
    }
}

void TfmTestsEdit::RefreshSimpleTest(TQuestions& test) {
    if (TItemNode* node = FindItemNode(*simpleModel_, &test)) {
        simpleModel_->ResetTextsBelow(*node);
    }
    RefreshComplexTree();
}

// Saving.

void TfmTestsEdit::actSaveExecute() {
    // What a failed load left in memory must never replace the file it could not read.
    if (!dataModule().DataLoaded()) {
        throw KvalorError(
            "База данных не была прочитана при запуске программы. Сохранение невозможно");
    }
    tmAutoSave_->stop();
    dataModule().SaveDataFile();
}

void TfmTestsEdit::NoteChange() {
    // Noted before the change is made: a change that fails halfway is saved as well.
    tmAutoSave_->start();
}

void TfmTestsEdit::AutoSave() {
    // Never under an open dialog or editor, whose work is not stored yet.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        tmAutoSave_->start();
        return;
    }
    // A failed save is shown once; the next change tries again.
    if (dataModule().DataLoaded()) {
        guarded([] { dataModule().SaveDataFile(); });
    }
}

// Creating and changing.

void TfmTestsEdit::CreateTest(std::uint8_t groupKind) {
    auto test = std::make_unique<TQuestions>(groupKind);
    settings_.SetGroup(test.get());
    settings_.SelectTask(nullptr);
    if (prompts().runModal(settings_) != QDialog::Accepted) {
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
    TItemTreeModel& model = complex ? *complexModel_ : *simpleModel_;
    TItemNode& node = AddItemNode(model, created, nullptr);
    if (complex) {
        FillTree(model, created, &node, &root.Tasks());
    }
    SelectNodeAlone(complex ? *tvComplex_ : *tvSimple_, node);
    RefreshComplexTree();
}

void TfmTestsEdit::actCmpCreateExecute() {
    CreateTest(kGroupKindComplexTest);
}

void TfmTestsEdit::actSmpCreateExecute() {
    CreateTest(kGroupKindSimpleTest);
}

void TfmTestsEdit::actCmpChangeExecute() {
    if (TItemNode* node = ComplexNode()) {
        ChangeComplex(*node);
    }
}

void TfmTestsEdit::actSmpChangeExecute() {
    if (TItemNode* node = SimpleNode()) {
        ChangeSimple(*node);
    }
}

void TfmTestsEdit::ChangeComplex(TItemNode& node) {
    TQuestions* test = asGroup(node.Item);
    if (!test) {
        return;
    }
    if (test->GroupKind() == kGroupKindComplexTest) {
        settings_.SetGroup(test);
        settings_.SelectTask(nullptr);
        prompts().runModal(settings_);
        // Its tasks may have changed in the dialog.
        RebuildItemNode(*tvComplex_, *complexModel_, *test, &kvalorRoot().Tasks());
        RefreshComplexTree();
        return;
    }
    // A task: the settings of its simple test, with the task's question count at hand.
    TQuestions* owner = TaskOwner(&node);
    settings_.SetGroup(test);
    settings_.SelectTask(owner ? kvalorRoot().Tasks().FindTask(*owner, *test) : nullptr);
    prompts().runModal(settings_);
    RefreshSimpleTest(*test);
}

void TfmTestsEdit::ChangeSimple(TItemNode& node) {
    if (auto* question = dynamic_cast<TQuestion*>(node.Item)) {
        if (TQuestions* test = EnclosingTest(&node)) {
            EditQuestion(*question, *test);
        }
        return;
    }
    TQuestions* group = asGroup(node.Item);
    if (!group) {
        return;
    }
    if (group->GroupKind() == kGroupKindSubgroup) {
        RenameGroup(node, *group);
        return;
    }
    settings_.SetGroup(group);
    settings_.SelectTask(nullptr);
    prompts().runModal(settings_);
    simpleModel_->ResetTextsUpwards(node);
    RefreshComplexTree();
}

void TfmTestsEdit::RenameGroup(TItemNode& node, TQuestions& group) {
    const auto name =
        prompts().inputBox(QStringLiteral("Наименование группы вопросов"),
                           QStringLiteral("Наименование "), fromCp1251(group.GetName()));
    if (!name) {
        return;
    }
    group.SetName(toCp1251(*name));
    simpleModel_->ResetTexts(node);
    RefreshComplexTree();
}

void TfmTestsEdit::EditQuestion(TQuestion& question, TQuestions& test) {
    TExaminerCollection* parent = question.Parent();
    TItemNode* testNode = FindItemNode(*simpleModel_, &test);
    TItemNode* parentNode = FindItemNode(*simpleModel_, parent);
    const bool testExpanded = testNode && tvSimple_->isExpanded(simpleModel_->IndexOf(testNode));
    const bool parentExpanded =
        parentNode && tvSimple_->isExpanded(simpleModel_->IndexOf(parentNode));
    // The editor adds and deletes questions anywhere in the test: while it is open no node
    // may point into the test.
    if (testNode) {
        simpleModel_->RemoveChildren(*testNode);
    }
    questionWindow_.SetMode(WindowMode::Editing);
    questionWindow_.SetQuestionList(&test);
    questionWindow_.ShowQuestion(&question);
    questionWindow_.Start();
    prompts().runModal(questionWindow_);

    test.Renumber();
    RebuildItemNode(*tvSimple_, *simpleModel_, test);
    if (testNode) {
        tvSimple_->setExpanded(simpleModel_->IndexOf(testNode), testExpanded);
    }
    if (TItemNode* former = FindItemNode(*simpleModel_, parent)) {
        SelectNodeAlone(*tvSimple_, *former);
        tvSimple_->setExpanded(simpleModel_->IndexOf(former), parentExpanded);
    }
    RefreshComplexTree();
}

void TfmTestsEdit::actSmpAddGroupExecute() {
    TQuestions* test = EnclosingTest(SimpleNode());
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
    RebuildItemNode(*tvSimple_, *simpleModel_, *test);
    if (TItemNode* node = FindItemNode(*simpleModel_, &added)) {
        SelectNodeAlone(*tvSimple_, *node);
    }
}

void TfmTestsEdit::actSmpAddQuestionExecute() {
    TQuestions* target = questionTarget(SimpleNode());
    TQuestions* test = testAbove(target);
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
        if (TItemNode* questionNode = FindItemNode(*simpleModel_, kept)) {
            simpleModel_->RemoveNode(*questionNode);
        }
        DiscardItem(*kept);
        RefreshSimpleTest(*test);
    }
}

void TfmTestsEdit::actCmpAddTaskExecute() {
    TQuestions* complex = FocusedComplexTest();
    if (!complex) {
        return;
    }
    if (TQuestions* source = chooseTaskSource(selectObject_, *complex)) {
        TTaskList& tasks = kvalorRoot().Tasks();
        tasks.AddTask(*complex, *source);
        RebuildItemNode(*tvComplex_, *complexModel_, *complex, &tasks);
        tvComplex_->expand(complexModel_->IndexOf(ComplexNode()));
        RefreshComplexTree();
    }
}

// Copies.

void TfmTestsEdit::actCmpDublicateTaskExecute() {
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
    TItemNode& added = AddItemNode(*complexModel_, created, nullptr);
    FillTree(*complexModel_, created, &added, &root.Tasks());
    SelectNodeAlone(*tvComplex_, added);
    RefreshComplexTree();
}

void TfmTestsEdit::actSmpDublicateTaskExecute() {
    // "Создать копию" belongs to "Создать тест": on a group or a question it copies the test
    // that holds it.
    TQuestions* source = EnclosingTest(SimpleNode());
    if (!source) {
        return;
    }
    TKvalor& root = kvalorRoot();
    auto copy = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    copy->Assign(*source);
    copy->CopyContent(*source);
    copy->SetName(CopyName(*source));
    TQuestions& created = *copy;
    root.SimpleTests().AddCollection(std::move(copy));
    root.SimpleTests().RenumberCollections();
    created.Renumber();
    TItemNode& added = AddItemNode(*simpleModel_, created, nullptr);
    FillTree(*simpleModel_, created, &added);
    SelectNodeAlone(*tvSimple_, added);
}

// Deleting.

bool TfmTestsEdit::ConfirmSimpleDeletion(TItemNode& node) {
    const IExaminerItem& item = *node.Item;
    const TQuestions* test = EnclosingTest(&node);
    TKvalor& root = kvalorRoot();
    if (test && !root.Studies().StudiesOfTest(*test).empty() &&
        !askYes(QStringLiteral("По удаляе(мой\\му) группе\\вопросу проводилось тестирование.\n"
                               "Удалить объект ?"))) {
        return false;
    }
    const auto* simpleTest = dynamic_cast<const TQuestions*>(&item);
    if (isKind(simpleTest, kGroupKindSimpleTest) && !root.Tasks().TasksFrom(*simpleTest).empty() &&
        !askYes(QStringLiteral("Удаляемый тест используется в комплексных тестах.\n"
                               "Удалить объект ?"))) {
        return false;
    }
    return askYes(QStringLiteral("Вы действительно хотите удалить %1 ?").arg(objectTitle(item)) +
                  simpleLosses({&node}).Line());
}

std::vector<TItemNode*> TfmTestsEdit::SimpleSelectionOfOneType() const {
    if (!SameTypeSelection(*tvSimple_).Same) {
        throw KvalorError("Выделенные элементы должны быть одинакового типа.");
    }
    return SelectedNodes(*tvSimple_);
}

void TfmTestsEdit::actSmpDeleteExecute() {
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
        pending.emplace_back(simpleModel_->IndexOf(node));
    }
    TKvalor& root = kvalorRoot();
    std::vector<TQuestions*> changedTests;
    for (const QPersistentModelIndex& index : pending) {
        if (!index.isValid()) {
            continue;
        }
        TItemNode& node = *simpleModel_->NodeOf(index);
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
        simpleModel_->RemoveNode(node);
        const ItemRemoval removal = DiscardItem(item);
        for (TQuestions* complex : removal.ComplexTestsTouched) {
            RebuildItemNode(*tvComplex_, *complexModel_, *complex, &root.Tasks());
        }
    }
    // Numbers and counts of what is left.
    for (TQuestions* test : changedTests) {
        RefreshSimpleTest(*test);
    }
    RefreshComplexTree();
}

void TfmTestsEdit::actCmpDeleteExecute() {
    TItemNode* node = ComplexNode();
    TQuestions* item = node ? asGroup(node->Item) : nullptr;
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
        complexModel_->RemoveNode(*node);
        DiscardItem(*complex);
    } else {
        root.Tasks().RemoveTask(*complex, *item);
        complexModel_->RemoveNode(*node);
    }
    root.ComplexTests().Renumber();
    root.SimpleTests().Renumber();
    RefreshComplexTree();
}

// Exchange through the clipboard and by dragging.

void TfmTestsEdit::actSmpCopyExecute() {
    const std::vector<TItemNode*> selected = SimpleSelectionOfOneType();
    if (selected.empty()) {
        return;
    }
    std::vector<const IExaminerItem*> items;
    for (const TItemNode* node : selected) {
        items.push_back(node->Item);
    }
    const IExaminerItem* first = items.front();
    const ClipboardFormat format =
        dynamic_cast<const TQuestion*>(first) ? ClipboardFormat::Questions
        : isKind(first, kGroupKindSimpleTest) ? ClipboardFormat::SimpleTests
                                              : ClipboardFormat::Groups;
    ClipboardPut(format, WriteClipboardItems(items));
}

void TfmTestsEdit::actSmpPasteExecute() {
    TItemNode* node = SimpleNode();
    std::optional<ClipboardBlock> clip = ClipboardGet();
    if (!node || !clip || !MayPaste(clip->Format, *node->Item)) {
        return;
    }
    PastedItems pasted;
    try {
        PasteItems(clip->Format, clip->Block, *node->Item, pasted);
    } catch (...) {
        // What was placed before the damaged record stays and is shown.
        ShowPasted(pasted.Receiver, pasted.Last);
        throw;
    }
    ShowPasted(pasted.Receiver, pasted.Last);
}

void TfmTestsEdit::ShowPasted(TExaminerCollection* receiver, const IExaminerItem* last) {
    if (!receiver || !last) {
        return;
    }
    TQuestions& tests = kvalorRoot().SimpleTests();
    if (receiver == &tests) {
        tests.Renumber();
        tests.RenumberCollections();
        simpleModel_->Clear();
        FillTree(*simpleModel_, tests, nullptr);
    } else {
        TExaminerCollection& numbered = RenumberReceiver(*receiver);
        RebuildItemNode(*tvSimple_, *simpleModel_, numbered);
        if (TQuestions* test = testAbove(&numbered)) {
            RefreshSimpleTest(*test);
        }
    }
    if (TItemNode* node = FindItemNode(*simpleModel_, last)) {
        SelectNodeAlone(*tvSimple_, *node);
    }
    RefreshComplexTree();
}

Qt::DropAction TfmTestsEdit::AcceptSimpleDrop(const TreeDrop& drop) const {
    if (drop.Source != tvSimple_) {
        return Qt::IgnoreAction;
    }
    return drop.Modifiers.testFlag(Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
}

void TfmTestsEdit::SimpleTreeDrop(TItemNode* target, DropPlace place,
                                  Qt::KeyboardModifiers modifiers) {
    const std::vector<TItemNode*> selected = SimpleSelectionOfOneType();
    if (!selected.empty() && target && !target->IsRoot()) {
        // With Shift a copy; without, the items move within their test.
        PlaceSelection(selected, *target->Item, place, !modifiers.testFlag(Qt::ShiftModifier));
    }
}

void TfmTestsEdit::PlaceSelection(const std::vector<TItemNode*>& selected, IExaminerItem& target,
                                  DropPlace place, bool move) {
    const SelectionType type = SameTypeSelection(*tvSimple_);
    const bool questions = type.ClassName == "TQuestion";
    const auto* targetGroup = dynamic_cast<const TQuestions*>(&target);
    TExaminerCollection* receiver = nullptr;
    // The new items go next to the anchor, or at the end of the receiver without one.
    const IExaminerItem* anchor = nullptr;
    if (place == DropPlace::On && targetGroup &&
        (questions || type.GroupKind != targetGroup->GroupKind())) {
        // Onto a test or group itself: at its end, where a paste of the same items would
        // put them. Tests never go inside another test or a group.
        const ClipboardFormat format = questions ? ClipboardFormat::Questions
                                       : type.GroupKind == kGroupKindSubgroup
                                           ? ClipboardFormat::Groups
                                           : ClipboardFormat::None;
        if (!MayPaste(format, target)) {
            return;
        }
        receiver = asGroup(&target);
    } else {
        // Next to an item of the same class and kind.
        const bool sameKind = questions ? dynamic_cast<const TQuestion*>(&target) != nullptr
                                        : targetGroup && targetGroup->GroupKind() == type.GroupKind;
        receiver = target.Parent();
        if (!sameKind || !receiver) {
            return;
        }
        anchor = &target;
    }
    const auto insertionIndex = [&](const IExaminerItem* last) {
        if (last) {
            return receiver->IndexOf(last) + 1;
        }
        return anchor ? receiver->IndexOf(anchor) + (place == DropPlace::Above ? 0 : 1)
                      : receiver->Count();
    };
    if (move) {
        if (std::ranges::none_of(
                selected, [anchor](const TItemNode* node) { return node->Item == anchor; })) {
            MoveItems(selected, *receiver, insertionIndex);
        }
        return;
    }
    const IExaminerItem* last = nullptr;
    for (const TItemNode* node : selected) {
        const int index = insertionIndex(last);
        if (const auto* question = dynamic_cast<const TQuestion*>(node->Item)) {
            auto copy = std::make_unique<TQuestion>();
            copy->Assign(*question);
            last = copy.get();
            receiver->InsertItem(index, std::move(copy));
        } else if (const auto* group = asGroup(node->Item)) {
            auto copy = std::make_unique<TQuestions>(group->GroupKind());
            copy->Assign(*group);
            copy->CopyContent(*group);
            last = copy.get();
            receiver->InsertCollection(index, std::move(copy));
        }
    }
    ShowPasted(receiver, last);
}

void TfmTestsEdit::MoveItems(const std::vector<TItemNode*>& selected, TExaminerCollection& receiver,
                             const std::function<int(const IExaminerItem*)>& insertionIndex) {
    // Within one test only: results keep the test each question was asked in.
    TQuestions* test = testAbove(&receiver);
    std::vector<IExaminerItem*> items;
    for (const TItemNode* node : selected) {
        for (const TExaminerCollection* above = &receiver; above; above = above->Parent()) {
            if (above == node->Item) {
                return;  // into itself
            }
        }
        if (!test || EnclosingTest(node) != test) {
            return;
        }
        items.push_back(node->Item);
    }
    const IExaminerItem* last = nullptr;
    for (IExaminerItem* item : items) {
        TExaminerCollection& holder = *item->Parent();
        const int from = holder.IndexOf(item);
        // Taken out before the place is counted, so that the place is among what stays.
        const auto reinsert = [&](auto owned) {
            try {
                insertEntry(receiver, insertionIndex(last), std::move(owned));
            } catch (...) {
                // A refused entry goes back where it was: a move never loses it.
                insertEntry(holder, from, std::move(owned));
                throw;
            }
        };
        if (auto* collection = dynamic_cast<TExaminerCollection*>(item)) {
            reinsert(holder.Extract(*collection));
        } else if (auto* element = dynamic_cast<TExaminerElement*>(item)) {
            reinsert(holder.Extract(*element));
        }
        last = item;
    }
    test->Renumber();
    RebuildItemNode(*tvSimple_, *simpleModel_, *test);
    RefreshSimpleTest(*test);
    // The moved items stay chosen, so that another key press moves them on.
    tvSimple_->selectionModel()->clearSelection();
    for (const IExaminerItem* item : items) {
        if (TItemNode* node = FindItemNode(*simpleModel_, item)) {
            tvSimple_->selectionModel()->setCurrentIndex(
                simpleModel_->IndexOf(node),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
}

void TfmTestsEdit::MoveSelectionBy(int step) {
    const std::vector<TItemNode*> selected = SimpleSelectionOfOneType();
    if (selected.empty() || selected.front()->IsRoot()) {
        return;
    }
    // The neighbour of the same class and kind past the first (or the last) selected item,
    // within the same collection.
    TExaminerCollection* holder = selected.front()->Item->Parent();
    const IExaminerItem* edge = (step < 0 ? selected.front() : selected.back())->Item;
    if (!holder || !std::ranges::all_of(selected, [holder](const TItemNode* node) {
            return node->Item->Parent() == holder;
        })) {
        return;
    }
    const auto sameType = [edge](const IExaminerItem* item) {
        const auto* a = dynamic_cast<const TQuestions*>(edge);
        const auto* b = dynamic_cast<const TQuestions*>(item);
        return item->ClassName() == edge->ClassName() &&
               (!a || (b && a->GroupKind() == b->GroupKind()));
    };
    for (int i = holder->IndexOf(edge) + step; i >= 0 && i < holder->Count(); i += step) {
        IExaminerItem* neighbour = holder->Items(i);
        if (sameType(neighbour)) {
            PlaceSelection(selected, *neighbour, step < 0 ? DropPlace::Above : DropPlace::Below,
                           true);
            return;
        }
    }
}

TQuestions* TfmTestsEdit::ComplexTestOf(const TItemNode* node) {
    for (; node && !node->IsRoot(); node = node->Parent) {
        if (isKind(node->Item, kGroupKindComplexTest)) {
            return static_cast<TQuestions*>(node->Item);
        }
    }
    return nullptr;
}

Qt::DropAction TfmTestsEdit::AcceptComplexDrop(const TreeDrop& drop) const {
    if (drop.Source == tvComplex_) {
        if (!TaskOwner(ComplexNode())) {
            return Qt::IgnoreAction;
        }
        return drop.Modifiers.testFlag(Qt::ShiftModifier) ? Qt::CopyAction : Qt::MoveAction;
    }
    if (drop.Source != tvSimple_ || !drop.Target) {
        return Qt::IgnoreAction;
    }
    const std::vector<TItemNode*> selected = SelectedNodes(*tvSimple_);
    const bool test = std::ranges::any_of(
        selected, [](const TItemNode* node) { return isKind(node->Item, kGroupKindSimpleTest); });
    return test ? Qt::CopyAction : Qt::IgnoreAction;
}

bool TfmTestsEdit::ReportExistingTask(const TQuestions& complex, const TQuestions& source) {
    if (!kvalorRoot().Tasks().HasTask(complex, source)) {
        return false;
    }
    prompts().inform(QStringLiteral("Задание %1 для %2 существует")
                         .arg(fromCp1251(source.GetName()), fromCp1251(complex.GetName())),
                     kProgramCaption, QMessageBox::Critical);
    return true;
}

// Tasks made by dragging take no questions until their counts are set (AddTask).

void TfmTestsEdit::ComplexTreeDrop(TItemNode* target, Qt::KeyboardModifiers modifiers) {
    TItemNode* dragged = ComplexNode();
    TQuestions* owner = TaskOwner(dragged);
    TQuestions* source = owner ? asGroup(dragged->Item) : nullptr;
    TQuestions* complex = ComplexTestOf(target);
    if (!source || !complex || ReportExistingTask(*complex, *source)) {
        return;
    }
    TKvalor& root = kvalorRoot();
    const bool copy = modifiers.testFlag(Qt::ShiftModifier);
    if (copy || root.Studies().StudiesOfTest(*complex).empty() ||
        confirmDestructive(QStringLiteral("По изменяемому комплексному тесту проводилось "
                                          "тестирование.\nИзменить состав теста ?"),
                           kProgramCaption, QMessageBox::Critical)) {
        root.Tasks().AddTask(*complex, *source);
        if (!copy) {
            root.Tasks().RemoveTask(*owner, *source);
            RebuildItemNode(*tvComplex_, *complexModel_, *owner, &root.Tasks());
        }
        prompts().inform(
            copy ? QStringLiteral("Задание скопировано") : QStringLiteral("Задание перенесено"),
            kProgramCaption, QMessageBox::Information);
    }
    RebuildItemNode(*tvComplex_, *complexModel_, *complex, &root.Tasks());
    RefreshComplexTree();
}

void TfmTestsEdit::SimpleToComplexDrop(TItemNode* target) {
    TQuestions* complex = ComplexTestOf(target);
    if (!complex) {
        return;
    }
    for (const TItemNode* node : SelectedNodes(*tvSimple_)) {
        TQuestions* source = asGroup(node->Item);
        if (source && !ReportExistingTask(*complex, *source)) {
            kvalorRoot().Tasks().AddTask(*complex, *source);
            RebuildItemNode(*tvComplex_, *complexModel_, *complex, &kvalorRoot().Tasks());
        }
    }
    RefreshComplexTree();
}

// Importing.

void TfmTestsEdit::actSmpImportQuestionsExecute() {
    const QStringList files =
        prompts().openFiles(QStringLiteral("Импорт вопросов"),
                            QStringLiteral("Вопросы GIFT и Aiken (*.gift *.txt)"), {});
    if (files.isEmpty()) {
        return;
    }
    // Every file is read before any is imported: one that cannot be read changes nothing.
    std::vector<QuestionFile> read;
    for (const QString& file : files) {
        read.push_back(ReadQuestionFile(file));
    }
    TQuestions* target = questionTarget(SimpleNode());
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
            TItemNode& node = AddItemNode(*simpleModel_, *report.test, nullptr);
            FillTree(*simpleModel_, *report.test, &node);
            shown = report.test;
        }
    }
    if (TQuestions* test = testAbove(target)) {
        RebuildItemNode(*tvSimple_, *simpleModel_, *target);
        // Numbers after the target and counts above it.
        RefreshSimpleTest(*test);
    } else {
        RefreshComplexTree();
    }
    if (TItemNode* node = FindItemNode(*simpleModel_, shown)) {
        SelectNodeAlone(*tvSimple_, *node);
        tvSimple_->expand(simpleModel_->IndexOf(node));
    }
    TfmImportReport dialog(lines, this);
    prompts().runModal(dialog);
}

// Showing.

void TfmTestsEdit::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    guarded([this] { ApplyFontSetting(kvalorRoot().FontSize()); });
}

void TfmTestsEdit::FitColumns() {
    // Wide enough for "Вопросов", "100,00" and "10 ч. 30 мин." in the font of the trees;
    // measuring the rows themselves would compute the texts of every node.
    const QFontMetrics metrics(tvComplex_->font());
    const int count = metrics.horizontalAdvance(QStringLiteral("Вопросов")) + 24;
    for (QTreeView* tree : {tvComplex_, tvSimple_}) {
        tree->header()->resizeSection(kCountColumn, count);
    }
    tvComplex_->header()->resizeSection(kPercentColumn, count);
    tvComplex_->header()->resizeSection(
        kTimeColumn, metrics.horizontalAdvance(QStringLiteral("100 ч. 30 мин.")) + 16);
    // Names keep some sixteen letters in view however narrow the side; the tree scrolls then.
    for (TDragTreeView* tree : {tvComplex_, tvSimple_}) {
        tree->SetFillColumn(kNameColumn, metrics.averageCharWidth() * 16);
    }
}

void TfmTestsEdit::FitToToolBars() {
    // Each side gets the width of its whole toolbar, so that no button hides behind the
    // toolbar's overflow mark whatever the style and the font; the window only ever grows,
    // but never past the room it has. Where captions under the icons do not fit, the buttons
    // show icons alone, with their captions as tips.
    QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    frame = frame ? frame : this;
    // The main window's working area, which the frame is kept within.
    const int room = area_.width();
    const QMargins margins = layout()->contentsMargins();
    // The frame's borders, from its hints: its width and this one's may not agree yet.
    const int borders = frame == this ? 0 : frame->sizeHint().width() - sizeHint().width();
    const int chrome = borders + splitter_->handleWidth() + margins.left() + margins.right();
    // Each side has room for its toolbar, and for the columns of its tree beside names of
    // some forty letters.
    const auto side = [](const QToolBar* toolBar, const QTreeView* tree) {
        int columns = 0;
        for (int column = kCountColumn; column < tree->header()->count(); ++column) {
            columns += tree->isColumnHidden(column) ? 0 : tree->header()->sectionSize(column);
        }
        const int names = tree->fontMetrics().averageCharWidth() * 40 + tree->indentation() +
                          tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth();
        return std::max(toolBar->sizeHint().width(), columns + names);
    };
    const auto needed = [&] {
        return side(tbComplex_, tvComplex_) + side(tbSimple_, tvSimple_) + chrome;
    };
    SetToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    if (needed() > room) {
        SetToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    const int complexWidth = side(tbComplex_, tvComplex_);
    const int simpleWidth = side(tbSimple_, tvSimple_);
    const int wanted = std::min(needed(), room);
    if (wanted > frame->width()) {
        frame->resize(wanted, frame->height());
    }
    // In proportion to what each side needs, so that the window's later sizes keep both in view.
    splitter_->setSizes({complexWidth, simpleWidth});
}

void TfmTestsEdit::SetToolButtonStyle(Qt::ToolButtonStyle style) {
    for (QToolBar* toolBar : {tbComplex_, tbSimple_}) {
        toolBar->setToolButtonStyle(style);
        // The buttons of the submenus were given their style of their own.
        for (QToolButton* button : toolBar->findChildren<QToolButton*>()) {
            button->setToolButtonStyle(style);
        }
        // Measured again at once: the fitting reads the new widths.
        toolBar->layout()->invalidate();
    }
}

void TfmTestsEdit::ApplyFontSetting(int pointSize) {
    if (pointSize > 0 && FontSizeDiffers(tvSimple_, pointSize)) {
        ApplyFontSize(this, pointSize);
        FitColumns();
        FitToToolBars();
        if (auto* host = qobject_cast<QMdiSubWindow*>(parentWidget())) {
            layout()->activate();
            host->setMinimumSize(host->minimumSizeHint());
        }
    }
}

void registerTestsEdit() {
    // The tree opens its questions in the question window's editing mode.
    TfmQuestion::registerEditingMode(
        [](TfmQuestion& window) { return std::make_unique<TQuestionEditor>(window); });
    TfmKvalor::registerWorkingWindow(
        QStringLiteral("TfmTestsEdit"),
        [](TfmKvalor& mainWindow) -> QWidget* { return new TfmTestsEdit(mainWindow); },
        [](QWidget& window) {
            if (auto* tests = qobject_cast<TfmTestsEdit*>(&window)) {
                tests->Reload();
            }
        });
}

void TfmTestsEdit::actSmpExportExecute() {
    const TQuestions* test = EnclosingTest(SimpleNode());
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

}  // namespace kvalor
