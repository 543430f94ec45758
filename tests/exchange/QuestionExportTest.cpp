#include <algorithm>
#include <memory>

#include <gtest/gtest.h>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "ReaderTestSupport.h"
#include "SchoolData.h"
#include "exchange/QuestionExport.h"
#include "exchange/QuestionImport.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/TypeIds.h"
#include "support/PythonScript.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// "2 /Группа Текст | -a -b" per question, sorted: type, group path, text, then the answers,
// "+" marking the right ones and a sequence's in its right order. " fixed" when not mixed.
QStringList linesOf(const TQuestions& group, const QString& path = {}) {
    QStringList lines;
    for (int i = 0; i < group.Count(); ++i) {
        if (const auto* sub = dynamic_cast<const TQuestions*>(group.CollectionAt(i))) {
            lines << linesOf(*sub, path + u'/' + fromCp1251(sub->GetName()));
        } else if (const auto* question = dynamic_cast<const TQuestion*>(group.ElementAt(i))) {
            std::vector<const TAnswer*> answers;
            for (int k = 0; k < question->Answers().Count(); ++k) {
                answers.push_back(question->Answers().AnswerAt(k));
            }
            if (question->QuestionType() == kSequence) {
                std::sort(answers.begin(), answers.end(), [](auto* a, auto* b) {
                    return a->CorrectPosition() < b->CorrectPosition();
                });
            }
            QString line = QString::number(question->QuestionType()) + u' ' + path + u' ' +
                           fromCp1251(question->GetName()) +
                           (question->Answers().AllowMix() ? " |" : " fixed |");
            for (const TAnswer* answer : answers) {
                line += (answer->Correct() ? " +" : " -") + fromCp1251(answer->GetName());
            }
            lines << line;
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Writes the test and imports the file into an empty test of the same name.
QStringList roundTrip(const TQuestions& test, const QString& file, ExportFormat format,
                      ExportReport& report) {
    report = ExportQuestions(test, file, format);
    TQuestions tests(kGroupKindRoot);
    auto copy = std::make_unique<TQuestions>(kGroupKindSimpleTest);
    copy->SetName(test.GetName());
    TQuestions& target = *copy;
    tests.AddCollection(std::move(copy));
    ImportQuestionFile(file, tests, &target);
    return linesOf(target);
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
    SchoolShape shape;
    shape.simpleTests = 1;
    shape.questionsPerGroup = 30;
    BuildSchoolData(school, shape);
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
    const auto& demo = static_cast<const TQuestions&>(*starter.SimpleTests().CollectionAt(0));
    const auto& subject = static_cast<const TQuestions&>(*school.SimpleTests().CollectionAt(0));
    for (const TQuestions* test : {&demo, &subject, static_cast<const TQuestions*>(&marks)}) {
        QStringList all = linesOf(*test);
        all.removeIf([](const QString& line) { return line.contains(u"Без "); });
        QStringList choices = all;
        choices.removeIf([](const QString& line) { return line.startsWith(u'2'); });
        // GIFT has no way to keep answers in place.
        choices.replaceInStrings(" fixed |", " |");
        const int sequences = static_cast<int>(all.size() - choices.size());
        ASSERT_GT(sequences, 0) << "each test must hold a sequence";
        for (const ExportFormat format : {ExportFormat::MoodleXml, ExportFormat::Gift}) {
            ExportReport report;
            const bool gift = format == ExportFormat::Gift;
            EXPECT_EQ(roundTrip(*test, dir.filePath("t"), format, report).join(u'\n'),
                      (gift ? choices : all).join(u'\n'));
            EXPECT_EQ(report.written, gift ? choices.size() : all.size());
        }
    }
    ExportReport report;
    roundTrip(marks, dir.filePath("t.gift"), ExportFormat::Gift, report);
    EXPECT_EQ(ExportReportLines(report),
              QStringList({"Записано вопросов: 2", "Пропущено вопросов: 3",
                           "Вопрос 3: пропущено «Порядок» — в формате GIFT нет вопросов на "
                           "упорядочение",
                           "Вопрос 4: пропущено «Без верного» — верные ответы не отмечены так, "
                           "как требует тип вопроса",
                           "Вопрос 5: пропущено «Без ответов» — нет вариантов ответа"}));
}

TEST(QuestionExport, MoodleXmlHasThePlatformsStructure) {
    TKvalor starter;
    BuildStarterData(starter);
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.xml");
    ExportQuestions(static_cast<const TQuestions&>(*starter.SimpleTests().CollectionAt(0)), file,
                    ExportFormat::MoodleXml);
    const auto run = testsupport::runPythonScript("exchange/moodle_structure.py", {file});
    if (!run) {
        GTEST_SKIP() << "no Python interpreter";
    }
    ASSERT_TRUE(run->succeeded) << run->output;
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

TEST(QuestionExport, AFailedExportLeavesTheFileAsItWas) {
    TQuestions test(kGroupKindSimpleTest);
    test.SetName(toCp1251(QString::fromUtf8("Порядок")));
    addQuestion(test, "Порядок", kSequence, {"-А", "-Б"});
    QTemporaryDir dir;
    const QString file = dir.filePath("old.gift");
    QFile old(file);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("старое") == 12);
    old.close();
    const struct {
        QString file;
        ExportFormat format;
        QString error;
    } cases[] = {
        {file, ExportFormat::Gift,
         "В тесте «Порядок» нет вопросов, которые можно записать в формате GIFT"},
        {dir.path(), ExportFormat::MoodleXml, "Не удалось записать файл " + dir.path()},
    };
    for (const auto& c : cases) {
        try {
            ExportQuestions(test, c.file, c.format);
            ADD_FAILURE() << c.file.toStdString();
        } catch (const KvalorError& error) {
            EXPECT_EQ(error.message(), c.error);
        }
    }
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "старое");
}

}  // namespace
