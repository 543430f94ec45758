#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QString>
#include <QStringList>

#include "ReaderTestSupport.h"
#include "exchange/AikenReader.h"
#include "exchange/GiftReader.h"

using namespace kvalor;
using namespace kvalor::readertest;

namespace {

struct ReaderCase {
    const char* name;
    QuestionFile (*read)(const QString&);
    const char* text;
    std::vector<std::string> questions;
    std::vector<ExpectedNote> notes;
};

class QuestionReaders : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(QuestionReaders, ReadAsTheKeysSay) {
    const ReaderCase& c = GetParam();
    const QuestionFile file = c.read(QString::fromUtf8(c.text));
    EXPECT_EQ(questionsOf(file), c.questions);
    expectNotes(file, c.notes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, QuestionReaders,
    ::testing::Values(
        ReaderCase{"GiftOneRightAnswer",
                   &ReadGift,
                   "Сколько будет 2+2? {=4 ~3 ~5}",
                   {"0 Сколько будет 2+2? | +4 -3 -5"},
                   {}},
        ReaderCase{"GiftWeightedTildesBesideOneRightCountAsWrong",
                   &ReadGift,
                   "Столица России? {=Москва ~%50%Петербург ~Киев}",
                   {"0 Столица России? | +Москва -Петербург -Киев"},
                   {{1, false, "частичные баллы"}}},
        ReaderCase{"GiftPositiveWeightsGiveSeveralRightAnswers",
                   &ReadGift,
                   "Какие числа чётные? {~%50%2 ~%50%4 ~%-100%3 ~1}",
                   {"1 Какие числа чётные? | +2 +4 -3 -1"},
                   {}},
        ReaderCase{"GiftArrowInAChoiceIsText",
                   &ReadGift,
                   "Что означает стрелка? {~a -> b ~c =d}",
                   {"0 Что означает стрелка? | -a -> b -c +d"},
                   {}},
        ReaderCase{"GiftTrueAndFalse",
                   &ReadGift,
                   "Земля круглая {T}\n\nЛуна — звезда {FALSE#неверно#верно}\n\n"
                   "Вода мокрая {TRUE}\n\nСнег чёрный {F}",
                   {"0 Земля круглая | +Верно -Неверно", "0 Луна — звезда | -Верно +Неверно",
                    "0 Вода мокрая | +Верно -Неверно", "0 Снег чёрный | -Верно +Неверно"},
                   {}},
        ReaderCase{"GiftMissingWordKeepsTheSentence",
                   &ReadGift,
                   "Столица Франции — {~Лион =Париж ~Марсель}, а не Лион.\n\n"
                   "{=Пушкин ~Лермонтов} написал «Онегина»",
                   {"0 Столица Франции — _____, а не Лион. | -Лион +Париж -Марсель",
                    "0 _____ написал «Онегина» | +Пушкин -Лермонтов"},
                   {}},
        ReaderCase{"GiftAnswersOverSeveralLinesWithFeedback",
                   &ReadGift,
                   "::Цвета::Какой цвет\\: между оранжевым и зелёным?\n"
                   "{\n"
                   "   =жёлтый # верно, \\#1 в радуге\n"
                   "// комментарий не делит вопрос\n"
                   "   ~красный # нет\n"
                   "   ~синий\n"
                   "   #### общий отзыв ~ с тильдой = и равенством\n"
                   "}",
                   {"0 Какой цвет: между оранжевым и зелёным? | +жёлтый -красный -синий"},
                   {}},
        ReaderCase{
            "GiftEscapes",
            &ReadGift,
            "Знаки \\~ \\= \\# \\{ \\} \\: \\\\ и\\nперенос {=a\\=b ~c\\~d ~e\\#f ~g\\{h\\}}",
            {"0 Знаки ~ = # { } : \\ и перенос | +a=b -c~d -e#f -g{h}"},
            {}},
        ReaderCase{
            "GiftMarkupBecomesPlainText",
            &ReadGift,
            "[html]<p>Что&nbsp;такое <b>H</b>TML &lt;br&gt;?</p>{=<i>язык</i> разметки ~код}\n\n"
            "[markdown]**Жирный**, *курсив*, `код` и [ссылка](http://x.ru) \\*звезда\\* "
            "{=да ~нет}\n\n"
            "[plain]<b>как есть</b> {=да ~нет}\n\n"
            "::Имя::[html]Строка<br>вторая {=a ~b}\n\n"
            "Текст <b>жирный</b>, и 2 < 3 {=a ~b}",
            {"0 Что такое HTML <br>? | +язык разметки -код",
             "0 Жирный, курсив, код и ссылка *звезда* | +да -нет", "0 <b>как есть</b> | +да -нет",
             "0 Строка вторая | +a -b", "0 Текст жирный, и 2 < 3 | +a -b"},
            {}},
        ReaderCase{"GiftTypesWithoutCounterpartAreLeftOut",
                   &ReadGift,
                   "Кто написал «Онегина»? {=Пушкин =А. С. Пушкин}\n\n"
                   "Сколько будет 2+2? {#4:0}\n\n"
                   "Сопоставьте {=кошка -> мяу =собака -> гав}\n\n"
                   "Опишите лето {}\n\n"
                   "Просто текст без ответов\n\n"
                   "Два верных {=a =b ~c}\n\n"
                   "Нет верного {~a ~%0%b}",
                   {},
                   {{1, true, "короткий ответ"},
                    {3, true, "числовой ответ"},
                    {5, true, "соответствие"},
                    {7, true, "эссе"},
                    {9, true, "описание"},
                    {11, true, "несколько ответов «=»"},
                    {13, true, "ни один ответ"}}},
        ReaderCase{"GiftMalformedQuestionsAreLeftOutAndTheRestIsRead",
                   &ReadGift,
                   "Незакрытая {=a ~b\n\n"
                   "Лишняя } скобка {=a ~b}\n\n"
                   "Два блока {=a ~b} и {=c ~d}\n\n"
                   "::Без конца названия {=a ~b}\n\n"
                   "Плохой вес {~%abc%a ~b}\n\n"
                   "{=a ~b}\n\n"
                   "Пустой ответ {=a ~}\n\n"
                   "Без знака {a ~b}\n\n"
                   "Верный {=да ~нет}",
                   {"0 Верный | +да -нет"},
                   {{1, true, "не закрыта скобка «{»"},
                    {3, true, "лишняя закрывающая скобка"},
                    {5, true, "больше одного блока"},
                    {7, true, "не закрыто название"},
                    {9, true, "неверный вес"},
                    {11, true, "нет текста вопроса"},
                    {13, true, "пустой вариант"},
                    {15, true, "не начинается с «=» или «~»"}}},
        ReaderCase{"GiftCharactersOutsideTheCodePageAreMarked",
                   &ReadGift,
                   "Пи ≈ π? {=да ~нет}\n\nи\u0306од {=да ~нет}",
                   {"0 Пи ? ?? | +да -нет", "0 йод | +да -нет"},
                   {{1, false, "Windows-1251"}}},
        ReaderCase{"AikenBothOptionStyles",
                   &ReadAiken,
                   "Сколько будет 2+2?\nA. 3\nB. 4\nC. 5\nANSWER: B\n\n"
                   "Какая планета ближе к Солнцу?\nA) Венера\nB) Меркурий\nANSWER: B\n",
                   {"0 Сколько будет 2+2? | -3 +4 -5",
                    "0 Какая планета ближе к Солнцу? | -Венера +Меркурий"},
                   {}},
        ReaderCase{"AikenAnswerLineEndsAQuestionAndWrappedLinesJoin",
                   &ReadAiken,
                   "Столица\nРоссии?\r\nA. Москва,\r\n   город федерального значения\r\n"
                   "B. Киев\r\nanswer: a\r\n"
                   "Второй вопрос\nA. да\nB. нет\nANSWER:B",
                   {"0 Столица России? | +Москва, город федерального значения -Киев",
                    "0 Второй вопрос | -да +нет"},
                   {}},
        ReaderCase{"AikenIncompleteQuestionsAreLeftOut",
                   &ReadAiken,
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

QStringList categoriesOf(const QuestionFile& file) {
    QStringList paths;
    for (const ImportedQuestion& question : file.Questions()) {
        paths << question.category.join(u'|');
    }
    return paths;
}

TEST(GiftReader, CategoriesGivePathsWhateverTheLineEnds) {
    const QString gift = QString::fromUtf8(
        "// вопросы без категории идут прямо в тест\n"
        "Вне групп {=a ~b}\n"
        "\n"
        "$CATEGORY: $course$/top/Алгебра/ Дроби \n"
        "\n"
        "Первый {=a ~b}\n"
        "\n"
        "$CATEGORY: Геометрия//Стереометрия\n"
        "Второй {=a ~b}\n"
        "\n"
        "$category:\n"
        "\n"
        "Третий {=a ~b}\n");
    for (const QString& text : {gift, QString(gift).replace("\n", "\r\n")}) {
        const QuestionFile file = ReadGift(text);
        EXPECT_EQ(categoriesOf(file),
                  QStringList({"", "Алгебра|Дроби", "Геометрия/Стереометрия", ""}));
        std::vector<int> lines;
        for (const ImportedQuestion& question : file.Questions()) {
            lines.push_back(question.line);
        }
        EXPECT_EQ(lines, (std::vector<int>{2, 6, 9, 13}));
        EXPECT_TRUE(file.Notes().empty());
    }

    // Nesting is cut where the data file would refuse it.
    QString deep = "$CATEGORY: ";
    for (int level = 0; level < 40; ++level) {
        deep += QString("g%1/").arg(level);
    }
    const QuestionFile file = ReadGift(deep + "\n\nВопрос {=a ~b}");
    ASSERT_EQ(file.Questions().size(), 1u);
    EXPECT_EQ(file.Questions()[0].category.size(), 32);
    expectNotes(file, {{1, false, "глубже 32"}});

    EXPECT_TRUE(ReadGift("// только комментарий\n\n\n$CATEGORY: пусто\n").Empty());
}

}  // namespace
