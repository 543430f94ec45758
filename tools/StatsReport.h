#pragma once

#include <QJsonObject>
#include <QString>

#include "analysis/TestStatistics.h"

namespace kvalor {

class TKvalor;
class TQuestions;

// The simple or complex test of that name (compared as the program compares names) or of that
// id. Raises an error when there is none, or when several tests have the name.
const TQuestions& FindTestForStatistics(const TKvalor& root, const QString& nameOrId);

// The figures with the keys studies, mean, median, sd, min, max, kr20, histogram, grades
// ({passed, levels}: the share of passes and of each grade) and questions (id, given,
// facility, discrimination, answers with id and chosen). Percents in percent, shares in 0..1;
// null where a figure has no value.
QJsonObject StatisticsJson(const TestFigures& figures);

// The figures as a table to read.
QString StatisticsText(const TestFigures& figures);

}  // namespace kvalor
