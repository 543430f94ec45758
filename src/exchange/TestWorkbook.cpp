#include "exchange/TestWorkbook.h"

#include "exchange/Sheet.h"
#include "exchange/XlsxWorkbook.h"
#include "model/Answers.h"
#include "model/ExaminerCollection.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"

namespace kvalor {

namespace {

constexpr double kTestFontSize = 10;
constexpr double kAnswerFontSize = 9;
constexpr std::uint16_t kPagesTall = 30000;

class TestWriter {
public:
    TestWriter(Sheet& sheet, bool withAnswers) : sheet_(sheet), withAnswers_(withAnswers) {}

    // The title of the collection, then its questions and, each under its own title, its
    // groups, in item order.
    void WriteCollection(const TExaminerCollection& collection) {
        sheet_.AddRow();
        sheet_.MergeRow();
        sheet_.SetText(0, fromCp1251(collection.GetName()));
        sheet_.Style(0).hAlign = CellStyle::HAlign::Center;
        sheet_.Style(0).bold = true;
        for (int i = 0; i < collection.Count(); ++i) {
            if (const TExaminerCollection* group = collection.CollectionAt(i)) {
                WriteCollection(*group);
            } else if (const auto* question =
                           dynamic_cast<const TQuestion*>(collection.ElementAt(i))) {
                WriteQuestion(*question);
            }
        }
    }

private:
    void WriteQuestion(const TQuestion& question) {
        sheet_.AddRow();
        sheet_.SetText(0, QStringLiteral("Вопрос %1").arg(questionNumber_++));
        sheet_.SetText(1, fromCp1251(question.GetName()));
        sheet_.EditRow([](CellStyle& style) { style.borders = CellStyle::AllEdges; });
        sheet_.Style(0).indent = 1;
        if (!withAnswers_) {
            return;
        }
        const TAnswers& answers = question.Answers();
        for (int k = 0; k < answers.Count(); ++k) {
            const TAnswer* answer = answers.AnswerAt(k);
            sheet_.AddRow();
            sheet_.SetText(0, QStringLiteral("Ответ %1").arg(k + 1));
            sheet_.SetText(1, fromCp1251(answer->GetName()));
            sheet_.Style(0).fontSize = kAnswerFontSize;
            sheet_.Style(1).fontSize = kAnswerFontSize;
            if (question.QuestionType() == kSequence) {
                // Answers are stored in the right order.
                sheet_.SetNumber(2, k + 1);
            } else if (answer->Correct()) {
                sheet_.SetText(2, QStringLiteral("+"));
            }
            sheet_.Style(0).indent = 3;
            // Boxed at the sides and between the cells, open between the answers.
            sheet_.EditRow(
                [](CellStyle& style) { style.borders |= CellStyle::Left | CellStyle::Right; });
        }
    }

    Sheet& sheet_;
    bool withAnswers_;
    int questionNumber_ = 1;
};

}  // namespace

QString ExportTest(const TQuestions& test, bool withAnswers, const QString& fileName) {
    XlsxWorkbook book(fileName, QStringLiteral("kvalor-test"));
    CellStyle base;
    base.fontSize = kTestFontSize;
    // The third column holds the key.
    Sheet sheet(book, QStringLiteral("Тест"), withAnswers ? 3 : 2, base);
    sheet.SetColumnStart(0, [](CellStyle& style) { style.vAlign = CellStyle::VAlign::Top; });
    sheet.SetColumnStart(1, [](CellStyle& style) {
        style.vAlign = CellStyle::VAlign::Top;
        style.wrap = true;
    });
    sheet.SetColumnWidth(0, 18);
    sheet.SetColumnWidth(1, 60);
    if (withAnswers) {
        sheet.SetColumnFinish(2, [](CellStyle& style) {
            style.hAlign = CellStyle::HAlign::Center;
            style.vAlign = CellStyle::VAlign::Top;
            style.bold = true;
        });
    }
    TestWriter(sheet, withAnswers).WriteCollection(test);
    // A title row needs no closing line; the box of the last question does.
    if (!sheet.RowMerged()) {
        sheet.EditRow([](CellStyle& style) { style.borders |= CellStyle::Bottom; });
    }
    sheet.PrintOnePageWide(kPagesTall);
    sheet.Finish();
    return book.Close();
}

}  // namespace kvalor
