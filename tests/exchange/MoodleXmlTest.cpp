#include <memory>

#include <gtest/gtest.h>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "ReaderTestSupport.h"
#include "SchoolData.h"
#include "exchange/MoodleXmlReader.h"
#include "exchange/QuestionExport.h"
#include "exchange/QuestionImport.h"
#include "exchange/QuestionText.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/TypeIds.h"
#include "support/PythonScript.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;
using namespace kvalor::readertest;

namespace {

// A question element of the given type with its text and answers ("fraction:text" each).
QString question(const char* type, const char* text, std::initializer_list<const char*> answers,
                 const char* extra = "") {
    QString xml = QStringLiteral(
                      "<question type=\"%1\"><questiontext format=\"html\"><text>%2</text>"
                      "</questiontext>%3")
                      .arg(type, QString::fromUtf8(text), QString::fromUtf8(extra));
    for (const QString written : answers) {
        xml += QStringLiteral(
                   "<answer fraction=\"%1\"><text>%2</text><feedback><text>отзыв</text>"
                   "</feedback></answer>")
                   .arg(written.section(u':', 0, 0), written.section(u':', 1));
    }
    return xml + "</question>\n";
}

QString quiz(const QString& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n" + body + "</quiz>\n";
}

TEST(MoodleXml, EveryTypeIsImportedReportedOrLeftOut) {
    const char* single = "<single>true</single>";
    const QString text = quiz(
        "<question type=\"category\"><category><text>$course$/top/Алгебра/Дроби//доли</text>"
        "</category></question>\n" +
        question("multichoice", "<![CDATA[<p>Сколько &amp; <b>2</b>+2?</p>]]>",
                 {"0:3", "100:4", "0:&lt;5&gt;"}, single) +
        question("multichoice", "Частично", {"100:a", "50:b", "0:c"}, single) +
        question("multichoice", "Какие чётные?", {"50:2", "50:4", "-100:3"},
                 "<single>false</single><shuffleanswers>0</shuffleanswers>") +
        question("multichoice", "Любой из двух", {"100:a", "100:b"}) +
        question("multichoice", "Без верного", {"0:a", "-50:b"}) +
        question("multichoice", "Плохая доля", {"nan:a", "100:b"}) +
        question("truefalse", "Земля плоская", {"0:true", "100:false"}) +
        question("ordering", "По порядку", {"2:Б", "1:А", "3:В"},
                 "<gradingtype>ALL_OR_NOTHING</gradingtype>") +
        question("ordering", "Частичный порядок", {"1:x", "2:y"}) +
        "<question type=\"category\"><category>$system$/Геометрия</category></question>\n" +
        question("multichoice", "<![CDATA[С картинкой <img src=\"@@PLUGINFILE@@/a.png\"/>]]>",
                 {"100:a", "0:b"}, "<file name=\"a.png\" encoding=\"base64\">iVBORw0KGgo=</file>") +
        question("shortanswer", "Короткий", {"100:ответ"}) + question("matching", "Пары", {}) +
        question("multianswer", "Cloze {1:SHORTANSWER:=a}", {}) + question("foo", "Новый", {}) +
        "<question type=\"multichoice\"><questiontext format=\"markdown\"><text>**Жирный** "
        "`код`</text></questiontext><answer fraction=\"100\" format=\"plain_text\"><text>&lt;b&gt;"
        "</text></answer><answer fraction=\"0\"><text>нет</text></answer></question>\n");
    const QuestionFile file = ReadMoodleXml(text, "q.xml");
    EXPECT_EQ(
        questionsOf(file),
        (std::vector<std::string>{"0 Сколько & 2+2? | -3 +4 -<5>", "0 Частично | +a -b -c",
                                  "1 Какие чётные? | +2 +4 -3", "0 Земля плоская | -Верно +Неверно",
                                  "2 По порядку | -А -Б -В", "2 Частичный порядок | -x -y",
                                  "0 С картинкой | +a -b", "0 Жирный код | +<b> -нет"}));
    EXPECT_EQ(file.Questions()[0].category, QStringList({"Алгебра", "Дроби/доли"}));
    EXPECT_EQ(file.Questions()[7].category, QStringList{"Геометрия"});
    EXPECT_EQ(file.Questions()[2].allowMix, !file.Questions()[1].allowMix);
    expectNotes(file, {{5, false, "верен только ответ с наибольшей долей"},
                       {6, false, "ни одного неверного"},
                       {7, true, "несколько ответов с полной оценкой"},
                       {8, true, "ни один ответ"},
                       {9, true, "неверная доля ответа «nan»"},
                       {12, false, "последовательность верна, только когда верны все места"},
                       {14, false, "изображения и вложенные файлы не переносятся"},
                       {15, true, "короткий ответ («shortanswer»)"},
                       {16, true, "соответствие («matching»)"},
                       {17, true, "вложенными ответами («multianswer»)"},
                       {18, true, "тип вопроса «foo»: в Квалоре нет такого типа вопроса"}});
}

TEST(MoodleXml, DamagedAndHostileFilesAreRefusedWhole) {
    const struct {
        QString text;
        const char* error;
    } refused[] = {
        {quiz(question("multichoice", "Вопрос", {"100:a"})).chopped(3), "файл обрывается"},
        {quiz("<question type=\"multichoice\"><b></question>"), "нарушена разметка XML в строке 3"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE quiz [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n"
         "<quiz>&c;&c;&c;&c;&c;&c;&c;</quiz>",
         "объявления DTD в файлах вопросов не допускаются"},
        {quiz(QString("<a>").repeated(40)), "элементы XML вложены глубже 32 уровней (строка 3)"},
    };
    for (const auto& c : refused) {
        try {
            ReadMoodleXml(c.text, "/tmp/bank.xml");
            ADD_FAILURE() << "read: " << c.text.toStdString();
        } catch (const KvalorError& error) {
            EXPECT_TRUE(error.message().startsWith("Файл «bank.xml» не прочитан: ") &&
                        error.message().contains(QString::fromUtf8(c.error)))
                << error.message().toStdString();
        }
    }

    // Too many answers or too long a text cost the question, not the file.
    const QString many =
        QString("<answer fraction=\"0\"><text>b</text></answer>").repeated(kMaxQuestionAnswers) +
        "</question>";
    const QuestionFile file = ReadMoodleXml(
        quiz(question("multichoice", "Много", {"100:a"}).replace("</question>", many) +
             question("multichoice", "Длинный", {"100:a"})
                 .replace("Длинный", QString(kMaxTextLength + 1, u'я')) +
             question("multichoice", "Верный", {"100:да", "0:нет"})),
        "q.xml");
    EXPECT_EQ(questionsOf(file), std::vector<std::string>{"0 Верный | +да -нет"});
    expectNotes(file,
                {{3, true, "больше 100 вариантов"}, {4, true, "текст длиннее 20000 символов"}});
}

// "2 /Группа Текст | -a -b" per question, sorted: type, group path, text, " fixed" when the
// answers keep their order, then the answers: "+" or "-" for a choice, "place:" for a sequence.
QStringList linesOf(const TQuestions& group, const QString& path = {}) {
    QStringList lines;
    for (int i = 0; i < group.Count(); ++i) {
        if (const auto* sub = dynamic_cast<const TQuestions*>(group.CollectionAt(i))) {
            lines << linesOf(*sub, path + u'/' + fromCp1251(sub->GetName()));
        } else if (const auto* question = dynamic_cast<const TQuestion*>(group.ElementAt(i))) {
            const bool sequence = question->QuestionType() == kSequence;
            QStringList answers;
            for (int k = 0; k < question->Answers().Count(); ++k) {
                const TAnswer& answer = *question->Answers().AnswerAt(k);
                answers << (sequence ? QString::number(answer.CorrectPosition()) + u':'
                                     : QString(answer.Correct() ? "+" : "-")) +
                               fromCp1251(answer.GetName());
            }
            if (sequence) {
                answers.sort();
            }
            lines << QString::number(question->QuestionType()) + u' ' + path + u' ' +
                         fromCp1251(question->GetName()) +
                         (question->Answers().AllowMix() ? " | " : " fixed | ") +
                         answers.join(u' ');
        }
    }
    lines.sort();
    return lines;
}

void addQuestion(TQuestions& group, const char* text, std::uint8_t type,
                 std::initializer_list<const char*> answers, bool mixed = true) {
    auto question = std::make_unique<TQuestion>();
    question->SetName(toCp1251(QString::fromUtf8(text)));
    question->SetQuestionType(type);
    int place = 0;
    for (const char* written : answers) {
        auto answer = question->Answers().NewAnswer();
        answer->SetName(toCp1251(QString::fromUtf8(written + 1)));
        answer->SetCorrect(written[0] == '+');
        answer->SetCorrectPosition(type == kSequence ? static_cast<int>(answers.size()) - ++place
                                                     : 0);
        question->Answers().AddItem(std::move(answer));
    }
    question->Answers().SetAllowMix(mixed);
    group.AddItem(std::move(question));
}

TEST(QuestionExport, TestsReadBackAsTheyWereWritten) {
    TKvalor starter;
    BuildStarterData(starter);
    TKvalor school;
    BuildSchoolData(school, SchoolShape{1, 4, 30});
    // Characters that both formats must escape, and questions that cannot be written.
    TQuestions marks(kGroupKindSimpleTest);
    marks.SetName(toCp1251(QString::fromUtf8("Знаки")));
    auto group = std::make_unique<TQuestions>(kGroupKindSubgroup);
    group->SetName(toCp1251(QString::fromUtf8("Дроби/доли")));
    addQuestion(*group, "~ = # { } : \\ & < > \" ' ?", kSingleAnswer,
                {"+%5 скидки", "-[html]<b>x</b>", "-// нет"});
    addQuestion(*group, "// $CATEGORY: не категория", kMultipleAnswers,
                {"+a=b", "+c~d", "-::e::", "-&amp;"}, false);
    addQuestion(*group, "Порядок", kSequence, {"-В", "-Б", "-А"});
    addQuestion(*group, "Без верного", kSingleAnswer, {"-a", "-b"});
    addQuestion(*group, "Без ответов", kMultipleAnswers, {});
    marks.AddCollection(std::move(group));

    QTemporaryDir dir;
    ExportReport report;  // the last is of the marks in GIFT
    const auto& demo = static_cast<const TQuestions&>(*starter.SimpleTests().CollectionAt(0));
    const auto& subject = static_cast<const TQuestions&>(*school.SimpleTests().CollectionAt(0));
    for (const TQuestions* test : {&demo, &subject, static_cast<const TQuestions*>(&marks)}) {
        QStringList all = linesOf(*test);
        all.removeIf([](const QString& line) { return line.contains(u"Без "); });
        QStringList choices = all;
        choices.removeIf([](const QString& line) { return line.startsWith(u'2'); });
        // GIFT has no way to keep answers in place.
        choices.replaceInStrings(" fixed |", " |");
        for (const ExportFormat format : {ExportFormat::MoodleXml, ExportFormat::Gift}) {
            const bool gift = format == ExportFormat::Gift;
            report = ExportQuestions(*test, dir.filePath("t"), format);
            TQuestions back(kGroupKindSimpleTest);
            back.SetName(test->GetName());
            ImportQuestions(ReadQuestionFile(dir.filePath("t")), back);
            EXPECT_EQ(linesOf(back).join(u'\n'), (gift ? choices : all).join(u'\n'));
            EXPECT_EQ(report.written, gift ? choices.size() : all.size());
        }
    }
    ASSERT_EQ(report.notes.size(), 3u);
    EXPECT_EQ(report.notes[2].number, 5);

    // Nothing to write, or nowhere to write it: the file written before stays as it was.
    const qint64 before = QFileInfo(dir.filePath("t")).size();
    EXPECT_THROW(
        ExportQuestions(TQuestions(kGroupKindSimpleTest), dir.filePath("t"), ExportFormat::Gift),
        KvalorError);
    EXPECT_THROW(ExportQuestions(marks, dir.path(), ExportFormat::MoodleXml), KvalorError);
    EXPECT_EQ(QFileInfo(dir.filePath("t")).size(), before);

    // The XML as Python's own parser reads it: the platform's types, fractions and paths.
    ExportQuestions(demo, dir.filePath("demo.xml"), ExportFormat::MoodleXml);
    const auto run =
        testsupport::runPythonScript("exchange/moodle_structure.py", {dir.filePath("demo.xml")});
    if (!run) {
        GTEST_SKIP() << "no Python interpreter";
    }
    EXPECT_EQ(
        QString::fromStdString(run->output).split(u'\n'),
        QStringList({"root quiz", "category $course$/Демонстрационный тест/Арифметика",
                     "multichoice true html Сколько будет 2 + 2? 0 100 0 sum 100",
                     "multichoice false html Какие из чисел чётные? 50 -100 50 -100 sum 100",
                     "category $course$/Демонстрационный тест/Астрономия",
                     "multichoice true html Какая планета ближе всех к Солнцу? 0 100 0 sum 100",
                     "ordering ALL_OR_NOTHING html Расположите планеты по удалённости от "
                     "Солнца, начиная с ближайшей 1 2 3 4"}));
}

}  // namespace
