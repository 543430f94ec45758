#include "StatsReport.h"

#include <QJsonArray>
#include <QStringList>
#include <vector>

#include "analysis/StatisticsTexts.h"
#include "model/CollectionHelpers.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

QJsonValue number(std::optional<double> value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

std::optional<double> shareOf(int count, int total) {
    return total > 0 ? std::optional(double(count) / total) : std::nullopt;
}

}  // namespace

const TQuestions& FindTestForStatistics(const TKvalor& root, const QString& nameOrId) {
    std::vector<const TQuestions*> found;
    for (TQuestions* tree : {&root.SimpleTests(), &root.ComplexTests()}) {
        for (TExaminerCollection* collection : CollectCollections(*tree, "TQuestions")) {
            const auto* test = dynamic_cast<const TQuestions*>(collection);
            if (test &&
                (test->GroupKind() == kGroupKindSimpleTest ||
                 test->GroupKind() == kGroupKindComplexTest) &&
                (sameName(test->GetName(), toCp1251(nameOrId)) ||
                 test->Id().toQString().compare(nameOrId, Qt::CaseInsensitive) == 0)) {
                found.push_back(test);
            }
        }
    }
    if (found.empty()) {
        throw KvalorError(QStringLiteral("Тест «%1» не найден").arg(nameOrId));
    }
    if (found.size() > 1) {
        throw KvalorError(
            QStringLiteral("Тестов с именем «%1» несколько: укажите идентификатор теста")
                .arg(nameOrId));
    }
    return *found.front();
}

QJsonObject StatisticsJson(const TestFigures& figures) {
    const std::optional<PercentFigures>& percent = figures.percent;
    const auto ofPercent = [&percent](double PercentFigures::*field) {
        return percent ? QJsonValue((*percent).*field) : QJsonValue();
    };
    QJsonArray histogram;
    for (const int count : figures.histogram) {
        histogram.append(count);
    }
    QJsonArray levels;
    for (const int count : figures.gradeCounts) {
        levels.append(number(shareOf(count, figures.studies)));
    }
    QJsonArray questions;
    for (const QuestionFigures& question : figures.questions) {
        QJsonArray answers;
        for (const AnswerFigures& answer : question.answers) {
            answers.append(QJsonObject{
                {"id", answer.id.toQString()},
                {"chosen", number(question.given > 0 ? std::optional(answer.share) : std::nullopt)},
            });
        }
        questions.append(QJsonObject{
            {"id", question.id.toQString()},
            {"given", question.given},
            {"facility", number(question.facility)},
            {"discrimination", number(question.discrimination)},
            {"answers", answers},
        });
    }
    return QJsonObject{
        {"studies", figures.studies},
        {"mean", ofPercent(&PercentFigures::mean)},
        {"median", ofPercent(&PercentFigures::median)},
        {"sd", ofPercent(&PercentFigures::sd)},
        {"min", ofPercent(&PercentFigures::min)},
        {"max", ofPercent(&PercentFigures::max)},
        {"kr20", number(figures.kr20)},
        {"histogram", histogram},
        {"grades", QJsonObject{{"passed", number(shareOf(figures.passed, figures.studies))},
                               {"levels", levels}}},
        {"questions", questions},
    };
}

QString StatisticsText(const TestFigures& figures) {
    QStringList lines{QStringLiteral("Тест «%1»").arg(fromCp1251(figures.testName))};
    for (const SummaryLine& line : SummaryLines(figures)) {
        lines << QStringLiteral("%1: %2").arg(line.label, line.text);
    }
    lines << QString() << QStringLiteral("Процент  Результатов");
    for (int bin = 0; bin < kHistogramBins; ++bin) {
        lines << QStringLiteral("%1 %2")
                     .arg(HistogramBinText(bin), -8)
                     .arg(figures.histogram[static_cast<std::size_t>(bin)], 11);
    }
    lines << QString()
          << QStringLiteral(
                 "   №  Получили  Решаемость  Различение  Замечания              Вопрос");
    for (const QuestionFigures& question : figures.questions) {
        const QString text = fromCp1251(question.text).section(u'\n', 0, 0).simplified();
        lines << QStringLiteral("%1 %2 %3 %4  %5 %6")
                     .arg(question.number > 0 ? QString::number(question.number)
                                              : QString(kNoFigure),
                          4)
                     .arg(question.given, 9)
                     .arg(FormatFigure(question.facility), 11)
                     .arg(FormatFigure(question.discrimination), 11)
                     .arg(QuestionFlagWords(question.flags), -22)
                     .arg(text);
    }
    lines << QString() << QuestionFlagLegend();
    return lines.join(u'\n') + u'\n';
}

}  // namespace kvalor
