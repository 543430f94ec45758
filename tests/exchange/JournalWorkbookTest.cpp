#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <vector>

#include "exchange/JournalWorkbook.h"
#include "exchange/StudyExport.h"
#include "exchange/WorkbookTestSupport.h"

using namespace kvalor;
using namespace kvalor::testdata;
using namespace kvalor::workbooktest;

namespace {

// A test of n questions, so that the outcomes give round percentages.
TQuestions& testOf(ExportData& data, const QString& name, int n) {
    TQuestions& test = data.AddTest(name);
    for (int i = 0; i < n; ++i) {
        addQuestion(test, kSingleAnswer, QString::number(i), {u("да"), u("нет")}, {0});
    }
    return test;
}

QByteArray outcomes(int right, int wrong) {
    return QByteArray(right, 'R') + QByteArray(wrong, 'W');
}

using JournalWorkbookTest = WorkbookTest;

TEST_F(JournalWorkbookTest, OneRowPerUserAndTestUnderTestTitlesReadyToPrint) {
    ExportData data;
    const QString longName = u("алгебра и начала математического анализа");
    const QString school = u("Средняя общеобразовательная школа № 1 имени А. С. Пушкина");
    TQuestions& algebra = testOf(data, longName, 20);
    TQuestions& physics = testOf(data, u("Физика"), 2);
    TCompetitor& petrov =
        data.AddUser(u("Петров"), &data.AddUsersGroup(u("Б")), u("Тверь"), school);
    TCompetitor& yashin = data.AddUser(u("Яшин"), &data.AddUsersGroup(u("а")));
    TCompetitor& sidorov = data.AddUser(u("Сидоров"));
    data.AddStudy(petrov, physics, at(2024, 4, 1), "RW");
    data.AddStudy(petrov, algebra, at(2024, 3, 12), outcomes(16, 4));
    data.AddStudy(yashin, algebra, at(2024, 2, 1), outcomes(20, 0));
    data.AddStudy(petrov, algebra, at(2024, 3, 5), outcomes(9, 11));
    data.AddStudy(sidorov, algebra, at(2024, 2, 2), outcomes(0, 20));

    const QString file = ExportJournal(data.Studies(), path("journal.xlsx"));
    KVALOR_READ_WORKBOOK(book, file);

    // Accounts of no group first, then by group; a single result is a number and a date,
    // repeated results are joined as text in the order of their dates; the same user again
    // after a new title gets a row of his own.
    EXPECT_EQ(rows(book, 6),
              QStringList({
                  u("Соискатель|Город|Организация|Результаты теста|Дата проведения|Экзамен"),
                  longName + u("|||||"),
                  u("Сидоров|||0|2024-02-02T00:00:00|"),
                  u("Яшин|||100|2024-02-01T00:00:00|"),
                  u("Петров|Тверь|") + school + u("|45,00\\80,00|05.03.2024\\12.03.2024|"),
                  u("Физика|||||"),
                  u("Петров|Тверь|") + school + u("|50|2024-04-01T00:00:00|"),
              }));
    EXPECT_EQ(merged(book), QStringList({u("A2:F2"), u("A6:F6")}));
    for (const char* title : {"A2", "A6"}) {
        EXPECT_TRUE(cell(book, u(title))["bold"].toBool()) << title;
        EXPECT_EQ(cell(book, u(title))["halign"].toString(), u("center")) << title;
    }
    EXPECT_EQ(cell(book, u("D1"))["halign"].toString(), u("center"));
    EXPECT_FALSE(cell(book, u("D1"))["bold"].toBool());
    // Names stay text; numbers and dates carry their formats; every cell is framed and wraps.
    const std::pair<const char*, const char*> formats[] = {{"A3", "@"},    {"C7", "@"},
                                                           {"D3", "0.00"}, {"E3", "dd\\.mm\\.yyyy"},
                                                           {"D5", "@"},    {"E5", "@"}};
    for (const auto& [address, format] : formats) {
        EXPECT_EQ(cell(book, u(address))["format"].toString(), u(format)) << address;
    }
    for (int r = 1; r <= 7; ++r) {
        const bool title = r == 2 || r == 6;
        for (char column = 'A'; column <= (title ? 'A' : 'F'); ++column) {
            const QString address = QChar(column) + QString::number(r);
            EXPECT_EQ(cell(book, address)["borders"].toString(), u("LRTB"))
                << address.toStdString();
            EXPECT_TRUE(cell(book, address)["wrap"].toBool()) << address.toStdString();
        }
    }
    // Columns fit their texts up to a width that prints, longer texts wrap in taller rows.
    EXPECT_GE(width(book, "A"), 10);
    EXPECT_LT(width(book, "A"), 20);
    EXPECT_DOUBLE_EQ(width(book, "C"), 24);
    EXPECT_GE(width(book, "E"), 21);
    EXPECT_LT(width(book, "E"), 30);
    const QJsonObject heights = book["heights"].toObject();
    EXPECT_GE(heights[u("5")].toDouble(), 45);
    EXPECT_FALSE(heights.contains(u("3")));
    EXPECT_EQ(book["title"].toString(), u("Журнал тестирования"));
    const QJsonObject page = book["page"].toObject();
    EXPECT_EQ(page["paper"].toInt(), 9);
    EXPECT_EQ(page["fitToWidth"].toInt(), 1);
    EXPECT_EQ(page["fitToHeight"].toInt(), 0);  // as many pages as the rows need
    EXPECT_EQ(page["printArea"].toString(), u("$A$1:$F$7"));
    EXPECT_EQ(page["titleRows"].toString(), u("$1:$1"));
}

TEST(StudyExportOrder, ByTestGroupUserAndDateLeavingOutUnlinkedStudies) {
    ExportData data;
    TQuestions& second = data.AddTest(u("Б-тест"));
    TQuestions& first = data.AddTest(u("а-тест"));
    TQuestions& twin = data.AddTest(u("А-ТЕСТ"));
    TCompetitor& anna = data.AddUser(u("Анна"), &data.AddUsersGroup(u("Группа")));
    TCompetitor& boris = data.AddUser(u("борис"));
    TCompetitor vera;  // in no list at all
    vera.SetName(toCp1251(u("Вера")));
    vera.NewId();
    const std::vector<TStudy*> added = {
        &data.AddStudy(vera, first, at(2024, 1, 1), ""),
        &data.AddStudy(anna, first, at(2024, 3, 1), ""),
        &data.AddStudy(anna, twin, at(2024, 1, 1), ""),
        &data.AddStudy(boris, second, at(2024, 1, 1), ""),
        &data.AddStudy(anna, first, at(2024, 2, 1), ""),
        &data.AddStudy(boris, first, at(2024, 1, 1), ""),
        &data.AddStudy(boris, twin, at(2024, 1, 1), ""),
        &data.AddStudy(anna, first, at(2024, 5, 1), ""),
        &data.AddStudy(boris, first, at(2024, 5, 1), ""),
    };
    added[7]->SetTest(nullptr);
    added[8]->SetUser(nullptr);

    const StudyView ordered = ExportOrder(data.Studies());
    ASSERT_EQ(ordered.size(), 7u);
    // The two tests of one name stay apart, each with its own run of studies.
    const bool firstFirst = ordered[0]->Test() == &first;
    const std::vector<TStudy*> ofFirst = {added[5], added[4], added[1], added[0]};
    const std::vector<TStudy*> ofTwin = {added[6], added[2]};
    std::vector<TStudy*> expected = firstFirst ? ofFirst : ofTwin;
    const std::vector<TStudy*>& other = firstFirst ? ofTwin : ofFirst;
    expected.insert(expected.end(), other.begin(), other.end());
    expected.push_back(added[3]);
    EXPECT_EQ(ordered, StudyView(expected.begin(), expected.end()));
}

}  // namespace
