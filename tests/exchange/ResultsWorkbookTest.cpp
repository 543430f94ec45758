#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "exchange/ResultsWorkbook.h"
#include "exchange/WorkbookTestSupport.h"
#include "util/Error.h"

using namespace kvalor;
using namespace kvalor::testdata;
using namespace kvalor::workbooktest;

namespace {

class ResultsWorkbookTest : public WorkbookTest {
protected:
    // Иванов's chemistry: answers of the first question shown in reverse, the fifth question
    // deleted after the run, an answer of the sixth gone; Петров's biology, graded.
    void BuildStudies() {
        TQuestions& chemistry = data_.AddTest(u("Химия"));
        addQuestion(chemistry, kSingleAnswer, u("Столица?"), {u("Париж"), u("Лондон"), u("Рим")},
                    {0});
        addQuestion(chemistry, kMultipleAnswers, u("Чётные"), {u("2"), u("3"), u("4")}, {0, 2});
        addQuestion(chemistry, kSequence, u("По порядку"), {u("а"), u("б"), u("в")});
        addQuestion(chemistry, kSingleAnswer, u("Пусто?"), {u("x"), u("y")}, {0});
        addQuestion(chemistry, kSingleAnswer, u("Удалённый"), {u("x"), u("y")}, {0});
        addQuestion(chemistry, kSingleAnswer, u("Последний?"), {u("да"), u("нет")}, {0});
        TQuestions& biology = data_.AddTest(u("Биология"), 1);
        addQuestion(biology, kSingleAnswer, u("Кит?"), {u("млекопитающее"), u("рыба")}, {0});
        TCompetitors& group = data_.AddUsersGroup(u("9А"));
        TStudy& ivanov =
            data_.AddStudy(data_.AddUser(u("Иванов"), &group), chemistry, at(2024, 3, 5), "RWW-RR");
        data_.AddStudy(data_.AddUser(u("Петров"), &group), biology, at(2024, 4, 1), "R");
        ivanov.Questions().Items(0).Order = {2, 1, 0};
        ivanov.Questions().Items(4).Question = nullptr;
        ivanov.Questions().Items(5).Order = {0, 7};
    }

    ExportData data_;
};

TEST_F(ResultsWorkbookTest, StudiesInDetailWithTheKeyOnlyWhenAllowed) {
    BuildStudies();
    ResultsExportOptions options;
    options.showKey = true;
    const QString file = ExportResults(data_.Studies(), options, path("results.xlsx"));
    KVALOR_READ_WORKBOOK(book, file);
    const QStringList expected = {
        u("Биология|||"),
        u("Группа : 9А|||"),
        u("Петров дата 01.04.2024 оценка 5 (100,00)|||"),
        u("Вопрос №1|верно|Кит?|"),
        u("Ответ №1|+|млекопитающее|+"),
        u("Ответ №2||рыба|"),
        u("Химия|||"),
        u("Группа : 9А|||"),
        u("Иванов дата 05.03.2024 сдан (50,00 из 50,00)|||"),
        u("Вопрос №1|верно|Столица?|"),
        u("Ответ №1||Рим|"),
        u("Ответ №2||Лондон|"),
        u("Ответ №3|+|Париж|+"),
        u("Вопрос №2|неверно|Чётные|"),
        u("Ответ №1||2|+"),
        u("Ответ №2|-|3|"),
        u("Ответ №3||4|+"),
        u("Вопрос №3|неверно|По порядку|"),
        u("Ответ №1|-|а|1"),
        u("Ответ №2|-|б|2"),
        u("Ответ №3|+|в|3"),
        u("Вопрос №4|нет ответа|Пусто?|"),
        u("Ответ №1||x|+"),
        u("Ответ №2||y|"),
        u("Вопрос №5||УДАЛЕН|"),
        u("Вопрос №6|верно|Последний?|"),
        u("Ответ №1|+|да|+"),
        u("||УДАЛЕН|"),
    };
    EXPECT_EQ(rows(book, 4), expected);
    EXPECT_EQ(merged(book), QStringList({u("A1:D1"), u("A2:D2"), u("A3:D3"), u("A7:D7"), u("A8:D8"),
                                         u("A9:D9")}));
    EXPECT_EQ(book["rich"].toObject()[value(book, u("A9"))].toArray(),
              QJsonArray({QJsonArray({u("Иванов"), true}),
                          QJsonArray({u(" дата 05.03.2024 сдан (50,00 из 50,00)"), false})}));

    struct Expected {
        const char* cell;
        bool bold;
        bool italic;
        double size;
        const char* halign;
        bool wrap;
        int indent;
    };
    const Expected looks[] = {
        {"A7", true, false, 11, "center", true, 0},     // test title
        {"A8", true, true, 11, "general", true, 0},     // users group
        {"A9", false, false, 11, "left", true, 1},      // the study; the name is bold in the text
        {"A10", false, false, 11, "left", false, 2},    // question
        {"B10", true, false, 11, "center", false, 0},   // outcome
        {"C10", false, false, 11, "center", true, 0},   // question text
        {"A11", false, false, 11, "left", false, 3},    // answer
        {"B11", true, false, 13, "center", false, 0},   // no choice, yet the look of a mark
        {"B13", true, false, 13, "center", false, 0},   // choice
        {"D13", true, false, 13, "center", false, 0},   // key of a choice
        {"B19", true, false, 13, "center", false, 0},   // placement
        {"D19", true, false, 13, "general", false, 0},  // key of a sequence: its place
        {"B23", false, false, 11, "center", false, 0},  // unanswered: no marks
    };
    for (const Expected& e : looks) {
        const QJsonObject c = cell(book, QString::fromLatin1(e.cell));
        SCOPED_TRACE(e.cell);
        EXPECT_EQ(c["bold"].toBool(), e.bold);
        EXPECT_EQ(c["italic"].toBool(), e.italic);
        EXPECT_EQ(c["size"].toDouble(), e.size);
        EXPECT_EQ(c["halign"].toString(), QString::fromLatin1(e.halign));
        EXPECT_EQ(c["wrap"].toBool(), e.wrap);
        EXPECT_EQ(c["indent"].toInt(), e.indent);
    }
    // The whole table is framed, the empty cells included.
    for (int r = 1; r <= expected.size(); ++r) {
        EXPECT_EQ(cell(book, u("A%1").arg(r))["borders"].toString(), u("LRTB")) << r;
        if (!merged(book).contains(u("A%1:D%1").arg(r))) {
            EXPECT_EQ(cell(book, u("D%1").arg(r))["borders"].toString(), u("LRTB")) << r;
        }
    }
    EXPECT_DOUBLE_EQ(width(book, "C"), 60);
    EXPECT_EQ(book["title"].toString(), u("Результаты тестирования"));
    EXPECT_EQ(book["page"].toObject()["fitToWidth"].toInt(), 1);
    EXPECT_EQ(book["page"].toObject()["printArea"].toString(), u("$A$1:$D$28"));
    EXPECT_GE(width(book, "A"), 9);
    EXPECT_LT(width(book, "A"), 20);  // the merged rows do not count
    EXPECT_GE(width(book, "B"), 10);

    // An applicant sees his marks, never the key.
    options.showKey = false;
    const QString withoutKey = ExportResults(data_.Studies(), options, path("applicant.xlsx"));
    KVALOR_READ_WORKBOOK(applicant, withoutKey);
    QStringList keyless = expected;
    keyless.replaceInStrings(QRegularExpression(u("\\|[^|]*$")), u("|"));
    EXPECT_EQ(rows(applicant, 4), keyless);
}

TEST_F(ResultsWorkbookTest, NothingIsWrittenWithoutStudiesOrPastTheRowsOfASheet) {
    BuildStudies();
    // 20 rows a study: more than a sheet holds.
    const StudyView many(60000, data_.Studies()[0]);
    const QString file = path("many.xlsx");
    EXPECT_THROW(ExportResults(many, ResultsExportOptions{}, file), KvalorError);
    EXPECT_THROW(ExportResults({}, ResultsExportOptions{}, file), KvalorError);
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ResultsWorkbookTest, ChosenCategoriesKeepTheNumbersOfTheStudy) {
    TQuestions& test = data_.AddTest(u("Физика"));
    for (int i = 1; i <= 8; ++i) {
        addQuestion(test, kSingleAnswer, u("В%1").arg(i), {u("да"), u("нет")}, {0});
    }
    data_.AddStudy(data_.AddUser(u("Орлов")), test, at(2024, 5, 20), "RW-RRW-W");
    struct Case {
        bool right, wrong, unanswered, all;
        QString numbers;
    };
    const Case cases[] = {
        {false, false, true, false, u("3 7")},
        {true, false, false, false, u("1 4 5")},
        {false, true, false, false, u("2 6 8")},
        {true, true, false, false, u("1 2 4 5 6 8")},
        {false, false, false, true, u("1 2 3 4 5 6 7 8")},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.numbers.toStdString());
        const ResultsExportOptions options{c.right, c.wrong, c.unanswered, c.all, true};
        const QString file =
            ExportResults(data_.Studies(), options, dir_.filePath(u("case%1.xlsx").arg(++n)));
        KVALOR_READ_WORKBOOK(book, file);
        const QStringList all = rows(book, 4);
        ASSERT_GE(all.size(), 2);
        EXPECT_EQ(
            all.mid(0, 2),
            QStringList({u("Физика|||"), u("Орлов дата 20.05.2024 не сдан (37,50 из 50,00)|||")}));
        QStringList numbers;
        for (const QString& line : all) {
            if (line.startsWith(u("Вопрос №"))) {
                numbers << line.section(u'|', 0, 0).mid(8);
            }
        }
        EXPECT_EQ(numbers.join(u' '), c.numbers);
    }
}

}  // namespace
