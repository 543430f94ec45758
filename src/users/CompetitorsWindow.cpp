#include "users/CompetitorsWindow.h"

#include <initializer_list>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "users/CompetitorEditor.h"
#include "users/CompetitorsModel.h"
#include "util/Codepage.h"
#include "util/Error.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

const QString kExchangeFilter = QStringLiteral("Данные Квалор (*.exd)");

using AccountSet = std::unordered_set<const TCompetitor*>;

int studiesOf(const AccountSet& accounts) {
    const TStudyList& journal = kvalorRoot().Studies();
    int count = 0;
    for (int i = 0; i < journal.Count(); ++i) {
        count += accounts.contains(journal.StudyAt(i).User()) ? 1 : 0;
    }
    return count;
}

// One "Да" takes the results with the accounts: the question says how many, and Enter says no.
bool confirmDelete(const IExaminerItem& item, const AccountSet& accounts) {
    QString text =
        QStringLiteral("Вы действительно хотите удалить %1").arg(fromCp1251(item.GetName()));
    const int studies = studiesOf(accounts);
    if (item.IsCollection()) {
        text +=
            QStringLiteral("\nВместе с группой будут удалены соискатели: %1").arg(accounts.size());
        text += studies > 0 ? QStringLiteral(", их результаты тестирования: %1.").arg(studies)
                            : QStringLiteral(".");
    } else if (studies > 0) {
        text += QStringLiteral(
                    "\nВместе с соискателем будут удалены его результаты "
                    "тестирования: %1.")
                    .arg(studies);
    }
    return confirmDestructive(text, QStringLiteral("Предупреждение"), QMessageBox::Warning);
}

// The results of deleted accounts go with them; the windows showing one are told first.
void deleteStudiesOf(const AccountSet& accounts) {
    kvalorRoot().Studies().DeleteWhere(
        [&accounts](const TStudy& study) { return accounts.contains(study.User()); });
}

std::unique_ptr<TCompetitor> takeOut(TCompetitor& account) {
    std::unique_ptr<TExaminerElement> owned = account.Parent()->Extract(account);
    return std::unique_ptr<TCompetitor>(static_cast<TCompetitor*>(owned.release()));
}

// A group read from a file may hold a built-in account, which is never deleted: it goes back
// to its place at the head of the list. Returns whether there was one.
bool keepBuiltinsOf(TCompetitors& group, TCompetitors& users) {
    bool kept = false;
    for (TExaminerElement* element : CollectItems(group, "TCompetitor", true)) {
        const int place = BuiltinAccountPlace(element->Id());
        if (place >= 0) {
            users.InsertItem(place, element->Parent()->Extract(*element));
            kept = true;
        }
    }
    return kept;
}

// A toolbar button that opens a menu of the actions.
QToolButton* menuButton(QWidget& owner, const QString& text, ActionIcon icon,
                        std::initializer_list<QAction*> actions) {
    auto* menu = new QMenu(&owner);
    for (QAction* action : actions) {
        menu->addAction(action);
    }
    auto* button = new QToolButton;
    button->setText(text);
    button->setIcon(actionIcon(icon));
    button->setMenu(menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return button;
}

}  // namespace

TfmCompetitors::TfmCompetitors(TfmKvalor& mainWindow, TfmCompetitorEdit& editor, QWidget* parent)
    : QWidget(parent),
      editor_(editor),
      model_(new TCompetitorsModel(this)),
      actAddCompetitor_(
          new QAction(actionIcon(ActionIcon::Add), QStringLiteral("Соискателя"), this)),
      actAddGroup_(new QAction(themeIcon(QStringLiteral("folder-new"), ActionIcon::Add),
                               QStringLiteral("Группу"), this)),
      actEdit_(new QAction(actionIcon(ActionIcon::Edit), QStringLiteral("Редактировать"), this)),
      actDelete_(Named(new QAction(actionIcon(ActionIcon::Delete), QStringLiteral("Удалить"), this),
                       "actDelete")),
      actCompetitorsSaveToFile_(Named(
          new QAction(actionIcon(ActionIcon::Export), QStringLiteral("Сохранить как..."), this),
          "actCompetitorsSaveToFile")),
      actCompetitorsLoadFromFile_(Named(
          new QAction(actionIcon(ActionIcon::Import), QStringLiteral("Импорт из файла"), this),
          "actCompetitorsLoadFromFile")),
      actSaveToFile_(
          Named(new QAction(actionIcon(ActionIcon::Save), QStringLiteral("Сохранить"), this),
                "actSaveToFile")),
      actClose_(new QAction(actionIcon(ActionIcon::Close), QStringLiteral("Закрыть"), this)) {
    setWindowTitle(QStringLiteral("Соискатели"));
    setWindowIcon(actionIcon(ActionIcon::Users));
    BuildControls();
    ConnectControls();
    connect(&mainWindow.SettingDialog(), &TfmSetting::fontSizeChanged, this,
            [this](int pointSize) { guarded([this, pointSize] { ApplyFontSetting(pointSize); }); });
    // Room for the whole toolbar and a good part of a class.
    resize(sizeHint().expandedTo(QSize(560, 640)));
    UpdateActions();
}

TfmCompetitors::~TfmCompetitors() = default;

void TfmCompetitors::BuildControls() {
    tvCompetitors_ = Named(new QTreeView, "tvCompetitors");
    tvCompetitors_->setModel(model_);
    tvCompetitors_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tvCompetitors_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvCompetitors_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvCompetitors_->setDragEnabled(true);
    tvCompetitors_->setAcceptDrops(true);
    tvCompetitors_->setDragDropMode(QAbstractItemView::DragDrop);
    tvCompetitors_->setDefaultDropAction(Qt::MoveAction);
    // Accounts are dropped onto a node, never between two.
    tvCompetitors_->setDragDropOverwriteMode(true);
    tvCompetitors_->setDropIndicatorShown(true);
    tvCompetitors_->setUniformRowHeights(true);
    QHeaderView* header = tvCompetitors_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Interactive);
    header->resizeSection(1, 160);
    tvCompetitors_->installEventFilter(this);

    actAddCompetitor_->setShortcut(QKeySequence(Qt::Key_Insert));
    actAddGroup_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert));
    actEdit_->setShortcut(QKeySequence(Qt::Key_F2));
    actDelete_->setShortcut(QKeySequence::Delete);
    actSaveToFile_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    actClose_->setShortcut(QKeySequence::Close);
    for (QAction* action :
         {actAddCompetitor_, actAddGroup_, actEdit_, actDelete_, actCompetitorsSaveToFile_,
          actCompetitorsLoadFromFile_, actSaveToFile_, actClose_}) {
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
    }

    btnList_ = menuButton(*this, QStringLiteral("Список"), ActionIcon::Users,
                          {actCompetitorsSaveToFile_, actCompetitorsLoadFromFile_});
    btnAdd_ = menuButton(*this, QStringLiteral("Добавить"), ActionIcon::Add,
                         {actAddCompetitor_, actAddGroup_});
    tbActions_ = new QToolBar;
    tbActions_->setIconSize(QSize(24, 24));
    tbActions_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbActions_->addWidget(btnList_);
    tbActions_->addWidget(btnAdd_);
    tbActions_->addSeparator();
    for (QAction* action : {actEdit_, actDelete_, actSaveToFile_}) {
        tbActions_->addAction(action);
    }
    tbActions_->addSeparator();
    tbActions_->addAction(actClose_);
    // The keyboard reaches the toolbar with Tab, and its menus with Space.
    for (QAction* action : tbActions_->actions()) {
        if (auto* button = qobject_cast<QToolButton*>(tbActions_->widgetForAction(action))) {
            button->setFocusPolicy(Qt::TabFocus);
        }
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tbActions_);
    layout->addWidget(tvCompetitors_, 1);
    // The window opens with the keyboard in the tree.
    setFocusProxy(tvCompetitors_);
}

void TfmCompetitors::ConnectControls() {
    connect(actAddCompetitor_, &QAction::triggered, this,
            guard([this] { actAddCompetitorExecute(); }));
    connect(actAddGroup_, &QAction::triggered, this, guard([this] { actAddGroupExecute(); }));
    connect(actEdit_, &QAction::triggered, this, guard([this] { actEditExecute(); }));
    connect(actDelete_, &QAction::triggered, this, guard([this] { actDeleteExecute(); }));
    connect(actCompetitorsSaveToFile_, &QAction::triggered, this,
            guard([this] { actCompetitorsSaveToFileExecute(); }));
    connect(actCompetitorsLoadFromFile_, &QAction::triggered, this,
            guard([this] { actCompetitorsLoadFromFileExecute(); }));
    connect(actSaveToFile_, &QAction::triggered, this, guard([this] { actSaveToFileExecute(); }));
    connect(actClose_, &QAction::triggered, this, [this] { close(); });

    connect(tvCompetitors_, &QTreeView::doubleClicked, this, guard([this] {
                if (actEdit_->isEnabled() && tvCompetitors_->currentIndex().isValid()) {
                    actEdit_->trigger();
                }
            }));
    QItemSelectionModel* selection = tvCompetitors_->selectionModel();
    connect(selection, &QItemSelectionModel::selectionChanged, this,
            guard([this] { UpdateActions(); }));
    connect(selection, &QItemSelectionModel::currentChanged, this,
            guard([this] { UpdateActions(); }));
    connect(model_, &QAbstractItemModel::modelReset, this, guard([this] { UpdateActions(); }));
    connect(model_, &QAbstractItemModel::rowsRemoved, this, guard([this] { UpdateActions(); }));

    model_->SetDropHandlers(
        [this](const QModelIndex& target) { return MayDrop(target); },
        [this](const QModelIndex& target) { guarded([this, &target] { DropSelection(target); }); });
}

void TfmCompetitors::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    guarded([this] { FormShow(); });
}

bool TfmCompetitors::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tvCompetitors_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && actEdit_->isEnabled()) {
            actEdit_->trigger();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfmCompetitors::FormShow() {
    model_->Fill(kvalorRoot().Users());
    ApplyFontSetting(kvalorRoot().FontSize());
    UpdateActions();
}

void TfmCompetitors::ApplyFontSetting(int pointSize) {
    if (pointSize > 0 && FontSizeDiffers(tvCompetitors_, pointSize)) {
        ApplyFontSize(this, pointSize);
    }
    // The whole toolbar stays in view, whatever the size of its texts.
    if (auto* host = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        layout()->activate();
        host->resize(host->size().expandedTo(host->sizeHint()));
    }
}

void TfmCompetitors::UpdateActions() {
    const bool selected = tvCompetitors_->selectionModel()->hasSelection();
    const QModelIndex focused = tvCompetitors_->currentIndex();
    actEdit_->setEnabled(selected);
    actDelete_->setEnabled(selected && focused.isValid() &&
                           focused.siblingAtColumn(0) != model_->index(0, 0));
}

void TfmCompetitors::SelectNode(const QModelIndex& node) {
    if (!node.isValid()) {
        return;
    }
    tvCompetitors_->selectionModel()->setCurrentIndex(
        node, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    tvCompetitors_->scrollTo(node);
}

void TfmCompetitors::actAddCompetitorExecute() {
    const QModelIndex focused = tvCompetitors_->currentIndex().siblingAtColumn(0);
    // Groups hold accounts only: an account focused inside one adds at the top level.
    auto* group = dynamic_cast<TCompetitors*>(model_->ItemAt(focused));
    TCompetitors& target = group ? *group : kvalorRoot().Users();

    auto account = std::make_unique<TCompetitor>();
    editor_.Load(account.get());
    prompts().runModal(editor_);
    editor_.Load(nullptr);
    // An account never saved in the editor has no name.
    if (account->GetName().empty()) {
        return;
    }
    TCompetitor& added = *account;
    if (target.AddCompetitor(std::move(account), true) >= 0) {
        ShowAgain(&added);
    }
}

void TfmCompetitors::actAddGroupExecute() {
    const std::optional<QString> name = prompts().inputBox(
        QStringLiteral("Наименование группы"), QStringLiteral("Наименование"), QString());
    if (!name || TrimText(*name).isEmpty()) {
        return;
    }
    auto group = std::make_unique<TCompetitors>();
    group->SetName(toCp1251(*name));
    // An id at once, so that other windows can tell two new groups apart.
    group->NewId();
    TCompetitors& added = *group;
    kvalorRoot().Users().AddCollection(std::move(group));
    ShowAgain(&added);
}

void TfmCompetitors::actEditExecute() {
    const QModelIndex focused = tvCompetitors_->currentIndex().siblingAtColumn(0);
    IExaminerItem* item = model_->ItemAt(focused);
    if (auto* group = dynamic_cast<TCompetitors*>(item)) {
        const std::optional<QString> name =
            prompts().inputBox(QStringLiteral("Наименование группы пользователей"),
                               QStringLiteral("Наименование"), fromCp1251(group->GetName()));
        if (name && !TrimText(*name).isEmpty()) {
            group->SetName(toCp1251(*name));
        }
    } else if (auto* account = dynamic_cast<TCompetitor*>(item)) {
        editor_.Load(account);
        prompts().runModal(editor_);
        editor_.Load(nullptr);
    }
    // A new name may have a new place in the tree.
    ShowAgain(item);
}

void TfmCompetitors::actDeleteExecute() {
    const QModelIndex focused = tvCompetitors_->currentIndex().siblingAtColumn(0);
    if (!focused.isValid() || focused == model_->index(0, 0)) {
        return;
    }
    TCompetitors& users = kvalorRoot().Users();
    IExaminerItem* item = model_->ItemAt(focused);
    if (auto* group = dynamic_cast<TCompetitors*>(item)) {
        AccountSet members;
        for (TExaminerElement* element : CollectItems(*group, "TCompetitor", true)) {
            // A built-in account read into a group stays, with its results.
            if (!IsBuiltinAccountId(element->Id())) {
                members.insert(dynamic_cast<const TCompetitor*>(element));
            }
        }
        if (group->Count() > 0 && !confirmDelete(*group, members)) {
            return;
        }
        model_->RemoveNode(focused);
        const bool keptBuiltins = keepBuiltinsOf(*group, users);
        deleteStudiesOf(members);
        group->Parent()->Extract(*group);
        if (keptBuiltins) {
            FormShow();
        }
    } else if (auto* account = dynamic_cast<TCompetitor*>(item)) {
        if (IsBuiltinAccountId(account->Id()) || !confirmDelete(*account, {account})) {
            return;
        }
        model_->RemoveNode(focused);
        deleteStudiesOf({account});
        takeOut(*account);
    }
}

void TfmCompetitors::actCompetitorsSaveToFileExecute() {
    const QString file = prompts().saveFile(QStringLiteral("Сохранить как"), kExchangeFilter,
                                            QString(), QStringLiteral("exd"));
    if (!file.isEmpty()) {
        kvalorRoot().Users().SaveToFile(file);
    }
}

void TfmCompetitors::actCompetitorsLoadFromFileExecute() {
    const QStringList files = prompts().openFiles(QStringLiteral("Импорт из файла"),
                                                  kExchangeFilter, QFileDialog::Options());
    if (files.isEmpty()) {
        return;
    }
    // A failed import leaves the list, and so the tree, as they were. Results whose account the
    // file lacks would be dropped at the next start: the user decides first.
    kvalorRoot().ImportUsers(files.first(), [](const UsersImportReport& report) {
        return confirmDestructive(UsersImportQuestion(report), QStringLiteral("Предупреждение"),
                                  QMessageBox::Warning);
    });
    FormShow();
}

void TfmCompetitors::actSaveToFileExecute() {
    // What a failed load left in memory must never replace the file it could not read.
    if (!dataModule().DataLoaded()) {
        throw KvalorError(
            "База данных не была прочитана при запуске программы. Сохранение невозможно");
    }
    // Through the data module, so that the recovery file goes once its runs are saved.
    dataModule().SaveDataFile();
}

bool TfmCompetitors::MayDrop(const QModelIndex& target) const {
    if (!model_->ItemAt(target)) {
        return false;
    }
    const QModelIndexList rows = tvCompetitors_->selectionModel()->selectedRows();
    if (rows.size() == 1) {
        return true;
    }
    for (const QModelIndex& row : rows) {
        if (!dynamic_cast<TCompetitor*>(model_->ItemAt(row))) {
            return false;
        }
    }
    return !rows.isEmpty();
}

void TfmCompetitors::DropSelection(const QModelIndex& target) {
    IExaminerItem* targetItem = model_->ItemAt(target);
    if (!targetItem || !MayDrop(target)) {
        return;
    }
    const QModelIndexList rows = tvCompetitors_->selectionModel()->selectedRows();
    const IExaminerItem* remembered = rows.isEmpty() ? nullptr : model_->ItemAt(rows.first());

    auto* into = dynamic_cast<TCompetitors*>(targetItem);
    if (!into) {
        into = dynamic_cast<TCompetitors*>(targetItem->Parent());
    }
    if (into) {
        for (const QModelIndex& row : rows) {
            auto* account = dynamic_cast<TCompetitor*>(model_->ItemAt(row));
            // Accounts keep their ids; only the built-in ones are ever refused.
            if (account && !IsBuiltinAccountId(account->Id())) {
                into->AddCompetitor(takeOut(*account), false);
            }
        }
    }

    kvalorRoot().Users().Sort();
    ShowAgain(remembered);
}

void TfmCompetitors::ShowAgain(const IExaminerItem* select) {
    std::unordered_set<const IExaminerItem*> expanded;
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex node = model_->index(row, 0);
        if (tvCompetitors_->isExpanded(node)) {
            expanded.insert(model_->ItemAt(node));
        }
    }
    model_->Fill(kvalorRoot().Users());
    for (int row = 0; row < model_->rowCount(); ++row) {
        const QModelIndex node = model_->index(row, 0);
        if (expanded.contains(model_->ItemAt(node))) {
            tvCompetitors_->expand(node);
        }
    }
    SelectNode(model_->FindItemNode(select));
}

void registerCompetitors() {
    TfmKvalor::registerWorkingWindow(
        QStringLiteral("TfmCompetitors"), [](TfmKvalor& mainWindow) -> QWidget* {
            return new TfmCompetitors(mainWindow, competitorEditor(mainWindow));
        });
}

}  // namespace kvalor
