#include "exchange/JournalWorkbook.h"

#include "exchange/Sheet.h"
#include "exchange/XlsxWorkbook.h"
#include "model/Competitor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/Guid.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

constexpr int kColumns = 6;
// Account fields shown beside the name.
constexpr int kTownField = 9;
constexpr int kOrganisationField = 8;

}  // namespace

QString ExportJournal(const StudyView& studies, const QString& fileName) {
    const StudyView ordered = ExportOrder(studies);
    XlsxWorkbook book(fileName, QStringLiteral("kvalor-journal"));
    CellStyle base;
    base.text = true;
    Sheet sheet(book, kColumns, base);
    for (int column = 0; column < kColumns; ++column) {
        sheet.SetColumnFinish(column,
                              [](CellStyle& style) { style.borders = CellStyle::AllEdges; });
        sheet.FitColumn(column);
    }
    sheet.AddRow();
    const char* const headings[kColumns] = {"Соискатель",       "Город",           "Организация",
                                            "Результаты теста", "Дата проведения", "Экзамен"};
    for (int column = 0; column < kColumns; ++column) {
        sheet.SetText(column, QString::fromUtf8(headings[column]));
        sheet.Style(column).hAlign = CellStyle::HAlign::Center;
    }
    Guid currentTest;
    Guid currentUser;
    for (const TStudy* listed : ordered) {
        const TStudy& study = *listed;
        if (study.Test()->Id() != currentTest) {
            currentTest = study.Test()->Id();
            currentUser = Guid();
            sheet.AddRow();
            sheet.MergeRow();
            sheet.SetText(0, fromCp1251(study.Test()->GetName()));
            sheet.Style(0).hAlign = CellStyle::HAlign::Center;
            sheet.Style(0).bold = true;
        }
        const TCompetitor& user = *study.User();
        if (user.Id() == currentUser) {
            sheet.SetText(3, sheet.Text(3) + u'\\' + FormatPercent(study.Percent()));
            sheet.SetText(4, sheet.Text(4) + u'\\' + FormatStudyDate(study.Date()));
        } else {
            currentUser = user.Id();
            sheet.AddRow();
            sheet.SetText(0, fromCp1251(user.GetName()));
            sheet.SetText(1, fromCp1251(user.GetField(kTownField)));
            sheet.SetText(2, fromCp1251(user.GetField(kOrganisationField)));
            sheet.SetText(3, FormatPercent(study.Percent()));
            sheet.SetText(4, FormatStudyDate(study.Date()));
        }
    }
    sheet.Finish();
    return book.Close();
}

}  // namespace kvalor
