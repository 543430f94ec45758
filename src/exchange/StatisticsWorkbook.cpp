#include "exchange/StatisticsWorkbook.h"

#include <QStringList>
#include <optional>
#include <vector>

#include "analysis/StatisticsTexts.h"
#include "exchange/Sheet.h"
#include "exchange/XlsxWorkbook.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

constexpr const char* kShareFormat = "0.00";

// A sheet with a bold heading row over columns of the given widths; texts wrap.
Sheet& startSheet(std::optional<Sheet>& sheet, XlsxWorkbook& book, const QString& name,
                  const QStringList& headings, const std::vector<double>& widths) {
    CellStyle base;
    base.wrap = true;
    base.vAlign = CellStyle::VAlign::Top;
    sheet.emplace(book, name, static_cast<int>(headings.size()), base);
    for (int column = 0; column < headings.size(); ++column) {
        sheet->SetColumnWidth(column, widths[static_cast<std::size_t>(column)]);
    }
    sheet->AddRow();
    for (int column = 0; column < headings.size(); ++column) {
        sheet->SetText(column, headings[column]);
        sheet->Style(column).bold = true;
    }
    return *sheet;
}

// A number with its decimals, or "—" where the figure has none.
void setFigure(Sheet& sheet, int column, std::optional<double> value, int decimals = 2) {
    if (!value) {
        sheet.SetText(column, QString(kNoFigure));
        sheet.Style(column).hAlign = CellStyle::HAlign::Center;
        return;
    }
    sheet.SetNumber(column, *value);
    sheet.Style(column).numberFormat = decimals == 0 ? "0" : kShareFormat;
}

void writeSummary(XlsxWorkbook& book, const TestFigures& figures) {
    std::optional<Sheet> holder;
    Sheet& sheet = startSheet(holder, book, QStringLiteral("Статистика"),
                              {QStringLiteral("Тест"), fromCp1251(figures.testName)}, {34, 40});
    for (const SummaryLine& line : SummaryLines(figures)) {
        sheet.AddRow();
        sheet.SetText(0, line.label);
        if (line.number) {
            setFigure(sheet, 1, line.number, line.decimals);
        } else {
            sheet.SetText(1, line.text);
        }
    }
    sheet.AddRow();
    sheet.AddRow();
    sheet.SetText(0, QStringLiteral("Процент"));
    sheet.SetText(1, QStringLiteral("Результатов"));
    sheet.EditRow([](CellStyle& style) { style.bold = true; });
    for (int bin = 0; bin < kHistogramBins; ++bin) {
        sheet.AddRow();
        sheet.SetText(0, HistogramBinText(bin));
        sheet.SetNumber(1, figures.histogram[static_cast<std::size_t>(bin)]);
    }
    sheet.AddRow();
    sheet.MergeRow();
    sheet.SetText(0, QuestionFlagLegend());
    sheet.Finish();
}

void writeQuestions(XlsxWorkbook& book, const TestFigures& figures) {
    std::optional<Sheet> holder;
    Sheet& sheet = startSheet(
        holder, book, QStringLiteral("Вопросы"),
        {QStringLiteral("№"), QStringLiteral("Вопрос"), QStringLiteral("Получили"),
         QStringLiteral("Решаемость"), QStringLiteral("Различение"), QStringLiteral("Замечания")},
        {6, 50, 10, 11, 11, 18});
    sheet.SetColumnStart(1, [](CellStyle& style) { style.numberFormat = "@"; });
    for (const QuestionFigures& question : figures.questions) {
        sheet.AddRow();
        setFigure(sheet, 0, question.number, 0);
        sheet.SetText(1, fromCp1251(question.text));
        sheet.SetNumber(2, question.given);
        setFigure(sheet, 3, question.facility);
        setFigure(sheet, 4, question.discrimination);
        sheet.SetText(5, QuestionFlagWords(question.flags));
    }
    sheet.Finish();
}

void writeAnswers(XlsxWorkbook& book, const TestFigures& figures) {
    std::optional<Sheet> holder;
    Sheet& sheet = startSheet(
        holder, book, QStringLiteral("Ответы"),
        {QStringLiteral("№ вопроса"), QStringLiteral("№ ответа"), QStringLiteral("Ответ"),
         QStringLiteral("Верный"), QStringLiteral("Доля выбравших")},
        {10, 9, 50, 8, 10});
    sheet.SetColumnStart(2, [](CellStyle& style) { style.numberFormat = "@"; });
    for (const QuestionFigures& question : figures.questions) {
        for (std::size_t a = 0; a < question.answers.size(); ++a) {
            const AnswerFigures& answer = question.answers[a];
            sheet.AddRow();
            sheet.SetNumber(0, question.number);
            sheet.SetNumber(1, static_cast<double>(a + 1));
            sheet.SetText(2, fromCp1251(answer.text));
            sheet.SetText(3, answer.right ? QStringLiteral("да") : QString());
            setFigure(sheet, 4, question.given > 0 ? std::optional(answer.share) : std::nullopt);
        }
    }
    sheet.Finish();
}

}  // namespace

QString ExportStatistics(const TestFigures& figures, const QString& fileName) {
    std::uint64_t answers = 0;
    for (const QuestionFigures& question : figures.questions) {
        answers += question.answers.size();
    }
    Sheet::CheckRowCount(figures.questions.size() + 1);
    Sheet::CheckRowCount(answers + 1);
    XlsxWorkbook book(fileName, QStringLiteral("kvalor-statistics"));
    writeSummary(book, figures);
    writeQuestions(book, figures);
    writeAnswers(book, figures);
    return book.Close();
}

}  // namespace kvalor
