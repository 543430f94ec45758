#include "exchange/JournalWorkbook.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QLocale>

#include "exchange/Sheet.h"
#include "exchange/XlsxWorkbook.h"
#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kColumns = 6;
enum Column { ColName, ColTown, ColOrganisation, ColResult, ColDate, ColExam };
// Columns fit their texts between these widths and wrap what is longer, so that the table
// prints one page wide in a readable size.
struct WidthRange {
    double least;
    double most;
};
constexpr WidthRange kWidths[kColumns] = {{12, 30}, {8, 16}, {12, 24}, {10, 24}, {11, 24}, {9, 9}};
constexpr const char* kPercentFormat = "0.00";

// A row of the table: a test's title, or a user's results of that test, oldest first.
struct Line {
    const TQuestions* test = nullptr;
    std::vector<const TStudy*> results;
};

std::vector<Line> linesOf(const StudyView& ordered) {
    std::vector<Line> lines;
    const TQuestions* test = nullptr;
    const TCompetitor* user = nullptr;
    for (const TStudy* study : ordered) {
        if (study->Test() != test) {
            test = study->Test();
            user = nullptr;
            lines.push_back({test, {}});
        }
        if (study->User() != user) {
            user = study->User();
            lines.push_back({nullptr, {}});
        }
        lines.back().results.push_back(study);
    }
    return lines;
}

// The short date format of the display locale in the spreadsheet's codes; everything but the
// day, month and year is taken literally.
std::string dateFormat() {
    QString codes;
    for (const QChar c : displayLocale().dateFormat(QLocale::ShortFormat)) {
        if (c == u'd' || c == u'y') {
            codes += c;
        } else if (c == u'M') {
            codes += u'm';
        } else if (c != u'\'') {
            codes += u'\\';
            codes += c;
        }
    }
    return codes.toStdString();
}

QStringList texts(const Line& line, Column column) {
    QStringList values;
    for (const TStudy* study : line.results) {
        values << (column == ColResult ? FormatPercent(study->Percent())
                                       : FormatStudyDate(study->Date()));
    }
    return values;
}

QString userText(const Line& line, Column column) {
    const TCompetitor& user = *line.results.front()->User();
    switch (column) {
        case ColName:
            return fromCp1251(user.GetName());
        case ColTown:
            return fromCp1251(user.GetField(AccountField::Town));
        case ColOrganisation:
            return fromCp1251(user.GetField(AccountField::Organisation));
        default:
            return texts(line, column).join(u'\\');
    }
}

void setWidths(Sheet& sheet, const std::vector<Line>& lines, const CellStyle& style) {
    for (int column = 0; column < kColumns; ++column) {
        double width = kWidths[column].least;
        if (column != ColExam) {
            for (const Line& line : lines) {
                if (line.test == nullptr) {
                    width =
                        std::max(width, Sheet::TextWidth(userText(line, Column(column)), style));
                }
            }
        }
        sheet.SetColumnWidth(column, std::min(width, kWidths[column].most));
    }
}

}  // namespace

QString ExportJournal(const StudyView& studies, const QString& fileName, const Progress& progress) {
    const std::vector<Line> lines = linesOf(ExportOrder(studies));
    Sheet::CheckRowCount(lines.size() + 1);
    XlsxWorkbook book(fileName, QStringLiteral("kvalor-journal"));
    CellStyle base;
    base.wrap = true;
    base.vAlign = CellStyle::VAlign::Top;
    Sheet sheet(book, QStringLiteral("Журнал тестирования"), kColumns, base);
    for (int column = 0; column < kColumns; ++column) {
        sheet.SetColumnFinish(column,
                              [](CellStyle& style) { style.borders = CellStyle::AllEdges; });
    }
    // Names and account fields stay text whatever is typed into them later.
    for (const int column : {ColName, ColTown, ColOrganisation}) {
        sheet.SetColumnStart(column, [](CellStyle& style) { style.numberFormat = "@"; });
    }
    setWidths(sheet, lines, base);
    sheet.PrintOnePageWide(Sheet::kAsManyPagesAsNeeded, 1);

    sheet.AddRow();
    const char* const headings[kColumns] = {"Соискатель",       "Город",           "Организация",
                                            "Результаты теста", "Дата проведения", "Экзамен"};
    for (int column = 0; column < kColumns; ++column) {
        sheet.SetText(column, QString::fromUtf8(headings[column]));
        sheet.Style(column).hAlign = CellStyle::HAlign::Center;
    }
    const std::string dates = dateFormat();
    std::size_t written = 0;
    for (const Line& line : lines) {
        sheet.AddRow();
        if (line.test != nullptr) {
            sheet.MergeRow();
            sheet.SetText(0, fromCp1251(line.test->GetName()));
            sheet.Style(0).hAlign = CellStyle::HAlign::Center;
            sheet.Style(0).bold = true;
            continue;
        }
        for (const int column : {ColName, ColTown, ColOrganisation}) {
            sheet.SetText(column, userText(line, Column(column)));
        }
        const TStudy& study = *line.results.front();
        if (line.results.size() == 1) {
            sheet.SetNumber(ColResult, study.Percent());
            sheet.Style(ColResult).numberFormat = kPercentFormat;
            if (fromStoredDateTime(study.Date()).isValid()) {
                sheet.SetNumber(ColDate, std::trunc(study.Date()));
                sheet.Style(ColDate).numberFormat = dates;
            }
        } else {
            // One cell cannot hold several numbers: the results of a user who took the test
            // again are joined as text, in the order of their dates.
            for (const Column column : {ColResult, ColDate}) {
                sheet.SetText(column, userText(line, column));
                sheet.Style(column).numberFormat = "@";
            }
        }
        sheet.Style(ColResult).hAlign = CellStyle::HAlign::Center;
        sheet.Style(ColDate).hAlign = CellStyle::HAlign::Center;
        written += line.results.size();
        ReportProgress(progress, written, studies.size());
    }
    sheet.Finish();
    QString file = book.Close();
    ReportProgress(progress, studies.size(), studies.size());
    return file;
}

}  // namespace kvalor
