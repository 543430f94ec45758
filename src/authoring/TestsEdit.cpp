#include "authoring/TestsEdit.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "app/ResultsOpener.h"
#include "app/Settings.h"
#include "authoring/ImportReportDialog.h"
#include "authoring/QuestionEditor.h"
#include "authoring/QuestionGroupSettings.h"
#include "authoring/SelectObject.h"
#include "authoring/TestsTreeNodes.h"
#include "authoring/TreeImages.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "question/QuestionWindow.h"
#include "ui/DragTreeView.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

const QStringList kCaptions = {QStringLiteral("Наименование"), QStringLiteral("Вопросов"),
                               QStringLiteral("Ценз %"), QStringLiteral("Время")};
const QStringList kHints = {
    QStringLiteral("Наименование теста"), QStringLiteral("Общее количество вопросов"),
    QStringLiteral("% правильных ответов для успешного прохождения"),
    QStringLiteral("Время прохождения теста"), QStringLiteral("Используется в комплексных тестах")};

TDragTreeView* makeTree(TItemTreeModel* model, const QString& name) {
    auto* tree = new TDragTreeView;
    tree->setObjectName(name);
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

// Actions are found by their names, as the fields that hold them are called.
QAction* makeAction(QObject* owner, const char* name, const QString& caption, const QIcon& icon) {
    auto* action = new QAction(icon, caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}
QAction* makeAction(QObject* owner, const char* name, const QString& caption, ActionIcon icon) {
    return makeAction(owner, name, caption, actionIcon(icon));
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
      controller_(*this, *complexModel_, *simpleModel_, this),
      drops_(*this, controller_, *simpleModel_, this),
      actCmpCreate_(
          makeAction(this, "actCmpCreate", QStringLiteral("Создать новый"), ActionIcon::Add)),
      actCmpDublicateTask_(makeAction(this, "actCmpDublicateTask", QStringLiteral("Создать копию"),
                                      ActionIcon::Copy)),
      actCmpAddTask_(
          makeAction(this, "actCmpAddTask", QStringLiteral("Добавить задание"), ActionIcon::Add)),
      actCmpChange_(
          makeAction(this, "actCmpChange", QStringLiteral("Редактировать"), ActionIcon::Edit)),
      actCmpDelete_(
          makeAction(this, "actCmpDelete", QStringLiteral("Удалить"), ActionIcon::Delete)),
      actSmpCreate_(
          makeAction(this, "actSmpCreate", QStringLiteral("Создать новый"), ActionIcon::Add)),
      actSmpDublicateTask_(makeAction(this, "actSmpDublicateTask", QStringLiteral("Создать копию"),
                                      ActionIcon::Copy)),
      actSmpAddGroup_(
          makeAction(this, "actSmpAddGroup", QStringLiteral("Группу вопросов"), ActionIcon::Add)),
      actSmpAddQuestion_(
          makeAction(this, "actSmpAddQuestion", QStringLiteral("Вопрос"), ActionIcon::Add)),
      actSmpCopy_(makeAction(this, "actSmpCopy", QStringLiteral("Копировать"), ActionIcon::Copy)),
      actSmpPaste_(makeAction(this, "actSmpPaste", QStringLiteral("Вставить"), ActionIcon::Paste)),
      actSmpChange_(
          makeAction(this, "actSmpChange", QStringLiteral("Редактировать"), ActionIcon::Edit)),
      actSmpDelete_(
          makeAction(this, "actSmpDelete", QStringLiteral("Удалить"), ActionIcon::Delete)),
      actSmpExport_(
          makeAction(this, "actSmpExport", QStringLiteral("Экспорт"), ActionIcon::Export)),
      actSmpExportQuestions_(makeAction(this, "actSmpExportQuestions",
                                        QStringLiteral("Экспорт вопросов..."), ActionIcon::Export)),
      actSmpStatistics_(makeAction(this, "actSmpStatistics", QStringLiteral("Статистика теста"),
                                   ActionIcon::Journal)),
      actSmpImportQuestions_(makeAction(this, "actSmpImportQuestions",
                                        QStringLiteral("Импорт вопросов..."), ActionIcon::Import)),
      actSmpMoveUp_(makeAction(this, "actSmpMoveUp", QStringLiteral("Переместить вверх"),
                               themeIcon(QStringLiteral("go-up"), ActionIcon::Edit))),
      actSmpMoveDown_(makeAction(this, "actSmpMoveDown", QStringLiteral("Переместить вниз"),
                                 themeIcon(QStringLiteral("go-down"), ActionIcon::Edit))),
      actSave_(makeAction(this, "actSave", QStringLiteral("Сохранить"), ActionIcon::Save)) {
    setWindowTitle(QStringLiteral("Тесты (редактирование)"));
    complexModel_->SetTextsFunction([](const TItemNode& node) { return NodeTexts(node, true); });
    complexModel_->SetRoleFunction([this](const TItemNode& node, int column, int role) {
        return NodeRole(node, column, role, true);
    });
    simpleModel_->SetTextsFunction([](const TItemNode& node) { return NodeTexts(node, false); });
    simpleModel_->SetRoleFunction([this](const TItemNode& node, int column, int role) {
        return NodeRole(node, column, role, false);
    });
    BuildControls();
    BuildActions();
    ConnectTrees();
    // Over all the studies of the focused simple test.
    connect(actSmpStatistics_, &QAction::triggered, this, guard([this, &mainWindow] {
                if (const TQuestions* test = EnclosingTest(CurrentNode(TestsTree::Simple))) {
                    openTestStatistics(mainWindow, *test);
                }
            }));
    connect(&mainWindow.SettingDialog(), &TfmSetting::fontSizeChanged, this,
            guard([this] { ApplyFontSetting(kvalorRoot().FontSize()); }));
    ApplyFontSetting(kvalorRoot().FontSize());
    resize(900, 600);
    FitToToolBars();
    UpdateActions();
}

TfmTestsEdit::~TfmTestsEdit() = default;

void TfmTestsEdit::BuildControls() {
    tvComplex_ = makeTree(complexModel_, QStringLiteral("tvComplex"));
    tvSimple_ = makeTree(simpleModel_, QStringLiteral("tvSimple"));
    tvSimple_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvSimple_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvComplex_->setSelectionMode(QAbstractItemView::SingleSelection);
    // The simple tree shows names and counts only; the other texts are computed all the same.
    for (const int column : {kPercentColumn, kTimeColumn, kUsedColumn}) {
        tvSimple_->setColumnHidden(column, true);
    }
    FitColumns();
    tbComplex_ = new QToolBar;
    tbComplex_->setObjectName(QStringLiteral("tbComplex"));
    tbSimple_ = new QToolBar;
    tbSimple_->setObjectName(QStringLiteral("tbSimple"));

    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setObjectName(QStringLiteral("splitter"));
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
    const auto submenu = [this](QToolBar* toolBar, const char* name, const QString& caption,
                                ActionIcon icon) {
        auto* menu = new QMenu(caption, this);
        menu->setObjectName(QString::fromLatin1(name));
        auto* button = new QToolButton;
        button->setText(caption);
        button->setIcon(actionIcon(icon));
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolBar->addWidget(button);
        return menu;
    };

    QMenu* mnComplexCreate =
        submenu(tbComplex_, "mnComplexCreate", QStringLiteral("Создать тест"), ActionIcon::Tests);
    mnComplexCreate->addActions({actCmpCreate_, actCmpDublicateTask_});
    tbComplex_->addActions({actCmpAddTask_, actCmpChange_, actCmpDelete_});
    tbComplex_->addSeparator();
    tbComplex_->addAction(actSave_);

    QMenu* mnSimpleCreate =
        submenu(tbSimple_, "mnSimpleCreate", QStringLiteral("Создать тест"), ActionIcon::Tests);
    mnSimpleCreate->addActions({actSmpCreate_, actSmpDublicateTask_});
    QMenu* mnSimpleAdd =
        submenu(tbSimple_, "mnSimpleAdd", QStringLiteral("Добавить"), ActionIcon::Add);
    mnSimpleAdd->addActions({actSmpAddGroup_, actSmpAddQuestion_});
    // Questions from files are added too; a button of its own would not fit beside the tree at
    // larger fonts.
    mnSimpleAdd->addAction(actSmpImportQuestions_);
    QMenu* mnSimpleItem =
        submenu(tbSimple_, "mnSimpleItem", QStringLiteral("Элемент"), ActionIcon::Copy);
    mnSimpleItem->addActions({actSmpCopy_, actSmpPaste_, actSmpMoveUp_, actSmpMoveDown_});
    mnSimpleItem->addSeparator();
    mnSimpleItem->addActions({actSmpExportQuestions_, actSmpStatistics_});
    tbSimple_->addActions({actSmpChange_, actSmpDelete_, actSmpExport_});

    pmComplex_ = new QMenu(this);
    pmComplex_->setObjectName(QStringLiteral("pmComplex"));
    pmComplex_->addAction(actCmpCreate_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpAddTask_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpChange_);
    pmComplex_->addSeparator();
    pmComplex_->addAction(actCmpDelete_);

    pmSimple_ = new QMenu(this);
    pmSimple_->setObjectName(QStringLiteral("pmSimple"));
    pmSimple_->addActions({actSmpCreate_, actSmpDublicateTask_});
    pmSimple_->addSeparator();
    pmSimple_->addAction(actSmpChange_);
    pmSimple_->addSeparator();
    pmSimple_->addActions(
        {actSmpAddGroup_, actSmpAddQuestion_, actSmpImportQuestions_, actSmpExportQuestions_});
    pmSimple_->addSeparator();
    pmSimple_->addAction(actSmpStatistics_);
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
    connect(actSave_, &QAction::triggered, this, guard([this] { controller_.Save(); }));

    // Every action but copying and exporting may change the data.
    const auto handle = [this](QAction* action, std::function<void()> command) {
        const bool changes =
            action != actSmpCopy_ && action != actSmpExport_ && action != actSmpExportQuestions_;
        connect(action, &QAction::triggered, this, guard([this, command, changes] {
                    if (changes) {
                        controller_.NoteChange();
                    }
                    command();
                    UpdateActions();
                }));
    };
    handle(actCmpCreate_, [this] { controller_.CreateTest(kGroupKindComplexTest); });
    handle(actCmpDublicateTask_, [this] { controller_.DuplicateComplex(); });
    handle(actCmpAddTask_, [this] { controller_.AddTask(); });
    handle(actCmpChange_, [this] { controller_.ChangeComplex(); });
    handle(actCmpDelete_, [this] { controller_.DeleteComplex(); });
    handle(actSmpCreate_, [this] { controller_.CreateTest(kGroupKindSimpleTest); });
    handle(actSmpDublicateTask_, [this] { controller_.DuplicateSimple(); });
    handle(actSmpAddGroup_, [this] { controller_.AddGroup(); });
    handle(actSmpAddQuestion_, [this] { controller_.AddQuestion(); });
    handle(actSmpChange_, [this] { controller_.ChangeSimple(); });
    handle(actSmpCopy_, [this] { drops_.Copy(); });
    handle(actSmpPaste_, [this] { drops_.Paste(); });
    handle(actSmpDelete_, [this] { controller_.DeleteSimple(); });
    handle(actSmpExport_, [this] { controller_.Export(); });
    handle(actSmpExportQuestions_, [this] { controller_.ExportQuestions(); });
    handle(actSmpImportQuestions_, [this] { controller_.ImportQuestions(); });
    handle(actSmpMoveUp_, [this] { drops_.MoveSelectionBy(-1); });
    handle(actSmpMoveDown_, [this] { drops_.MoveSelectionBy(1); });
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

    // A drag from either tree shows what its drop would do; the controller decides.
    const auto from = [this](const TreeDrop& drop) -> std::optional<TestsTree> {
        if (drop.Source == tvSimple_) {
            return TestsTree::Simple;
        }
        return drop.Source == tvComplex_ ? std::optional(TestsTree::Complex) : std::nullopt;
    };
    tvSimple_->SetDropHandling(
        [this, from](const TreeDrop& drop) {
            return drops_.AcceptSimpleDrop(from(drop), drop.Modifiers);
        },
        [this](const TreeDrop& drop) {
            controller_.NoteChange();
            drops_.SimpleTreeDrop(drop.Target, drop.Place, drop.Modifiers);
            UpdateActions();
        });
    tvComplex_->SetDropHandling(
        [this, from](const TreeDrop& drop) {
            return drops_.AcceptComplexDrop(from(drop), drop.Target, drop.Modifiers);
        },
        [this](const TreeDrop& drop) {
            controller_.NoteChange();
            if (drop.Source == tvSimple_) {
                drops_.SimpleToComplexDrop(drop.Target);
            } else {
                drops_.ComplexTreeDrop(drop.Target, drop.Modifiers);
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

TItemNode* TfmTestsEdit::CurrentNode(TestsTree tree) const {
    const QModelIndex current = Tree(tree).currentIndex();
    return current.isValid() ? Model(tree).NodeOf(current) : nullptr;
}

void TfmTestsEdit::UpdateActions() {
    const TestsCommandStates states = controller_.CommandStates();
    // Without a focused node imported questions go into a new test.
    for (QAction* action : {actCmpCreate_, actSmpCreate_, actSmpImportQuestions_}) {
        action->setEnabled(true);
    }
    actCmpDublicateTask_->setEnabled(states.ComplexTest);
    actCmpAddTask_->setEnabled(states.ComplexTest);
    actCmpChange_->setEnabled(states.ComplexNode);
    actCmpDelete_->setEnabled(states.ComplexNode);
    for (QAction* action :
         {actSmpDublicateTask_, actSmpAddQuestion_, actSmpCopy_, actSmpChange_, actSmpDelete_}) {
        action->setEnabled(states.SimpleNode);
    }
    actSmpAddGroup_->setEnabled(states.SimpleAddGroup);
    actSmpPaste_->setEnabled(states.SimplePaste);
    actSmpMoveUp_->setEnabled(states.SimpleMove);
    actSmpMoveDown_->setEnabled(states.SimpleMove);
    actSmpExport_->setEnabled(states.SimpleExport);
    actSmpExportQuestions_->setEnabled(states.SimpleExport);
    actSmpStatistics_->setEnabled(states.SimpleExport);
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
                (!complexTree || IsKind(node.Item, kGroupKindComplexTest))) {
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

// The trees as the controller sees them.

TDragTreeView& TfmTestsEdit::Tree(TestsTree tree) const {
    return tree == TestsTree::Complex ? *tvComplex_ : *tvSimple_;
}

TItemTreeModel& TfmTestsEdit::Model(TestsTree tree) const {
    return tree == TestsTree::Complex ? *complexModel_ : *simpleModel_;
}

std::vector<TItemNode*> TfmTestsEdit::SimpleSelection() const {
    return SelectedNodes(*tvSimple_);
}

SelectionType TfmTestsEdit::SimpleSelectionType() const {
    return SameTypeSelection(*tvSimple_);
}

void TfmTestsEdit::Rebuild(TestsTree tree, IExaminerItem& item) {
    RebuildItemNode(Tree(tree), Model(tree), item,
                    tree == TestsTree::Complex ? &kvalorRoot().Tasks() : nullptr);
}

void TfmTestsEdit::SelectAlone(TestsTree tree, TItemNode& node) {
    SelectNodeAlone(Tree(tree), node);
}

void TfmTestsEdit::SelectSimpleNodes(const std::vector<TItemNode*>& nodes) {
    tvSimple_->selectionModel()->clearSelection();
    for (const TItemNode* node : nodes) {
        tvSimple_->selectionModel()->setCurrentIndex(
            simpleModel_->IndexOf(node), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

bool TfmTestsEdit::IsExpanded(TestsTree tree, const TItemNode& node) const {
    return Tree(tree).isExpanded(Model(tree).IndexOf(&node));
}

bool TfmTestsEdit::Busy() const {
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}

void TfmTestsEdit::SetExpanded(TestsTree tree, const TItemNode& node, bool expanded) {
    Tree(tree).setExpanded(Model(tree).IndexOf(&node), expanded);
}

bool TfmTestsEdit::EditSettings(TQuestions& group, TTask* task) {
    settings_.SetGroup(&group);
    settings_.SelectTask(task);
    return prompts().runModal(settings_) == QDialog::Accepted;
}

void TfmTestsEdit::EditQuestions(TQuestion& question, TQuestions& test) {
    questionWindow_.SetMode(WindowMode::Editing);
    questionWindow_.SetQuestionList(&test);
    questionWindow_.ShowQuestion(&question);
    questionWindow_.Start();
    prompts().runModal(questionWindow_);
}

TQuestions* TfmTestsEdit::ChooseTaskSource(TQuestions& complex) {
    return chooseTaskSource(selectObject_, complex);
}

void TfmTestsEdit::ShowImportReport(const QStringList& lines) {
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

}  // namespace kvalor
