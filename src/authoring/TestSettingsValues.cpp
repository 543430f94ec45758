#include "authoring/TestSettingsValues.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/TextUtils.h"

namespace kvalor {

namespace {

// Minutes from hours and minutes as typed; no upper limit, but within the stored range.
std::int32_t durationOf(int hours, int minutes) {
    const std::int64_t total = static_cast<std::int64_t>(hours) * 60 + minutes;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(total, 0, std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::optional<TestSettingsValues::Fault> TestSettingsValues::FirstFault() const {
    double previous = 0.0;
    for (int level = 0; level < Thresholds.size(); ++level) {
        const double value = VariantToFloat(Thresholds[level], -1.0);
        // The thresholds in use rise strictly; zeros are levels left out.
        if (value < 0.0 || (value != 0.0 && value <= previous)) {
            return Fault{Field::Thresholds,
                         QStringLiteral("Неверно задан порог оценки %1: нужно число не меньше 0, "
                                        "большее порогов предыдущих оценок (0 — оценка не "
                                        "используется)")
                             .arg(level + 1)};
        }
        previous = std::max(previous, value);
    }
    const QString wholeNumber = QStringLiteral("нужно целое число не меньше 0");
    if (VariantToFloat(PassPercent, -1.0) < 0.0) {
        return Fault{Field::PassPercent, QStringLiteral("Неверно задан ценз (% правильных "
                                                        "ответов): нужно число не меньше 0")};
    }
    if (VariantToInt(Hours, -1) < 0) {
        return Fault{
            Field::Hours,
            QStringLiteral("Неверно задано время прохождения теста, часов: ") + wholeNumber};
    }
    if (VariantToInt(Minutes, -1) < 0) {
        return Fault{
            Field::Minutes,
            QStringLiteral("Неверно задано время прохождения теста, минут: ") + wholeNumber};
    }
    // A task never takes a negative number of questions.
    if (TaskQuestions && VariantToInt(*TaskQuestions, -1) < 0) {
        return Fault{Field::TaskQuestions,
                     QStringLiteral("Неверно задано выбранное кол-во вопросов: ") + wholeNumber};
    }
    if (Caption.trimmed().isEmpty()) {
        return Fault{Field::Caption, QStringLiteral("Не задано наименование теста")};
    }
    return std::nullopt;
}

void TestSettingsValues::ApplyTo(TQuestions& test, TTask* task) const {
    test.SetName(toCp1251(Caption));
    test.SetGradingMethod(Grades ? 1 : 0);
    test.SetPassPercent(VariantToFloat(PassPercent, 0.0));
    test.SetDuration(durationOf(VariantToInt(Hours, 0), VariantToInt(Minutes, 0)));
    for (int level = 0; level < Thresholds.size() && level < test.LevelCount(); ++level) {
        test.SetLevelThreshold(level, VariantToFloat(Thresholds[level], 0.0));
    }
    test.SetMixQuestions(MixQuestions);
    test.SetMixAnswers(MixAnswers);
    if (test.GroupKind() == kGroupKindComplexTest) {
        test.SetMixGroups(MixGroups);
        test.SetBreakGroups(BreakGroups);
    }
    if (task && TaskQuestions) {
        // As typed: the draw takes all questions of a smaller source.
        task->QuestionCount = VariantToInt(*TaskQuestions, 0);
    }
}

}  // namespace kvalor
