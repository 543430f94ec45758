#include <algorithm>

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include "ResultsTest.h"
#include "app/Authorization.h"
#include "question/AnswerFrame.h"
#include "question/QuestionWindow.h"
#include "results/ExportSettings.h"
#include "results/ResultsModel.h"
#include "util/DateTime.h"

namespace kvalor::resultstest {
namespace {

// Types the text into the field key by key, as the user would.
void typeText(QLineEdit* field, const QString& text) {
    for (const QChar c : text) {
        pressKey(field, static_cast<Qt::Key>(c.toUpper().unicode()), Qt::NoModifier, QString(c));
    }
}

void clickHeader(const TfmJournal& window, int column) {
    QHeaderView* header = window.findChild<QTreeView*>("lvStudies")->header();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
    mouseClick(header->viewport(), centre);
}

void doubleClickRow(const TfmJournal& window, int row,
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    const QTreeView* list = window.findChild<QTreeView*>("lvStudies");
    QWidget* viewport = list->viewport();
    const QPointF pos = list->visualRect(window.Model()->index(row, 0)).center();
    const QPointF global = viewport->mapToGlobal(pos);
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                    QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const Qt::MouseButtons buttons =
            type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, global, Qt::LeftButton, buttons, modifiers);
        QCoreApplication::sendEvent(viewport, &event);
    }
    processEvents();
}

QStringList sorted(QStringList lines) {
    lines.sort();
    return lines;
}

QStringList userColumn(const TfmJournal& window) {
    QStringList names;
    for (int row = 0; row < window.Model()->rowCount(); ++row) {
        names << window.Model()->index(row, JournalModel::ColUser).data().toString();
    }
    return names;
}

class JournalTest : public ResultsTest {};

TEST_F(JournalTest, FilterByDatesAndGroupOnTheFilterPanel) {
    TCompetitors& tenth = addUsersGroup(kvalorRoot().Users(), "10 А");
    TCompetitors& club = addUsersGroup(tenth, "кружок");
    TCompetitor& andreev = addApplicant("Андреев", {}, &tenth);
    TCompetitor& borisov = addApplicant("Борисов", {}, &club);
    TCompetitor& volkov = addApplicant("Волков");
    TQuestions& chemistry = yesNoTest("Химия", 2);
    addStudy(andreev, chemistry, at(2005, 1, 31, 10), 1, 1);
    addStudy(andreev, chemistry, at(2005, 2, 1, 9), 1, 1);
    addStudy(borisov, chemistry, at(2005, 2, 1, 23, 59), 1, 1);
    addStudy(volkov, chemistry, at(2005, 2, 2), 1, 1);
    addStudy(volkov, chemistry, at(2005, 2, 5), 1, 1);
    const auto row = [](const char* name, const char* date) {
        return QStringLiteral("%1|Химия|50,00 из 50,00|%2").arg(QString::fromUtf8(name), date);
    };

    struct Case {
        const char* what;
        QString from;
        bool fromOnwards;
        QString to;
        bool toChecked;
        QString group;
        QStringList expected;
    };
    const Case cases[] = {
        {"that day only",
         "01.02.2005",
         false,
         {},
         false,
         {},
         {row("Андреев", "01.02.2005"), row("Борисов", "01.02.2005")}},
        {"from that day on, separators typed otherwise",
         "01,02/2005",
         true,
         {},
         false,
         {},
         {row("Андреев", "01.02.2005"), row("Борисов", "01.02.2005"), row("Волков", "02.02.2005"),
          row("Волков", "05.02.2005")}},
        {"up to the end of the to-date",
         {},
         false,
         "1\\2.2005",
         true,
         {},
         {row("Андреев", "31.01.2005"), row("Андреев", "01.02.2005"),
          row("Борисов", "01.02.2005")}},
        {"an unchecked to-date is ignored",
         {},
         false,
         "01.02.2005",
         false,
         {},
         {row("Андреев", "31.01.2005"), row("Андреев", "01.02.2005"), row("Борисов", "01.02.2005"),
          row("Волков", "02.02.2005"), row("Волков", "05.02.2005")}},
        {"between two days",
         "01.02.2005",
         true,
         "02.02.2005",
         true,
         {},
         {row("Андреев", "01.02.2005"), row("Борисов", "01.02.2005"), row("Волков", "02.02.2005")}},
        {"direct members of the group only",
         {},
         false,
         {},
         false,
         "10 А",
         {row("Андреев", "31.01.2005"), row("Андреев", "01.02.2005")}},
    };
    TfmJournal& window = openJournal();
    EXPECT_EQ(window.windowTitle(), "Журнал тестирования");
    EXPECT_EQ(linesOf(combo(window, "cbCompetitorList")), (QStringList{"10 А", "кружок"}));
    const std::size_t all = kvalorRoot().Studies().Count();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        trigger(mainWindow(), "actJournal");  // shown again: the panel starts anew
        EXPECT_FALSE(window.findChild<QLineEdit*>("edToDate")->isEnabled());
        if (!c.group.isEmpty()) {
            chooseLine(combo(window, "cbCompetitorList"), c.group);
            // The accounts of the subgroups are offered, although the filter leaves them out.
            EXPECT_EQ(linesOf(combo(window, "cbCompetitor")), (QStringList{"Андреев", "Борисов"}));
        }
        typeText(window.findChild<QLineEdit*>("edFromDate"), c.from);
        if (c.fromOnwards) {
            click(window.findChild<QCheckBox*>("chbFromDate"));
        }
        if (!c.to.isEmpty()) {
            click(window.findChild<QCheckBox*>("chbToDate"));
            typeText(window.findChild<QLineEdit*>("edToDate"), c.to);
            if (!c.toChecked) {
                click(window.findChild<QCheckBox*>("chbToDate"));
                EXPECT_FALSE(window.findChild<QLineEdit*>("edToDate")->isEnabled());
            }
        }
        trigger(window.findChild<QAction*>("actSetFilter"));
        EXPECT_EQ(sorted(rows(window)), sorted(c.expected));
        EXPECT_EQ(static_cast<int>(window.FilteredStudies().size()), c.expected.size());
    }
    // What was typed is shown with the date separator; a text that is no date stays, marked,
    // and the filter waits for a date.
    trigger(mainWindow(), "actJournal");
    typeText(window.findChild<QLineEdit*>("edFromDate"), "31,02/2005");
    EXPECT_EQ(window.findChild<QLineEdit*>("edFromDate")->text(), "31.02.2005");
    prompts_.expectInform("«31.02.2005» — не дата. Введите дату в виде 01.03.2024.");
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(window.findChild<QLineEdit*>("edFromDate")->text(), "31.02.2005");
    EXPECT_TRUE(window.findChild<QLineEdit*>("edFromDate")->property("invalidDate").toBool());
    EXPECT_EQ(static_cast<std::size_t>(window.Model()->rowCount()), all);
}

TEST(JournalDates, TwoAndFourDigitYearsInTheOrderOfTheLocale) {
    struct Case {
        const char* locale;
        const char* text;
        QDate expected;
    };
    const Case cases[] = {
        {"ru_RU", "9.12.26", {2026, 12, 9}},   {"ru_RU", "09.12.2026", {2026, 12, 9}},
        {"ru_RU", "31.12.99", {1999, 12, 31}}, {"ru_RU", "1.1.46", {2046, 1, 1}},
        {"ru_RU", "31.02.2026", {}},           {"ru_RU", "32.13.2005", {}},
        {"en_US", "12/9/26", {2026, 12, 9}},   {"en_US", "12/09/2026", {2026, 12, 9}},
        {"de_DE", "9.12.26", {2026, 12, 9}},   {"de_DE", "1.2.05", {2005, 2, 1}},
        {"uk_UA", "09.12.26", {2026, 12, 9}},  {"uk_UA", "9.12.146", {}},
    };
    for (const Case& c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(parseShortDate(QString::fromUtf8(c.text), QDate(2026, 12, 9)), c.expected)
            << c.locale << " " << c.text;
    }
    QLocale::setDefault(QLocale::system());
}

TEST_F(JournalTest, FilterListsFollowTheDataAndTheRowsTheSortMark) {
    TCompetitors& fifth = addUsersGroup(kvalorRoot().Users(), "5 А");
    TCompetitors& tenth = addUsersGroup(kvalorRoot().Users(), "10 А");
    TQuestions& war46 = yesNoTest("Война46", 5);
    TQuestions& war5 = yesNoTest("Война5", 5);
    addGroup(war5, "Глава");
    addStudy(addApplicant("Борисов", {}, &tenth), war46, at(2024, 1, 3), 3, 2);
    addStudy(addApplicant("аверин"), war5, at(2024, 1, 1), 2, 3);
    addStudy(addApplicant("Веселов"), war46, at(2024, 1, 2), 4, 1);
    TfmJournal& window = openJournal();
    EXPECT_EQ(linesOf(combo(window, "cbCompetitorList")), (QStringList{"5 А", "10 А"}));
    click(window.findChild<QRadioButton*>("rbSimple"));
    EXPECT_EQ(linesOf(combo(window, "cbTests")), (QStringList{"Война5", "Война46"}));

    clickHeader(window, JournalModel::ColResult);
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(userColumn(window), (QStringList{"аверин", "Борисов", "Веселов"}));

    // A group deleted meanwhile loses its choice, visibly, before anything is filtered.
    chooseLine(combo(window, "cbCompetitorList"), "5 А");
    chooseLine(combo(window, "cbTests"), "Война46");
    const auto deleted = kvalorRoot().Users().Extract(fifth);
    prompts_.expectInform(
        "Выбранное в списке «Группа» больше не существует, выбор снят.\n"
        "Проверьте фильтр и нажмите «Применить» ещё раз.");
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(combo(window, "cbCompetitorList")->currentIndex(), -1);
    EXPECT_EQ(linesOf(combo(window, "cbCompetitorList")), QStringList{"10 А"});
    EXPECT_EQ(combo(window, "cbTests")->currentText(), "Война46");
    EXPECT_EQ(window.Model()->rowCount(), 3);
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(userColumn(window), (QStringList{"Борисов", "Веселов"}));

    // A test made meanwhile in another window is offered once the journal is active again.
    yesNoTest("Война12", 1);
    selectRows(window, {0});
    trigger(window.actViewAsList());
    ASSERT_NE(mainWindow().mdiArea()->activeSubWindow(), window.parentWidget());
    mainWindow().mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window.parentWidget()));
    EXPECT_EQ(linesOf(combo(window, "cbTests")), (QStringList{"Война5", "Война12", "Война46"}));
    EXPECT_EQ(combo(window, "cbTests")->currentText(), "Война46");
}

TEST_F(JournalTest, EachAccountSeesOnlyWhatItMay) {
    TCompetitor& petrov = addApplicant("Петров", "секрет");
    TCompetitor& sidorov = addApplicant("Сидоров");
    TQuestions& test = yesNoTest("История", 2);
    addStudy(petrov, test, at(2024, 2, 1), 2, 0);
    addStudy(sidorov, test, at(2024, 2, 2), 1, 0);
    addStudy(petrov, test, at(2024, 2, 3), 0, 2);
    addStudy(sidorov, test, at(2024, 2, 4), 0, 0);

    // Staff see every study, the studies of one account together.
    TfmJournal& window = openJournal(TRunMode::Teacher);
    const QStringList all = userColumn(window);
    ASSERT_EQ(all.size(), 4);
    EXPECT_EQ(all[0], all[1]);
    EXPECT_EQ(all[2], all[3]);
    EXPECT_NE(all[1], all[2]);

    // An applicant logged in for the journal sees and filters his own studies only.
    dataModule().SetRunMode(TRunMode::Testing);
    prompts_.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Петров");
        login.findChild<QLineEdit*>("edPassword")->setText("секрет");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    trigger(mainWindow(), "actJournal");
    EXPECT_EQ(sorted(rows(window)), (QStringList{"Петров|История|0,00 из 50,00|03.02.2024",
                                                 "Петров|История|100,00 из 50,00|01.02.2024"}));
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(userColumn(window), (QStringList{"Петров", "Петров"}));

    // The anonymous testing account sees nothing, and its filter changes nothing.
    kvalorRoot().SetCurrentUser(kvalorRoot().Users().Applicant());
    window.FormShow();
    EXPECT_EQ(window.Model()->rowCount(), 0);
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(window.Model()->rowCount(), 0);
    EXPECT_TRUE(window.FilteredStudies().empty());
}

TEST_F(JournalTest, HeaderClicksSortAndReverse) {
    TQuestions& test = yesNoTest("География", 5);
    addStudy(addApplicant("Борисов"), test, at(2024, 1, 3), 3, 2);  // 60 %
    addStudy(addApplicant("аверин"), test, at(2024, 1, 1), 2, 3);   // 40 %
    addStudy(addApplicant("Веселов"), test, at(2024, 1, 2), 4, 1);  // 80 %
    TfmJournal& window = openJournal();
    QHeaderView* header = lvStudies(window)->header();

    struct Step {
        int column;
        Qt::SortOrder order;
        QStringList users;
    };
    const Step steps[] = {
        // "Соискатель" is the sort column from the start: the first click sorts descending.
        {JournalModel::ColUser, Qt::DescendingOrder, {"Веселов", "Борисов", "аверин"}},
        {JournalModel::ColUser, Qt::AscendingOrder, {"аверин", "Борисов", "Веселов"}},
        {JournalModel::ColResult, Qt::AscendingOrder, {"аверин", "Борисов", "Веселов"}},
        {JournalModel::ColResult, Qt::DescendingOrder, {"Веселов", "Борисов", "аверин"}},
        {JournalModel::ColDate, Qt::AscendingOrder, {"аверин", "Веселов", "Борисов"}},
        {JournalModel::ColDate, Qt::DescendingOrder, {"Борисов", "Веселов", "аверин"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.column);
        clickHeader(window, step.column);
        EXPECT_EQ(header->sortIndicatorSection(), step.column);
        EXPECT_EQ(header->sortIndicatorOrder(), step.order);
        EXPECT_EQ(userColumn(window), step.users);
    }
    // The selection follows its study through a sort.
    selectRows(window, {0});
    clickHeader(window, JournalModel::ColDate);
    EXPECT_EQ(lvStudies(window)->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(lvStudies(window)->selectionModel()->selectedRows().at(0).data().toString(),
              "Борисов");
}

TEST_F(JournalTest, DeletingFilteredStudiesRemovesThemFromTheDataAndTheResultsView) {
    TCompetitor& andreev = addApplicant("Андреев");
    TCompetitor& volkov = addApplicant("Волков");
    TQuestions& test = yesNoTest("Химия", 2);
    addStudy(andreev, test, at(2005, 2, 1, 9), 1, 1);
    addStudy(andreev, test, at(2005, 2, 1, 15), 2, 0);
    TStudy& kept = addStudy(volkov, test, at(2005, 2, 2), 0, 2);
    TfmJournal& window = openJournal();
    selectAll(window);
    trigger(window.actViewAsList());
    ASSERT_NE(resultsView(), nullptr);
    EXPECT_EQ(resultsView()->Model()->rowCount(), 3);

    typeText(window.findChild<QLineEdit*>("edFromDate"), "01.02.2005");
    trigger(window.findChild<QAction*>("actSetFilter"));
    ASSERT_EQ(window.Model()->rowCount(), 2);
    selectAll(window);
    const QString question =
        "Удалить выбранные результаты тестирования: 2?\nУдалённые результаты вернуть нельзя.";
    prompts_.expectAsk(question, QMessageBox::No).defaultButton(QMessageBox::No);
    trigger(window.findChild<QAction*>("actDelete"));
    EXPECT_EQ(kvalorRoot().Studies().Count(), 3);
    prompts_.expectAsk(question, QMessageBox::Yes);
    trigger(window.findChild<QAction*>("actDelete"));

    EXPECT_EQ(window.Model()->rowCount(), 0);
    EXPECT_TRUE(window.FilteredStudies().empty());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    EXPECT_EQ(&kvalorRoot().Studies().StudyAt(0), &kept);
    EXPECT_EQ(resultsView()->Studies(), StudyView{&kept});
    EXPECT_EQ(resultsView()->Model()->rowCount(), 1);
    EXPECT_FALSE(window.findChild<QAction*>("actDelete")->isEnabled());
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(window.Model()->rowCount(), 0);
    // Clearing after a filter that found nothing lists everything again.
    trigger(window.findChild<QAction*>("actClearFilter"));
    EXPECT_EQ(userColumn(window), QStringList{"Волков"});
    EXPECT_TRUE(window.findChild<QLineEdit*>("edFromDate")->text().isEmpty());
    // With its last study gone the results view says so instead of exporting nothing.
    selectAll(window);
    prompts_.expectAsk(
        "Удалить выбранный результат тестирования?\nУдалённые результаты вернуть "
        "нельзя.",
        QMessageBox::Yes);
    trigger(window.findChild<QAction*>("actDelete"));
    prompts_.expectInform("Нет результатов для экспорта.");
    trigger(resultsView()->findChild<QAction*>("actExport"));
}

TEST_F(JournalTest, ReviewShowsTheChosenCategoriesInTheOrderOfTheRun) {
    TCompetitor& pupil = addApplicant("Ученик");
    TQuestions& test = yesNoTest("Логика", 3);
    TStudy& mixed = addStudy(pupil, test, at(2024, 2, 1), 1, 1);  // right, wrong, unanswered
    mixed.Questions().Items(1).Order = {1, 0};                    // "нет" was shown first
    TStudy& perfect = addStudy(pupil, test, at(2024, 2, 2), 3, 0);
    TfmJournal& window = openJournal();
    const int mixedRow = window.Model()->StudyAt(0) == &mixed ? 0 : 1;

    selectRows(window, {mixedRow});
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Параметры просмотра");
        for (const QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            EXPECT_TRUE(box->isEnabled() && box->isChecked()) << box->text().toStdString();
        }
        click(dialog.chbValid());
        click(dialog.findChild<QPushButton*>("Button1"));
    });
    prompts_.expectModal<TfmQuestion>([](TfmQuestion& review) {
        EXPECT_EQ(review.windowTitle(), "Просмотр результатов");
        ASSERT_NE(review.QuestionList(), nullptr);
        EXPECT_EQ(review.QuestionList()->Count(), 2);
        EXPECT_EQ(text(review.CurrentQuestion()->GetName()), "Вопрос 2");
        ASSERT_EQ(review.Frames().size(), 2u);
        EXPECT_EQ(review.Frames()[0]->edText()->toPlainText(), "нет");
        EXPECT_EQ(review.Frames()[1]->edText()->toPlainText(), "да");
        review.reject();
    });
    trigger(window.findChild<QAction*>("actViewAsStudy"));
    EXPECT_EQ(questionWindow(mainWindow()).Study(), nullptr);
    EXPECT_EQ(questionWindow(mainWindow()).QuestionList(), nullptr);

    // Without wrong or unanswered questions those boxes are off; cancelled, nothing opens.
    selectRows(window, {1 - mixedRow});
    ASSERT_EQ(window.Model()->StudyAt(1 - mixedRow), &perfect);
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_TRUE(dialog.chbValid()->isEnabled());
        EXPECT_FALSE(dialog.chbInvalid()->isEnabled());
        EXPECT_FALSE(dialog.chbEmpty()->isEnabled());
        EXPECT_TRUE(dialog.chbValid()->isChecked());  // checked again for every review
        click(dialog.chbValid());
        click(dialog.findChild<QPushButton*>("Button2"));
    });
    trigger(window.findChild<QAction*>("actViewAsStudy"));
    EXPECT_TRUE(prompts_.finished());

    // The results export starts from its own boxes, whatever the reviews did.
    trigger(window.actViewAsList());
    prompts_.expectModal<TfmExportSettings>([](TfmExportSettings& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Параметры экспорта");
        for (const QCheckBox* box : dialog.findChildren<QCheckBox*>()) {
            EXPECT_TRUE(box->isEnabled() && box->isChecked()) << box->text().toStdString();
        }
        click(dialog.findChild<QPushButton*>("Button2"));
    });
    trigger(resultsView()->findChild<QAction*>("actExport"));
}

TEST_F(JournalTest, DoubleClickContextMenuAndDragToTheResultsView) {
    TQuestions& test = yesNoTest("Физика", 1);
    addStudy(addApplicant("Андреев"), test, at(2024, 2, 1), 1, 0);
    addStudy(addApplicant("Волков"), test, at(2024, 2, 2), 0, 1);
    TfmJournal& window = openJournal();
    EXPECT_FALSE(window.actViewAsList()->isEnabled());
    EXPECT_FALSE(window.findChild<QAction*>("actViewAsStudy")->isEnabled());

    // One row: the menu of "Список" and "Задание" at the mouse.
    doubleClickRow(window, 0);
    EXPECT_TRUE(window.findChild<QMenu*>("pmList")->isVisible());
    EXPECT_TRUE(window.findChild<QAction*>("actViewAsStudy")->isEnabled());
    window.findChild<QMenu*>("pmList")->hide();
    EXPECT_EQ(resultsView(), nullptr);

    // Several rows (a double click with Shift extends the selection): "Список" at once.
    lvStudies(window)->setCurrentIndex(window.Model()->index(0, 0));
    doubleClickRow(window, 1, Qt::ShiftModifier);
    EXPECT_FALSE(window.findChild<QAction*>("actViewAsStudy")->isEnabled());
    EXPECT_TRUE(window.findChild<QAction*>("actDelete")->isEnabled());
    EXPECT_EQ(lvStudies(window)->selectionModel()->selectedRows().size(), 2);
    ASSERT_NE(resultsView(), nullptr);
    EXPECT_EQ(resultsView()->Studies().size(), 2u);

    // Rows dragged from the journal's list show its selection; any other drag is refused.
    selectRows(window, {1});
    QWidget* target = resultsView()->findChild<QTreeView*>("vstResults")->viewport();
    const QPoint centre = target->rect().center();
    std::unique_ptr<QMimeData> foreign(new QMimeData);
    foreign->setText("Андреев");
    QDragEnterEvent refused(centre, Qt::CopyAction, foreign.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &refused);
    EXPECT_FALSE(refused.isAccepted());
    QDropEvent ignoredDrop(centre, Qt::CopyAction, foreign.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &ignoredDrop);
    EXPECT_EQ(resultsView()->Studies().size(), 2u);

    std::unique_ptr<QMimeData> rowsData(
        window.Model()->mimeData(lvStudies(window)->selectionModel()->selectedIndexes()));
    QDragEnterEvent accepted(centre, Qt::CopyAction, rowsData.get(), Qt::LeftButton,
                             Qt::NoModifier);
    QCoreApplication::sendEvent(target, &accepted);
    EXPECT_TRUE(accepted.isAccepted());
    QDropEvent drop(centre, Qt::CopyAction, rowsData.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    processEvents();
    EXPECT_EQ(resultsView()->Studies(), StudyView{window.Model()->StudyAt(1)});
}

// Results imported from elsewhere may name an account or a test this data does not have.
TEST_F(JournalTest, StudiesOfForeignAccountsAndTestsShowWithEmptyNames) {
    TCompetitors& group = addUsersGroup(kvalorRoot().Users(), "9 Б");
    TCompetitor& known = addApplicant("Козлов", {}, &group);
    TQuestions& test = yesNoTest("Алгебра", 2);
    addStudy(known, test, at(2024, 2, 1), 2, 0);
    TStudy& foreign = addStudy(known, test, at(2024, 2, 2), 1, 0);
    foreign.SetUser(nullptr);
    foreign.SetTest(nullptr);
    foreign.SetUserId(Guid::fromLiteral("{0BADF00D-0000-4000-8000-000000000001}"));

    TfmJournal& window = openJournal();
    EXPECT_EQ(sorted(rows(window)),
              (QStringList{"|||02.02.2024", "Козлов|Алгебра|100,00 из 50,00|01.02.2024"}));
    clickHeader(window, JournalModel::ColUser);
    clickHeader(window, JournalModel::ColUser);
    EXPECT_EQ(userColumn(window), (QStringList{"", "Козлов"}));
    chooseLine(combo(window, "cbCompetitorList"), "9 Б");
    trigger(window.findChild<QAction*>("actSetFilter"));
    EXPECT_EQ(userColumn(window), QStringList{"Козлов"});

    trigger(window.findChild<QAction*>("actClearFilter"));
    selectAll(window);
    trigger(window.actViewAsList());
    ResultsModel& model = *resultsView()->Model();
    ASSERT_EQ(model.rowCount(), 2);
    const QModelIndex foreignUser = model.index(window.Model()->StudyAt(0) == &foreign ? 0 : 1, 0);
    EXPECT_EQ(foreignUser.data().toString(), "");
    EXPECT_EQ(model.index(0, 0, foreignUser).data().toString(), "");
    EXPECT_EQ(model.rowCount(model.index(0, 0, foreignUser)), 2);
}

}  // namespace
}  // namespace kvalor::resultstest
