#include "examination/ExamineSettings.h"

#include <algorithm>
#include <string>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRadioButton>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Authorization.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/ResultsOpener.h"
#include "app/Settings.h"
#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "question/QuestionWindow.h"
#include "question/QuestionWindowRun.h"
#include "question/QuestionWindowSupport.h"
#include "ui/Clock.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/Icons.h"
#include "ui/ObjectNames.h"
#include "ui/Prompts.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kResultPictureSize = 48;

void setBold(QWidget& control, bool bold) {
    QFont font = control.font();
    font.setBold(bold);
    control.setFont(font);
}

// Only the choice of the pair is drawn bold.
void markChoice(QRadioButton& first, QRadioButton& second) {
    setBold(first, first.isChecked());
    setBold(second, second.isChecked());
}

void addLine(QComboBox& list, const std::string& name, const Guid& id) {
    list.addItem(fromCp1251(name), id.toQString());
}

struct Line {
    QString name;
    Guid id;
};

// The lines by name, digits read as numbers ("5 А класс" before "10 А класс"), none chosen;
// what they show keeps its stored order.
void fillSorted(QComboBox& list, std::vector<Line> lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
        return compareDisplayNames(a.name, b.name) < 0;
    });
    for (const Line& line : lines) {
        list.addItem(line.name, line.id.toQString());
    }
    list.setCurrentIndex(-1);
}

std::optional<Guid> chosenId(const QComboBox& list) {
    if (list.currentIndex() < 0) {
        return std::nullopt;
    }
    return Guid::fromString(list.currentData().toString());
}

bool isWithin(const TCompetitor& account, const TCompetitors& group) {
    for (const TExaminerCollection* holder = account.Parent(); holder; holder = holder->Parent()) {
        if (holder == &group) {
            return true;
        }
    }
    return false;
}

}  // namespace

TfmExamineSettings::TfmExamineSettings(TfmKvalor& mainWindow, TfmQuestion& questionWindow,
                                       QWidget* parent)
    : QWidget(parent),
      mainWindow_(mainWindow),
      question_(&questionWindow),
      studyWatch_(kvalorRoot().Studies(),
                  [this](const TStudy& study) { guarded([&] { StudyRemoved(study); }); }),
      actRun_(new QAction(actionIcon(ActionIcon::Examination),
                          QStringLiteral("Начать тестирование"), this)),
      actAnswersList_(new QAction(QStringLiteral("список"), this)),
      actValidAnswers_(new QAction(QStringLiteral("правильные"), this)),
      actInvalidAnswers_(new QAction(QStringLiteral("неправильные"), this)),
      actEmptyAnswers_(new QAction(QStringLiteral("неотвеченные"), this)),
      actAllAnswers_(new QAction(QStringLiteral("все"), this)),
      actClose_(new QAction(QStringLiteral("Закрыть"), this)) {
    setWindowTitle(QStringLiteral("Тестирование"));
    setWindowIcon(actionIcon(ActionIcon::Examination));
    BuildControls();
    nameObjects({{lblDate_, "lblDate"},
                 {cbCompetitorGroups_, "cbCompetitorGroups"},
                 {cbCompetitor_, "cbCompetitor"},
                 {rbComplex_, "rbComplex"},
                 {rbSimple_, "rbSimple"},
                 {cbTestList_, "cbTestList"},
                 {chbSelectively_, "chbSelectively"},
                 {rbExamine_, "rbExamine"},
                 {rbTesting_, "rbTesting"},
                 {lblExamineResult_, "lblExamineResult"},
                 {actRun_, "actRun"},
                 {actAnswersList_, "actAnswersList"},
                 {actValidAnswers_, "actValidAnswers"},
                 {actInvalidAnswers_, "actInvalidAnswers"},
                 {actEmptyAnswers_, "actEmptyAnswers"},
                 {actAllAnswers_, "actAllAnswers"}});
    ConnectControls();
    // The answer actions are off while the question window is on screen.
    questionWindow.installEventFilter(this);
    ResetResult(true);
    UpdateActions();
}

TfmExamineSettings::~TfmExamineSettings() {
    ForgetLastStudy();
}

void TfmExamineSettings::BuildControls() {
    lblDate_ = new QLabel;
    cbCompetitorGroups_ = new QComboBox;
    cbCompetitor_ = new QComboBox;
    for (QComboBox* list : {cbCompetitorGroups_, cbCompetitor_}) {
        list->setMinimumContentsLength(30);
        list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    cbCompetitorGroups_->installEventFilter(this);
    auto* people = new QFormLayout;
    people->addRow(QStringLiteral("Сегодня"), lblDate_);
    people->addRow(QStringLiteral("Группа"), cbCompetitorGroups_);
    people->addRow(QStringLiteral("Тестируемый"), cbCompetitor_);

    rbComplex_ = new QRadioButton(QStringLiteral("Комплексный"));
    rbSimple_ = new QRadioButton(QStringLiteral("Простой"));
    rbComplex_->setChecked(true);
    cbTestList_ = new QComboBox;
    cbTestList_->setMinimumContentsLength(30);
    cbTestList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    chbSelectively_ = new QCheckBox(QStringLiteral("выборочно"));
    auto* testBox = new QGroupBox(QStringLiteral(" Тест "));
    auto* kinds = new QHBoxLayout;
    kinds->addWidget(rbComplex_);
    kinds->addWidget(rbSimple_);
    kinds->addStretch();
    auto* tests = new QHBoxLayout;
    tests->addWidget(cbTestList_, 1);
    tests->addWidget(chbSelectively_);
    auto* testLayout = new QVBoxLayout(testBox);
    testLayout->addLayout(kinds);
    testLayout->addLayout(tests);

    rbExamine_ = new QRadioButton(QStringLiteral("Тестирование"));
    rbTesting_ = new QRadioButton(QStringLiteral("Подготовка"));
    rbExamine_->setChecked(true);
    auto* modeBox = new QGroupBox(QStringLiteral(" Тест "));
    auto* modes = new QHBoxLayout(modeBox);
    modes->addWidget(rbExamine_);
    modes->addWidget(rbTesting_);
    modes->addStretch();

    PaintBox_ = new QLabel;
    PaintBox_->setFixedSize(kResultPictureSize, kResultPictureSize);
    PaintBox_->setAlignment(Qt::AlignCenter);
    lblExamineResult_ = new QLabel;
    lblExamineResult_->setWordWrap(true);
    auto* resultBox = new QGroupBox(QStringLiteral(" Результат "));
    auto* result = new QHBoxLayout(resultBox);
    result->addWidget(PaintBox_);
    result->addWidget(lblExamineResult_, 1);

    auto* answers = new QMenu(this);
    for (QAction* action :
         {actValidAnswers_, actInvalidAnswers_, actEmptyAnswers_, actAllAnswers_}) {
        answers->addAction(action);
    }
    answers->addSeparator();
    answers->addAction(actAnswersList_);
    btnAnswers_ = new QToolButton;
    btnAnswers_->setText(QStringLiteral("Ответы"));
    btnAnswers_->setMenu(answers);
    btnAnswers_->setPopupMode(QToolButton::InstantPopup);
    btnAnswers_->setToolButtonStyle(Qt::ToolButtonTextOnly);

    tbActions_ = new QToolBar;
    tbActions_->setIconSize(QSize(24, 24));
    tbActions_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbActions_->addAction(actRun_);
    tbActions_->addSeparator();
    tbActions_->addWidget(btnAnswers_);

    // Starting is what the window is for: a key of its own, and a stop in the tab order,
    // which tool bars otherwise leave out.
    actRun_->setShortcut(QKeySequence(Qt::Key_F9));
    actRun_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actRun_->setToolTip(QStringLiteral("Начать тестирование (F9)"));
    addAction(actRun_);
    QWidget* runButton = tbActions_->widgetForAction(actRun_);
    runButton->setObjectName(QStringLiteral("btnRun"));
    runButton->setFocusPolicy(Qt::TabFocus);
    runButton->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(people);
    layout->addWidget(testBox);
    layout->addWidget(modeBox);
    layout->addWidget(resultBox);
    layout->addStretch();
    layout->addWidget(tbActions_);

    // lblExamineResult and the choices of the pairs are bold.
    setBold(*lblExamineResult_, true);
    markChoice(*rbComplex_, *rbSimple_);
    markChoice(*rbExamine_, *rbTesting_);
}

void TfmExamineSettings::ConnectControls() {
    connect(rbComplex_, &QRadioButton::clicked, this, guard([this] {
                // A complex test is never taken selectively.
                chbSelectively_->setChecked(false);
                markChoice(*rbComplex_, *rbSimple_);
                FillTests();
                KindClicked();
            }));
    connect(rbSimple_, &QRadioButton::clicked, this, guard([this] {
                markChoice(*rbComplex_, *rbSimple_);
                FillTests();
                KindClicked();
            }));
    for (QRadioButton* button : {rbExamine_, rbTesting_}) {
        connect(button, &QRadioButton::clicked, this, guard([this] {
                    markChoice(*rbExamine_, *rbTesting_);
                    KindClicked();
                }));
    }
    connect(chbSelectively_, &QCheckBox::clicked, this, guard([this] { KindClicked(); }));
    connect(cbCompetitorGroups_, &QComboBox::activated, this, guard([this] {
                FillCompetitors();
                ResetResult(false);
                UpdateActions();
            }));
    for (QComboBox* list : {cbCompetitor_, cbTestList_}) {
        connect(list, &QComboBox::activated, this, guard([this] {
                    ResetResult(false);
                    UpdateActions();
                }));
    }

    connect(actRun_, &QAction::triggered, this, guard([this] { actRunExecute(); }));
    connect(actValidAnswers_, &QAction::triggered, this, guard([this] { Review(kAnsweredRight); }));
    connect(actInvalidAnswers_, &QAction::triggered, this,
            guard([this] { Review(kAnsweredWrong); }));
    connect(actEmptyAnswers_, &QAction::triggered, this, guard([this] { Review(kNotAnswered); }));
    connect(actAllAnswers_, &QAction::triggered, this, guard([this] { Review(kAllQuestions); }));
    connect(actAnswersList_, &QAction::triggered, this, guard([this] { actAnswersListExecute(); }));
    connect(actClose_, &QAction::triggered, this, [this] { close(); });

    connect(&dataModule(), &TDM::runModeChanged, this, guard([this] { UpdateActions(); }));
    connect(&mainWindow_.SettingDialog(), &TfmSetting::fontSizeChanged, this,
            [this](int pointSize) { guarded([this, pointSize] { ApplyFontSetting(pointSize); }); });
}

void TfmExamineSettings::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownSinceClose_) {
        shownSinceClose_ = true;
        guarded([this] { FormShow(); });
    }
}

void TfmExamineSettings::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    shownSinceClose_ = false;
}

void TfmExamineSettings::FormShow() {
    lblDate_->setText(formatShortDate(appClock().now().date()));
    FillGroups();
    FillCompetitors();
    FillTests();
    ResetResult(true);
    ApplyFontSetting(kvalorRoot().FontSize());
    UpdateActions();
}

void TfmExamineSettings::ApplyFontSetting(int pointSize) {
    if (pointSize > 0 && FontSizeDiffers(cbTestList_, pointSize)) {
        ApplyFontSize(this, pointSize);
        // The frame follows the texts, larger or smaller; the main window does not resize its
        // children. It stays within the main window, so that its tool bar stays in reach.
        if (auto* host = qobject_cast<QMdiSubWindow*>(parentWidget())) {
            layout()->activate();
            host->setMinimumSize(host->minimumSizeHint());
            QSize wanted = host->sizeHint();
            if (const QMdiArea* area = host->mdiArea()) {
                const QSize room = area->viewport()->size();
                wanted = wanted.boundedTo(room).expandedTo(host->minimumSize());
                host->move(std::clamp(host->x(), 0, std::max(0, room.width() - wanted.width())),
                           std::clamp(host->y(), 0, std::max(0, room.height() - wanted.height())));
            }
            host->resize(wanted);
        }
    }
}

bool TfmExamineSettings::eventFilter(QObject* watched, QEvent* event) {
    // A tool button answers Space only; Enter is what users press on a button.
    if (watched == tbActions_->widgetForAction(actRun_) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && actRun_->isEnabled()) {
            actRun_->trigger();
            return true;
        }
    }
    if (watched == cbCompetitorGroups_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        // No group: every applicant again.
        guarded([this] {
            cbCompetitorGroups_->setCurrentIndex(-1);
            FillCompetitors();
            ResetResult(false);
            UpdateActions();
        });
        return true;
    }
    if (watched == question_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        guarded([this] { UpdateActions(); });
    }
    return QWidget::eventFilter(watched, event);
}

void TfmExamineSettings::FillGroups() {
    cbCompetitorGroups_->clear();
    TCompetitors& users = kvalorRoot().Users();
    std::vector<Line> lines;
    for (TExaminerCollection* group : CollectCollections(users, {})) {
        if (group != &users) {
            lines.push_back({fromCp1251(group->GetName()), group->Id()});
        }
    }
    fillSorted(*cbCompetitorGroups_, std::move(lines));
}

void TfmExamineSettings::FillCompetitors() {
    cbCompetitor_->clear();
    const TCompetitors* group = SelectedGroup();
    // Namesakes are told apart by the same names in every group's list.
    for (const auto& [account, name] : kvalorRoot().Users().ListedAccounts()) {
        // The anonymous testing account is nobody to examine.
        if (account->Id() == ApplicantAccountId() || (group && !isWithin(*account, *group))) {
            continue;
        }
        addLine(*cbCompetitor_, name, account->Id());
    }
    cbCompetitor_->setCurrentIndex(-1);
}

void TfmExamineSettings::FillTests() {
    cbTestList_->clear();
    TKvalor& root = kvalorRoot();
    const TQuestions& tests = rbComplex_->isChecked() ? root.ComplexTests() : root.SimpleTests();
    std::vector<Line> lines;
    for (int i = 0; i < tests.Count(); ++i) {
        const auto* test = dynamic_cast<const TQuestions*>(tests.CollectionAt(i));
        if (test && QuestionCount(*test, root.Tasks()) > 0) {
            lines.push_back({fromCp1251(test->GetName()), test->Id()});
        }
    }
    fillSorted(*cbTestList_, std::move(lines));
}

// The lists keep ids, so that an entry deleted meanwhile elsewhere is merely not found.
TCompetitors* TfmExamineSettings::SelectedGroup() const {
    const auto id = chosenId(*cbCompetitorGroups_);
    return id ? dynamic_cast<TCompetitors*>(kvalorRoot().Users().FindCollection(*id)) : nullptr;
}

TCompetitor* TfmExamineSettings::SelectedCompetitor() const {
    const auto id = chosenId(*cbCompetitor_);
    return id ? dynamic_cast<TCompetitor*>(kvalorRoot().Users().FindItem(*id)) : nullptr;
}

TQuestions* TfmExamineSettings::SelectedTest() const {
    const auto id = chosenId(*cbTestList_);
    if (!id) {
        return nullptr;
    }
    TKvalor& root = kvalorRoot();
    TQuestions& tests = rbComplex_->isChecked() ? root.ComplexTests() : root.SimpleTests();
    auto* test = dynamic_cast<TQuestions*>(tests.FindCollection(*id));
    return test && test->Parent() == &tests ? test : nullptr;
}

void TfmExamineSettings::KindClicked() {
    ResetResult(true);
    UpdateActions();
}

void TfmExamineSettings::ResetResult(bool forgetStudy) {
    if (forgetStudy) {
        ForgetLastStudy();
    }
    resultIndicator_ = 0;
    PaintBox_->setPixmap(resultPicture(ResultPicture::None));
    lblExamineResult_->setText(QStringLiteral("неизвестен"));
    setTextColour(*lblExamineResult_, defaultTextColour());
}

void TfmExamineSettings::ForgetLastStudy() {
    // The question window must not keep a study that is about to go.
    if (question_ && question_->Study() &&
        (question_->Study() == lastStudy_ || question_->Study() == ownStudy_.get())) {
        question_->SetStudy(nullptr);
    }
    lastStudy_ = nullptr;
    ownStudy_.reset();
}

void TfmExamineSettings::StudyRemoved(const TStudy& study) {
    if (&study == lastStudy_) {
        ForgetLastStudy();
        ResetResult(false);
        UpdateActions();
    }
}

TStudy* TfmExamineSettings::LastStudy() {
    if (lastStudy_ && lastStudy_ != ownStudy_.get() &&
        kvalorRoot().Studies().IndexOf(lastStudy_) < 0) {
        lastStudy_ = nullptr;
    }
    return lastStudy_;
}

void TfmExamineSettings::ShowResult() {
    const TStudy* study = LastStudy();
    if (!study) {
        ResetResult(false);
        return;
    }
    const int right = study->CorrectCount();
    const int total = study->Questions().Count();
    const TQuestions* test = study->Test();
    QString text;
    if (test && test->GradingMethod() == 1) {
        text = QStringLiteral("оценка %1 (%2 из %3)").arg(study->Grade()).arg(right).arg(total);
    } else if (study->Passed()) {
        text = QStringLiteral("сдан (%1 из %2)").arg(right).arg(total);
    } else {
        text = QStringLiteral("не сдан (%1 из %2)").arg(right).arg(total);
    }
    resultIndicator_ = study->Passed() ? 1 : 2;
    PaintBox_->setPixmap(resultPicture(static_cast<ResultPicture>(resultIndicator_)));
    lblExamineResult_->setText(text);
    setTextColour(*lblExamineResult_, study->Passed() ? kGreenText : kRedText);
}

void TfmExamineSettings::UpdateActions() {
    actRun_->setEnabled(SelectedCompetitor() && SelectedTest());

    TStudy* study = LastStudy();
    const bool free = study && question_ && !question_->isVisible();
    actValidAnswers_->setEnabled(free && study->HasQuestions(kAnsweredRight));
    actInvalidAnswers_->setEnabled(free && study->HasQuestions(kAnsweredWrong));
    actEmptyAnswers_->setEnabled(free && study->HasQuestions(kNotAnswered));
    actAllAnswers_->setEnabled(free && study->HasQuestions(kAllQuestions));
    actAnswersList_->setEnabled(actAllAnswers_->isEnabled());

    // Preparation shows the key at once: staff only.
    const TRunMode runMode = dataModule().RunMode();
    const bool staff = runMode == TRunMode::Administrator || runMode == TRunMode::Teacher;
    rbTesting_->setEnabled(staff);
    if (!staff && rbTesting_->isChecked()) {
        rbExamine_->setChecked(true);
        markChoice(*rbExamine_, *rbTesting_);
    }
    chbSelectively_->setEnabled(rbSimple_->isChecked());
}

void TfmExamineSettings::actRunExecute() {
    TCompetitor* applicant = SelectedCompetitor();
    TQuestions* test = SelectedTest();
    if (!applicant || !test || !question_) {
        return;
    }
    // The applicant confirms who he is.
    if (!applicant->HasNoPassword()) {
        TfmAuthorization& login = mainWindow_.AuthorizationDialog();
        login.SetFixedList(true);
        login.SetEntries({authorizationOf(*applicant)});
        login.PreselectEntry(0);
        if (prompts().runModal(login) != QDialog::Accepted) {
            return;
        }
    }

    int count = -1;
    if (rbSimple_->isChecked() && chbSelectively_->isChecked()) {
        const QString text = prompts()
                                 .inputBox(QStringLiteral("Укажите количество вопросов"),
                                           QStringLiteral("Количество"), QString())
                                 .value_or(QString());
        bool isNumber = false;
        count = text.trimmed().toInt(&isNumber);
        if (!isNumber) {
            throw KvalorError(QStringLiteral("'%1' не является целым числом").arg(text));
        }
    }

    const bool preparation = rbTesting_->isChecked();
    TfmQuestion& window = *question_;
    window.SetMode(preparation ? WindowMode::Preparation : WindowMode::Testing);

    ForgetLastStudy();
    ownStudy_ = TStudyList::NewStudy(preparation ? kModePreparation : kModeTesting, *applicant,
                                     *test, toStoredDateTime(appClock().now()));
    lastStudy_ = ownStudy_.get();
    TStudy& study = *ownStudy_;
    study.DrawQuestions(kvalorRoot().Tasks(), count);

    {
        QuestionWindowRun run(window, study, study.Questions().View());
        run.Prepare(test->Duration());
        // A time allowance of 0 may have ended the run before the window was shown.
        if (study.State() != kStudyTimeIsUp) {
            prompts().runModal(window);
        }
    }

    if (study.State() != kStudyInProgress || rbExamine_->isChecked()) {
        kvalorRoot().Studies().Append(std::move(ownStudy_));
        study.Score();
        dataModule().StudyJournaled(study);
    } else {
        // A preparation left unfinished leaves no trace.
        ForgetLastStudy();
    }
    ShowResult();
    UpdateActions();
}

void TfmExamineSettings::Review(int category) {
    TStudy* study = LastStudy();
    if (!study || !question_) {
        return;
    }
    question_->SetMode(WindowMode::Review);
    QuestionWindowRun run(*question_, *study, study->SelectQuestions(category));
    run.Prepare(0);
    prompts().runModal(*question_);
}

void TfmExamineSettings::actAnswersListExecute() {
    // Without a study the view still opens, showing what it showed.
    TStudy* study = LastStudy();
    openResultsView(mainWindow_, study ? StudyView{study} : StudyView{});
}

void registerExamineSettings() {
    TfmKvalor::registerWorkingWindow(
        QStringLiteral("TfmExamineSettings"), [](TfmKvalor& mainWindow) -> QWidget* {
            return new TfmExamineSettings(mainWindow, questionWindow(mainWindow));
        });
}

}  // namespace kvalor
