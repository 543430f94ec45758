#include "authoring/QuestionGroupSettings.h"

#include <algorithm>
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
#include "authoring/TestSettingsValues.h"
#include "authoring/TestTasks.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Inputs.h"
#include "ui/NumberTexts.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kTaskNameColumn = 0;
constexpr int kTaskChosenColumn = 1;
constexpr int kTaskTotalColumn = 2;

QLineEdit* numberEdit(const char* name) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaximumWidth(70);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

QTableWidgetItem* readOnlyCell(const QString& text) {
    auto* cell = new QTableWidgetItem(text);
    cell->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return cell;
}

// Numbers stand at the right of their cells.
QTableWidgetItem* numberCell(QTableWidgetItem* cell) {
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
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
    nameObjects({{actSave_, "actSave"},
                 {miAddTask_, "miAddTask"},
                 {miDeleteTask_, "miDeleteTask"},
                 {pcPages_, "pcPages"},
                 {edCaption_, "edCaption"},
                 {chbTimeToTasks_, "chbTimeToTasks"},
                 {cbTasks_, "cbTasks"},
                 {rbPoint_, "rbPoint"},
                 {sgPointPersent_, "sgPointPersent"},
                 {chbMixQuestions_, "chbMixQuestions"},
                 {chbMixQuestionGroups_, "chbMixQuestionGroups"},
                 {chbMixQuestionBetweenGroups_, "chbMixQuestionBetweenGroups"},
                 {sgTasks_, "sgTasks"},
                 {btnSave_, "btnSave"},
                 {btnClose_, "btnClose"}});
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
    edTimeHour_ = numberEdit("edTimeHour");
    edTimeMin_ = numberEdit("edTimeMin");
    lblSelectedQuestions_ = new QLabel(QStringLiteral("Выбранное кол-во вопросов"));
    edSelectedQuestions_ = numberEdit("edSelectedQuestions");
    lblSelectedQuestions_->setBuddy(edSelectedQuestions_);
    chbTimeToTasks_ = new QCheckBox(QStringLiteral("для задания"));
    cbTasks_ = new QComboBox;
    // Long names are cut, not the dialog widened; the list itself shows them whole.
    cbTasks_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbTasks_->setMinimumContentsLength(12);
    cbTasks_->installEventFilter(this);
    edQuestionCount_ = numberEdit("edQuestionCount");
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
    edValidPercent_ = numberEdit("edValidPercent");
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
    tasks_.Clear();
    if (group_) {
        const TQuestions& test = *group_;
        (test.GradingMethod() == 1 ? rbPoint_ : rbExamine_)->setChecked(true);
        SizeGrid();
        for (int level = 0; level < sgPointPersent_->columnCount(); ++level) {
            const QString threshold = decimalText(test.LevelThresholds()[level]);
            sgPointPersent_->setItem(0, level, numberCell(new QTableWidgetItem(threshold)));
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
    const TTask* chosen = ChosenTask();
    cbTasks_->clear();
    sgTasks_->setRowCount(0);
    const TTaskList& tasks = kvalorRoot().Tasks();
    tasks_.Reload(group_, tasks);
    if (group_) {
        for (int index = 0; index < tasks_.Count(); ++index) {
            cbTasks_->addItem(tasks_.NameAt(index));
        }
        cbTasks_->setCurrentIndex(tasks_.IndexOf(chosen));
        if (tasks_.IndexOf(task_) < 0) {
            task_ = nullptr;
        }
        // Page "Состав" lists the tasks of a complex test only.
        if (IsComplex()) {
            sgTasks_->setRowCount(tasks_.Count());
            for (int row = 0; row < tasks_.Count(); ++row) {
                const TTask& task = *tasks_.At(row);
                const QString count = QString::number(task.QuestionCount);
                const QString total = QString::number(TTestTasks::SourceTotal(task, tasks));
                sgTasks_->setItem(row, kTaskNameColumn, readOnlyCell(TTestTasks::SourceName(task)));
                sgTasks_->setItem(row, kTaskChosenColumn, numberCell(new QTableWidgetItem(count)));
                sgTasks_->setItem(row, kTaskTotalColumn, numberCell(readOnlyCell(total)));
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
    return tasks_.At(cbTasks_->currentIndex());
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
    const int listed = tasks_.IndexOf(task);
    if (listed < 0) {
        return;
    }
    // The program's own choice: nothing is unsaved by it.
    loading_ = true;
    cbTasks_->setCurrentIndex(listed);
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

TestSettingsValues TfmQuestionGroupSettings::TypedValues() const {
    TestSettingsValues values;
    values.Caption = edCaption_->text();
    values.Hours = edTimeHour_->text();
    values.Minutes = edTimeMin_->text();
    for (int level = 0; level < sgPointPersent_->columnCount(); ++level) {
        const QTableWidgetItem* cell = sgPointPersent_->item(0, level);
        values.Thresholds << (cell ? cell->text() : QString());
    }
    values.Grades = !rbExamine_->isChecked();
    values.PassPercent = edValidPercent_->text();
    values.MixQuestions = chbMixQuestions_->isChecked();
    values.MixAnswers = chbMixAnswers_->isChecked();
    values.MixGroups = chbMixQuestionGroups_->isChecked();
    values.BreakGroups = chbMixQuestionBetweenGroups_->isChecked();
    if (chbTimeToTasks_->isChecked() && ChosenTask()) {
        values.TaskQuestions = edSelectedQuestions_->text();
    }
    return values;
}

std::optional<TfmQuestionGroupSettings::Fault> TfmQuestionGroupSettings::FirstFault() {
    // Empty cells and fields are saved as "0", and show it.
    const bool wasLoading = loading_;
    loading_ = true;
    for (int level = 0; level < sgPointPersent_->columnCount(); ++level) {
        QTableWidgetItem* cell = sgPointPersent_->item(0, level);
        if (!cell) {
            cell = numberCell(new QTableWidgetItem);
            sgPointPersent_->setItem(0, level, cell);
        }
        if (cell->text().trimmed().isEmpty()) {
            cell->setText(QStringLiteral("0"));
        }
    }
    FillBlankEdits(saCommon_->widget(), QStringLiteral("0"));
    loading_ = wasLoading;
    const std::optional<TestSettingsValues::Fault> fault = TypedValues().FirstFault();
    if (!fault) {
        return std::nullopt;
    }
    // In the order of TestSettingsValues::Field.
    QWidget* const controls[] = {sgPointPersent_, edValidPercent_,      edTimeHour_,
                                 edTimeMin_,      edSelectedQuestions_, edCaption_};
    return Fault{controls[static_cast<int>(fault->Where)], fault->Text};
}

void TfmQuestionGroupSettings::Apply() {
    if (!group_) {
        return;
    }
    TTask* task = chbTimeToTasks_->isChecked() ? ChosenTask() : nullptr;
    TypedValues().ApplyTo(*group_, task);
    if (task) {
        FillTaskLists();
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
    const TTask* task = tasks_.At(sgTasks_->currentRow());
    if (!IsComplex() || !task) {
        return;
    }
    if (task->Source) {
        kvalorRoot().Tasks().RemoveTask(*group_, *task->Source);
    }
    FillTaskLists();
}

void TfmQuestionGroupSettings::TaskCountEdited(int row) {
    TTask* task = tasks_.At(row);
    if (!task) {
        return;
    }
    QTableWidgetItem* cell = sgTasks_->item(row, kTaskChosenColumn);
    const int count = TTestTasks::SetCount(*task, cell->text(), kvalorRoot().Tasks());
    loading_ = true;
    cell->setText(QString::number(count));
    // "Выбранное кол-во вопросов" of the same task must not write an older count back.
    if (ChosenTask() == task) {
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
    cbTasks_->clear();
    tasks_.Clear();
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
