#include "exchange/ResultsWorkbook.h"

#include <algorithm>

#include "exchange/Sheet.h"
#include "exchange/XlsxWorkbook.h"
#include "model/Answers.h"
#include "model/Competitor.h"
#include "model/ExamineQuestions.h"
#include "model/ExaminerCollection.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/Error.h"
#include "util/Guid.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kColumns = 4;
constexpr double kMarkFontSize = CellStyle::kDefaultFontSize + 2;
// Wide enough for "Вопрос №999" indented, "нет ответа" and the marks; the texts wrap in the
// third column, so that a study prints one page wide.
constexpr double kWidths[kColumns] = {15, 12, 60, 5};

void markStyle(CellStyle& style) {
    style.bold = true;
    style.fontSize = kMarkFontSize;
}

class ResultsWriter {
public:
    // Without a sheet the writer only counts rows.
    ResultsWriter(Sheet* sheet, const ResultsExportOptions& options)
        : sheet_(sheet), options_(options) {}

    // The rows WriteStudy writes for the study, after the studies before it.
    std::uint64_t CountStudy(const TStudy& study) {
        const Headings headings = NextHeadings(study);
        std::uint64_t rows = 1 + int(headings.test) + int(headings.group);
        const TExamineQuestions& records = study.Questions();
        for (int q = 0; q < records.Count(); ++q) {
            const ExamineRecord record = records.At(q);
            if (!chosen(record)) {
                continue;
            }
            ++rows;
            if (const TQuestion* question = record.Question) {
                for (const std::int32_t p : record.Order) {
                    ++rows;
                    if (question->Answers().AnswerAt(p) == nullptr) {
                        break;
                    }
                }
            }
        }
        return rows;
    }

    void WriteStudy(const TStudy& study) {
        const TQuestions& test = *study.Test();
        const Headings headings = NextHeadings(study);
        if (headings.test) {
            sheet_->AddRow();
            sheet_->MergeRow();
            sheet_->SetText(0, fromCp1251(test.GetName()));
            sheet_->Style(0).hAlign = CellStyle::HAlign::Center;
            sheet_->Style(0).bold = true;
            sheet_->Style(0).wrap = true;
        }
        const TCompetitor& user = *study.User();
        const TExaminerCollection* group = user.Parent();
        if (headings.group) {
            sheet_->AddRow();
            sheet_->MergeRow();
            const QString groupName = group != nullptr ? fromCp1251(group->GetName()) : QString();
            sheet_->SetText(0, QStringLiteral("Группа : ") + groupName);
            sheet_->Style(0).bold = true;
            sheet_->Style(0).italic = true;
            sheet_->Style(0).wrap = true;
        }
        sheet_->AddRow();
        sheet_->MergeRow();
        sheet_->Style(0).indent = 1;
        sheet_->Style(0).wrap = true;
        const QString name = fromCp1251(user.GetName());
        sheet_->SetText(0, resultLine(study, name));
        sheet_->SetBoldPrefix(name.size());
        const TExamineQuestions& records = study.Questions();
        for (int q = 0; q < records.Count(); ++q) {
            const ExamineRecord record = records.At(q);
            if (chosen(record)) {
                WriteQuestion(record, q);
            }
        }
    }

private:
    // The title and group rows a study needs before its own: a new test, or within a test a
    // new users group.
    struct Headings {
        bool test;
        bool group;
    };
    Headings NextHeadings(const TStudy& study) {
        Headings headings{false, false};
        if (study.Test()->Id() != currentTest_) {
            currentTest_ = study.Test()->Id();
            currentGroup_ = Guid();
            headings.test = true;
        }
        const TExaminerCollection* group = study.User()->Parent();
        const Guid groupId = group != nullptr ? group->Id() : Guid();
        if (groupId != currentGroup_) {
            currentGroup_ = groupId;
            headings.group = true;
        }
        return headings;
    }

    static QString resultLine(const TStudy& study, const QString& name) {
        const QString head = QStringLiteral("%1 дата %2").arg(name, FormatStudyDate(study.Date()));
        const QString percent = FormatPercent(study.Percent());
        switch (study.Test()->GradingMethod()) {
            case 0:
                return head + (study.Percent() >= study.PassPercent()
                                   ? QStringLiteral(" сдан (%1 из %2)")
                                   : QStringLiteral(" не сдан (%1 из %2)"))
                                  .arg(percent, FormatPercent(study.PassPercent()));
            case 1:
                return head + QStringLiteral(" оценка %1 (%2)").arg(study.Grade()).arg(percent);
            default:
                return {};
        }
    }

    bool chosen(const ExamineRecord& record) const {
        const bool answered = !record.Given.empty();
        return options_.all || (options_.right && record.Right) ||
               (options_.wrong && !record.Right && answered) ||
               (options_.unanswered && !record.Right && !answered);
    }

    void WriteQuestion(const ExamineRecord& record, int position) {
        sheet_->AddRow();
        sheet_->SetText(0, QStringLiteral("Вопрос №%1").arg(position + 1));
        sheet_->Style(0).hAlign = CellStyle::HAlign::Left;
        sheet_->Style(0).indent = 2;
        const TQuestion* question = record.Question;
        if (question == nullptr) {
            sheet_->SetText(2, QStringLiteral("УДАЛЕН"));
            return;
        }
        sheet_->SetText(2, fromCp1251(question->GetName()));
        sheet_->Style(2).wrap = true;
        sheet_->SetText(1, record.Right            ? QStringLiteral("верно")
                           : !record.Given.empty() ? QStringLiteral("неверно")
                                                   : QStringLiteral("нет ответа"));
        sheet_->Style(1).hAlign = CellStyle::HAlign::Center;
        sheet_->Style(1).bold = true;
        for (std::size_t k = 0; k < record.Order.size(); ++k) {
            const int p = record.Order[k];
            const TAnswer* answer = question->Answers().AnswerAt(p);
            sheet_->AddRow();
            if (answer == nullptr) {
                sheet_->SetText(2, QStringLiteral("УДАЛЕН"));
                return;
            }
            WriteAnswer(record, *question, *answer, static_cast<int>(k), p);
        }
    }

    // The answer shown at place k, whose place among the question's answers is p.
    void WriteAnswer(const ExamineRecord& record, const TQuestion& question, const TAnswer& answer,
                     int k, int p) {
        sheet_->SetText(0, QStringLiteral("Ответ №%1").arg(k + 1));
        sheet_->Style(0).hAlign = CellStyle::HAlign::Left;
        sheet_->Style(0).indent = 3;
        sheet_->SetText(2, fromCp1251(answer.GetName()));
        sheet_->Style(2).wrap = true;
        const std::uint8_t type = question.QuestionType();
        const bool choice = type == kSingleAnswer || type == kMultipleAnswers;
        if (options_.showKey) {
            if (choice && answer.Correct()) {
                sheet_->SetText(3, QStringLiteral("+"));
                markStyle(sheet_->Style(3));
                sheet_->Style(3).hAlign = CellStyle::HAlign::Center;
            } else if (type == kSequence) {
                sheet_->SetNumber(3, p + 1);
                markStyle(sheet_->Style(3));
            }
        }
        const AnswerIndexes given = record.Given;
        if (given.empty()) {
            return;
        }
        if (choice) {
            if (std::find(given.begin(), given.end(), p) != given.end()) {
                sheet_->SetText(1, answer.Correct() ? QStringLiteral("+") : QStringLiteral("-"));
            }
            markStyle(sheet_->Style(1));
            sheet_->Style(1).hAlign = CellStyle::HAlign::Center;
        } else if (type == kSequence) {
            const bool placed = p >= 0 && p < static_cast<int>(given.size()) && given[p] == p;
            sheet_->SetText(1, placed ? QStringLiteral("+") : QStringLiteral("-"));
            markStyle(sheet_->Style(1));
        }
    }

    Sheet* sheet_;
    const ResultsExportOptions& options_;
    Guid currentTest_;
    Guid currentGroup_;
};

}  // namespace

QString ExportResults(const StudyView& studies, const ResultsExportOptions& options,
                      const QString& fileName, const Progress& progress) {
    const StudyView ordered = ExportOrder(studies);
    if (ordered.empty()) {
        throw KvalorError(QStringLiteral("Нет результатов для экспорта"));
    }
    // Counted before anything is written: a sheet that cannot hold them all is refused.
    std::uint64_t rows = 0;
    ResultsWriter counter(nullptr, options);
    for (const TStudy* study : ordered) {
        rows += counter.CountStudy(*study);
    }
    Sheet::CheckRowCount(rows);

    XlsxWorkbook book(fileName, QStringLiteral("kvalor-results"));
    Sheet sheet(book, QStringLiteral("Результаты тестирования"), kColumns);
    for (int column = 0; column < kColumns; ++column) {
        sheet.SetColumnFinish(column, [column](CellStyle& style) {
            style.borders = CellStyle::AllEdges;
            style.vAlign = CellStyle::VAlign::Top;
            if (column == 1 || column == 2) {
                style.hAlign = CellStyle::HAlign::Center;
            }
        });
        sheet.SetColumnWidth(column, kWidths[column]);
    }
    sheet.PrintOnePageWide(Sheet::kAsManyPagesAsNeeded);
    ResultsWriter writer(&sheet, options);
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        writer.WriteStudy(*ordered[i]);
        ReportProgress(progress, i + 1, ordered.size());
    }
    sheet.Finish();
    return book.Close();
}

}  // namespace kvalor
