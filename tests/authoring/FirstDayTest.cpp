// A teacher's first day: tests written in the tests tree and the question editor, kept in the
// data file over a restart, then taken in the examination window.

#include <gtest/gtest.h>
#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

#include "AuthoringTest.h"
#include "app/Authorization.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "app/RunMode.h"
#include "authoring/QuestionEditor.h"
#include "authoring/QuestionGroupSettings.h"
#include "authoring/SelectObject.h"
#include "examination/ExamineSettings.h"
#include "question/AnswerFrame.h"
#include "question/ExamTestData.h"
#include "question/QuestionWindow.h"
#include "support/FakeClock.h"
#include "support/ScriptedPrompts.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

namespace kvalor::examtest {
namespace {

class FirstDayTest : public ExamTest {
protected:
    void SetUp() override {
        ExamTest::SetUp();
        ASSERT_TRUE(folder_.isValid());
        setProgramFolder(folder_.path());
        registerTestsEdit();
        registerExamineSettings();
        // The starter file: the built-in accounts and nothing else.
        kvalorRoot().SaveToFile(programFile(kDataFileName));
        kvalorRoot().Clear();
    }

    void TearDown() override {
        main_.reset();
        processEvents();
        ExamTest::TearDown();
        dataModule().SetRunMode(TRunMode::None);
        setProgramFolder(QString());
    }

    // The test settings dialog: the fields typed into, then saved and closed.
    void expectSettings(const std::vector<std::pair<const char*, QString>>& typed) {
        prompts_.expectModal<TfmQuestionGroupSettings>([typed](TfmQuestionGroupSettings& dialog) {
            for (const auto& [field, text] : typed) {
                dialog.findChild<QLineEdit*>(field)->setText(text);
            }
            click(dialog, "btnSave");
            click(dialog, "btnClose");
        });
    }

    // The program starts and the user logs in for administration.
    void start(const QString& account) {
        dataModule().DataModuleCreate();
        ASSERT_TRUE(dataModule().DataLoaded());
        main_ = std::make_unique<TfmKvalor>();
        prompts_.expectModal<TfmRunMode>([](TfmRunMode& box) { click(box, "btnAdministration"); });
        prompts_.expectModal<TfmAuthorization>([this, account](TfmAuthorization& login) {
            chooseLine(login.findChild<QComboBox*>("cbUser"), account);
            prompts_.expectAsk(QStringLiteral("У учётной записи «%1» нет пароля: войти в "
                                              "администрирование может любой.\nЗадать пароль "
                                              "сейчас?")
                                   .arg(account),
                               QMessageBox::No);
            click(login.findChild<QPushButton*>("btnOk"));
        });
        main_->show();
        processEvents();
        ASSERT_TRUE(prompts_.finished());
    }

    // "Завершение работы", and the end of the run writes the data file.
    void quit() {
        trigger(main_->actClose());
        main_.reset();
        processEvents();
        dataModule().DataModuleDestroy();
        kvalorRoot().Clear();
    }

    TfmTestsEdit& tests() {
        trigger(*main_, "actEditTests");
        return *qobject_cast<TfmTestsEdit*>(main_->FindHosted("TfmTestsEdit"));
    }

    static void type(QTextEdit* text, const QString& typed) {
        text->setFocus();
        text->setPlainText(typed);
    }
    static TfrAnswer* frame(TfmQuestion& window, int index) {
        return window.Frames().at(static_cast<std::size_t>(index));
    }

    // A new question in the focused group, written in the editor.
    void writeQuestion(TfmTestsEdit& window, int type, const QString& text,
                       const QStringList& answers, std::initializer_list<int> marked) {
        prompts_.expectModal<TfmQuestion>([=](TfmQuestion& editor) {
            ASSERT_EQ(editor.Frames().size(), 3u);
            FirstDayTest::type(editor.edQuestion(), text);
            for (int i = 0; i < answers.size(); ++i) {
                FirstDayTest::type(frame(editor, i)->edText(), answers[i]);
            }
            click(editor.bgAnswerType()->button(type));
            if (type != kSequence) {
                for (int i = 0; i < 3; ++i) {
                    const bool wanted = std::find(marked.begin(), marked.end(), i) != marked.end();
                    if (frame(editor, i)->Answer()->Checked() != wanted) {
                        click(frame(editor, i)->btnUpper());
                    }
                }
            }
            trigger(dynamic_cast<TQuestionEditor&>(*editor.EditingMode()), "actSave");
            editor.reject();
        });
        trigger(named(window, "actSmpAddQuestion"));
    }

    // Answers the question on display rightly, through its buttons.
    static void answerRightly(TfmQuestion& exam) {
        const TQuestion& question = *exam.CurrentQuestion();
        const int count = static_cast<int>(exam.Frames().size());
        if (question.QuestionType() == kSequence) {
            for (int place = 0; place < count; ++place) {
                int at = place;
                while (frame(exam, at)->Answer()->CorrectPosition() != place) {
                    ++at;
                }
                for (; at > place; --at) {
                    click(frame(exam, at)->btnUpper());
                }
            }
            return;
        }
        for (int i = 0; i < count; ++i) {
            const TAnswer& answer = *frame(exam, i)->Answer();
            if (answer.Correct() != answer.Checked()) {
                click(frame(exam, i)->btnUpper());
            }
        }
    }

    QTemporaryDir folder_;
    FakeClock clock_;
    ScriptedPrompts prompts_;
    std::unique_ptr<TfmKvalor> main_;
};

TEST_F(FirstDayTest, WriteTestsRestartAndTakeTheComplexOne) {
    start("Администратор");
    TfmTestsEdit& window = tests();

    expectSettings({{"edCaption", "Физика"}, {"edTimeMin", "20"}});
    trigger(named(window, "actSmpCreate"));
    prompts_.expectInputBox("Задайте наименование группы", "Механика");
    trigger(named(window, "actSmpAddGroup"));
    writeQuestion(window, kSingleAnswer, "Единица силы", {"ньютон", "джоуль", "ватт"}, {0});
    writeQuestion(window, kMultipleAnswers, "Векторные величины", {"масса", "скорость", "сила"},
                  {1, 2});
    writeQuestion(window, kSequence, "От меньшего к большему", {"мм", "см", "м"}, {});

    expectSettings({{"edCaption", "Контрольная"}, {"edTimeMin", "30"}});
    trigger(named(window, "actCmpCreate"));
    prompts_.expectModal<TfmSelectObject>([](TfmSelectObject& dialog) {
        chooseLine(dialog.findChild<QComboBox*>("ComboBox"), "Физика");
        click(dialog, "bbOK");
    });
    trigger(named(window, "actCmpAddTask"));
    // Two of the three questions, through the task's node.
    const TItemTreeModel& complex = modelOf(named<QTreeView>(window, "tvComplex"));
    named<QTreeView>(window, "tvComplex")
        ->setCurrentIndex(complex.IndexOf(complex.Root().Children.front()->Children.front().get()));
    expectSettings({{"edSelectedQuestions", "2"}});
    trigger(named(window, "actCmpChange"));
    ASSERT_TRUE(prompts_.finished());
    quit();

    // The next morning everything is where it was left.
    start("Администратор");
    TfmTestsEdit& again = tests();
    QTreeView* simple = named<QTreeView>(again, "tvSimple");
    ASSERT_EQ(childTexts(simple, nullptr), QStringList{"Физика"});
    const TItemNode& physics = *modelOf(simple).Root().Children.front();
    ASSERT_EQ(childTexts(simple, physics.Item), QStringList{"Механика"});
    EXPECT_EQ(childTexts(simple, physics.Children.front()->Item),
              (QStringList{"Вопрос 1", "Вопрос 2", "Вопрос 3"}));
    QTreeView* complexTree = named<QTreeView>(again, "tvComplex");
    const TItemTreeModel& complexAgain = modelOf(complexTree);
    ASSERT_EQ(childTexts(complexTree, nullptr), QStringList{"Контрольная"});
    const TItemNode& test = *complexAgain.Root().Children.front();
    EXPECT_EQ(complexAgain.IndexOf(&test, 1).data().toString(), "2");
    EXPECT_EQ(complexAgain.IndexOf(&test, 3).data().toString(), "0 ч. 30 мин.");
    ASSERT_EQ(childTexts(complexTree, test.Item), QStringList{"Физика"});
    EXPECT_EQ(complexAgain.IndexOf(test.Children.front().get(), 1).data().toString(), "2 из 3");

    // The keys as written: marks for choices, the author's order for the sequence.
    const auto& group =
        *static_cast<TQuestions*>(kvalorRoot().SimpleTests().CollectionAt(0))->CollectionAt(0);
    const auto key = [&group](int index) {
        const auto& question = *static_cast<TQuestion*>(group.ElementAt(index));
        const TAnswers& answers = question.Answers();
        std::vector<int> result;
        for (int i = 0; i < answers.Count(); ++i) {
            const TAnswer& answer = *answers.AnswerAt(i);
            result.push_back(question.QuestionType() == kSequence ? answer.CorrectPosition()
                                                                  : answer.Correct());
        }
        return result;
    };
    EXPECT_EQ(key(0), (std::vector<int>{1, 0, 0}));
    EXPECT_EQ(key(1), (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(key(2), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(text(group.ElementAt(2)->GetName()), "От меньшего к большему");

    // And the complex test is taken, its questions drawn and shuffled.
    trigger(*main_, "actTest");
    auto* setup = qobject_cast<TfmExamineSettings*>(main_->FindHosted("TfmExamineSettings"));
    ASSERT_NE(setup, nullptr);
    click(*setup, "rbComplex");
    chooseLine(setup->findChild<QComboBox*>("cbTestList"), "Контрольная");
    chooseLine(setup->findChild<QComboBox*>("cbCompetitor"), "Преподаватель");
    prompts_.expectModal<TfmQuestion>([](TfmQuestion& exam) {
        EXPECT_EQ(exam.findChild<QLabel*>("lblQuestionNo")->text(), "Вопрос 1 из 2");
        EXPECT_EQ(exam.findChild<QLabel*>("lblCountdown")->text(), "0:30:0");
        answerRightly(exam);
        trigger(exam.findChild<QAction*>("actNext"));
        answerRightly(exam);
        finishExam(exam);
    });
    prompts_.expectAsk("Завершить тестирование?", QMessageBox::Yes);
    trigger(*setup, "actRun");
    ASSERT_TRUE(prompts_.finished());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(study.Questions().Count(), 2);
    EXPECT_EQ(study.CorrectCount(), 2);
    EXPECT_EQ(setup->findChild<QLabel*>("lblExamineResult")->text(), "сдан (2 из 2)");
}

}  // namespace
}  // namespace kvalor::examtest
