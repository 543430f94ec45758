#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "exchange/TestWorkbook.h"
#include "exchange/WorkbookTestSupport.h"
#include "exchange/XlsxWorkbook.h"
#include "util/Error.h"

using namespace kvalor;
using namespace kvalor::testdata;
using namespace kvalor::workbooktest;

namespace {

class TestWorkbookTest : public WorkbookTest {
protected:
    // One question in the test itself, then two groups, the first with a group inside it.
    TQuestions& BuildTest() {
        TQuestions& test = data_.AddTest(u("История"));
        addQuestion(test, kSingleAnswer, u("Год основания?"), {u("1147"), u("1240")}, {0});
        TQuestions& first = addGroup(test, u("Древность"));
        addQuestion(first, kMultipleAnswers, u("Города"), {u("Рим"), u("Тула"), u("Афины")},
                    {0, 2});
        TQuestions& inner = addGroup(first, u("Греция"));
        addQuestion(inner, kSequence, u("По порядку"), {u("А"), u("Б"), u("В")});
        TQuestions& second = addGroup(test, u("Новое время"));
        addQuestion(second, kSingleAnswer, u("Кто?"), {u("Пётр"), u("Иван")}, {0});
        return test;
    }

    ExportData data_;
};

TEST_F(TestWorkbookTest, AnswersMarkedAndFramedOnePageWide) {
    const QString file = ExportTest(BuildTest(), true, path("test.xlsx"));
    EXPECT_EQ(file, path("test.xlsx"));
    KVALOR_READ_WORKBOOK(book, file);

    // Question numbers run on across the groups; sequences show the right place.
    EXPECT_EQ(rows(book, 3), QStringList({
                                 u("История||"),
                                 u("Вопрос 1|Год основания?|"),
                                 u("Ответ 1|1147|+"),
                                 u("Ответ 2|1240|"),
                                 u("Древность||"),
                                 u("Вопрос 2|Города|"),
                                 u("Ответ 1|Рим|+"),
                                 u("Ответ 2|Тула|"),
                                 u("Ответ 3|Афины|+"),
                                 u("Греция||"),
                                 u("Вопрос 3|По порядку|"),
                                 u("Ответ 1|А|1"),
                                 u("Ответ 2|Б|2"),
                                 u("Ответ 3|В|3"),
                                 u("Новое время||"),
                                 u("Вопрос 4|Кто?|"),
                                 u("Ответ 1|Пётр|+"),
                                 u("Ответ 2|Иван|"),
                             }));
    EXPECT_EQ(merged(book), QStringList({u("A1:C1"), u("A5:C5"), u("A10:C10"), u("A15:C15")}));

    struct Expected {
        const char* cell;
        bool bold;
        double size;
        const char* halign;
        const char* valign;
        bool wrap;
        int indent;
        const char* borders;
    };
    const Expected expected[] = {
        {"A1", true, 10, "center", "top", false, 0, ""},       // test title
        {"A2", false, 10, "left", "top", false, 1, "LRTB"},    // question, indented
        {"B2", false, 10, "general", "top", true, 0, "LRTB"},  // question text
        {"C2", true, 10, "center", "top", false, 0, "LRTB"},   // marks column
        {"A3", false, 9, "left", "top", false, 3, "LR"},       // answer
        {"B3", false, 9, "general", "top", true, 0, "LR"},     // answer text
        {"C3", true, 10, "center", "top", false, 0, "LR"},     // mark
        {"A5", true, 10, "center", "top", false, 0, ""},       // group title
        {"C12", true, 10, "center", "top", false, 0, "LR"},    // place of a sequence answer
        {"A18", false, 9, "left", "top", false, 3, "LRB"},     // the last row closes the box
        {"C18", true, 10, "center", "top", false, 0, "LRB"},
    };
    for (const Expected& e : expected) {
        const QJsonObject c = cell(book, QString::fromLatin1(e.cell));
        SCOPED_TRACE(e.cell);
        EXPECT_EQ(c["bold"].toBool(), e.bold);
        EXPECT_EQ(c["size"].toDouble(), e.size);
        EXPECT_EQ(c["halign"].toString(), QString::fromLatin1(e.halign));
        EXPECT_EQ(c["valign"].toString(), QString::fromLatin1(e.valign));
        EXPECT_EQ(c["wrap"].toBool(), e.wrap);
        EXPECT_EQ(c["indent"].toInt(), e.indent);
        EXPECT_EQ(c["borders"].toString(), QString::fromLatin1(e.borders));
    }
    EXPECT_DOUBLE_EQ(width(book, "A"), 18);
    EXPECT_DOUBLE_EQ(width(book, "B"), 60);
    const QJsonObject page = book["page"].toObject();
    EXPECT_EQ(page["paper"].toInt(), 9);
    EXPECT_EQ(page["orientation"].toString(), u("portrait"));
    EXPECT_TRUE(page["fitToPage"].toBool());
    EXPECT_EQ(page["fitToWidth"].toInt(), 1);
    EXPECT_EQ(page["fitToHeight"].toInt(), 30000);
    EXPECT_EQ(page["printArea"].toString(), u("$A$1:$C$18"));
}

TEST_F(TestWorkbookTest, WithoutAnswersTwoColumnsAndEmptyTestOnlyItsTitle) {
    const QString file = ExportTest(BuildTest(), false, path("questions.xlsx"));
    KVALOR_READ_WORKBOOK(book, file);
    EXPECT_EQ(rows(book, 3),
              QStringList({u("История||"), u("Вопрос 1|Год основания?|"), u("Древность||"),
                           u("Вопрос 2|Города|"), u("Греция||"), u("Вопрос 3|По порядку|"),
                           u("Новое время||"), u("Вопрос 4|Кто?|")}));
    EXPECT_EQ(merged(book), QStringList({u("A1:B1"), u("A3:B3"), u("A5:B5"), u("A7:B7")}));
    EXPECT_FALSE(book["cells"].toObject().contains(u("C2")));
    EXPECT_EQ(cell(book, u("B8"))["borders"].toString(), u("LRTB"));
    EXPECT_EQ(book["page"].toObject()["printArea"].toString(), u("$A$1:$B$8"));

    // A test without questions: its title alone, and a title row gets no closing line.
    const QString empty = ExportTest(data_.AddTest(u("Пустой")), true, path("empty.xlsx"));
    KVALOR_READ_WORKBOOK(emptyBook, empty);
    EXPECT_EQ(emptyBook["rows"].toInt(), 1);
    EXPECT_EQ(value(emptyBook, u("A1")), u("Пустой"));
    EXPECT_EQ(merged(emptyBook), QStringList({u("A1:C1")}));
    EXPECT_EQ(cell(emptyBook, u("A1"))["borders"].toString(), u(""));
}

TEST_F(TestWorkbookTest, FreshFilesInTheTemporaryFolderAndNothingLeftOnFailure) {
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir_.path()));
    TQuestions& test = BuildTest();
    const QString first = ExportTest(test, true);
    const QString second = ExportTest(test, true);
    qputenv("TMPDIR", oldTemp);
    EXPECT_NE(first, second);
    for (const QString& file : {first, second}) {
        EXPECT_EQ(QFileInfo(file).absolutePath(), QFileInfo(dir_.path()).absoluteFilePath());
        EXPECT_TRUE(file.endsWith(u(".xlsx")));
        EXPECT_GT(QFileInfo(file).size(), 0);
    }

    // An export that cannot be written says so and leaves the folder as it was.
    const QStringList before = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    try {
        ExportTest(test, true, path("missing/test.xlsx"));
        FAIL() << "no error";
    } catch (const KvalorError& error) {
        EXPECT_EQ(error.message(), u(kExcelInitMessage));
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden), before);
}

// Like any file the user's programs write: a new one as the umask allows, a replaced one as it was.
TEST_F(TestWorkbookTest, ModeFromTheUmaskOrTheReplacedFile) {
    TQuestions& test = BuildTest();
    const mode_t oldMask = ::umask(027);
    const QString file = ExportTest(test, true, path("mode.xlsx"));
    ::umask(oldMask);
    struct stat written;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0640u);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0600), 0);
    ExportTest(test, true, file);
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &written), 0);
    EXPECT_EQ(written.st_mode & 0777, 0600u);
}

}  // namespace
