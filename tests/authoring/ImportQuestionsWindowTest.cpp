// "Импорт вопросов..." of the tests tree: where the questions go, what the tree shows, the report.

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include "AuthoringTest.h"
#include "authoring/ImportReportDialog.h"

namespace kvalor::examtest {
namespace {

// One question before any category, two in "Площади" and one left out.
const QByteArray kAreas =
    "Сколько будет 2+2? {=4 ~5}\n\n$CATEGORY: $course$/top/Площади\n\n"
    "Площадь квадрата? {=a*a ~4a}\n\nСопоставьте {=a -> 1 =b -> 2}\n\n"
    "Площадь круга? {~2пr =пr*r}\n";

// "Алгебра" holds two questions directly, "Геометрия" the group "Окружности" of one; "Итог"
// draws one question from each.
class ImportQuestionsWindowTest : public AuthoringTest {
protected:
    void SetUp() override {
        AuthoringTest::SetUp();
        algebra_ = &addTest(kGroupKindSimpleTest, "Алгебра", 0);
        addQuestion(*algebra_, kSingleAnswer, "1+1", {"2", "3"}, {0});
        addQuestion(*algebra_, kSingleAnswer, "2+1", {"3", "4"}, {0});
        geometry_ = &addTest(kGroupKindSimpleTest, "Геометрия", 0);
        circles_ = &addGroup(*geometry_, "Окружности");
        addQuestion(*circles_, kSingleAnswer, "Радиус", {"r", "d"}, {0});
        TQuestions& final = addTest(kGroupKindComplexTest, "Итог", 0);
        TTaskList& tasks = kvalorRoot().Tasks();
        for (TQuestions* source : {algebra_, geometry_}) {
            tasks.Task(tasks.AddTask(final, *source)).QuestionCount = 1;
        }
        kvalorRoot().SimpleTests().Renumber();
        window();
    }

    QString write(const QString& name, const QByteArray& bytes) {
        QFile file(dir_.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        return file.fileName();
    }

    void expectFiles(const QStringList& files) {
        prompts_.expectOpenFiles(files)
            .caption("Импорт вопросов")
            .filter("Вопросы GIFT, Aiken и Moodle XML (*.gift *.txt *.xml)");
    }

    // Imports the files and returns the lines of the report, which Enter closes.
    QStringList import(const QStringList& files) {
        expectFiles(files);
        QStringList lines;
        prompts_.expectModal<TfmImportReport>([&lines](TfmImportReport& dialog) {
            lines = dialog.findChild<QPlainTextEdit*>("mmReport")->toPlainText().split('\n');
            pressKey(dialog.findChild<QPlainTextEdit*>("mmReport"), Qt::Key_Return);
        });
        trigger(named(window(), "actSmpImportQuestions"));
        prompts_.verify();
        return lines;
    }

    IExaminerItem* current() { return modelOf(simple()).NodeOf(simple()->currentIndex())->Item; }

    QTemporaryDir dir_;
    TQuestions *algebra_, *geometry_, *circles_;
};

TEST_F(ImportQuestionsWindowTest, FocusedNodeDecidesTheTargetAndTheTreeShowsWhatCameIn) {
    const QString file = write("areas.gift", kAreas);
    const struct {
        const IExaminerItem* focused;
        TQuestions *target, *test;
        QStringList tree;    // the target's nodes, then those of its new group "Площади"
        QStringList counts;  // of the test in the simple tree, of its task in the complex one
        QString reported;
    } cases[] = {
        {algebra_,
         algebra_,
         algebra_,
         {"Вопрос 1", "Вопрос 2", "Вопрос 3", "Площади", "Вопрос 4", "Вопрос 5"},
         {"5", "1 из 5"},
         "Импортировано вопросов: 3 в тест «Алгебра»"},
        // A focused question: the collection that holds it, where "Вопрос" adds too.
        {circles_->Items(0),
         circles_,
         geometry_,
         {"Вопрос 1", "Вопрос 2", "Площади", "Вопрос 3", "Вопрос 4"},
         {"4", "1 из 4"},
         "Импортировано вопросов: 3 в группу «Окружности»"},
    };
    for (const auto& c : cases) {
        focus(simple(), c.focused);
        EXPECT_EQ(import({file}).first(), c.reported);
        EXPECT_EQ(childTexts(simple(), c.target) +
                      childTexts(simple(), c.target->Items(c.target->Count() - 1)),
                  c.tree);
        EXPECT_EQ((QStringList{texts(simple(), c.test)[1], texts(complex(), c.test)[1]}), c.counts);
        // The target alone is selected, open on what came in.
        EXPECT_EQ(current(), c.target);
        EXPECT_EQ(SelectedNodes(*simple()).size(), 1u);
        EXPECT_TRUE(simple()->isExpanded(simple()->currentIndex()));
    }
}

TEST_F(ImportQuestionsWindowTest, WithoutFocusEachFileBecomesANewTest) {
    EXPECT_TRUE(named(window(), "actSmpImportQuestions")->isEnabled());
    const QStringList report = import({write("Физика.gift", "Сила? {=Н ~Дж}\n\nРабота? {=Дж ~Н}"),
                                       write("Эссе.txt", "Опишите опыт {}\n")});
    // A file of which nothing came in makes no test.
    EXPECT_EQ(childTexts(simple(), nullptr), (QStringList{"Алгебра", "Геометрия", "Физика"}));
    EXPECT_EQ(current(), kvalorRoot().SimpleTests().Items(2));
    EXPECT_EQ(childTexts(simple(), current()), (QStringList{"Вопрос 1", "Вопрос 2"}));
    EXPECT_EQ(report.mid(0, 5),
              (QStringList{"Файл Физика.gift", "Импортировано вопросов: 2 в новый тест «Физика»",
                           "", "Файл Эссе.txt", "Импортировано вопросов: 0"}));
}

TEST_F(ImportQuestionsWindowTest, FileThatFailsToReadChangesNothing) {
    focus(simple(), algebra_);
    const QString missing = dir_.filePath("none.gift");
    // The good file is not imported either.
    expectFiles({write("good.gift", kAreas), missing});
    prompts_.expectError("Не удалось открыть файл «" + missing + "».");
    trigger(named(window(), "actSmpImportQuestions"));
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), 2);
    EXPECT_EQ(childTexts(simple(), algebra_), (QStringList{"Вопрос 1", "Вопрос 2"}));
}

TEST_F(ImportQuestionsWindowTest, ReportListsLeftOutQuestionsToCopyAndEscapeCloses) {
    focus(simple(), algebra_);
    expectFiles({write("areas.gift", kAreas)});
    QString copied;
    prompts_.expectModal<TfmImportReport>([&copied](TfmImportReport& dialog) {
        pressKey(dialog.findChild<QPlainTextEdit*>("mmReport"), Qt::Key_A, Qt::ControlModifier);
        pressKey(dialog.findChild<QPlainTextEdit*>("mmReport"), Qt::Key_C, Qt::ControlModifier);
        copied = QApplication::clipboard()->text();
        pressKey(dialog.findChild<QPlainTextEdit*>("mmReport"), Qt::Key_Escape);
    });
    trigger(named(window(), "actSmpImportQuestions"));
    const QStringList lines = copied.split('\n');
    EXPECT_TRUE(lines.contains("Пропущено вопросов: 1"));
    EXPECT_TRUE(lines.last().startsWith("Строка 7: пропущено «Сопоставьте»"))
        << copied.toStdString();
}

TEST_F(ImportQuestionsWindowTest, ExportedQuestionsComeBackAsANewTestInEitherFormat) {
    for (const char* name : {"Геометрия.xml", "Геометрия.gift"}) {
        SCOPED_TRACE(name);
        focus(simple(), circles_);
        prompts_.expectSaveFile(dir_.filePath(name));
        prompts_.expectInform("Записано вопросов: 1");
        trigger(named(window(), "actSmpExportQuestions"));
        prompts_.verify();
        simple()->setCurrentIndex({});
        import({dir_.filePath(name)});
        EXPECT_EQ(childTexts(simple(), current()), (QStringList{"Окружности"}));
        const auto* group =
            dynamic_cast<TQuestions*>(static_cast<TQuestions*>(current())->Items(0));
        ASSERT_TRUE(group && group->Count() == 1);
        EXPECT_EQ(fromCp1251(group->Items(0)->GetName()), "Радиус");
    }
}

}  // namespace
}  // namespace kvalor::examtest
