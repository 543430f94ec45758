#include "analysis/StatisticsTexts.h"

#include <QStringList>

#include "util/DateTime.h"
#include "util/TextUtils.h"

namespace kvalor {

QString FormatFigure(std::optional<double> value) {
    return value ? FormatPercent(*value) : QString(kNoFigure);
}

QString QuestionFlagWords(std::uint8_t flags) {
    QStringList words;
    if (flags & kFlagTooHard) {
        words << QStringLiteral("трудный");
    }
    if (flags & kFlagTooEasy) {
        words << QStringLiteral("лёгкий");
    }
    if (flags & kFlagWeakDiscrimination) {
        words << QStringLiteral("не различает");
    }
    return words.join(QStringLiteral(", "));
}

QString QuestionFlagLegend() {
    return QStringLiteral(
               "Отмечены вопросы:\n"
               "трудный — верно ответили меньше %1 получивших его;\n"
               "лёгкий — верно ответили больше %2;\n"
               "не различает — различение ниже %3: сильные отвечают на вопрос не лучше "
               "слабых (проверьте ключ и формулировку).")
        .arg(QStringLiteral("%1 %").arg(kHardFacility * 100),
             QStringLiteral("%1 %").arg(kEasyFacility * 100), FormatFigure(kWeakDiscrimination));
}

QString Kr20GapText(Kr20Gap gap) {
    switch (gap) {
        case Kr20Gap::None:
            return {};
        case Kr20Gap::NoStudies:
            return QStringLiteral("нет результатов");
        case Kr20Gap::DifferentQuestions:
            return QStringLiteral("соискатели получили разные вопросы");
        case Kr20Gap::TooFewQuestions:
            return QStringLiteral("меньше двух вопросов");
        case Kr20Gap::NoVariance:
            return QStringLiteral("все набрали одинаково");
    }
    return {};
}

QString Kr20Text(const TestFigures& figures) {
    if (figures.kr20) {
        return FormatFigure(figures.kr20);
    }
    return QStringLiteral("%1 (%2)").arg(QString(kNoFigure), Kr20GapText(figures.kr20Gap));
}

std::vector<SummaryLine> SummaryLines(const TestFigures& figures) {
    const auto figure = [](const QString& label, std::optional<double> number) {
        return SummaryLine{label, number, 2, FormatFigure(number)};
    };
    const std::optional<PercentFigures>& percent = figures.percent;
    const auto ofPercent = [&](const QString& label, double PercentFigures::*field) {
        return figure(label, percent ? std::optional((*percent).*field) : std::nullopt);
    };
    const auto share = [&](const QString& label, int count) {
        return figure(label, figures.studies > 0 ? std::optional(double(count) / figures.studies)
                                                 : std::nullopt);
    };
    std::vector<SummaryLine> lines = {
        {QStringLiteral("Результатов"), figures.studies, 0, QString::number(figures.studies)},
        ofPercent(QStringLiteral("Средний процент"), &PercentFigures::mean),
        ofPercent(QStringLiteral("Медиана процента"), &PercentFigures::median),
        ofPercent(QStringLiteral("Стандартное отклонение процента"), &PercentFigures::sd),
        ofPercent(QStringLiteral("Наименьший процент"), &PercentFigures::min),
        ofPercent(QStringLiteral("Наибольший процент"), &PercentFigures::max),
        share(QStringLiteral("Доля сдавших"), figures.passed),
    };
    for (std::size_t grade = 0; grade < figures.gradeCounts.size(); ++grade) {
        lines.push_back(
            share(QStringLiteral("Доля с оценкой %1").arg(grade + 1), figures.gradeCounts[grade]));
    }
    lines.push_back({QStringLiteral("Надёжность (KR-20)"), figures.kr20, 2, Kr20Text(figures)});
    return lines;
}

QString HistogramBinText(int bin) {
    return QStringLiteral("%1–%2").arg(bin * 10).arg(bin * 10 + 10);
}

}  // namespace kvalor
