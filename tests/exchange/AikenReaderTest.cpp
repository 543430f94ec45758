#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>

#include "ReaderTestSupport.h"
#include "exchange/AikenReader.h"

using namespace kvalor;
using namespace kvalor::readertest;

namespace {

struct AikenCase {
    const char* name;
    const char* aiken;
    std::vector<std::string> questions;
    std::vector<ExpectedNote> notes;
};

void PrintTo(const AikenCase& c, std::ostream* out) {
    *out << c.name;
}

class AikenMapping : public ::testing::TestWithParam<AikenCase> {};

TEST_P(AikenMapping, ReadsAsTheKeysSay) {
    const AikenCase& c = GetParam();
    const QuestionFile file = ReadAiken(QString::fromUtf8(c.aiken));
    EXPECT_EQ(questionsOf(file), c.questions);
    expectNotes(file, c.notes);
}

INSTANTIATE_TEST_SUITE_P(
    Aiken, AikenMapping,
    ::testing::Values(
        AikenCase{"BothOptionStyles",
                  "Сколько будет 2+2?\nA. 3\nB. 4\nC. 5\nANSWER: B\n\n"
                  "Какая планета ближе к Солнцу?\nA) Венера\nB) Меркурий\nANSWER: B\n",
                  {"0 Сколько будет 2+2? | -3 +4 -5",
                   "0 Какая планета ближе к Солнцу? | -Венера +Меркурий"},
                  {}},
        AikenCase{"AnswerLineEndsAQuestionAndWrappedLinesJoin",
                  "Столица\nРоссии?\r\nA. Москва,\r\n   город федерального значения\r\n"
                  "B. Киев\r\nanswer: a\r\n"
                  "Второй вопрос\nA. да\nB. нет\nANSWER:B",
                  {"0 Столица России? | +Москва, город федерального значения -Киев",
                   "0 Второй вопрос | -да +нет"},
                  {}},
        AikenCase{"IncompleteQuestionsAreLeftOut",
                  "Без строки ответа\nA. да\nB. нет\n\n"
                  "Ответ не из вариантов\nA. да\nB. нет\nANSWER: C\n\n"
                  "Без вариантов\nANSWER: A\n\n"
                  "Повтор буквы\nA. да\nA. нет\nANSWER: A\n\n"
                  "A. без текста вопроса\nB. нет\nANSWER: A\n\n"
                  "Верный\nA. да\nB. нет\nANSWER: A",
                  {"0 Верный | +да -нет"},
                  {{1, true, "нет строки «ANSWER:»"},
                   {5, true, "вариант «C», которого нет"},
                   {10, true, "нет вариантов"},
                   {13, true, "вариант «A» повторяется"},
                   {18, true, "нет текста вопроса"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AikenReader, FormatIsToldByAnswerLinesAgainstBraces) {
    EXPECT_TRUE(LooksLikeAiken("Вопрос\nA. да\nB. нет\nANSWER: A\n"));
    EXPECT_FALSE(LooksLikeAiken("Вопрос {=да ~нет}\n"));
    EXPECT_FALSE(LooksLikeAiken("Вопрос {=да ~нет}\nANSWER: A\n"));
    EXPECT_TRUE(LooksLikeAiken("Вопрос {1}\nA. да\nANSWER: A\n\nЕщё\nA. да\nANSWER: A\n"));
    EXPECT_FALSE(LooksLikeAiken(""));
}

}  // namespace
