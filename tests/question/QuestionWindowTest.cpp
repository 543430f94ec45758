#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include "QuestionWindowTest.h"
#include "question/AnswerFrame.h"
#include "util/Error.h"

namespace kvalor::examtest {
namespace {

const QString kTimeIsUp = "Время истекло. Завершить работу ?";

QStringList frameTexts(const TfmQuestion& window) {
    QStringList texts;
    for (const TfrAnswer* frame : window.Frames()) {
        texts << frame->edText()->toPlainText();
    }
    return texts;
}

TEST_F(QuestionWindowTest, CountdownReadsWithoutLeadingZeros) {
    begin(WindowMode::Testing, 30);
    EXPECT_EQ(window_.windowTitle(), "Тестирование");
    EXPECT_TRUE(window_.findChild<QTimer*>("tmCountdown")->isActive());
    EXPECT_EQ(window_.findChild<QTimer*>("tmCountdown")->interval(), 1000);
    EXPECT_EQ(label("lblCountdown")->text(), "0:30:0");
    EXPECT_EQ(textColour(*label("lblCountdown")), kNavyText);

    clock_.advance(55);
    exam().Tick();
    EXPECT_EQ(label("lblCountdown")->text(), "0:29:5");
    clock_.advance(6);
    exam().Tick();
    EXPECT_EQ(label("lblCountdown")->text(), "0:28:59");

    window_.SetTimeAllowance(90);
    exam().Tick();
    EXPECT_EQ(label("lblCountdown")->text(), "1:28:59");
    EXPECT_EQ(study_->State(), kStudyInProgress);
}

TEST_F(QuestionWindowTest, ExtensionRestartsAtTheFirstUnansweredQuestion) {
    begin(WindowMode::Testing, 10);
    click(frame(1)->btnUpper());  // "4"
    trigger(action("actNext"));   // "2+2" recorded
    trigger(action("actNext"));   // "Какие числа чётные?" recorded without a mark
    ASSERT_EQ(window_.CurrentQuestion(), sequence_);
    click(frame(0)->btnLower());  // moved, but never recorded

    clock_.advance(10 * 60);
    prompts_.expectAsk(kTimeIsUp, QMessageBox::No);
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_TRUE(login.FixedList());
        EXPECT_FALSE(login.findChild<QComboBox*>("cbGroup")->isEnabled());
        ASSERT_EQ(login.findChild<QComboBox*>("cbUser")->count(), 2);
        EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->itemText(0), "Администратор");
        EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->itemText(1), "Преподаватель");
        login.findChild<QComboBox*>("cbUser")->setCurrentIndex(1);
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts_.expectInputBox("Продление времени теста", "5")
        .prompt("Дополнительное время (мин)")
        .value("0");
    exam().Tick();

    EXPECT_TRUE(prompts_.finished());
    EXPECT_EQ(study_->State(), kStudyInProgress);
    EXPECT_EQ(study_->MinutesUsed(), 10);
    EXPECT_EQ(given(single_), (std::vector<std::int32_t>{1}));
    EXPECT_TRUE(given(multiple_).empty());
    EXPECT_TRUE(given(sequence_).empty());
    EXPECT_EQ(window_.CurrentQuestion(), multiple_);
    EXPECT_EQ(label("lblQuestionNo")->text(), "Вопрос 2 из 3");
    EXPECT_EQ(label("lblCountdown")->text(), "0:5:0");
    EXPECT_EQ(textColour(*label("lblCountdown")), kNavyText);
    EXPECT_TRUE(window_.findChild<QTimer*>("tmCountdown")->isActive());
    EXPECT_TRUE(action("actNext")->isEnabled());
    EXPECT_TRUE(action("actPrevious")->isEnabled());

    // Words instead of minutes give none: the time is up again at once.
    clock_.advance(5 * 60);
    prompts_.expectAsk(kTimeIsUp, QMessageBox::No);
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        login.findChild<QComboBox*>("cbUser")->setCurrentIndex(0);
        click(login.findChild<QPushButton*>("btnOk"));
    });
    prompts_.expectInputBox("Продление времени теста", "пять").value("0");
    prompts_.expectAsk(kTimeIsUp, QMessageBox::Yes);
    exam().Tick();
    EXPECT_TRUE(prompts_.finished());
    EXPECT_EQ(study_->State(), kStudyTimeIsUp);
    EXPECT_EQ(study_->MinutesUsed(), 15);

    // Without a staff login the time stays up.
    window_.SetTimeAllowance(0);
    study_->SetState(kStudyInProgress);
    prompts_.expectAsk(kTimeIsUp, QMessageBox::No);
    prompts_.expectModal<TfmAuthorization>(QDialog::Rejected);
    exam().Tick();
    EXPECT_EQ(study_->State(), kStudyTimeIsUp);
}

TEST_F(QuestionWindowTest, PagingStopsAtTheEndsAndKeepsTheAnswers) {
    begin(WindowMode::Testing, 10);
    EXPECT_EQ(label("lblQuestionNo")->text(), "Вопрос 1 из 3");
    EXPECT_FALSE(action("actPrevious")->isEnabled());
    EXPECT_TRUE(action("actNext")->isEnabled());

    click(frame(2)->btnUpper());  // "5"
    trigger(action("actNext"));
    EXPECT_EQ(given(single_), (std::vector<std::int32_t>{2}));
    EXPECT_EQ(label("lblQuestionNo")->text(), "Вопрос 2 из 3");
    EXPECT_TRUE(action("actPrevious")->isEnabled());
    EXPECT_TRUE(action("actNext")->isEnabled());

    click(frame(1)->btnUpper());
    click(frame(2)->btnUpper());
    trigger(action("actNext"));
    EXPECT_EQ(given(multiple_), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(window_.CurrentQuestion(), sequence_);
    EXPECT_FALSE(action("actNext")->isEnabled());
    EXPECT_TRUE(action("actPrevious")->isEnabled());

    // A sequence is recorded as its order: the place of each answer in the author's order.
    click(frame(0)->btnLower());
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "один", "три"}));
    trigger(action("actPrevious"));
    EXPECT_EQ(given(sequence_), (std::vector<std::int32_t>{1, 0, 2}));
    EXPECT_EQ(frame(1)->UpperPicture(), AnswerButtonPicture::CheckOn);
    EXPECT_EQ(frame(2)->UpperPicture(), AnswerButtonPicture::CheckOn);
    EXPECT_EQ(frame(0)->UpperPicture(), AnswerButtonPicture::CheckOff);
    trigger(action("actPrevious"));
    EXPECT_EQ(frame(2)->UpperPicture(), AnswerButtonPicture::RadioOn);
    EXPECT_EQ(frame(1)->UpperPicture(), AnswerButtonPicture::RadioOff);
    trigger(action("actNext"));
    trigger(action("actNext"));
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "один", "три"}));

    clock_.advance(10 * 60);
    prompts_.expectAsk(kTimeIsUp, QMessageBox::Yes)
        .caption("Предупреждение")
        .icon(QMessageBox::Question)
        .buttons(QMessageBox::Yes | QMessageBox::No);
    exam().Tick();
    EXPECT_FALSE(action("actNext")->isEnabled());
    EXPECT_FALSE(action("actPrevious")->isEnabled());
    EXPECT_EQ(label("lblCountdown")->text(), "0:0:0");
    EXPECT_EQ(textColour(*label("lblCountdown")), kRedText);
    EXPECT_FALSE(window_.findChild<QTimer*>("tmCountdown")->isActive());
    // The question is left, and the state is what the verdict panel tells.
    EXPECT_EQ(window_.CurrentQuestion(), nullptr);
    EXPECT_TRUE(window_.Frames().empty());
    EXPECT_EQ(window_.bgAnswerType()->checkedId(), -1);
    EXPECT_EQ(label("lblVerdict")->text(), "время истекло");
    EXPECT_EQ(textColour(*label("lblVerdict")), kNavyText);
    EXPECT_TRUE(action("actFinish")->isEnabled());
}

TEST_F(QuestionWindowTest, PreparationJudgesTheAnswerOnScreen) {
    begin(WindowMode::Preparation, 10);
    EXPECT_EQ(window_.windowTitle(), "Проверка");
    EXPECT_TRUE(label("lblVerdict")->isVisibleTo(&window_));
    expectVerdict("нет ответа", defaultTextColour(), 0);

    click(frame(0)->btnUpper());  // "3"
    expectVerdict("неверно", kMaroonText, 2);
    click(frame(1)->btnUpper());  // "4"
    expectVerdict("верно", kGreenText, 1);
    EXPECT_EQ(window_.Verdict(), kVerdictRight);

    trigger(action("actNext"));
    expectVerdict("нет ответа", defaultTextColour(), 0);
    click(frame(1)->btnUpper());
    expectVerdict("неверно", kMaroonText, 2);
    click(frame(3)->btnUpper());
    expectVerdict("верно", kGreenText, 1);
    click(frame(3)->btnUpper());
    click(frame(1)->btnUpper());
    expectVerdict("нет ответа", defaultTextColour(), 0);
    click(frame(1)->btnUpper());
    click(frame(3)->btnUpper());

    // Shown in its right order, a sequence is not judged until something moves.
    trigger(action("actNext"));
    EXPECT_EQ(frameTexts(window_), (QStringList{"один", "два", "три"}));
    expectVerdict("нет ответа", defaultTextColour(), 0);
    click(frame(0)->btnLower());
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "один", "три"}));
    expectVerdict("неверно", kMaroonText, 2);
    // Shown again, the recorded order is judged at once.
    trigger(action("actPrevious"));
    trigger(action("actNext"));
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "один", "три"}));
    expectVerdict("неверно", kMaroonText, 2);
    click(frame(1)->btnUpper());
    EXPECT_EQ(frameTexts(window_), (QStringList{"один", "два", "три"}));
    expectVerdict("верно", kGreenText, 1);

    // Coming back to an answered question judges it at once.
    trigger(action("actPrevious"));
    expectVerdict("верно", kGreenText, 1);
    trigger(action("actPrevious"));
    expectVerdict("верно", kGreenText, 1);
}

TEST_F(QuestionWindowTest, PanelsFollowTheMode) {
    begin(WindowMode::Testing, 10);
    EXPECT_FALSE(label("lblVerdict")->isVisibleTo(&window_));
    EXPECT_FALSE(label("lblVerdictPicture")->isVisibleTo(&window_));
    EXPECT_TRUE(label("lblCountdown")->isVisibleTo(&window_));
    EXPECT_TRUE(window_.findChild<QWidget*>("pnBottom")->isVisibleTo(&window_));
    EXPECT_FALSE(window_.pnEditing()->isVisibleTo(&window_));
    EXPECT_FALSE(window_.pnDontMix()->isVisibleTo(&window_));
    EXPECT_FALSE(window_.gbAnswerType()->isEnabled());
    EXPECT_EQ(window_.bgAnswerType()->checkedId(), kSingleAnswer);
    EXPECT_EQ(window_.edQuestion()->toPlainText(), "Сколько будет 2+2?");
    ASSERT_EQ(window_.Frames().size(), 3u);
    EXPECT_EQ(frame(2)->lblTitle()->text(), "Вариант 3");
    EXPECT_TRUE(frame(2)->edText()->isReadOnly());

    // A new mode drops the verdict and the allowance.
    window_.SetMode(WindowMode::Review);
    EXPECT_EQ(exam().TimeAllowance(), 0);
    EXPECT_FALSE(label("lblCountdown")->isVisibleTo(&window_));
    EXPECT_FALSE(label("lblClockPicture")->isVisibleTo(&window_));
    EXPECT_TRUE(label("lblVerdict")->isVisibleTo(&window_));
    window_.Start();
    EXPECT_EQ(window_.windowTitle(), "Просмотр результатов");
    EXPECT_FALSE(window_.findChild<QTimer*>("tmCountdown")->isActive());

    window_.SetMode(WindowMode::Editing);
    EXPECT_FALSE(window_.findChild<QWidget*>("pnLeft")->isVisibleTo(&window_));
    EXPECT_FALSE(window_.findChild<QWidget*>("pnBottom")->isVisibleTo(&window_));
    EXPECT_TRUE(window_.pnEditing()->isVisibleTo(&window_));
    EXPECT_TRUE(window_.pnDontMix()->isVisibleTo(&window_));
    EXPECT_TRUE(window_.gbAnswerType()->isEnabled());
    EXPECT_FALSE(action("actFinish")->isEnabled());
    EXPECT_FALSE(action("actNext")->isEnabled());

    window_.SetQuestionList(nullptr);
    try {
        window_.ShowQuestion(single_);
        ADD_FAILURE() << "a question without a list was shown";
    } catch (const KvalorError& error) {
        EXPECT_EQ(error.message(), "Не задан список вопросов");
    }
    EXPECT_EQ(window_.CurrentQuestion(), nullptr);
}

TEST_F(QuestionWindowTest, ClosingAsksAndResumesTheCountdown) {
    begin(WindowMode::Preparation, 20);
    window_.show();
    const QDateTime started = exam().CountdownStart();

    clock_.advance(90);
    prompts_
        .expectAsk("Результаты теста не будут сохранены.\nЗавершить тестирование?", QMessageBox::No)
        .caption("Предупреждение")
        .icon(QMessageBox::Warning)
        .buttons(QMessageBox::Yes | QMessageBox::No)
        .defaultButton(QMessageBox::No);
    window_.close();
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(study_->State(), kStudyInProgress);

    click(frame(1)->btnUpper());
    clock_.advance(120);
    prompts_.expectAsk("Завершить тестирование?", QMessageBox::No);
    trigger(action("actFinish"));
    EXPECT_TRUE(window_.isVisible());
    EXPECT_EQ(given(single_), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(study_->MinutesUsed(), 3);
    // Resumed from the same start: the time in the dialogs counts.
    EXPECT_EQ(study_->State(), kStudyInProgress);
    EXPECT_TRUE(window_.findChild<QTimer*>("tmCountdown")->isActive());
    EXPECT_EQ(exam().CountdownStart(), started);
    exam().Tick();
    EXPECT_EQ(label("lblCountdown")->text(), "0:16:30");
    expectVerdict("верно", kGreenText, 1);

    prompts_.expectAsk("Завершить тестирование?", QMessageBox::Yes);
    trigger(action("actFinish"));
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(study_->State(), kStudyFinished);
    EXPECT_EQ(window_.Study(), nullptr);
    EXPECT_EQ(window_.QuestionList(), nullptr);
    EXPECT_EQ(window_.CurrentQuestion(), nullptr);
    EXPECT_FALSE(window_.findChild<QTimer*>("tmCountdown")->isActive());
    EXPECT_EQ(window_.VerdictPicture(), 0);
}

TEST_F(QuestionWindowTest, ClosingLeavesTheStateByMode) {
    // Preparation: the run stays in progress, to be discarded.
    begin(WindowMode::Preparation, 20);
    window_.show();
    click(frame(1)->btnUpper());
    prompts_.expectAsk("Результаты теста не будут сохранены.\nЗавершить тестирование?",
                       QMessageBox::Yes);
    window_.close();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(study_->State(), kStudyInProgress);
    EXPECT_TRUE(given(single_).empty());
    EXPECT_EQ(window_.Study(), nullptr);

    // Testing: the run ends as "Завершить" ends it, with the answer on screen and the minutes.
    auto testing = drawStudy(*applicant_, *test_);
    prepare(WindowMode::Testing, *testing, 20);
    window_.show();
    click(frame(1)->btnUpper());
    trigger(action("actNext"));
    click(frame(1)->btnUpper());
    click(frame(3)->btnUpper());
    clock_.advance(5 * 60 + 10);
    prompts_.expectAsk("Завершить тестирование?", QMessageBox::Yes)
        .icon(QMessageBox::Warning)
        .defaultButton(QMessageBox::No);
    window_.close();
    EXPECT_FALSE(window_.isVisible());
    EXPECT_EQ(testing->State(), kStudyFinished);
    EXPECT_EQ(testing->MinutesUsed(), 5);
    const TExamineQuestions& records = testing->Questions();
    EXPECT_EQ(records.Items(records.IndexOfQuestion(*multiple_)).Given,
              (std::vector<std::int32_t>{1, 3}));
    testing->Score();
    EXPECT_EQ(testing->CorrectCount(), 2);
    // No listener is left on the study.
    testing->SetState(kStudyTimeIsUp);
    EXPECT_NE(label("lblVerdict")->text(), "время истекло");
}

TEST_F(QuestionWindowTest, EscapeClosesOnlyTheReview) {
    // No question is asked: Escape is not a way out of an examination.
    for (const WindowMode mode : {WindowMode::Preparation, WindowMode::Testing}) {
        begin(mode, 10);
        window_.show();
        pressKey(frame(0), Qt::Key_Escape);
        pressKey(window_.findChild<QWidget*>("pnBottom"), Qt::Key_Escape);
        EXPECT_TRUE(window_.isVisible()) << int(mode);
        EXPECT_EQ(study_->State(), kStudyInProgress) << int(mode);
        window_.hide();
        window_.SetQuestionList(nullptr);
        window_.SetStudy(nullptr);
    }
    prepare(WindowMode::Review, *study_, 0);
    window_.show();
    pressKey(frame(0), Qt::Key_Escape);
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(QuestionWindowTest, ReviewShowsTheAnswersAsRecorded) {
    begin(WindowMode::Testing, 10);
    trigger(action("actNext"));
    trigger(action("actNext"));
    click(frame(0)->btnLower());  // "два", "один", "три": recorded when left
    trigger(action("actPrevious"));
    trigger(action("actNext"));
    click(frame(1)->btnUpper());  // the right order, but the time is up before it is recorded
    clock_.advance(10 * 60);
    prompts_.expectAsk(kTimeIsUp, QMessageBox::Yes);
    exam().Tick();
    // Another examination has shown the answers of "2+2" in another order since.
    TAnswers& answers = single_->Answers();
    answers.Presentation()->MoveDown(*answers.AnswerAt(0));
    study_->Score();

    prepare(WindowMode::Review, *study_, 0);
    EXPECT_EQ(frameTexts(window_), (QStringList{"3", "4", "5"}));
    trigger(action("actNext"));
    trigger(action("actNext"));
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "один", "три"}));
    expectVerdict("неверно", kMaroonText, 2);
    EXPECT_EQ(frame(0)->UpperPicture(), AnswerButtonPicture::UpDisabled);
    EXPECT_EQ(frame(2)->LowerPicture(), AnswerButtonPicture::DownDisabled);
}

TEST_F(QuestionWindowTest, AnswersAndPagesFromTheKeyboard) {
    begin(WindowMode::Testing, 10);
    window_.show();
    processEvents();
    // The answers take the keyboard; the texts are no stops for it.
    EXPECT_EQ(window_.focusWidget(), frame(0));
    EXPECT_EQ(window_.edQuestion()->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(frame(0)->edText()->focusPolicy(), Qt::NoFocus);
    pressKey(frame(0), Qt::Key_Down);
    EXPECT_EQ(window_.focusWidget(), frame(1));
    pressKey(frame(1), Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_EQ(single_->Answers().CheckedIndexes(), (std::vector<int>{1}));
    pressKey(frame(1), Qt::Key_PageDown);
    EXPECT_EQ(given(single_), (std::vector<std::int32_t>{1}));
    ASSERT_EQ(window_.CurrentQuestion(), multiple_);
    EXPECT_EQ(window_.focusWidget(), frame(0));

    // Space marks and unmarks.
    pressKey(frame(0), Qt::Key_Space, Qt::NoModifier, " ");
    pressKey(frame(0), Qt::Key_Down);
    pressKey(frame(1), Qt::Key_Space, Qt::NoModifier, " ");
    pressKey(frame(1), Qt::Key_Up);
    pressKey(frame(0), Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_EQ(multiple_->Answers().CheckedIndexes(), (std::vector<int>{1}));
    pressKey(frame(0), Qt::Key_Right, Qt::AltModifier);
    ASSERT_EQ(window_.CurrentQuestion(), sequence_);

    // A sequence answer moves, and the keyboard goes with it; beyond the end it stays.
    pressKey(frame(0), Qt::Key_Down, Qt::ControlModifier);
    pressKey(frame(1), Qt::Key_Down, Qt::ControlModifier);
    pressKey(frame(2), Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(frameTexts(window_), (QStringList{"два", "три", "один"}));
    EXPECT_EQ(window_.focusWidget(), frame(2));
    pressKey(frame(2), Qt::Key_Up, Qt::ControlModifier);
    pressKey(frame(1), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(given(sequence_), (std::vector<std::int32_t>{1, 0, 2}));
    EXPECT_EQ(window_.CurrentQuestion(), multiple_);
}

TEST_F(QuestionWindowTest, ShownOverTheMainWindowEachTime) {
    kvalorRoot().SetFontSize(0);
    QWidget main;
    main.setGeometry(100, 150, 500, 400);
    main.show();
    TfmQuestion window(login_, &main);
    window.resize(400, 300);
    // Once moved (to fit the screen, say), a dialog is no longer centred by itself.
    window.move(0, 0);
    // Two places where the window, with the editor's tree beside the question, fits centred
    // on the small screen of the tests.
    for (const QPoint mainAt : {QPoint(100, 150), QPoint(160, 190)}) {
        main.move(mainAt);
        window.show();
        processEvents();
        EXPECT_LE(
            (window.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(), 1)
            << window.x() << "," << window.y();
        window.hide();
    }
}

TEST_F(QuestionWindowTest, AnswerTextsCannotBeSelectedOrCopied) {
    begin(WindowMode::Testing, 10);
    window_.show();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText("до");

    QTextEdit* question = window_.edQuestion();
    question->selectAll();
    pressKey(question, Qt::Key_C, Qt::ControlModifier, "c");
    EXPECT_EQ(clipboard->text(), "до");
    EXPECT_EQ(window_.focusWidget(), window_.findChild<QWidget*>("pnBottom"));

    question->moveCursor(QTextCursor::Start);
    const QPointF inText(10, 10);
    QMouseEvent doubleClick(QEvent::MouseButtonDblClick, inText, question->mapToGlobal(inText),
                            Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(question->viewport(), &doubleClick);
    EXPECT_FALSE(question->textCursor().hasSelection());

    // Clicking an answer's text neither selects it nor marks the answer.
    window_.findChild<QWidget*>("pnLeft")->setFocus();
    mouseClick(frame(1)->edText()->viewport());
    EXPECT_EQ(window_.focusWidget(), window_.findChild<QWidget*>("pnBottom"));
    EXPECT_FALSE(frame(1)->Answer()->Checked());
    EXPECT_EQ(frame(1)->UpperPicture(), AnswerButtonPicture::RadioOff);
}

TEST_F(QuestionWindowTest, FontSizeIsAppliedWhenShown) {
    kvalorRoot().SetFontSize(14);
    begin(WindowMode::Testing, 10);
    window_.show();
    EXPECT_EQ(label("lblQuestion")->font().pointSize(), 14);
    EXPECT_GT(window_.edQuestion()->font().pointSize(), 14);
    EXPECT_TRUE(label("lblCountdown")->font().bold());
    EXPECT_GT(frame(0)->edText()->font().pointSize(), 14);
    // Questions shown later take the size too.
    trigger(action("actNext"));
    EXPECT_EQ(frame(0)->lblTitle()->font().pointSize(), 14);
    EXPECT_GT(frame(0)->edText()->font().pointSize(), 14);
}

TEST_F(QuestionWindowTest, LargerFontKeepsTheWindowOnTheScreen) {
    const QRect area = window_.screen()->availableGeometry();
    window_.move(area.right() - 100, area.bottom() - 100);
    begin(WindowMode::Testing, 10);
    // At 24 points the three answer types side by side are wider than this screen.
    for (const int size : {12, 24}) {
        kvalorRoot().SetFontSize(size);
        for (const WindowMode mode : {WindowMode::Testing, WindowMode::Review}) {
            prepare(mode, *study_, 10);
            window_.show();
            processEvents();
            // Otherwise "Завершить" and the paging buttons would be out of reach.
            const QRect placed = window_.frameGeometry();
            EXPECT_TRUE(area.contains(placed))
                << size << " " << int(mode) << ": " << placed.x() << "," << placed.y() << " "
                << placed.width() << "x" << placed.height();
            // Nor is anything squeezed: the position and the countdown read whole.
            const QWidget* left = window_.findChild<QWidget*>("pnLeft");
            EXPECT_GE(left->width(), left->sizeHint().width()) << size;
            window_.hide();
        }
    }
}

TEST_F(QuestionWindowTest, WorksWithoutBuiltInAccounts) {
    // A load that failed may leave no staff account to extend the time.
    kvalorRoot().Users().Clear();
    applicant_ = &addApplicant("Петров");
    prompts_.expectAsk(kTimeIsUp, QMessageBox::No);
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_EQ(login.findChild<QComboBox*>("cbUser")->count(), 0);
        EXPECT_FALSE(login.findChild<QPushButton*>("btnOk")->isEnabled());
        click(login.findChild<QPushButton*>("btnCancel"));
    });
    begin(WindowMode::Testing, 0);
    EXPECT_EQ(study_->State(), kStudyTimeIsUp);
}

// The answer frame on its own, bound to a presentation list as during an examination.
class AnswerFrameTest : public QuestionWindowTest {
protected:
    std::vector<std::unique_ptr<TfrAnswer>> framesOf(TQuestion& question, bool inert = false) {
        TAnswers& shown = *question.Answers().Presentation();
        std::vector<std::unique_ptr<TfrAnswer>> frames;
        for (int i = 0; i < shown.Count(); ++i) {
            auto frame = std::make_unique<TfrAnswer>(shown, true);
            frame->SetAnswer(shown.AnswerAt(i));
            frame->SetPosition(i + 1);
            frame->SetButtonsInert(inert);
            frames.push_back(std::move(frame));
        }
        return frames;
    }
};

TEST_F(AnswerFrameTest, ChoiceButtonsMarkByTheQuestionType) {
    makeTest(10);
    single_->Answers().PreparePresentation(false);
    auto frames = framesOf(*single_);
    EXPECT_EQ(frames[1]->lblTitle()->text(), "Вариант 2");
    EXPECT_EQ(frames[1]->edText()->toPlainText(), "4");
    EXPECT_TRUE(frames[1]->edText()->isReadOnly());
    EXPECT_EQ(frames[1]->btnUpper()->size(), QSize(25, 25));
    EXPECT_GT(frames[1]->edText()->font().pointSize(), frames[1]->font().pointSize());
    EXPECT_EQ(frames[1]->UpperPicture(), AnswerButtonPicture::RadioOff);
    EXPECT_FALSE(frames[1]->LowerPicture());
    EXPECT_FALSE(frames[1]->btnLower()->isVisibleTo(frames[1].get()));

    click(frames[0]->btnUpper());
    click(frames[1]->btnUpper());
    click(frames[1]->btnUpper());
    for (auto& frame : frames) {
        frame->UpdateButtons();
    }
    EXPECT_EQ(single_->Answers().CheckedIndexes(), (std::vector<int>{1}));
    EXPECT_EQ(frames[1]->UpperPicture(), AnswerButtonPicture::RadioOn);
    EXPECT_EQ(frames[0]->UpperPicture(), AnswerButtonPicture::RadioOff);

    multiple_->Answers().PreparePresentation(false);
    auto checks = framesOf(*multiple_);
    EXPECT_EQ(checks[3]->UpperPicture(), AnswerButtonPicture::CheckOff);
    click(checks[3]->btnUpper());
    click(checks[1]->btnUpper());
    click(checks[3]->btnUpper());
    EXPECT_EQ(multiple_->Answers().CheckedIndexes(), (std::vector<int>{1}));
    EXPECT_EQ(checks[1]->UpperPicture(), AnswerButtonPicture::CheckOn);
    EXPECT_EQ(checks[3]->UpperPicture(), AnswerButtonPicture::CheckOff);

    // A review shows the marks and changes nothing.
    auto inert = framesOf(*multiple_, true);
    click(inert[0]->btnUpper());
    EXPECT_EQ(multiple_->Answers().CheckedIndexes(), (std::vector<int>{1}));
}

TEST_F(AnswerFrameTest, SequenceArrowsMoveWithinTheEnds) {
    makeTest(10);
    sequence_->Answers().PreparePresentation(false);
    auto frames = framesOf(*sequence_);
    TAnswers& shown = *sequence_->Answers().Presentation();
    EXPECT_TRUE(frames[0]->btnLower()->isVisibleTo(frames[0].get()));
    EXPECT_EQ(frames[0]->UpperPicture(), AnswerButtonPicture::UpDisabled);
    EXPECT_EQ(frames[0]->LowerPicture(), AnswerButtonPicture::DownEnabled);
    EXPECT_EQ(frames[1]->UpperPicture(), AnswerButtonPicture::UpEnabled);
    EXPECT_EQ(frames[2]->LowerPicture(), AnswerButtonPicture::DownDisabled);
    frames[1]->btnUpper()->setDown(true);
    frames[1]->UpdateButtons();
    EXPECT_EQ(frames[1]->UpperPicture(), AnswerButtonPicture::UpHeld);
    frames[1]->btnUpper()->setDown(false);

    int changes = 0;
    int movesDown = 0;
    QObject::connect(frames[0].get(), &TfrAnswer::FrameChanged, [&changes] { ++changes; });
    QObject::connect(frames[0].get(), &TfrAnswer::OnMoveDown, [&](TfrAnswer* sender) {
        EXPECT_EQ(sender, frames[0].get());
        ++movesDown;
    });
    // Beyond the top nothing moves and nothing changes.
    click(frames[0]->btnUpper());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(shown.AnswerAt(0)->GetName(), toCp1251("один"));

    click(frames[0]->btnLower());
    EXPECT_EQ(movesDown, 1);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(shown.AnswerAt(0)->GetName(), toCp1251("два"));
    EXPECT_EQ(shown.AnswerAt(1)->GetName(), toCp1251("один"));
    EXPECT_FALSE(sequence_->IsAnsweredRight());
}

}  // namespace
}  // namespace kvalor::examtest
