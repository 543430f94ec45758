#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "analysis/TestStatistics.h"

namespace kvalor {

// The words of the test statistics, the same in the window, the workbook and kvalor-tool.

// "—" where a figure has no value.
inline constexpr char16_t kNoFigure = u'—';

// A percent or a share with two decimals in the display locale; "—" for none.
QString FormatFigure(std::optional<double> value);
// The flags of a question as short words ("трудный, не различает"); empty without flags.
QString QuestionFlagWords(std::uint8_t flags);
// Why questions are flagged, one line per flag.
QString QuestionFlagLegend();
// Why KR-20 has no value; empty when it has one.
QString Kr20GapText(Kr20Gap gap);
// KR-20 with two decimals, or "—" with its reason.
QString Kr20Text(const TestFigures& figures);
// One line of a test's summary: what it is and its value, a number where it has one.
struct SummaryLine {
    QString label;
    std::optional<double> number;
    // Decimals of the number: 0 for a count, 2 for percents and shares.
    int decimals = 2;
    // The value as shown: the number formatted, or "—" with the reason.
    QString text;
};
// Studies, the percent figures, the share of passes and of each grade, KR-20.
std::vector<SummaryLine> SummaryLines(const TestFigures& figures);

// The range of percent of a histogram bin: "0–10", ..., "90–100".
QString HistogramBinText(int bin);

}  // namespace kvalor
