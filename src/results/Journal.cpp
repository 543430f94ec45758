#include "results/Journal.h"

#include <algorithm>
#include <unordered_set>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/ProgressWindow.h"
#include "exchange/JournalWorkbook.h"
#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "question/QuestionWindow.h"
#include "question/QuestionWindowRun.h"
#include "results/ExportSettings.h"
#include "results/JournalChoices.h"
#include "results/JournalFilter.h"
#include "results/JournalModel.h"
#include "results/ResultsModel.h"
#include "results/ResultsView.h"
#include "results/StudyTexts.h"
#include "ui/Clock.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "ui/Workbooks.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kColumnWidths[JournalModel::ColumnCount] = {232, 146, 63, 79, 81, 90};
// More rows than this in the results view are built only when the user says so.
constexpr std::uint64_t kManyResultRows = 300000;

// Captions of the filter panel are bold.
QLabel* caption(const QString& text) {
    return new QLabel(QStringLiteral("<b>%1</b>").arg(text));
}

}  // namespace

TfmJournal::TfmJournal(TfmKvalor& mainWindow, QWidget* parent)
    : QWidget(parent),
      mainWindow_(mainWindow),
      model_(new JournalModel(this)),
      actViewAsList_(Named(new QAction(QStringLiteral("Список"), this), "actViewAsList")),
      actViewAsStudy_(Named(new QAction(QStringLiteral("Задание"), this), "actViewAsStudy")),
      actExport_(Named(new QAction(actionIcon(ActionIcon::Export), QStringLiteral("Экспорт"), this),
                       "actExport")),
      actDelete_(Named(new QAction(actionIcon(ActionIcon::Delete), QStringLiteral("Удалить"), this),
                       "actDelete")),
      actClose_(new QAction(actionIcon(ActionIcon::Close), QStringLiteral("Закрыть"), this)),
      actSetFilter_(
          Named(new QAction(actionIcon(ActionIcon::Filter), QStringLiteral("Применить"), this),
                "actSetFilter")),
      actClearFilter_(
          Named(new QAction(actionIcon(ActionIcon::Clear), QStringLiteral("Очистить"), this),
                "actClearFilter")),
      removalWatch_(kvalorRoot().Studies(), [this](const TStudy& study) { StudyRemoved(study); }) {
    setWindowTitle(QStringLiteral("Журнал тестирования"));
    setWindowIcon(actionIcon(ActionIcon::Journal));
    model_->SetDragOrigin(this);
    BuildControls();
    ConnectControls();
    AddStatisticsAction();
    UpdateActions();
}

TfmJournal::~TfmJournal() = default;

void TfmJournal::BuildControls() {
    cbCompetitorList_ = Named(new QComboBox, "cbCompetitorList");
    cbCompetitor_ = Named(new QComboBox, "cbCompetitor");
    cbTests_ = Named(new QComboBox, "cbTests");
    rbComplex_ = Named(new QRadioButton(QStringLiteral("комплексный")), "rbComplex");
    rbSimple_ = Named(new QRadioButton(QStringLiteral("простой")), "rbSimple");
    rbComplex_->setChecked(true);
    chbFromDate_ = Named(new QCheckBox(QStringLiteral("начиная с ")), "chbFromDate");
    edFromDate_ = Named(new QLineEdit, "edFromDate");
    chbToDate_ = Named(new QCheckBox(QStringLiteral("по")), "chbToDate");
    edToDate_ = Named(new QLineEdit, "edToDate");
    edToDate_->setEnabled(false);
    for (QComboBox* list : {cbCompetitorList_, cbCompetitor_, cbTests_}) {
        list->setMinimumContentsLength(16);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        list->installEventFilter(this);
    }

    auto* filter = new QGroupBox;
    auto* panel = new QVBoxLayout(filter);
    const auto addCaptioned = [panel](const QString& text, QWidget* control) {
        auto* label = caption(text);
        label->setBuddy(control);
        panel->addWidget(label);
        panel->addWidget(control);
    };
    addCaptioned(QStringLiteral("Группа"), cbCompetitorList_);
    addCaptioned(QStringLiteral("Пользователь"), cbCompetitor_);
    panel->addWidget(caption(QStringLiteral("Тест")));
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(rbComplex_);
    kinds->addWidget(rbSimple_);
    kinds->addStretch();
    panel->addLayout(kinds);
    panel->addWidget(cbTests_);
    panel->addWidget(caption(QStringLiteral("Дата")));
    auto* dates = new QGridLayout;
    dates->addWidget(chbFromDate_, 0, 0);
    dates->addWidget(edFromDate_, 0, 1);
    dates->addWidget(chbToDate_, 1, 0);
    dates->addWidget(edToDate_, 1, 1);
    panel->addLayout(dates);
    auto* filterButtons = new QHBoxLayout;
    for (QAction* action : {actSetFilter_, actClearFilter_}) {
        auto* button = new QToolButton;
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFocusPolicy(Qt::StrongFocus);
        filterButtons->addWidget(button);
    }
    filterButtons->addStretch();
    panel->addLayout(filterButtons);
    panel->addStretch();

    pmList_ = Named(new QMenu(this), "pmList");
    pmList_->addAction(actViewAsList_);
    pmList_->addAction(actViewAsStudy_);
    tbResults_ = new QToolButton;
    tbResults_->setText(QStringLiteral("Результаты"));
    tbResults_->setIcon(actionIcon(ActionIcon::Journal));
    tbResults_->setMenu(pmList_);
    tbResults_->setPopupMode(QToolButton::InstantPopup);
    tbResults_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    tbJournal_ = new QToolBar(QStringLiteral("Журнал"));
    tbJournal_->setIconSize(QSize(24, 24));
    tbJournal_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbJournal_->addWidget(tbResults_);
    tbJournal_->addAction(actExport_);
    tbJournal_->addAction(actDelete_);
    tbJournal_->widgetForAction(actDelete_)->setObjectName(QStringLiteral("tbDeleteStudy"));
    tbJournal_->addAction(actClose_);

    lvStudies_ = Named(new QTreeView, "lvStudies");
    lvStudies_->setModel(model_);
    lvStudies_->setRootIsDecorated(false);
    lvStudies_->setItemsExpandable(false);
    lvStudies_->setUniformRowHeights(true);
    lvStudies_->setAllColumnsShowFocus(true);
    lvStudies_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvStudies_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvStudies_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvStudies_->setDragEnabled(true);
    lvStudies_->setDragDropMode(QAbstractItemView::DragOnly);
    lvStudies_->setContextMenuPolicy(Qt::CustomContextMenu);
    lvStudies_->installEventFilter(this);
    QHeaderView* header = lvStudies_->header();
    header->setStretchLastSection(false);
    header->setSectionsMovable(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(JournalModel::ColUser, Qt::AscendingOrder);
    for (int column = 0; column < JournalModel::ColumnCount; ++column) {
        header->resizeSection(column, ScaledToFont(*lvStudies_, kColumnWidths[column]));
    }
    // Results and dates are read in full, whatever the font.
    const QFontMetrics metrics(lvStudies_->font());
    const int padding = 2 * lvStudies_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    const QStringList widest[] = {
        {FormatPercent(100.0) + QStringLiteral(" из ") + FormatPercent(100.0),
         QStringLiteral("оценка 10 (") + FormatPercent(100.0) + QLatin1Char(')')},
        {formatShortDate(QDate(2000, 12, 28))}};
    const int fitted[] = {JournalModel::ColResult, JournalModel::ColDate};
    for (int i = 0; i < 2; ++i) {
        for (const QString& sample : widest[i]) {
            header->resizeSection(fitted[i], std::max(header->sectionSize(fitted[i]),
                                                      metrics.horizontalAdvance(sample) + padding));
        }
    }
    lvStudies_->setColumnHidden(JournalModel::ColTestKind, true);
    lvStudies_->setColumnHidden(JournalModel::ColMode, true);

    actClose_->setShortcut(QKeySequence::Close);
    actClose_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(actClose_);
    // The list's own keys: Delete deletes the selected studies, as the button does.
    actDelete_->setShortcut(QKeySequence::Delete);
    actDelete_->setShortcutContext(Qt::WidgetShortcut);
    lvStudies_->addAction(actDelete_);

    auto* right = new QVBoxLayout;
    right->addWidget(tbJournal_);
    right->addWidget(lvStudies_, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(filter);
    layout->addLayout(right, 1);

    // Wide enough for the panel and the shown columns, within the main window.
    int width = filter->sizeHint().width() + 2 * lvStudies_->frameWidth() +
                lvStudies_->verticalScrollBar()->sizeHint().width() + 4 * layout->spacing();
    for (int column = 0; column < JournalModel::ColumnCount; ++column) {
        if (!lvStudies_->isColumnHidden(column)) {
            width += header->sectionSize(column);
        }
    }
    QSize size(width, ScaledToFont(*this, 560));
    if (const QMdiArea* area = mainWindow_.mdiArea(); area->isVisible()) {
        const int frame = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        size = size.boundedTo(area->size() - QSize(2 * frame, title + 2 * frame));
    }
    resize(size);
}

void TfmJournal::ConnectControls() {
    const std::pair<QAction*, void (TfmJournal::*)()> handlers[] = {
        {actViewAsList_, &TfmJournal::actViewAsListExecute},
        {actViewAsStudy_, &TfmJournal::actViewAsStudyExecute},
        {actExport_, &TfmJournal::actExportExecute},
        {actDelete_, &TfmJournal::actDeleteExecute},
        {actSetFilter_, &TfmJournal::actSetFilterExecute},
        {actClearFilter_, &TfmJournal::actClearFilterExecute},
    };
    for (const auto& [action, handler] : handlers) {
        connect(action, &QAction::triggered, this, guard([this, handler] { (this->*handler)(); }));
    }
    connect(actClose_, &QAction::triggered, this, [this] { close(); });

    connect(cbCompetitorList_, &QComboBox::activated, this,
            guard([this] { FillCompetitors(false, false); }));
    for (QRadioButton* button : {rbComplex_, rbSimple_}) {
        connect(button, &QRadioButton::clicked, this, guard([this] { FillTests(false); }));
    }
    connect(chbToDate_, &QCheckBox::toggled, edToDate_, &QLineEdit::setEnabled);
    // Unchecked, the to-date is ignored, so it is no longer wrong either.
    connect(chbToDate_, &QCheckBox::toggled, this, [this] { MarkDate(*edToDate_, true); });
    for (QLineEdit* field : {edFromDate_, edToDate_}) {
        connect(field, &QLineEdit::textEdited, this, [this, field] {
            DateEdited(*field);
            MarkDate(*field, true);
        });
        // Enter in a date field applies the filter, as the button does.
        connect(field, &QLineEdit::returnPressed, this, [this] {
            if (actSetFilter_->isEnabled()) {
                actSetFilter_->trigger();
            }
        });
    }

    connect(lvStudies_->header(), &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                guarded([this, column, order] { ColumnClicked(column, order); });
            });
    connect(lvStudies_, &QTreeView::doubleClicked, this, guard([this] { ListDoubleClicked(); }));
    connect(lvStudies_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        UpdateActions();
        pmList_->popup(lvStudies_->viewport()->mapToGlobal(pos));
    });
    connect(lvStudies_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateActions(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { UpdateActions(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { UpdateActions(); });
    connect(&dataModule(), &TDM::studiesArrived, this, [this](const StudyView& studies) {
        guarded([this, &studies] { StudiesArrived(studies); });
    });
    // Coming back to the journal: runs journaled meanwhile (the examination) enable the
    // filter, and accounts, groups and tests changed in the other windows reach its lists.
    connect(mainWindow_.mdiArea(), &QMdiArea::subWindowActivated, this,
            [this](QMdiSubWindow* window) {
                if (window && window->isAncestorOf(this)) {
                    guarded([this] { RefreshFilterLists(); });
                }
                UpdateActions();
            });
}

void TfmJournal::FormShow() {
    DropRemovedStudies();
    ResetFilterControls();
    FillGroups(false);
    FillCompetitors(true, false);
    FillTests(false);
    filtered_.clear();
    applied_.reset();
    List(kvalorRoot().Studies().View());
}

void TfmJournal::ResetFilterControls() {
    for (QComboBox* list : {cbCompetitorList_, cbCompetitor_, cbTests_}) {
        list->setCurrentIndex(-1);
    }
    for (QLineEdit* field : {edFromDate_, edToDate_}) {
        field->clear();
        MarkDate(*field, true);
    }
    chbFromDate_->setChecked(false);
    chbToDate_->setChecked(false);
    rbComplex_->setChecked(true);
}

bool TfmJournal::FillGroups(bool keepChoice) {
    return FillSorted(*cbCompetitorList_, UserGroups(kvalorRoot().Users()), keepChoice);
}

bool TfmJournal::FillCompetitors(bool withApplicant, bool keepChoice) {
    competitorsWithApplicant_ = withApplicant;
    const TCompetitors* group = SelectedGroup();
    return FillSorted(*cbCompetitor_,
                      GroupAccounts(group ? *group : kvalorRoot().Users(), withApplicant),
                      keepChoice);
}

bool TfmJournal::FillTests(bool keepChoice) {
    return FillSorted(*cbTests_, TestsOfKind(kvalorRoot(), rbComplex_->isChecked()), keepChoice);
}

QStringList TfmJournal::RefreshFilterLists() {
    QStringList lost;
    if (FillGroups(true)) {
        lost << QStringLiteral("Группа");
    }
    if (FillCompetitors(competitorsWithApplicant_, true)) {
        lost << QStringLiteral("Пользователь");
    }
    if (FillTests(true)) {
        lost << QStringLiteral("Тест");
    }
    return lost;
}

TCompetitors* TfmJournal::SelectedGroup() const {
    return dynamic_cast<TCompetitors*>(
        ChosenAmong(*cbCompetitorList_, UserGroups(kvalorRoot().Users())));
}

TCompetitor* TfmJournal::SelectedCompetitor() const {
    return dynamic_cast<TCompetitor*>(
        ChosenAmong(*cbCompetitor_, GroupAccounts(kvalorRoot().Users(), true)));
}

TQuestions* TfmJournal::SelectedTest() const {
    return ChosenAmong(*cbTests_, TestsOfKind(kvalorRoot(), rbComplex_->isChecked()));
}

void TfmJournal::MarkDate(QLineEdit& field, bool valid) {
    field.setProperty("invalidDate", !valid);
    field.setStyleSheet(valid ? QString() : QStringLiteral("QLineEdit { border: 2px solid red; }"));
    field.setToolTip(valid ? QString()
                           : QStringLiteral("Нет такой даты. Введите дату в виде %1.")
                                 .arg(formatShortDate(appClock().now().date())));
}

std::optional<JournalFilter> TfmJournal::ReadFilter() {
    const QDate today = appClock().now().date();
    // An empty field is no date; a text that is no date keeps the filter from being applied.
    const auto readDay = [this, &today](QLineEdit& field,
                                        std::optional<std::int64_t>& day) -> bool {
        day.reset();
        if (field.text().trimmed().isEmpty()) {
            MarkDate(field, true);
            return true;
        }
        const QDate date = parseShortDate(field.text(), today);
        MarkDate(field, date.isValid());
        if (!date.isValid()) {
            field.setFocus();
            field.selectAll();
            prompts().inform(QStringLiteral("«%1» — не дата. Введите дату в виде %2.")
                                 .arg(field.text().trimmed(), formatShortDate(today)),
                             windowTitle(), QMessageBox::Warning);
            return false;
        }
        day = StudyDay(toStoredDateTime(date.startOfDay()));
        return true;
    };
    JournalFilter filter;
    filter.viewer = kvalorRoot().CurrentUser();
    filter.group = SelectedGroup();
    filter.user = SelectedCompetitor();
    filter.test = SelectedTest();
    filter.fromOnwards = chbFromDate_->isChecked();
    if (!readDay(*edFromDate_, filter.fromDay)) {
        return std::nullopt;
    }
    // An unchecked "по" ignores its field, whatever it holds.
    if (chbToDate_->isChecked() && !readDay(*edToDate_, filter.toDay)) {
        return std::nullopt;
    }
    return filter;
}

void TfmJournal::List(const StudyView& studies) {
    model_->SetStudies(ListedStudies(studies, kvalorRoot().CurrentUser()));
    // The rows follow the column and direction the header shows.
    const QHeaderView* header = lvStudies_->header();
    model_->SortRows(header->sortIndicatorSection(), header->sortIndicatorOrder());
    UpdateActions();
}

void TfmJournal::ColumnClicked(int column, Qt::SortOrder order) {
    DropRemovedStudies();
    model_->SortRows(column, order);
}

std::vector<int> TfmJournal::SelectedRows(std::size_t limit) const {
    return DistinctRows(lvStudies_->selectionModel()->selection(), limit);
}

StudyView TfmJournal::SelectedStudies() const {
    StudyView studies;
    for (const int row : SelectedRows()) {
        if (TStudy* study = model_->StudyAt(row)) {
            studies.push_back(study);
        }
    }
    return studies;
}

void TfmJournal::UpdateActions() {
    const std::size_t selected = SelectedRows(2).size();
    actViewAsList_->setEnabled(selected >= 1);
    actViewAsStudy_->setEnabled(selected == 1);
    actDelete_->setEnabled(actViewAsList_->isEnabled());
    actExport_->setEnabled(model_->rowCount() > 0);
    actSetFilter_->setEnabled(kvalorRoot().Studies().Count() > 0);
    actClearFilter_->setEnabled(actSetFilter_->isEnabled());
}

void TfmJournal::ListDoubleClicked() {
    if (SelectedRows(2).size() == 1) {
        UpdateActions();
        pmList_->popup(QCursor::pos());
    } else if (actViewAsList_->isEnabled()) {
        actViewAsList_->trigger();
    }
}

void TfmJournal::DateEdited(QLineEdit& field) {
    const QChar separator = shortDateSeparator();
    QString text = field.text();
    for (QChar& c : text) {
        if (c == QLatin1Char(',') || c == QLatin1Char('.') || c == QLatin1Char('/') ||
            c == QLatin1Char('\\')) {
            c = separator;
        }
    }
    if (text != field.text()) {
        const int cursor = field.cursorPosition();
        field.setText(text);
        field.setCursorPosition(cursor);
    }
}

void TfmJournal::StudyRemoved(const TStudy& study) {
    if (removed_.empty()) {
        // A removal started elsewhere (the users window) is tidied up once it is over.
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { DropRemovedStudies(); }); }, Qt::QueuedConnection);
    }
    removed_.push_back(&study);
    model_->StudyRemoved(study);
}

void TfmJournal::DropRemovedStudies() {
    if (removed_.empty()) {
        return;
    }
    const std::unordered_set<const TStudy*> removed(removed_.begin(), removed_.end());
    std::erase_if(filtered_, [&removed](const TStudy* study) { return removed.contains(study); });
    removed_.clear();
    model_->Compact();
    UpdateActions();
}

void TfmJournal::StudiesArrived(const StudyView& studies) {
    DropRemovedStudies();
    StudyView passed;
    std::ranges::copy_if(studies, std::back_inserter(passed), [this](const TStudy* study) {
        return !applied_ || applied_->Passes(*study);
    });
    if (applied_) {
        filtered_.insert(filtered_.end(), passed.begin(), passed.end());
    }
    const QHeaderView* header = lvStudies_->header();
    model_->AppendStudies(ListedStudies(passed, kvalorRoot().CurrentUser()),
                          header->sortIndicatorSection(), header->sortIndicatorOrder());
    UpdateActions();
}

bool TfmJournal::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        auto* list = qobject_cast<QComboBox*>(watched);
        if (list && key == Qt::Key_Delete) {
            // Delete clears the choice; the accounts follow the group.
            guarded([this, list] {
                list->setCurrentIndex(-1);
                if (list != cbTests_) {
                    FillCompetitors(false, false);
                }
            });
            return true;
        }
        if (watched == lvStudies_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (actViewAsList_->isEnabled()) {
                actViewAsList_->trigger();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfmJournal::actViewAsListExecute() {
    DropRemovedStudies();
    StudyView studies = SelectedStudies();
    if (studies.empty()) {
        return;
    }
    const std::uint64_t rows =
        ResultsModel::RowsFor(studies, dataModule().RunMode() == TRunMode::Testing);
    if (rows > kManyResultRows &&
        prompts().ask(QStringLiteral("Выбрано результатов: %1. Для их показа нужно построить "
                                     "%2 строк, это может занять много времени и памяти.\n"
                                     "Показать их?")
                          .arg(studies.size())
                          .arg(rows),
                      windowTitle(), QMessageBox::Question, QMessageBox::Yes | QMessageBox::No,
                      QMessageBox::No) != QMessageBox::Yes) {
        return;
    }
    if (auto* view = qobject_cast<TfmResultsView*>(
            mainWindow_.ShowWorkingWindow(QStringLiteral("TfmResultsView")))) {
        view->ShowStudies(std::move(studies));
    }
}

void TfmJournal::actViewAsStudyExecute() {
    DropRemovedStudies();
    const StudyView selected = SelectedStudies();
    if (selected.empty()) {
        return;
    }
    TStudy& study = *selected.front();
    TfmExportSettings& dialog = exportSettingsDialog(mainWindow_);
    dialog.StartReview(study);
    if (prompts().runModal(dialog) != QDialog::Accepted) {
        return;
    }

    // A category whose box is disabled has no records, or the run is still in progress. The
    // review window itself puts each question's answers back in the order of the run.
    const auto wanted = [](const QCheckBox* box) { return box->isChecked() || !box->isEnabled(); };
    ExamineQuestionView kept;
    for (TExamineQuestion* record : study.SelectQuestions(kAllQuestions)) {
        const QCheckBox* box = record->Right            ? dialog.chbValid()
                               : !record->Given.empty() ? dialog.chbInvalid()
                                                        : dialog.chbEmpty();
        if (wanted(box) && record->Question) {
            kept.push_back(record);
        }
    }
    TfmQuestion& window = questionWindow(mainWindow_);
    window.SetMode(WindowMode::Review);
    QuestionWindowRun run(window, study, kept);
    run.Prepare(0);
    prompts().runModal(window);
}

void TfmJournal::actExportExecute() {
    DropRemovedStudies();
    // What the list shows, and of that only what the account that looks may see.
    const StudyView studies = ListedStudies(model_->Studies(), kvalorRoot().CurrentUser());
    QString file;
    {
        ProgressWindow progress(QStringLiteral("Экспорт журнала..."));
        file = ExportJournal(studies, {}, progress.callback());
    }
    OpenWorkbook(file, QStringLiteral("Журнал тестирования.xlsx"));
}

void TfmJournal::actDeleteExecute() {
    DropRemovedStudies();
    const StudyView selected = SelectedStudies();
    if (selected.empty()) {
        return;
    }
    const QString question =
        selected.size() == 1
            ? QStringLiteral("Удалить выбранный результат тестирования?")
            : QStringLiteral("Удалить выбранные результаты тестирования: %1?").arg(selected.size());
    if (!confirmDestructive(question + QStringLiteral("\nУдалённые результаты вернуть нельзя."),
                            QStringLiteral("Предупреждение"), QMessageBox::Warning)) {
        return;
    }
    const std::unordered_set<const TStudy*> doomed(selected.begin(), selected.end());
    kvalorRoot().Studies().DeleteWhere(
        [&doomed](const TStudy& study) { return doomed.contains(&study); });
    DropRemovedStudies();
}

void TfmJournal::actSetFilterExecute() {
    DropRemovedStudies();
    // A choice whose group, account or test is gone would filter by nothing: say so first.
    if (const QStringList lost = RefreshFilterLists(); !lost.isEmpty()) {
        prompts().inform(
            QStringLiteral("Выбранное в списке «%1» больше не существует, выбор снят.\n"
                           "Проверьте фильтр и нажмите «Применить» ещё раз.")
                .arg(lost.join(QStringLiteral("», «"))),
            windowTitle(), QMessageBox::Warning);
        return;
    }
    const std::optional<JournalFilter> filter = ReadFilter();
    if (!filter) {
        return;
    }
    filtered_.clear();
    applied_ = filter;
    if (filter->viewer && filter->viewer->Id() == ApplicantAccountId()) {
        return;
    }
    filtered_ = filter->Select(kvalorRoot().Studies());
    List(filtered_);
}

void TfmJournal::actClearFilterExecute() {
    DropRemovedStudies();
    const bool groupChosen = cbCompetitorList_->currentIndex() >= 0;
    const bool simple = rbSimple_->isChecked();
    ResetFilterControls();
    if (groupChosen) {
        FillCompetitors(false, false);
    }
    if (simple) {
        FillTests(false);
    }
    // Whatever the last filter found, nothing is filtered any more.
    filtered_.clear();
    applied_.reset();
    List(kvalorRoot().Studies().View());
}

void registerJournal() {
    TfmKvalor::registerWorkingWindow(
        QStringLiteral("TfmJournal"),
        [](TfmKvalor& mainWindow) -> QWidget* { return new TfmJournal(mainWindow); },
        [](QWidget& window) {
            guarded([&window] { static_cast<TfmJournal&>(window).FormShow(); });
        });
}

}  // namespace kvalor
