#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "ReaderTestSupport.h"
#include "exchange/GiftReader.h"
#include "exchange/QuestionImport.h"
#include "exchange/QuestionText.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "util/Codepage.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

const QString kGift = QString::fromUtf8("Ёлка — дерево? {T}\n\nЦена: 5 € {=да ~нет}\n");

QByteArray utf16(const QString& text, bool littleEndian) {
    QByteArray bytes = littleEndian ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        bytes.append(littleEndian ? low : high).append(littleEndian ? high : low);
    }
    return bytes;
}

// Message of the error the call raises, or "" when it raises none.
template <class F>
QString errorOf(F call) {
    try {
        call();
    } catch (const KvalorError& error) {
        return error.message();
    }
    return {};
}

TEST(QuestionText, EveryEncodingGivesTheSameText) {
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", kGift.toUtf8()},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + kGift.toUtf8()},
        {"Windows-1251", QByteArray::fromStdString(toCp1251(kGift))},
        {"UTF-16LE", utf16(kGift, true)},
        {"UTF-16BE", utf16(kGift, false)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeQuestionText(c.bytes, "q.gift"), kGift) << c.name;
    }
}

TEST(QuestionText, BinaryDataIsRefused) {
    QByteArray noise;
    std::uint32_t state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1664525u + 1013904223u;
        noise.append(static_cast<char>((state >> 24) | 1));  // no zero bytes
    }
    const QByteArray cases[] = {
        QByteArray("Вопрос {=a ~b}") + QByteArray(3, '\0'), noise,
        QByteArray("\xFF\xFE\x41", 3),  // UTF-16 cut in the middle of a character
    };
    for (const QByteArray& bytes : cases) {
        EXPECT_EQ(errorOf([&] { DecodeQuestionText(bytes, "/tmp/q.txt"); }),
                  "Файл «q.txt» не является текстовым файлом вопросов");
    }
}

class QuestionFiles : public ::testing::Test {
protected:
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return path;
    }

    QTemporaryDir dir_;
};

TEST_F(QuestionFiles, BadFilesGiveClearErrors) {
    const QByteArray hugeLine = "Вопрос " + QByteArray(50 * 1024 * 1024, 'x') + " {=a ~b}\n";
    const struct {
        const char* name;
        QString file;
        QString error;
    } cases[] = {
        {"empty", write("empty.gift", ""),
         "В файле «empty.gift» нет вопросов в формате GIFT или Aiken"},
        {"comments", write("c.gift", "// нет вопросов\n\n// совсем\n"),
         "В файле «c.gift» нет вопросов в формате GIFT или Aiken"},
        {"50 MB line", write("huge.gift", hugeLine),
         "Файл «huge.gift» слишком велик: вопросы читаются из файлов размером не больше 16 МБ"},
        {"missing", dir_.filePath("none.gift"),
         "Не удалось открыть файл «" + dir_.filePath("none.gift") + "»"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(errorOf([&] { ReadQuestionFile(c.file); }), c.error) << c.name;
    }
}

TEST(QuestionText, FormatIsToldByNameAndContent) {
    const QString aiken = "Вопрос\nA. да\nB. нет\nANSWER: A\n";
    const struct {
        QString text;
        const char* file;
        QuestionFormat format;
    } cases[] = {
        {aiken, "q.txt", QuestionFormat::Aiken},
        {aiken, "q.GIFT", QuestionFormat::Gift},
        {"Вопрос {=да ~нет}\nANSWER: A\n", "q.txt", QuestionFormat::Gift},
        {"Вопрос {1}\nA. да\nANSWER: A\n\nЕщё\nA. да\nANSWER: A\n", "q", QuestionFormat::Aiken},
        {"", "q.txt", QuestionFormat::Gift},
        {aiken, "q.XML", QuestionFormat::MoodleXml},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DetectQuestionFormat(c.text, c.file), c.format)
            << c.file << " " << c.text.toStdString();
    }
}

TEST(QuestionFile, SizeLimitsHold) {
    QString gift;
    for (int i = 0; i <= kMaxFileQuestions; ++i) {
        gift += "В{=a~b}\n\n";
    }
    EXPECT_EQ(errorOf([&] { ReadGift(gift); }),
              "В файле больше 20000 вопросов: разделите его на части");

    QString answers = "=верный";
    for (int i = 0; i < kMaxQuestionAnswers; ++i) {
        answers += " ~неверный";
    }
    const QuestionFile file = ReadGift("Вопрос {" + answers + "}");
    EXPECT_TRUE(file.Questions().empty());
    ASSERT_EQ(file.Notes().size(), 1u);
    EXPECT_EQ(file.Notes()[0].reason, "больше 100 вариантов ответа");
}

// "Вопрос 1 текст" for a question, "[группа]" around a group's entries.
QString treeOf(const TQuestions& group) {
    QStringList parts;
    for (int i = 0; i < group.Count(); ++i) {
        if (const auto* question = dynamic_cast<const TQuestion*>(group.ElementAt(i))) {
            parts << QString::number(question->GetNumber()) + u' ' +
                         fromCp1251(question->GetName());
        } else if (const auto* sub = dynamic_cast<const TQuestions*>(group.CollectionAt(i))) {
            parts << u'[' + fromCp1251(sub->GetName()) + u':' + u' ' + treeOf(*sub) + u']';
        }
    }
    return parts.join(QStringLiteral(", "));
}

std::unique_ptr<TQuestions> group(std::uint8_t kind, const QString& name) {
    auto result = std::make_unique<TQuestions>(kind);
    result->SetName(toCp1251(name));
    return result;
}

TEST(QuestionImport, CategoriesBecomeGroupsFoundByNameOrMade) {
    TQuestions tests(kGroupKindRoot);
    auto test = group(kGroupKindSimpleTest, "Математика");
    auto algebra = group(kGroupKindSubgroup, "Алгебра");
    auto old = std::make_unique<TQuestion>();
    old->SetName(toCp1251("Старый"));
    algebra->AddItem(std::move(old));
    test->AddCollection(std::move(algebra));
    TQuestions& math = *test;
    tests.AddCollection(std::move(test));

    const QuestionFile file =
        ReadGift(QString::fromUtf8("Прямо в тест {=a ~b}\n\n"
                                   "$CATEGORY: АЛГЕБРА/Дроби\n\nДробь {=a ~b}\n\n"
                                   "$CATEGORY: Геометрия\n\nТреугольник {=a ~b}\n\n"
                                   "$CATEGORY: Алгебра/Дроби\n\nЕщё дробь {=a ~b}\n\n"
                                   "$CATEGORY: Алгебра\n\nУравнение {=a ~b}\n"));
    const ImportReport report = ImportQuestions(file, math);
    EXPECT_EQ(report.test, &math);
    EXPECT_EQ(report.imported, 5);
    EXPECT_EQ(report.groupsCreated, 2);
    EXPECT_EQ(treeOf(math), QString::fromUtf8("[Алгебра: 1 Старый, [Дроби: 2 Дробь, 3 Ещё дробь], "
                                              "4 Уравнение], 5 Прямо в тест, [Геометрия: 6 "
                                              "Треугольник]"));

    // Another file into the same test: groups are found again, nothing is doubled.
    ImportQuestions(ReadGift(QString::fromUtf8("$CATEGORY: Геометрия\n\nКруг {=a ~b}")), math);
    EXPECT_TRUE(treeOf(math).endsWith(QString::fromUtf8("[Геометрия: 6 Треугольник, 7 Круг]")));

    EXPECT_EQ(errorOf([&] { ImportQuestions(file, tests); }),
              "Вопросы можно импортировать только в простой тест");
}

TEST_F(QuestionFiles, AFailedOrEmptyImportChangesNothing) {
    TQuestions tests(kGroupKindRoot);
    auto test = group(kGroupKindSimpleTest, "Тест");
    TQuestions& existing = *test;
    tests.AddCollection(std::move(test));
    ImportQuestionFile(write("first.gift", "Первый {=a ~b}"), tests, &existing);
    ASSERT_EQ(existing.Count(), 1);

    // Unreadable: neither the test nor the list of tests changes.
    const QString broken = write("broken.gift", QByteArray("\x01\x02\x03\x00", 4));
    EXPECT_FALSE(errorOf([&] { ImportQuestionFile(broken, tests, &existing); }).isEmpty());
    EXPECT_FALSE(errorOf([&] { ImportQuestionFile(broken, tests, nullptr); }).isEmpty());
    const QString cut = write("cut.xml", "<quiz><question type=\"truefalse\"><answer>");
    EXPECT_FALSE(errorOf([&] { ImportQuestionFile(cut, tests, &existing); }).isEmpty());
    EXPECT_EQ(existing.Count(), 1);
    EXPECT_EQ(tests.Count(), 1);

    // Nothing importable: no empty new test, but a report of what was left out.
    const ImportReport none =
        ImportQuestionFile(write("essays.gift", "Эссе {}\n\nЕщё {=a}"), tests, nullptr);
    EXPECT_EQ(tests.Count(), 1);
    EXPECT_EQ(none.test, nullptr);
    EXPECT_EQ(none.Skipped(), 2);

    // Something importable: a new test named after the file, numbered among the tests.
    const ImportReport fresh =
        ImportQuestionFile(write("Химия 9.gift", "Вода? {=H2O ~CO2}"), tests, nullptr);
    ASSERT_EQ(tests.Count(), 2);
    EXPECT_EQ(fresh.test, tests.CollectionAt(1));
    EXPECT_EQ(fromCp1251(fresh.test->GetName()), QString::fromUtf8("Химия 9"));
    EXPECT_EQ(fresh.test->GetNumber(), 2);
    EXPECT_EQ(FindSimpleTest(tests, QString::fromUtf8("химия 9")), fresh.test);
    EXPECT_EQ(FindSimpleTest(tests, QString::fromUtf8("Физика")), nullptr);
}

TEST(QuestionImport, ReportCountsAndNamesEveryNote) {
    TQuestions test(kGroupKindSimpleTest);
    test.SetName(toCp1251("Физика"));
    const QuestionFile file = ReadGift(
        QString::fromUtf8("$CATEGORY: Механика\n\n"
                          "Сила измеряется в {=ньютонах ~%50%джоулях ~ваттах}\n\n"
                          "Скорость света {#300000}\n\n"
                          "Ускорение свободного падения на Земле примерно равно {=9,8 ~1}"));
    EXPECT_EQ(ReportLines(ImportQuestions(file, test)),
              QStringList({
                  "Импортировано вопросов: 2 в тест «Физика»",
                  "Создано групп вопросов: 1",
                  "Пропущено вопросов: 1",
                  "Изменено при импорте: 1",
                  "Строка 3: изменено «Сила измеряется в» — частичные баллы ответов «~» не "
                  "переносятся: эти ответы считаются неверными",
                  "Строка 5: пропущено «Скорость света» — числовой ответ: в Квалоре нет такого "
                  "типа вопроса",
              }));
    EXPECT_EQ(ReportLines(ImportReport{}), QStringList{"Импортировано вопросов: 0"});
}

}  // namespace
