#include "authoring/QuestionGroupSettings.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/MainWindow.h"
#include "authoring/SelectObject.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Inputs.h"
#include "ui/NumberTexts.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kTaskNameColumn = 0;
constexpr int kTaskChosenColumn = 1;
constexpr int kTaskTotalColumn = 2;

QLineEdit* numberEdit() {
    auto* edit = new QLineEdit;
    edit->setMaximumWidth(70);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

QTableWidgetItem* readOnlyCell(const QString& text) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

// Minutes from hours and minutes as typed; no upper limit, but within the stored range.
std::int32_t durationOf(int hours, int minutes) {
    const std::int64_t total = static_cast<std::int64_t>(hours) * 60 + minutes;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(total, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

TfmQuestionGroupSettings::TfmQuestionGroupSettings(TfmSelectObject& selectObject, QWidget* parent)
    : QDialog(parent),
      selectObject_(selectObject),
      actSave_(new QAction(QStringLiteral("Сохранить"), this)),
      actClose_(new QAction(QStringLiteral("Закрыть"), this)),
      miAddTask_(new QAction(QStringLiteral("Добавить"), this)),
      miDeleteTask_(new QAction(QStringLiteral("Удалить"), this)) {
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    actSave_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction(actSave_);
    BuildControls();
    ConnectControls();
    actSave_->setEnabled(false);
    UpdateTaskActions();
}

void TfmQuestionGroupSettings::BuildControls() {
    edCaption_ = new QLineEdit;
    auto* lblCaption = new QLabel(QStringLiteral("Наименование"));
    lblCaption->setBuddy(edCaption_);

    pcPages_ = new QTabWidget;
    // At large fonts the page scrolls rather than pushing the dialog off the screen.
    saCommon_ = new QScrollArea;
    saCommon_->setWidget(BuildCommonPage());
    saCommon_->setWidgetResizable(true);
    saCommon_->setFrameShape(QFrame::NoFrame);
    pcPages_->addTab(saCommon_, QStringLiteral("Общие"));
    pcPages_->addTab(BuildTasksPage(), QStringLiteral("Состав"));

    btnSave_ = new QPushButton(actSave_->text());
    btnClose_ = new QPushButton(actClose_->text());
    // Enter saves (see keyPressEvent); no button closes the dialog by it.
    btnSave_->setAutoDefault(false);
    btnClose_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSave_);
    buttons->addWidget(btnClose_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblCaption);
    layout->addWidget(edCaption_);
    layout->addWidget(pcPages_, 1);
    layout->addLayout(buttons);
}

QWidget* TfmQuestionGroupSettings::BuildCommonPage() {
    edTimeHour_ = numberEdit();
    edTimeMin_ = numberEdit();
    lblSelectedQuestions_ = new QLabel(QStringLiteral("Выбранное кол-во вопросов"));
    edSelectedQuestions_ = numberEdit();
    lblSelectedQuestions_->setBuddy(edSelectedQuestions_);
    chbTimeToTasks_ = new QCheckBox(QStringLiteral("для задания"));
    cbTasks_ = new QComboBox;
    // Long names are cut, not the dialog widened; the list itself shows them whole.
    cbTasks_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbTasks_->setMinimumContentsLength(12);
    cbTasks_->installEventFilter(this);
    edQuestionCount_ = numberEdit();
    edQuestionCount_->setReadOnly(true);

    auto* parameters = new QGroupBox(QStringLiteral(" Параметры  "));
    auto* grid = new QGridLayout(parameters);
    auto* lblTime = new QLabel(QStringLiteral("Время прохождения теста"));
    lblTime->setBuddy(edTimeHour_);
    auto* time = new QHBoxLayout;
    time->addWidget(edTimeHour_);
    time->addWidget(new QLabel(QStringLiteral("часов")));
    time->addWidget(edTimeMin_);
    time->addWidget(new QLabel(QStringLiteral("минут")));
    time->addStretch();
    grid->addWidget(lblTime, 0, 0);
    grid->addLayout(time, 0, 1);
    auto* selected = new QHBoxLayout;
    selected->addWidget(edSelectedQuestions_);
    selected->addWidget(chbTimeToTasks_);
    selected->addStretch();
    grid->addWidget(lblSelectedQuestions_, 1, 0);
    grid->addLayout(selected, 1, 1);
    grid->addWidget(cbTasks_, 2, 1);
    auto* lblCount = new QLabel(QStringLiteral("Общее количество вопросов"));
    lblCount->setBuddy(edQuestionCount_);
    grid->addWidget(lblCount, 3, 0);
    grid->addWidget(edQuestionCount_, 3, 1);
    grid->setColumnStretch(1, 1);

    rbPoint_ = new QRadioButton(QStringLiteral("Экзамен (бальная система)"));
    rbExamine_ = new QRadioButton(QStringLiteral("Зачет (сдал / не сдал)"));
    sgPointPersent_ = new QTableWidget(1, 0);
    sgPointPersent_->verticalHeader()->hide();
    sgPointPersent_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    sgPointPersent_->horizontalHeader()->setSectionsClickable(false);
    sgPointPersent_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    sgPointPersent_->setSelectionMode(QAbstractItemView::SingleSelection);
    sgPointPersent_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sgPointPersent_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lbValidPercent_ = new QLabel(QStringLiteral("Ценз (% правильных ответов)"));
    edValidPercent_ = numberEdit();
    lbValidPercent_->setBuddy(edValidPercent_);
    auto* grading = new QGroupBox(QStringLiteral(" Способ оценки результата  "));
    auto* gradingLayout = new QVBoxLayout(grading);
    gradingLayout->addWidget(rbPoint_);
    gradingLayout->addWidget(sgPointPersent_);
    gradingLayout->addWidget(rbExamine_);
    auto* pass = new QHBoxLayout;
    pass->addSpacing(20);
    pass->addWidget(lbValidPercent_);
    pass->addWidget(edValidPercent_);
    pass->addStretch();
    gradingLayout->addLayout(pass);

    chbMixQuestions_ = new QCheckBox(QStringLiteral("случайный порядок вопросов"));
    chbMixQuestionGroups_ = new QCheckBox(QStringLiteral("случайный порядок групп вопросов"));
    chbMixAnswers_ = new QCheckBox(QStringLiteral("случайный порядок ответов"));
    chbMixQuestionBetweenGroups_ = new QCheckBox(QStringLiteral("не сохранять целостность групп"));
    chbMixQuestions_->setToolTip(
        QStringLiteral("Случайный порядок вопросов (для комплексного теста - случайный порядок "
                       "внутри группы вопросов простого теста)"));
    chbMixQuestionGroups_->setToolTip(
        QStringLiteral("Случайный порядок групп вопросов (только для комплексного теста)"));
    chbMixAnswers_->setToolTip(
        QStringLiteral("Случайный порядок ответов (для комплексного теста - случайный порядок "
                       "ответов внутри группы вопросов простого теста)"));
    chbMixQuestionBetweenGroups_->setToolTip(QStringLiteral(
        "Вопросы в комплексном тесте выбираются случайно из случайно выбранной группы"));
    auto* mixing = new QGroupBox(QStringLiteral(" Формирование выборки "));
    auto* mixingLayout = new QGridLayout(mixing);
    // One box a line: side by side they made the dialog wider than the screen at large fonts.
    mixingLayout->addWidget(chbMixQuestions_, 0, 0);
    mixingLayout->addWidget(chbMixQuestionGroups_, 1, 0);
    mixingLayout->addWidget(chbMixAnswers_, 2, 0);
    mixingLayout->addWidget(chbMixQuestionBetweenGroups_, 3, 0);

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(parameters);
    layout->addWidget(grading);
    layout->addWidget(mixing);
    layout->addStretch();
    return page;
}

QWidget* TfmQuestionGroupSettings::BuildTasksPage() {
    sgTasks_ = new QTableWidget(0, 3);
    sgTasks_->setHorizontalHeaderLabels(
        {QStringLiteral("Наименование"), QStringLiteral("Выбрано"), QStringLiteral("Всего")});
    sgTasks_->verticalHeader()->hide();
    sgTasks_->horizontalHeader()->setSectionResizeMode(kTaskNameColumn, QHeaderView::Stretch);
    sgTasks_->horizontalHeader()->setSectionResizeMode(kTaskChosenColumn,
                                                       QHeaderView::ResizeToContents);
    sgTasks_->horizontalHeader()->setSectionResizeMode(kTaskTotalColumn,
                                                       QHeaderView::ResizeToContents);
    sgTasks_->setSelectionBehavior(QAbstractItemView::SelectRows);
    sgTasks_->setSelectionMode(QAbstractItemView::SingleSelection);
    sgTasks_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    sgTasks_->setContextMenuPolicy(Qt::ActionsContextMenu);
    miAddTask_->setShortcut(QKeySequence(Qt::Key_Insert));
    miDeleteTask_->setShortcut(QKeySequence(Qt::Key_Delete));
    for (QAction* action : {miAddTask_, miDeleteTask_}) {
        action->setShortcutContext(Qt::WidgetShortcut);
        sgTasks_->addAction(action);
    }

    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(sgTasks_);
    return page;
}

void TfmQuestionGroupSettings::ConnectControls() {
    connect(actSave_, &QAction::triggered, this, guard([this] { actSaveExecute(); }));
    connect(actClose_, &QAction::triggered, this, [this] { reject(); });
    connect(btnSave_, &QPushButton::clicked, actSave_, &QAction::trigger);
    connect(btnClose_, &QPushButton::clicked, actClose_, &QAction::trigger);
    connect(actSave_, &QAction::enabledChanged, btnSave_, &QPushButton::setEnabled);
    connect(miAddTask_, &QAction::triggered, this, guard([this] { miAddTaskExecute(); }));
    connect(miDeleteTask_, &QAction::triggered, this, guard([this] { miDeleteTaskExecute(); }));

    for (QLineEdit* edit :
         {edCaption_, edTimeHour_, edTimeMin_, edValidPercent_, edSelectedQuestions_}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { Changed(); });
    }
    connect(sgPointPersent_, &QTableWidget::itemChanged, this, [this] { Changed(); });
    connect(rbPoint_, &QRadioButton::clicked, this, [this] {
        UpdateGrading();
        Changed();
    });
    connect(rbExamine_, &QRadioButton::clicked, this, [this] {
        UpdateGrading();
        Changed();
    });
    for (QCheckBox* box :
         {chbMixQuestions_, chbMixQuestionGroups_, chbMixAnswers_, chbMixQuestionBetweenGroups_}) {
        connect(box, &QCheckBox::clicked, this, [this] {
            UpdateMixing();
            Changed();
        });
    }
    connect(chbTimeToTasks_, &QCheckBox::toggled, this, guard([this] {
                UpdateTaskChoice();
                ShowChosenTaskCount();
            }));
    connect(cbTasks_, &QComboBox::currentIndexChanged, this, guard([this] {
                if (!loading_) {
                    ShowChosenTaskCount();
                    Changed();
                }
            }));
    connect(sgTasks_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
        if (!loading_ && cell->column() == kTaskChosenColumn) {
            guarded([this, cell] { TaskCountEdited(cell->row()); });
        }
    });
    connect(sgTasks_, &QTableWidget::itemSelectionChanged, this, [this] { UpdateTaskActions(); });
}

bool TfmQuestionGroupSettings::IsComplex() const {
    return group_ && group_->GroupKind() == kGroupKindComplexTest;
}

void TfmQuestionGroupSettings::SetGroup(TQuestions* test) {
    if (test == group_) {
        return;
    }
    group_ = test;
    task_ = nullptr;
    LoadControls();
    actSave_->setEnabled(false);
}

void TfmQuestionGroupSettings::LoadControls() {
    loading_ = true;
    ClearInputs(this);
    FillBlankEdits(this, QStringLiteral("0"));
    edCaption_->clear();
    sgTasks_->setRowCount(0);
    listedTasks_.clear();
    tableTasks_.clear();
    if (group_) {
        const TQuestions& test = *group_;
        (test.GradingMethod() == 1 ? rbPoint_ : rbExamine_)->setChecked(true);
        SizeGrid();
        for (int level = 0; level < sgPointPersent_->columnCount(); ++level) {
            auto* cell = new QTableWidgetItem(decimalText(test.LevelThresholds()[level]));
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            sgPointPersent_->setItem(0, level, cell);
        }
        edValidPercent_->setText(decimalText(test.PassPercent()));
        edTimeHour_->setText(QString::number(test.Duration() / 60));
        edTimeMin_->setText(QString::number(test.Duration() % 60));
        edCaption_->setText(fromCp1251(test.GetName()));
        chbMixQuestions_->setChecked(test.MixQuestions());
        chbMixAnswers_->setChecked(test.MixAnswers());
        if (IsComplex()) {
            chbMixQuestionGroups_->setChecked(test.MixGroups());
            chbMixQuestionBetweenGroups_->setChecked(test.BreakGroups());
        }
        FillTaskLists();
        setWindowTitle(QStringLiteral("Тест № %1 %2 (%3)")
                           .arg(test.GetNumber())
                           .arg(fromCp1251(test.GetName()), IsComplex()
                                                                ? QStringLiteral("комплексный")
                                                                : QStringLiteral("простой")));
    }
    UpdateGrading();
    UpdateMixing();
    UpdateTaskChoice();
    UpdateTaskActions();
    loading_ = false;
}

void TfmQuestionGroupSettings::SizeGrid() {
    const int levels = group_ ? group_->LevelCount() : 0;
    sgPointPersent_->setColumnCount(levels);
    QStringList grades;
    for (int level = 1; level <= levels; ++level) {
        grades << QString::number(level);
    }
    sgPointPersent_->setHorizontalHeaderLabels(grades);
    sgPointPersent_->setFixedHeight(sgPointPersent_->horizontalHeader()->sizeHint().height() +
                                    sgPointPersent_->verticalHeader()->defaultSectionSize() + 4);
}

void TfmQuestionGroupSettings::FillTaskLists() {
    const bool wasLoading = loading_;
    loading_ = true;
    TTask* chosen = ChosenTask();
    cbTasks_->clear();
    listedTasks_.clear();
    sgTasks_->setRowCount(0);
    tableTasks_.clear();
    if (group_) {
        const TTaskList& tasks = kvalorRoot().Tasks();
        const bool complex = IsComplex();
        listedTasks_ = complex ? tasks.TasksOf(*group_) : tasks.TasksFrom(*group_);
        for (const TTask* task : listedTasks_) {
            const TQuestions* named = complex ? task->Source : task->ComplexTest;
            cbTasks_->addItem(named ? fromCp1251(named->GetName()) : QString());
        }
        cbTasks_->setCurrentIndex(-1);
        if (std::ranges::find(listedTasks_, task_) == listedTasks_.end()) {
            task_ = nullptr;
        }
        const auto kept = std::ranges::find(listedTasks_, chosen);
        if (chosen && kept != listedTasks_.end()) {
            cbTasks_->setCurrentIndex(static_cast<int>(kept - listedTasks_.begin()));
        }
        if (complex) {
            tableTasks_ = listedTasks_;
            sgTasks_->setRowCount(static_cast<int>(tableTasks_.size()));
            for (int row = 0; row < sgTasks_->rowCount(); ++row) {
                const TTask& task = *tableTasks_[static_cast<std::size_t>(row)];
                const QString name = task.Source ? fromCp1251(task.Source->GetName()) : QString();
                const int total = task.Source ? QuestionCount(*task.Source, tasks) : 0;
                sgTasks_->setItem(row, kTaskNameColumn, readOnlyCell(name));
                auto* count = new QTableWidgetItem(QString::number(task.QuestionCount));
                count->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                sgTasks_->setItem(row, kTaskChosenColumn, count);
                auto* all = readOnlyCell(QString::number(total));
                all->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                sgTasks_->setItem(row, kTaskTotalColumn, all);
            }
        }
    }
    ShowQuestionCount();
    UpdateTaskChoice();
    UpdateTaskActions();
    loading_ = wasLoading;
}

void TfmQuestionGroupSettings::ShowQuestionCount() {
    edQuestionCount_->setText(group_ ? QString::number(QuestionCount(*group_, kvalorRoot().Tasks()))
                                     : QString());
}

TTask* TfmQuestionGroupSettings::ChosenTask() const {
    const int index = cbTasks_->currentIndex();
    return index >= 0 && index < static_cast<int>(listedTasks_.size())
               ? listedTasks_[static_cast<std::size_t>(index)]
               : nullptr;
}

void TfmQuestionGroupSettings::ShowChosenTaskCount() {
    if (chbTimeToTasks_->isChecked()) {
        if (const TTask* task = ChosenTask()) {
            edSelectedQuestions_->setText(QString::number(task->QuestionCount));
        }
    }
}

void TfmQuestionGroupSettings::SelectTask(TTask* task) {
    if (task == task_) {
        return;
    }
    task_ = task;
    const auto listed = std::ranges::find(listedTasks_, task);
    if (!task || listed == listedTasks_.end()) {
        return;
    }
    // The program's own choice: nothing is unsaved by it.
    loading_ = true;
    cbTasks_->setCurrentIndex(static_cast<int>(listed - listedTasks_.begin()));
    chbTimeToTasks_->setChecked(true);
    UpdateTaskChoice();
    ShowChosenTaskCount();
    loading_ = false;
}

void TfmQuestionGroupSettings::Changed() {
    if (!loading_ && group_) {
        actSave_->setEnabled(true);
    }
}

void TfmQuestionGroupSettings::UpdateGrading() {
    const bool grades = rbPoint_->isChecked();
    sgPointPersent_->setEnabled(grades);
    lbValidPercent_->setEnabled(!grades);
    edValidPercent_->setEnabled(!grades);
}

void TfmQuestionGroupSettings::UpdateMixing() {
    const bool keepGroups = !chbMixQuestionBetweenGroups_->isChecked();
    chbMixQuestions_->setEnabled(keepGroups);
    chbMixQuestionGroups_->setEnabled(IsComplex() && keepGroups);
    chbMixQuestionBetweenGroups_->setEnabled(IsComplex());
}

void TfmQuestionGroupSettings::UpdateTaskChoice() {
    chbTimeToTasks_->setEnabled(cbTasks_->count() > 0);
    const bool on = chbTimeToTasks_->isChecked();
    cbTasks_->setEnabled(on);
    lblSelectedQuestions_->setEnabled(on);
    edSelectedQuestions_->setEnabled(on);
}

void TfmQuestionGroupSettings::UpdateTaskActions() {
    miAddTask_->setEnabled(IsComplex());
    miDeleteTask_->setEnabled(IsComplex() && sgTasks_->currentRow() >= 0 &&
                              !sgTasks_->selectedItems().isEmpty());
}

bool TfmQuestionGroupSettings::Validate() {
    return !FirstFault().has_value();
}

std::optional<TfmQuestionGroupSettings::Fault> TfmQuestionGroupSettings::FirstFault() {
    const bool wasLoading = loading_;
    loading_ = true;
    std::optional<Fault> fault;
    const auto note = [&fault](QWidget* field, const QString& text) {
        if (!fault) {
            fault = Fault{field, text};
        }
    };
    double previous = 0.0;
    for (int level = 0; level < sgPointPersent_->columnCount(); ++level) {
        QTableWidgetItem* cell = sgPointPersent_->item(0, level);
        if (!cell) {
            cell = new QTableWidgetItem;
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            sgPointPersent_->setItem(0, level, cell);
        }
        if (cell->text().trimmed().isEmpty()) {
            cell->setText(QStringLiteral("0"));
        }
        const double value = VariantToFloat(cell->text(), -1.0);
        // The thresholds in use rise strictly; zeros are levels left out.
        if (value < 0.0 || (value != 0.0 && value <= previous)) {
            note(sgPointPersent_,
                 QStringLiteral("Неверно задан порог оценки %1: нужно число не меньше 0, "
                                "большее порогов предыдущих оценок (0 — оценка не используется)")
                     .arg(level + 1));
        }
        previous = std::max(previous, value);
    }
    for (QLineEdit* edit : {edTimeHour_, edTimeMin_, edValidPercent_, edSelectedQuestions_}) {
        if (edit->text().trimmed().isEmpty()) {
            edit->setText(QStringLiteral("0"));
        }
    }
    const QString wholeNumber = QStringLiteral("нужно целое число не меньше 0");
    if (VariantToFloat(edValidPercent_->text(), -1.0) < 0.0) {
        note(edValidPercent_, QStringLiteral("Неверно задан ценз (% правильных ответов): нужно "
                                             "число не меньше 0"));
    }
    if (VariantToInt(edTimeHour_->text(), -1) < 0) {
        note(edTimeHour_,
             QStringLiteral("Неверно задано время прохождения теста, часов: ") + wholeNumber);
    }
    if (VariantToInt(edTimeMin_->text(), -1) < 0) {
        note(edTimeMin_,
             QStringLiteral("Неверно задано время прохождения теста, минут: ") + wholeNumber);
    }
    // A task never takes a negative number of questions.
    if (chbTimeToTasks_->isChecked() && ChosenTask() &&
        VariantToInt(edSelectedQuestions_->text(), -1) < 0) {
        note(edSelectedQuestions_,
             QStringLiteral("Неверно задано выбранное кол-во вопросов: ") + wholeNumber);
    }
    if (edCaption_->text().trimmed().isEmpty()) {
        note(edCaption_, QStringLiteral("Не задано наименование теста"));
    }
    loading_ = wasLoading;
    return fault;
}

void TfmQuestionGroupSettings::Apply() {
    if (!group_) {
        return;
    }
    TQuestions& test = *group_;
    test.SetName(toCp1251(edCaption_->text()));
    test.SetGradingMethod(rbExamine_->isChecked() ? 0 : 1);
    test.SetPassPercent(VariantToFloat(edValidPercent_->text(), 0.0));
    test.SetDuration(
        durationOf(VariantToInt(edTimeHour_->text(), 0), VariantToInt(edTimeMin_->text(), 0)));
    for (int level = 0; level < sgPointPersent_->columnCount() && level < test.LevelCount();
         ++level) {
        const QTableWidgetItem* cell = sgPointPersent_->item(0, level);
        test.SetLevelThreshold(level, cell ? VariantToFloat(cell->text(), 0.0) : 0.0);
    }
    test.SetMixQuestions(chbMixQuestions_->isChecked());
    test.SetMixAnswers(chbMixAnswers_->isChecked());
    if (IsComplex()) {
        test.SetMixGroups(chbMixQuestionGroups_->isChecked());
        test.SetBreakGroups(chbMixQuestionBetweenGroups_->isChecked());
    }
    if (chbTimeToTasks_->isChecked()) {
        if (TTask* task = ChosenTask()) {
            // As typed: the draw takes all questions of a smaller source.
            task->QuestionCount = VariantToInt(edSelectedQuestions_->text(), 0);
            FillTaskLists();
        }
    }
    actSave_->setEnabled(false);
    edCaption_->setFocus();
}

void TfmQuestionGroupSettings::actSaveExecute() {
    if (const std::optional<Fault> fault = FirstFault()) {
        fault->Field->setFocus();
        throw KvalorError("Заданы некорректные значения");
    }
    Apply();
}

void TfmQuestionGroupSettings::miAddTaskExecute() {
    if (!IsComplex()) {
        return;
    }
    if (TQuestions* source = chooseTaskSource(selectObject_, *group_)) {
        kvalorRoot().Tasks().AddTask(*group_, *source);
        FillTaskLists();
    }
}

void TfmQuestionGroupSettings::miDeleteTaskExecute() {
    const int row = sgTasks_->currentRow();
    if (!IsComplex() || row < 0 || row >= static_cast<int>(tableTasks_.size())) {
        return;
    }
    const TTask& task = *tableTasks_[static_cast<std::size_t>(row)];
    if (task.Source) {
        kvalorRoot().Tasks().RemoveTask(*group_, *task.Source);
    }
    FillTaskLists();
}

void TfmQuestionGroupSettings::TaskCountEdited(int row) {
    if (row < 0 || row >= static_cast<int>(tableTasks_.size())) {
        return;
    }
    TTask& task = *tableTasks_[static_cast<std::size_t>(row)];
    const int total = task.Source ? QuestionCount(*task.Source, kvalorRoot().Tasks()) : 0;
    // A count of questions is never negative, nor more than the source holds.
    task.QuestionCount =
        std::clamp(VariantToInt(sgTasks_->item(row, kTaskChosenColumn)->text(), 0), 0, total);
    loading_ = true;
    sgTasks_->item(row, kTaskChosenColumn)->setText(QString::number(task.QuestionCount));
    // "Выбранное кол-во вопросов" of the same task must not write an older count back.
    if (ChosenTask() == &task) {
        ShowChosenTaskCount();
    }
    ShowQuestionCount();
    loading_ = false;
}

void TfmQuestionGroupSettings::done(int result) {
    if (group_ && actSave_->isEnabled()) {
        if (const std::optional<Fault> fault = FirstFault()) {
            // One wrong value must not cost the other edits without a word.
            if (!confirmDestructive(fault->Text + QStringLiteral(".\nЗакрыть окно без сохранения "
                                                                 "изменений ?"),
                                    QStringLiteral("Предупреждение"), QMessageBox::Warning)) {
                fault->Field->setFocus();
                return;
            }
        } else {
            const auto answer = prompts().ask(
                QStringLiteral("Сохранить изменения ?"), QStringLiteral("Предупреждение"),
                QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
            if (answer == QMessageBox::Yes) {
                Apply();
            }
        }
    }
    if (group_) {
        result = group_->GetName().empty() ? QDialog::Rejected : QDialog::Accepted;
    }
    loading_ = true;
    sgTasks_->setRowCount(0);
    tableTasks_.clear();
    cbTasks_->clear();
    listedTasks_.clear();
    loading_ = false;
    group_ = nullptr;
    task_ = nullptr;
    actSave_->setEnabled(false);
    pcPages_->setCurrentIndex(0);
    QDialog::done(result);
}

void TfmQuestionGroupSettings::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    const int size = kvalorRoot().FontSize();
    if (size > 0 && FontSizeDiffers(edCaption_, size)) {
        ApplyFontSize(this, size);
        // Rows as high as the new font needs: the tables keep the height they were made with.
        for (QTableWidget* table : {sgPointPersent_, sgTasks_}) {
            table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 8);
        }
        SizeGrid();
    }
    // The page whole where the screen has room for it, else as much as fits, scrolling.
    if (const QScreen* shown = screen()) {
        // Within the window manager's frame, as far as it is known.
        const QSize room =
            shown->availableGeometry().size() - (frameGeometry().size() - this->size());
        saCommon_->setMinimumSize(0, 0);
        const QSize around = sizeHint() - saCommon_->sizeHint();
        saCommon_->setMinimumSize(saCommon_->widget()->sizeHint().boundedTo(room - around));
        // What the other controls need beyond that estimate comes off the page.
        layout()->activate();
        const QSize excess = (minimumSizeHint() - room).expandedTo(QSize(0, 0));
        saCommon_->setMinimumSize((saCommon_->minimumSize() - excess).expandedTo(QSize(0, 0)));
        layout()->activate();
        adjustSize();
        resize(std::min(width(), room.width()), std::min(height(), room.height()));
        const QRect area = shown->availableGeometry();
        move(std::clamp(x(), area.left(), std::max(area.left(), area.right() - width())),
             std::clamp(y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    edCaption_->setFocus();
}

void TfmQuestionGroupSettings::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter saves what was typed; it never closes the dialog behind the author's back.
        if (actSave_->isEnabled()) {
            actSave_->trigger();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TfmQuestionGroupSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbTasks_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->text() == QStringLiteral(".")) {
        cbTasks_->setCurrentIndex(-1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

TfmQuestionGroupSettings& questionGroupSettingsDialog(TfmKvalor& mainWindow) {
    auto* dialog =
        mainWindow.findChild<TfmQuestionGroupSettings*>(QString(), Qt::FindDirectChildrenOnly);
    if (!dialog) {
        dialog = new TfmQuestionGroupSettings(selectObjectDialog(mainWindow), &mainWindow);
    }
    return *dialog;
}

}  // namespace kvalor
