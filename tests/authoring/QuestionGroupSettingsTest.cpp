#include <optional>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "AuthoringTest.h"

namespace kvalor::examtest {
namespace {

// "Алгебра" (12 questions) and "Химия" (3) are simple tests; "Итог" is a complex test drawing
// 4 questions from "Алгебра".
class QuestionGroupSettingsTest : public AuthoringTest {
protected:
    void SetUp() override {
        AuthoringTest::SetUp();
        algebra_ = &addTest(kGroupKindSimpleTest, "Алгебра", 30);
        for (int i = 0; i < 12; ++i) {
            addQuestion(*algebra_, kSingleAnswer, "?", {"1", "2"}, {0});
        }
        chemistry_ = &addTest(kGroupKindSimpleTest, "Химия", 0);
        for (int i = 0; i < 3; ++i) {
            addQuestion(*chemistry_, kSingleAnswer, "?", {"1", "2"}, {0});
        }
        final_ = &addTest(kGroupKindComplexTest, "Итог", 45);
        task_ = &kvalorRoot().Tasks().Task(kvalorRoot().Tasks().AddTask(*final_, *algebra_));
        task_->QuestionCount = 4;
    }

    // The dialog set up for the test as the tests tree does, not yet closed.
    TfmQuestionGroupSettings& open(TQuestions& test, TTask* task = nullptr) {
        TfmQuestionGroupSettings& dialog = settings();
        dialog.SetGroup(&test);
        dialog.SelectTask(task);
        dialog.show();
        processEvents();
        return dialog;
    }
    static QTableWidgetItem* threshold(TfmQuestionGroupSettings& dialog, int level) {
        return dialog.findChild<QTableWidget*>("sgPointPersent")->item(0, level);
    }
    static void setThresholds(TfmQuestionGroupSettings& dialog, const QStringList& cells) {
        for (int level = 0; level < cells.size(); ++level) {
            threshold(dialog, level)->setText(cells[level]);
        }
    }
    static QTableWidgetItem* chosen(TfmQuestionGroupSettings& dialog, int row) {
        return dialog.findChild<QTableWidget*>("sgTasks")->item(row, 1);
    }

    TQuestions *algebra_, *chemistry_, *final_;
    TTask* task_;
};

TEST_F(QuestionGroupSettingsTest, ThresholdsAndFieldsAreValidated) {
    struct Case {
        QStringList thresholds;
        const char* percent;
        const char* hours;
        const char* name;
        bool valid;
    };
    const Case cases[] = {
        // Zeros are levels left out; the others rise strictly.
        {{"0", "50", "0", "70", "90"}, "50", "1", "Алгебра", true},
        {{"0", "50", "40", "70", "90"}, "50", "1", "Алгебра", false},
        {{"10", "10", "20", "30", "40"}, "50", "1", "Алгебра", false},
        {{"", "", "", "", ""}, "", "", "Алгебра", true},
        {{"-1", "0", "0", "0", "0"}, "50", "1", "Алгебра", false},
        {{"12,5", "12.6", "0", "0", "0"}, "50", "1", "Алгебра", true},
        // No upper limits.
        {{"0", "0", "0", "0", "0"}, "150", "1", "Алгебра", true},
        {{"0", "0", "0", "0", "0"}, "abc", "1", "Алгебра", false},
        {{"0", "0", "0", "0", "0"}, "50", "1,5", "Алгебра", false},
        {{"0", "0", "0", "0", "0"}, "50", "-1", "Алгебра", false},
        {{"0", "0", "0", "0", "0"}, "50", "1", "  ", false},
        {{"0", "0", "0", "0", "0"}, "50", "1", "0", true},
    };
    TfmQuestionGroupSettings& dialog = open(*algebra_);
    for (const Case& c : cases) {
        setThresholds(dialog, c.thresholds);
        dialog.findChild<QLineEdit*>("edValidPercent")->setText(c.percent);
        dialog.findChild<QLineEdit*>("edTimeHour")->setText(c.hours);
        dialog.findChild<QLineEdit*>("edCaption")->setText(c.name);
        EXPECT_EQ(dialog.Validate(), c.valid) << c.thresholds.join(' ').toStdString() << " / "
                                              << c.percent << " / " << c.hours << " / " << c.name;
    }
    // Blanks read as "0", in the cells and the fields.
    setThresholds(dialog, {"", "", "", "", ""});
    dialog.findChild<QLineEdit*>("edTimeMin")->clear();
    dialog.Validate();
    EXPECT_EQ(threshold(dialog, 2)->text(), "0");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeMin")->text(), "0");

    // Invalid values are refused on "Сохранить" and stay as typed.
    dialog.findChild<QLineEdit*>("edCaption")->clear();
    prompts_.expectError("Заданы некорректные значения.");
    trigger(dialog, "actSave");
    EXPECT_EQ(text(algebra_->GetName()), "Алгебра");
    EXPECT_TRUE(dialog.isVisible());
    dialog.findChild<QLineEdit*>("edCaption")->setText("Алгебра");
    prompts_.expectAsk("Сохранить изменения ?", QMessageBox::No);
    click(dialog, "btnClose");
}

TEST_F(QuestionGroupSettingsTest, SavingStoresWhatWasTyped) {
    TfmQuestionGroupSettings& dialog = open(*algebra_);
    EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edQuestionCount")->text(), "12");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeHour")->text(), "0");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeMin")->text(), "30");
    click(dialog, "rbPoint");
    EXPECT_TRUE(dialog.findChild<QTableWidget*>("sgPointPersent")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QLineEdit*>("edValidPercent")->isEnabled());
    setThresholds(dialog, {"0", "12,5", "12.75", "50", "99,5"});
    dialog.findChild<QLineEdit*>("edTimeHour")->setText("1");
    dialog.findChild<QLineEdit*>("edTimeMin")->setText("90");
    dialog.findChild<QLineEdit*>("edCaption")->setText("Алгебра, 7 класс");
    click(dialog, "chbMixQuestions");
    EXPECT_TRUE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
    EXPECT_EQ(dialog.findChild<QAction*>("actSave")->shortcut(), QKeySequence("Ctrl+S"));
    trigger(dialog, "actSave");
    EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());
    EXPECT_EQ(algebra_->GradingMethod(), 1);
    EXPECT_EQ(algebra_->LevelThresholds(), (std::vector<double>{0, 12.5, 12.75, 50, 99.5}));
    EXPECT_EQ(algebra_->Duration(), 150);
    EXPECT_EQ(text(algebra_->GetName()), "Алгебра, 7 класс");
    EXPECT_TRUE(algebra_->MixQuestions());
    click(dialog, "btnClose");
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    // Reopened, the time reads in whole hours.
    open(*algebra_);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeHour")->text(), "2");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edTimeMin")->text(), "30");
    EXPECT_EQ(threshold(dialog, 1)->text().replace(',', '.'), "12.5");
    EXPECT_EQ(dialog.windowTitle(),
              QString("Тест № %1 Алгебра, 7 класс (простой)").arg(algebra_->GetNumber()));
    dialog.reject();
}

TEST_F(QuestionGroupSettingsTest, ClosingOffersWhatIsUnsaved) {
    struct Case {
        const char* typed;  // into "Ценз"; nullptr types nothing
        std::optional<QMessageBox::StandardButton> answer;
        double stored;
    };
    const Case cases[] = {
        {nullptr, std::nullopt, 50},
        {"70", QMessageBox::Yes, 70},
        {"80", QMessageBox::No, 70},
    };
    for (const Case& c : cases) {
        TfmQuestionGroupSettings& dialog = open(*algebra_);
        if (c.typed) {
            dialog.findChild<QLineEdit*>("edValidPercent")->setText(c.typed);
        }
        if (c.answer) {
            prompts_.expectAsk("Сохранить изменения ?", *c.answer)
                .caption("Предупреждение")
                .icon(QMessageBox::Question);
        }
        pressKey(&dialog, Qt::Key_Escape);
        ASSERT_TRUE(prompts_.finished());
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(algebra_->PassPercent(), c.stored);
        EXPECT_EQ(dialog.Group(), nullptr);
        EXPECT_EQ(dialog.findChild<QTabWidget*>("pcPages")->currentIndex(), 0);
    }
    // One wrong value is named, and the dialog stays open until the edits are given up.
    TfmQuestionGroupSettings& wrong = open(*algebra_);
    wrong.findChild<QLineEdit*>("edCaption")->setText("Алгебра 2");
    wrong.findChild<QLineEdit*>("edValidPercent")->setText("много");
    const QString fault =
        "Неверно задан ценз (% правильных ответов): нужно число не меньше 0.\n"
        "Закрыть окно без сохранения изменений ?";
    prompts_.expectAsk(fault, QMessageBox::No)
        .icon(QMessageBox::Warning)
        .defaultButton(QMessageBox::No);
    pressKey(&wrong, Qt::Key_Escape);
    EXPECT_TRUE(wrong.isVisible());
    prompts_.expectAsk(fault, QMessageBox::Yes);
    pressKey(&wrong, Qt::Key_Escape);
    EXPECT_FALSE(wrong.isVisible());
    EXPECT_EQ(text(algebra_->GetName()), "Алгебра");

    // A test without a name is no test.
    TQuestions unnamed(kGroupKindSimpleTest);
    TfmQuestionGroupSettings& dialog = open(unnamed);
    dialog.reject();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(QuestionGroupSettingsTest, TasksOfAComplexTest) {
    TfmQuestionGroupSettings& dialog = open(*final_);
    EXPECT_EQ(dialog.windowTitle(), "Тест № 0 Итог (комплексный)");
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("chbMixQuestionGroups")->isEnabled());
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edQuestionCount")->text(), "4");
    dialog.findChild<QTabWidget*>("pcPages")->setCurrentIndex(1);
    ASSERT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->rowCount(), 1);
    EXPECT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->item(0, 0)->text(), "Алгебра");
    EXPECT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->item(0, 2)->text(), "12");

    // "Добавить" offers only what the test does not draw from yet.
    prompts_.expectModal<TfmSelectObject>([](TfmSelectObject& select) {
        EXPECT_EQ(linesOf(select.findChild<QComboBox*>("ComboBox")), QStringList{"Химия"});
        chooseLine(select.findChild<QComboBox*>("ComboBox"), "Химия");
        click(select, "bbOK");
    });
    trigger(dialog, "miAddTask");
    ASSERT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->rowCount(), 2);
    EXPECT_EQ(linesOf(dialog.findChild<QComboBox*>("cbTasks")), (QStringList{"Алгебра", "Химия"}));

    // "Выбрано" is capped at the source's questions and takes effect at once.
    struct Case {
        const char* typed;
        int stored;
    };
    for (const Case c : {Case{"50", 3}, Case{"2", 2}, Case{"два", 0}, Case{"-4", 0}}) {
        chosen(dialog, 1)->setText(c.typed);
        EXPECT_EQ(kvalorRoot().Tasks().FindTask(*final_, *chemistry_)->QuestionCount, c.stored)
            << c.typed;
        EXPECT_EQ(chosen(dialog, 1)->text(), QString::number(c.stored));
    }
    EXPECT_FALSE(dialog.findChild<QPushButton*>("btnSave")->isEnabled());

    // Through "для задания" the count is stored as typed, more than the source holds too.
    dialog.findChild<QTabWidget*>("pcPages")->setCurrentIndex(0);
    click(dialog, "chbTimeToTasks");
    chooseLine(dialog.findChild<QComboBox*>("cbTasks"), "Алгебра");
    EXPECT_EQ(dialog.findChild<QLineEdit*>("edSelectedQuestions")->text(), "4");
    // No task takes fewer than none.
    dialog.findChild<QLineEdit*>("edSelectedQuestions")->setText("-5");
    prompts_.expectError("Заданы некорректные значения.");
    trigger(dialog, "actSave");
    EXPECT_EQ(task_->QuestionCount, 4);
    dialog.findChild<QLineEdit*>("edSelectedQuestions")->setText("30");
    trigger(dialog, "actSave");
    EXPECT_EQ(task_->QuestionCount, 30);

    dialog.findChild<QTableWidget*>("sgTasks")->selectRow(0);
    trigger(dialog, "miDeleteTask");
    EXPECT_FALSE(kvalorRoot().Tasks().HasTask(*final_, *algebra_));
    EXPECT_EQ(linesOf(dialog.findChild<QComboBox*>("cbTasks")), QStringList{"Химия"});
    dialog.reject();
    EXPECT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->rowCount(), 0);
}

TEST_F(QuestionGroupSettingsTest, SimpleTestListsTheComplexTestsUsingIt) {
    TfmQuestionGroupSettings& dialog = open(*algebra_);
    EXPECT_FALSE(dialog.findChild<QCheckBox*>("chbMixQuestionGroups")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QCheckBox*>("chbMixQuestionBetweenGroups")->isEnabled());
    EXPECT_EQ(dialog.findChild<QTableWidget*>("sgTasks")->rowCount(), 0);
    EXPECT_FALSE(dialog.findChild<QAction*>("miAddTask")->isEnabled());
    EXPECT_EQ(linesOf(dialog.findChild<QComboBox*>("cbTasks")), QStringList{"Итог"});
    EXPECT_TRUE(dialog.findChild<QCheckBox*>("chbTimeToTasks")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QComboBox*>("cbTasks")->isEnabled());
    EXPECT_FALSE(dialog.findChild<QLineEdit*>("edSelectedQuestions")->isEnabled());
    dialog.reject();

    // Without tasks, "для задания" cannot be chosen.
    open(*chemistry_);
    EXPECT_FALSE(dialog.findChild<QCheckBox*>("chbTimeToTasks")->isEnabled());
    dialog.reject();
}

}  // namespace
}  // namespace kvalor::examtest
