#include <memory>

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include "app/Authorization.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/RunMode.h"
#include "app/Settings.h"
#include "examination/ExamineSettings.h"
#include "question/AnswerFrame.h"
#include "question/ExamTestData.h"
#include "question/Examination.h"
#include "question/QuestionWindow.h"
#include "question/QuestionWindowSupport.h"
#include "results/ResultsView.h"
#include "storage/RecoveryFile.h"
#include "support/FakeClock.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"
#include "util/DateTime.h"

namespace kvalor::examtest {
namespace {

const QString kFinish = "Завершить тестирование?";

class ExamineSettingsTest : public ExamTest {
protected:
    void SetUp() override {
        ExamTest::SetUp();
        dataModule().SetRunMode(TRunMode::None);
        registerExamineSettings();
    }

    void TearDown() override {
        main_.reset();
        processEvents();
        ExamTest::TearDown();
        dataModule().SetRunMode(TRunMode::None);
    }

    // "Арифметика": "2+2" (right: "4"), "Какие числа чётные?" (right: "2", "4"), a sequence
    // in its right order, "3+3" (right: "6").
    TQuestions& arithmetic(int minutes = 10, double passPercent = 50.0) {
        TQuestions& test = addTest(kGroupKindSimpleTest, "Арифметика", minutes, passPercent);
        addQuestion(test, kSingleAnswer, "Сколько будет 2+2?", {"3", "4", "5"}, {1});
        addQuestion(test, kMultipleAnswers, "Какие числа чётные?", {"1", "2", "3", "4"}, {1, 3});
        addQuestion(test, kSequence, "Расположите по возрастанию", {"один", "два", "три"});
        addQuestion(test, kSingleAnswer, "Сколько будет 3+3?", {"5", "6"}, {1});
        return test;
    }

    // The main window, shown, in the run mode, with the examination setup open.
    TfmExamineSettings& openSetup(TRunMode runMode) {
        main_ = std::make_unique<TfmKvalor>();
        dataModule().SetRunMode(runMode);
        main_->show();
        processEvents();
        trigger(*main_, "actTest");
        return setup();
    }

    TfmExamineSettings& setup() {
        auto* window = qobject_cast<TfmExamineSettings*>(main_->FindHosted("TfmExamineSettings"));
        EXPECT_NE(window, nullptr);
        return *window;
    }

    TfmQuestion& question() { return questionWindow(*main_); }

    // A graded run started with "Выполнить" and finished once drive has worked the window.
    template <class F>
    void runExam(TfmExamineSettings& window, F drive) {
        prompts_.expectModal<TfmQuestion>(std::move(drive));
        prompts_.expectAsk(kFinish, QMessageBox::Yes);
        trigger(window, "actRun");
    }
    // Starts the chosen test of the kind for the account without a password.
    void choose(TfmExamineSettings& window, bool simple, const QString& test,
                const QString& account) {
        click(window, simple ? "rbSimple" : "rbComplex");
        chooseLine(window.findChild<QComboBox*>("cbTestList"), test);
        chooseLine(window.findChild<QComboBox*>("cbCompetitor"), account);
    }

    static TfrAnswer* frame(TfmQuestion& window, int index) {
        return window.Frames().at(static_cast<std::size_t>(index));
    }

    static void expectResult(TfmExamineSettings& window, const QString& text, const QColor& colour,
                             int indicator) {
        EXPECT_EQ(window.findChild<QLabel*>("lblExamineResult")->text(), text);
        EXPECT_EQ(textColour(*window.findChild<QLabel*>("lblExamineResult")), colour);
        EXPECT_EQ(window.ResultIndicator(), indicator);
    }

    // Which of "правильные", "неправильные", "неотвеченные", "все", "список" are enabled.
    static std::vector<bool> answerActions(const TfmExamineSettings& window) {
        const auto on = [&window](const char* name) {
            return window.findChild<QAction*>(name)->isEnabled();
        };
        return {on("actValidAnswers"), on("actInvalidAnswers"), on("actEmptyAnswers"),
                on("actAllAnswers"), on("actAnswersList")};
    }

    FakeClock clock_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

// One examination from the run-mode dialog to the journal, on the real windows.
TEST_F(ExamineSettingsTest, TestingRunFromLoginToJournal) {
    arithmetic();
    TCompetitor& ivanov = addApplicant("Иванов", "секрет");
    addApplicant("Андреев");

    main_ = std::make_unique<TfmKvalor>();
    prompts_.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    main_->show();
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    TfmExamineSettings& window = setup();
    EXPECT_EQ(window.windowTitle(), "Тестирование");
    EXPECT_EQ(window.findChild<QLabel*>("lblDate")->text(), formatShortDate(clock_.now().date()));
    EXPECT_FALSE(window.findChild<QRadioButton*>("rbTesting")->isEnabled());
    EXPECT_FALSE(window.findChild<QAction*>("actRun")->isEnabled());
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbCompetitor")),
              (QStringList{"Администратор", "Преподаватель", "Андреев", "Иванов"}));
    expectResult(window, "неизвестен", defaultTextColour(), 0);

    choose(window, true, "Арифметика", "Иванов");
    EXPECT_TRUE(window.findChild<QAction*>("actRun")->isEnabled());

    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_FALSE(login.findChild<QComboBox*>("cbGroup")->isEnabled());
        ASSERT_EQ(linesOf(login.findChild<QComboBox*>("cbUser")), QStringList{"Иванов"});
        EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->currentIndex(), 0);
        login.findChild<QLineEdit*>("edPassword")->setText("секрет");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    runExam(window, [](TfmQuestion& exam) {
        EXPECT_EQ(exam.windowTitle(), "Тестирование");
        EXPECT_EQ(exam.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 4");
        EXPECT_EQ(exam.findChild<QLabel*>("lblCountdown")->text(), "0:10:0");
        click(frame(exam, 1)->btnUpper());  // "4": right
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 0)->btnUpper());  // "1" alone: wrong
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 0)->btnLower());  // moved away and back: right
        click(frame(exam, 1)->btnUpper());
        trigger(exam.findChild<QAction*>("actNext"));
        EXPECT_FALSE(exam.findChild<QAction*>("actNext")->isEnabled());
        finishExam(exam);  // "3+3" left out
    });

    ASSERT_TRUE(prompts_.finished());
    TStudyList& journal = kvalorRoot().Studies();
    ASSERT_EQ(journal.Count(), 1);
    TStudy& study = journal.StudyAt(0);
    EXPECT_EQ(window.LastStudy(), &study);
    EXPECT_EQ(study.User(), &ivanov);
    EXPECT_EQ(study.Mode(), kModeTesting);
    EXPECT_EQ(study.Date(), toStoredDateTime(clock_.now()));
    EXPECT_EQ(study.State(), kStudyFinished);
    ASSERT_EQ(study.Questions().Count(), 4);
    EXPECT_EQ(study.Questions().Items(0).Given, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(study.Questions().Items(1).Given, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(study.Questions().Items(2).Given, (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_TRUE(study.Questions().Items(3).Given.empty());
    EXPECT_EQ(study.CorrectCount(), 2);
    EXPECT_TRUE(study.Passed());
    expectResult(window, "сдан (2 из 4)", kGreenText, 1);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{true, true, true, true, true}));
    EXPECT_EQ(question().Study(), nullptr);
    EXPECT_EQ(question().QuestionList(), nullptr);

    // "список" shows the last study in the results view.
    registerResultsView();
    trigger(window, "actAnswersList");
    auto* view = qobject_cast<TfmResultsView*>(main_->FindHosted("TfmResultsView"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Studies(), StudyView{&study});
}

// Preparation, offered to staff only, judges at once and leaves nothing when given up.
TEST_F(ExamineSettingsTest, PreparationRunClosedUnfinishedLeavesNoTrace) {
    TQuestions& first = addTest(kGroupKindSimpleTest, "Сложение", 10);
    addQuestion(first, kSingleAnswer, "1+1", {"1", "2"}, {1});
    addQuestion(first, kSingleAnswer, "2+1", {"3", "4"}, {0});
    TQuestions& second = addTest(kGroupKindSimpleTest, "Порядок", 10);
    addQuestion(second, kMultipleAnswers, "Больше двух", {"1", "3", "5"}, {1, 2});
    addQuestion(second, kSequence, "Алфавит", {"а", "б", "в"});
    TQuestions& complex = addTest(kGroupKindComplexTest, "Итоговый", 15);
    TTaskList& tasks = kvalorRoot().Tasks();
    tasks.Task(tasks.AddTask(complex, first)).QuestionCount = 2;
    tasks.Task(tasks.AddTask(complex, second)).QuestionCount = 2;
    addApplicant("Андреев");

    main_ = std::make_unique<TfmKvalor>();
    prompts_.expectModal<TfmRunMode>([](TfmRunMode& box) { click(box, "btnAdministration"); });
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        login.findChild<QComboBox*>("cbUser")->setCurrentIndex(0);
        click(login.findChild<QPushButton*>("btnOk"));
    });
    main_->show();
    processEvents();
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(dataModule().RunMode(), TRunMode::Administrator);
    trigger(*main_, "actTest");
    TfmExamineSettings& window = setup();

    EXPECT_TRUE(window.findChild<QRadioButton*>("rbTesting")->isEnabled());
    EXPECT_TRUE(window.findChild<QRadioButton*>("rbExamine")->font().bold());
    click(window, "rbTesting");
    EXPECT_TRUE(window.findChild<QRadioButton*>("rbTesting")->font().bold());
    EXPECT_FALSE(window.findChild<QRadioButton*>("rbExamine")->font().bold());
    EXPECT_FALSE(window.findChild<QCheckBox*>("chbSelectively")->isEnabled());
    chooseLine(window.findChild<QComboBox*>("cbTestList"), "Итоговый");
    chooseLine(window.findChild<QComboBox*>("cbCompetitor"), "Андреев");

    prompts_.expectModal<TfmQuestion>([](TfmQuestion& exam) {
        EXPECT_EQ(exam.windowTitle(), "Проверка");
        EXPECT_EQ(exam.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 4");
        EXPECT_EQ(exam.edQuestion()->toPlainText(), "1+1");
        EXPECT_EQ(exam.findChild<QLabel*>("lblVerdict")->text(), "нет ответа");
        click(frame(exam, 0)->btnUpper());
        EXPECT_EQ(exam.findChild<QLabel*>("lblVerdict")->text(), "неверно");
        click(frame(exam, 1)->btnUpper());
        EXPECT_EQ(exam.findChild<QLabel*>("lblVerdict")->text(), "верно");
        trigger(exam.findChild<QAction*>("actNext"));
        trigger(exam.findChild<QAction*>("actNext"));
        EXPECT_EQ(exam.edQuestion()->toPlainText(), "Больше двух");
        click(frame(exam, 1)->btnUpper());
        EXPECT_EQ(exam.findChild<QLabel*>("lblVerdict")->text(), "неверно");
        click(frame(exam, 2)->btnUpper());
        EXPECT_EQ(exam.findChild<QLabel*>("lblVerdict")->text(), "верно");
        exam.close();
    });
    prompts_.expectAsk("Результаты теста не будут сохранены.\nЗавершить тестирование?",
                       QMessageBox::Yes);
    trigger(window, "actRun");

    ASSERT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    EXPECT_EQ(window.LastStudy(), nullptr);
    expectResult(window, "неизвестен", defaultTextColour(), 0);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{false, false, false, false, false}));
    EXPECT_EQ(question().Study(), nullptr);
}

TEST_F(ExamineSettingsTest, ListsOfGroupsApplicantsAndTests) {
    TCompetitors& users = kvalorRoot().Users();
    TCompetitors& evening = addUsersGroup(users, "Вечерние");
    TCompetitors& second = addUsersGroup(evening, "Вторая смена");
    TCompetitors& distance = addUsersGroup(users, "Заочные");
    TCompetitors& tenth = addUsersGroup(users, "10 А класс");
    addUsersGroup(users, "5 А класс");
    addApplicant("Гусев", {}, &second);
    addApplicant("Борисов", {}, &evening);
    addApplicant("Алексеев", {}, &distance);
    addApplicant("Дёмин");
    // Namesakes are shown with where they are, and with their first names in one group.
    addApplicant("Гусев", {}, &tenth).SetField(9, toCp1251("Омск"));
    addApplicant("Гусев", {}, &second).SetField(0, toCp1251("Игорь"));

    arithmetic();
    addTest(kGroupKindSimpleTest, "Пустой", 10);
    for (const char* name : {"Война46", "Война5"}) {
        addQuestion(addTest(kGroupKindSimpleTest, name, 10), kSingleAnswer, "?", {"да"}, {0});
    }
    TQuestions& nested = addTest(kGroupKindSimpleTest, "С группой", 10);
    addQuestion(addGroup(nested, "Глава 1"), kSingleAnswer, "?", {"да", "нет"}, {0});
    TQuestions& noTasks = addTest(kGroupKindComplexTest, "Без заданий", 10);
    TQuestions& zero = addTest(kGroupKindComplexTest, "Ноль вопросов", 10);
    TQuestions& complex = addTest(kGroupKindComplexTest, "Итоговый", 10);
    TTaskList& tasks = kvalorRoot().Tasks();
    tasks.AddTask(zero, nested);
    tasks.Task(tasks.AddTask(complex, nested)).QuestionCount = 1;
    (void)noTasks;

    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbCompetitorGroups")),
              (QStringList{"5 А класс", "10 А класс", "Вечерние", "Вторая смена", "Заочные"}));
    EXPECT_EQ(window.findChild<QComboBox*>("cbCompetitorGroups")->currentIndex(), -1);
    const QStringList namesakes{"Гусев (10 А класс, Омск)", "Гусев (Вторая смена, Игорь)",
                                "Гусев (Вторая смена)"};
    const QStringList everyone =
        QStringList{"Администратор", "Преподаватель", "Алексеев", "Борисов"} + namesakes << "Дёмин";
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbCompetitor")), everyone);

    chooseLine(window.findChild<QComboBox*>("cbCompetitorGroups"), "Вечерние");
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbCompetitor")),
              QStringList{"Борисов"} + namesakes.mid(1));
    EXPECT_EQ(window.findChild<QComboBox*>("cbCompetitor")->currentIndex(), -1);
    pressKey(window.findChild<QComboBox*>("cbCompetitorGroups"), Qt::Key_Delete);
    EXPECT_EQ(window.findChild<QComboBox*>("cbCompetitorGroups")->currentIndex(), -1);
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbCompetitor")), everyone);

    // Only tests with questions, only the tests themselves.
    EXPECT_TRUE(window.findChild<QRadioButton*>("rbComplex")->isChecked());
    EXPECT_TRUE(window.findChild<QRadioButton*>("rbComplex")->font().bold());
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbTestList")), QStringList{"Итоговый"});
    EXPECT_FALSE(window.findChild<QCheckBox*>("chbSelectively")->isEnabled());
    chooseLine(window.findChild<QComboBox*>("cbTestList"), "Итоговый");
    click(window, "rbSimple");
    EXPECT_TRUE(window.findChild<QRadioButton*>("rbSimple")->font().bold());
    EXPECT_FALSE(window.findChild<QRadioButton*>("rbComplex")->font().bold());
    EXPECT_TRUE(window.findChild<QCheckBox*>("chbSelectively")->isEnabled());
    EXPECT_EQ(linesOf(window.findChild<QComboBox*>("cbTestList")),
              (QStringList{"Арифметика", "Война5", "Война46", "С группой"}));
    EXPECT_EQ(window.findChild<QComboBox*>("cbTestList")->currentIndex(), -1);

    chooseLine(window.findChild<QComboBox*>("cbCompetitor"), "Дёмин");
    EXPECT_FALSE(window.findChild<QAction*>("actRun")->isEnabled());
    chooseLine(window.findChild<QComboBox*>("cbTestList"), "С группой");
    EXPECT_TRUE(window.findChild<QAction*>("actRun")->isEnabled());
}

TEST_F(ExamineSettingsTest, SelectiveCountOfQuestions) {
    TQuestions& test = addTest(kGroupKindSimpleTest, "Большой", 10);
    for (int i = 0; i < 12; ++i) {
        addQuestion(test, kSingleAnswer, QString("Вопрос %1").arg(i), {"да", "нет"}, {0});
    }
    addApplicant("Андреев");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Большой", "Андреев");
    click(window, "chbSelectively");

    prompts_.expectInputBox("Укажите количество вопросов", "5").prompt("Количество").value("");
    runExam(window, [](TfmQuestion& exam) {
        EXPECT_EQ(exam.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 5");
        finishExam(exam);
    });
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    EXPECT_EQ(kvalorRoot().Studies().StudyAt(0).Questions().Count(), 5);

    // Not a number: nothing is started, the question window is not touched.
    question().SetMode(WindowMode::Review);
    prompts_.expectInputBox("Укажите количество вопросов", "пять");
    prompts_.expectError("'пять' не является целым числом.");
    trigger(window, "actRun");
    prompts_.expectInputBox("Укажите количество вопросов", std::nullopt);
    prompts_.expectError("'' не является целым числом.");
    trigger(window, "actRun");
    EXPECT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 1);
    EXPECT_EQ(question().Mode(), WindowMode::Review);
    EXPECT_NE(window.LastStudy(), nullptr);

    // A count above the test's gives all of it.
    prompts_.expectInputBox("Укажите количество вопросов", "50");
    runExam(window, [](TfmQuestion& exam) {
        EXPECT_EQ(exam.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 12");
        finishExam(exam);
    });
    EXPECT_EQ(kvalorRoot().Studies().Count(), 2);

    // A complex test is never taken selectively: the box does not stay on, greyed.
    click(window, "rbComplex");
    EXPECT_FALSE(window.findChild<QCheckBox*>("chbSelectively")->isChecked());
    EXPECT_FALSE(window.findChild<QCheckBox*>("chbSelectively")->isEnabled());
}

TEST_F(ExamineSettingsTest, NoTimeAllowedEndsBeforeTheWindowShows) {
    arithmetic(0);
    addApplicant("Андреев");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Арифметика", "Андреев");

    prompts_.expectAsk("Время истекло. Завершить работу ?", QMessageBox::Yes);
    trigger(window, "actRun");
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(study.State(), kStudyTimeIsUp);
    EXPECT_EQ(study.SelectQuestions(kNotAnswered).size(), 4u);
    expectResult(window, "не сдан (0 из 4)", kRedText, 2);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{false, false, true, true, true}));
    EXPECT_EQ(question().Study(), nullptr);
    EXPECT_EQ(question().QuestionList(), nullptr);
}

// The journaled run is also kept in the recovery file until the data file is saved.
TEST_F(ExamineSettingsTest, AJournaledRunIsKeptForRecoveryUntilSaved) {
    QTemporaryDir folder;
    setProgramFolder(folder.path());
    arithmetic(0);
    addApplicant("Андреев");
    const QString dataFile = programFile(kDataFileName);
    kvalorRoot().SaveToFile(dataFile);
    ASSERT_TRUE(dataModule().DataModuleCreate());
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Арифметика", "Андреев");
    prompts_.expectAsk("Время истекло. Завершить работу ?", QMessageBox::Yes);
    trigger(window, "actRun");
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);

    const QString recovery = RecoveryFile::FileNameFor(dataFile);
    TStudyList kept;
    kept.LoadFromFile(recovery);
    ASSERT_EQ(kept.Count(), 1);
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(kept.StudyAt(0).Date(), study.Date());
    EXPECT_EQ(kept.StudyAt(0).UserId(), study.UserId());
    EXPECT_EQ(kept.StudyAt(0).State(), kStudyTimeIsUp);
    EXPECT_EQ(kept.StudyAt(0).Questions().Count(), 4);
    dataModule().DataModuleDestroy();
    EXPECT_FALSE(QFile::exists(recovery));
    setProgramFolder({});
}

TEST_F(ExamineSettingsTest, ReviewByCategory) {
    arithmetic();
    addApplicant("Андреев");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Арифметика", "Андреев");
    prompts_.expectModal<TfmQuestion>([this](TfmQuestion& exam) {
        click(frame(exam, 1)->btnUpper());  // right
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 1)->btnUpper());  // "2" alone: wrong
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 0)->btnLower());  // wrong order
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 1)->btnUpper());  // marked, but the time is up before it is recorded
        clock_.advance(10 * 60);
        exam.findChild<TExamination*>("examination")->Tick();
    });
    prompts_.expectAsk("Время истекло. Завершить работу ?", QMessageBox::Yes);
    prompts_.expectAsk(kFinish, QMessageBox::Yes);
    trigger(window, "actRun");
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(study.State(), kStudyTimeIsUp);
    expectResult(window, "не сдан (1 из 4)", kRedText, 2);

    prompts_.expectModal<TfmQuestion>([&window](TfmQuestion& review) {
        EXPECT_EQ(review.windowTitle(), "Просмотр результатов");
        // The answers cannot be reviewed twice at once.
        EXPECT_FALSE(window.findChild<QAction*>("actAllAnswers")->isEnabled());
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 2");
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestion")->text(), "Текст вопроса № 2");
        EXPECT_EQ(review.findChild<QLabel*>("lblVerdict")->text(), "неверно");
        EXPECT_EQ(textColour(*review.findChild<QLabel*>("lblVerdict")), kMaroonText);
        EXPECT_EQ(frame(review, 1)->UpperPicture(), AnswerButtonPicture::CheckOn);
        click(frame(review, 3)->btnUpper());
        EXPECT_EQ(frame(review, 3)->UpperPicture(), AnswerButtonPicture::CheckOff);
        EXPECT_FALSE(review.findChild<QAction*>("actPrevious")->isEnabled());
        trigger(review.findChild<QAction*>("actNext"));
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 2 из 2");
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestion")->text(), "Текст вопроса № 3");
        EXPECT_EQ(review.findChild<QLabel*>("lblVerdict")->text(), "неверно");
        EXPECT_FALSE(review.findChild<QAction*>("actNext")->isEnabled());
        finishExam(review);
    });
    trigger(window, "actInvalidAnswers");

    prompts_.expectModal<TfmQuestion>([](TfmQuestion& review) {
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestion")->text(), "Текст вопроса № 1");
        EXPECT_EQ(review.findChild<QLabel*>("lblVerdict")->text(), "верно");
        EXPECT_EQ(textColour(*review.findChild<QLabel*>("lblVerdict")), kGreenText);
        review.close();
    });
    trigger(window, "actValidAnswers");

    // The mark left unrecorded on the last question is not shown as an answer.
    prompts_.expectModal<TfmQuestion>([](TfmQuestion& review) {
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 1");
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestion")->text(), "Текст вопроса № 4");
        EXPECT_EQ(review.findChild<QLabel*>("lblVerdict")->text(), "нет ответа");
        EXPECT_EQ(frame(review, 1)->UpperPicture(), AnswerButtonPicture::RadioOff);
        review.close();
    });
    trigger(window, "actEmptyAnswers");

    prompts_.expectModal<TfmQuestion>([](TfmQuestion& review) {
        EXPECT_EQ(review.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 4");
        review.close();
    });
    trigger(window, "actAllAnswers");

    EXPECT_TRUE(prompts_.finished());
    EXPECT_EQ(study.State(), kStudyTimeIsUp);
    EXPECT_TRUE(study.Questions().Items(3).Given.empty());
    EXPECT_EQ(study.CorrectCount(), 1);
    EXPECT_EQ(question().Study(), nullptr);
}

TEST_F(ExamineSettingsTest, ResultTextsAndWhatResetsThem) {
    TQuestions& test = addTest(kGroupKindSimpleTest, "Два вопроса", 10);
    addQuestion(test, kSingleAnswer, "1+1", {"1", "2"}, {1});
    addQuestion(test, kSingleAnswer, "2+2", {"4", "5"}, {0});
    addApplicant("Андреев");
    addApplicant("Борисов");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Два вопроса", "Андреев");
    const auto allRight = [](TfmQuestion& exam) {
        click(frame(exam, 1)->btnUpper());
        trigger(exam.findChild<QAction*>("actNext"));
        click(frame(exam, 0)->btnUpper());
        finishExam(exam);
    };
    runExam(window, allRight);
    expectResult(window, "сдан (2 из 2)", kGreenText, 1);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{true, false, false, true, true}));

    // Another applicant: the text goes, the answers of the last run stay at hand.
    chooseLine(window.findChild<QComboBox*>("cbCompetitor"), "Борисов");
    expectResult(window, "неизвестен", defaultTextColour(), 0);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{true, false, false, true, true}));

    // Grades: two of two reach the top level of five.
    test.SetGradingMethod(1);
    for (int level = 0; level < 5; ++level) {
        test.SetLevelThreshold(level, 20.0 * level);
    }
    runExam(window, allRight);
    expectResult(window, "оценка 5 (2 из 2)", kGreenText, 1);

    // Another kind of test forgets the last run.
    click(window, "rbComplex");
    expectResult(window, "неизвестен", defaultTextColour(), 0);
    EXPECT_EQ(window.LastStudy(), nullptr);
    EXPECT_EQ(answerActions(window), (std::vector<bool>{false, false, false, false, false}));

    // A last run deleted from the journal is forgotten too.
    click(window, "rbSimple");
    chooseLine(window.findChild<QComboBox*>("cbTestList"), "Два вопроса");
    runExam(window, allRight);
    ASSERT_NE(window.LastStudy(), nullptr);
    kvalorRoot().Studies().Clear();
    window.UpdateActions();
    EXPECT_EQ(window.LastStudy(), nullptr);
    EXPECT_FALSE(window.findChild<QAction*>("actAllAnswers")->isEnabled());
}

TEST_F(ExamineSettingsTest, LoginRefusedStartsNothing) {
    arithmetic();
    addApplicant("Иванов", "секрет");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Арифметика", "Иванов");
    question().SetMode(WindowMode::Review);
    prompts_.expectModal<TfmAuthorization>(QDialog::Rejected);
    trigger(window, "actRun");
    EXPECT_TRUE(prompts_.finished());
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
    EXPECT_EQ(window.LastStudy(), nullptr);
    EXPECT_EQ(question().Mode(), WindowMode::Review);
}

TEST_F(ExamineSettingsTest, FontSizeFollowsTheSettings) {
    kvalorRoot().SetFontSize(10);
    TfmExamineSettings& window = openSetup(TRunMode::Administrator);
    main_->resize(1280, 1024);
    processEvents();
    EXPECT_EQ(window.findChild<QComboBox*>("cbTestList")->font().pointSize(), 10);

    TfmSetting& settings = main_->SettingDialog();
    settings.findChild<QLineEdit*>("edFontSize")->setText("14");
    click(settings, "btnOk");
    EXPECT_EQ(window.findChild<QComboBox*>("cbTestList")->font().pointSize(), 14);
    EXPECT_EQ(window.findChild<QLabel*>("lblExamineResult")->font().pointSize(), 14);
    EXPECT_TRUE(window.findChild<QLabel*>("lblExamineResult")->font().bold());

    // The frame follows the size both ways, and never leaves the main window.
    QWidget* host = window.parentWidget();
    const QSize at14 = host->size();
    settings.findChild<QLineEdit*>("edFontSize")->setText("36");
    click(settings, "btnOk");
    const QSize at36 = host->size();
    EXPECT_GT(at36.width(), at14.width());
    EXPECT_TRUE(main_->mdiArea()->viewport()->rect().contains(host->geometry()));
    settings.findChild<QLineEdit*>("edFontSize")->setText("14");
    click(settings, "btnOk");
    EXPECT_EQ(host->size(), at14);
}

TEST_F(ExamineSettingsTest, RestoredFromItsIconTheWindowKeepsItsState) {
    arithmetic();
    addApplicant("Андреев");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    choose(window, true, "Арифметика", "Андреев");
    runExam(window, finishExam);
    expectResult(window, "не сдан (0 из 4)", kRedText, 2);

    QWidget* host = window.parentWidget();
    host->showMinimized();
    processEvents();
    host->showNormal();
    processEvents();
    expectResult(window, "не сдан (0 из 4)", kRedText, 2);
    EXPECT_EQ(window.findChild<QComboBox*>("cbCompetitor")->currentText(), "Андреев");
    EXPECT_EQ(window.findChild<QComboBox*>("cbTestList")->currentText(), "Арифметика");
    EXPECT_NE(window.LastStudy(), nullptr);
    EXPECT_TRUE(window.findChild<QAction*>("actAllAnswers")->isEnabled());
}

TEST_F(ExamineSettingsTest, StartedAndClosedFromTheKeyboard) {
    arithmetic();
    addApplicant("Андреев");
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    click(window, "rbSimple");
    main_->activateWindow();
    window.findChild<QComboBox*>("cbTestList")->setFocus();
    chooseLine(window.findChild<QComboBox*>("cbTestList"), "Арифметика");
    chooseLine(window.findChild<QComboBox*>("cbCompetitor"), "Андреев");

    prompts_.expectModal<TfmQuestion>(finishExam);
    prompts_.expectAsk(kFinish, QMessageBox::Yes);
    pressKey(window.findChild<QComboBox*>("cbTestList"), Qt::Key_F9);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 1);

    // "Начать тестирование" is a stop for Tab, and Enter there starts.
    QWidget* run = window.findChild<QWidget*>("btnRun");
    window.findChild<QComboBox*>("cbTestList")->setFocus();
    for (int presses = 0; presses < 20 && window.focusWidget() != run; ++presses) {
        pressKey(window.focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(window.focusWidget(), run);
    prompts_.expectModal<TfmQuestion>(finishExam);
    prompts_.expectAsk(kFinish, QMessageBox::Yes);
    pressKey(run, Qt::Key_Return);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 2);

    // Back from the examination, the frame is the active window again. Its own Ctrl+W closes
    // the window, no other shortcut competing for the key.
    main_->activateWindow();
    window.findChild<QComboBox*>("cbCompetitor")->setFocus();
    processEvents();
    pressKey(window.findChild<QComboBox*>("cbCompetitor"), Qt::Key_W, Qt::ControlModifier);
    processEvents();
    EXPECT_EQ(main_->FindHosted("TfmExamineSettings"), nullptr);
    EXPECT_TRUE(prompts_.finished());
}

TEST_F(ExamineSettingsTest, WorksOnAPartialRoot) {
    // A load that failed may leave neither built-in accounts nor anything else.
    kvalorRoot().Clear();
    TfmExamineSettings& window = openSetup(TRunMode::Testing);
    EXPECT_EQ(window.findChild<QComboBox*>("cbCompetitor")->count(), 0);
    EXPECT_EQ(window.findChild<QComboBox*>("cbTestList")->count(), 0);
    EXPECT_FALSE(window.findChild<QAction*>("actRun")->isEnabled());

    arithmetic();
    addApplicant("Андреев");
    window.FormShow();
    choose(window, true, "Арифметика", "Андреев");
    runExam(window, finishExam);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 1);
    expectResult(window, "не сдан (0 из 4)", kRedText, 2);
}

}  // namespace
}  // namespace kvalor::examtest
