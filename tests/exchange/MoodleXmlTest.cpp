#include <gtest/gtest.h>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "ReaderTestSupport.h"
#include "exchange/MoodleXmlReader.h"
#include "exchange/QuestionImport.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Error.h"

using namespace kvalor;
using namespace kvalor::readertest;

namespace {

// A question element of the given type with its text and answers ("fraction:text" each).
QString question(const char* type, const char* text, std::initializer_list<const char*> answers,
                 const char* extra = "") {
    QString xml = QStringLiteral(
                      "<question type=\"%1\"><questiontext format=\"html\"><text>%2"
                      "</text></questiontext>%3")
                      .arg(type, QString::fromUtf8(text), QString::fromUtf8(extra));
    for (const char* answer : answers) {
        const QString written = QString::fromUtf8(answer);
        const qsizetype colon = written.indexOf(u':');
        xml += QStringLiteral(
                   "<answer fraction=\"%1\"><text>%2</text><feedback><text>отзыв</text>"
                   "</feedback></answer>")
                   .arg(written.left(colon), written.mid(colon + 1));
    }
    return xml + "</question>\n";
}

QString quiz(const QString& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<quiz>\n" + body + "</quiz>\n";
}

TEST(MoodleXml, EveryTypeIsImportedReportedOrLeftOut) {
    const char* single = "<single>true</single>";
    const char* several = "<single>false</single><shuffleanswers>0</shuffleanswers>";
    const QString text = quiz(
        "<question type=\"category\"><category><text>$course$/top/Алгебра/Дроби//доли</text>"
        "</category></question>\n" +
        question("multichoice", "<![CDATA[<p>Сколько &amp; <b>2</b>+2?</p>]]>",
                 {"0:3", "100:4", "0:&lt;5&gt;"}, single) +
        question("multichoice", "Частично", {"100:a", "50:b", "0:c"}, single) +
        question("multichoice", "Какие чётные?", {"50:2", "50:4", "-100:3"}, several) +
        question("multichoice", "Любой из двух", {"100:a", "100:b"}) +
        question("multichoice", "Без верного", {"0:a", "-50:b"}) +
        question("multichoice", "Плохая доля", {"abc:a", "100:b"}) +
        question("truefalse", "Земля плоская", {"0:true", "100:false"}) +
        question("ordering", "По порядку", {"2:Б", "1:А", "3:В"},
                 "<gradingtype>ALL_OR_NOTHING</gradingtype>") +
        question("ordering", "Частичный порядок", {"1:x", "2:y"}) +
        "<question type=\"category\"><category>$system$/Геометрия</category></question>\n" +
        question("multichoice", "<![CDATA[С картинкой <img src=\"@@PLUGINFILE@@/a.png\"/>]]>",
                 {"100:a", "0:b"}, "<file name=\"a.png\" encoding=\"base64\">iVBORw0KGgo=</file>") +
        question("shortanswer", "Короткий", {"100:ответ"}) +
        question("numerical", "Число", {"100:4"}) + question("matching", "Пары", {}) +
        question("essay", "Эссе", {}) + question("description", "Описание", {}) +
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
    QStringList categories;
    for (const ImportedQuestion& imported : file.Questions()) {
        categories << imported.category.join(u'|') + (imported.allowMix ? "" : " fixed");
    }
    EXPECT_EQ(categories.join(u','),
              "Алгебра|Дроби/доли,Алгебра|Дроби/доли,Алгебра|Дроби/доли "
              "fixed,Алгебра|Дроби/доли,Алгебра|Дроби/доли,Алгебра|Дроби/"
              "доли,Геометрия,Геометрия");
    expectNotes(file, {{5, false, "верен только ответ с наибольшей долей"},
                       {6, false, "ни одного неверного"},
                       {7, true, "несколько ответов с полной оценкой"},
                       {8, true, "ни один ответ"},
                       {9, true, "неверная доля ответа «abc»"},
                       {12, false, "последовательность верна, только когда верны все места"},
                       {14, false, "изображения и вложенные файлы не переносятся"},
                       {15, true, "короткий ответ («shortanswer»)"},
                       {16, true, "числовой ответ («numerical»)"},
                       {17, true, "соответствие («matching»)"},
                       {18, true, "эссе («essay»)"},
                       {19, true, "описание без вариантов ответа («description»)"},
                       {20, true, "вложенными ответами («multianswer»)"},
                       {21, true, "тип вопроса «foo»: в Квалоре нет такого типа вопроса"}});
}

TEST(MoodleXml, DamagedAndHostileFilesAreRefusedWhole) {
    QString deep;
    for (int level = 0; level < 40; ++level) {
        deep += "<a>";
    }
    const struct {
        QString text;
        const char* error;
    } refused[] = {
        {quiz(question("multichoice", "Вопрос", {"100:a"})).chopped(3), "файл обрывается"},
        {quiz("<question type=\"multichoice\"><b></question>"), "нарушена разметка XML в строке 3"},
        {quiz("") + "<quiz/>", "нарушена разметка XML"},
        {quiz("<question>&nbsp;</question>"), "нарушена разметка XML"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE quiz [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
         "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n"
         "<quiz>&c;&c;&c;&c;&c;&c;&c;</quiz>",
         "объявления DTD в файлах вопросов не допускаются"},
        {"<!DOCTYPE quiz [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><quiz>&x;</quiz>",
         "объявления DTD"},
        {quiz(deep), "элементы XML вложены глубже 32 уровней (строка 3)"},
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

    // Too long a text or too many answers cost the question, not the file.
    QString answers = question("multichoice", "Много", {"100:a"});
    for (int i = 0; i < kMaxQuestionAnswers; ++i) {
        answers.insert(answers.indexOf("</question>"),
                       "<answer fraction=\"0\"><text>b</text></answer>");
    }
    const QuestionFile file =
        ReadMoodleXml(quiz(answers +
                           question("multichoice", "Длинный", {"100:a"})
                               .replace("Длинный", QString(kMaxTextLength + 1, u'я')) +
                           question("multichoice", "Верный", {"100:да", "0:нет"})),
                      "q.xml");
    EXPECT_EQ(questionsOf(file), std::vector<std::string>{"0 Верный | +да -нет"});
    expectNotes(file,
                {{3, true, "больше 100 вариантов"}, {4, true, "текст длиннее 20000 символов"}});
    EXPECT_TRUE(ReadMoodleXml("<html><quiz/></html>", "q.xml").Empty());

    // Through the import: the test is not touched.
    QTemporaryDir dir;
    QFile damaged(dir.filePath("bank.xml"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(quiz(question("multichoice", "Вопрос", {"100:a", "0:b"}) + "<a>").toUtf8());
    damaged.close();
    TQuestions tests(kGroupKindRoot);
    EXPECT_THROW(ImportQuestionFile(damaged.fileName(), tests, nullptr), KvalorError);
    EXPECT_EQ(tests.Count(), 0);
}

}  // namespace
