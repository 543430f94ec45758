// A test imported from a GIFT file, saved, loaded again and taken in the question window.

#include <gtest/gtest.h>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>

#include "app/Authorization.h"
#include "exchange/QuestionImport.h"
#include "question/AnswerFrame.h"
#include "question/ExamTestData.h"
#include "question/QuestionWindow.h"
#include "support/FakeClock.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::examtest {
namespace {

// The right answers of each question, by the text the question has once imported.
using AnswerKey = QHash<QString, QSet<QString>>;

// About 200 questions of every kind the import maps, in four categories, with questions the
// import leaves out between them. The key is written down with the file, not read from it.
QString generateGift(AnswerKey& key, int& leftOut) {
    QString gift = "// Экзаменационный банк вопросов\n\n";
    leftOut = 0;
    for (int i = 1; i <= 200; ++i) {
        if (i % 50 == 1) {
            gift += QString("$CATEGORY: $course$/top/Раздел %1\n\n").arg(i / 50 + 1);
        }
        if (i % 20 == 0) {
            gift += QString("Пропускаемый вопрос %1 {=ответ}\n\n").arg(i);
            ++leftOut;
        }
        const QString n = QString::number(i);
        switch (i % 5) {
            case 0:
                gift += "Вопрос " + n + ": сколько будет " + n + " + 1? {~" +
                        QString::number(i + 2) + " =" + QString::number(i + 1) + " ~" +
                        QString::number(i + 3) + "}";
                key["Вопрос " + n + ": сколько будет " + n + " + 1?"] = {QString::number(i + 1)};
                break;
            case 1:
                gift += "Вопрос " + n +
                        ": какие числа делятся на 3? {\n  ~%50%3 # да\n"
                        "  ~%-100%4\n  ~%50%6\n  ~%-100%7 # нет\n}";
                key["Вопрос " + n + ": какие числа делятся на 3?"] = {"3", "6"};
                break;
            case 2: {
                const bool isTrue = i % 4 == 0;
                gift += "::Истина " + n + "::Вопрос " + n + ": утверждение верно? {" +
                        (isTrue ? "TRUE" : "F") + "#отзыв}";
                key["Вопрос " + n + ": утверждение верно?"] = {isTrue ? "Верно" : "Неверно"};
                break;
            }
            case 3:
                gift += "Вопрос " + n + ": Париж — столица {~Италии =Франции ~Испании}, а не Рима.";
                key["Вопрос " + n + ": Париж — столица _____, а не Рима."] = {"Франции"};
                break;
            case 4:
                gift += "[html]<p>Вопрос " + n +
                        "\\: знак <b>\\=</b> &mdash; это?</p>\n"
                        "{=равенство \\# 1 ~%50%сумма ~разность}";
                key["Вопрос " + n + ": знак = — это?"] = {"равенство # 1"};
                break;
        }
        gift += "\n\n";
    }
    return gift;
}

TEST_F(ExamTest, ImportedGiftTestScoresAsTheKeysOfTheFileSay) {
    FakeClock clock;
    ScriptedPrompts prompts;  // no prompt is expected on the way
    QTemporaryDir dir;
    AnswerKey key;
    int leftOut = 0;
    const QString giftFile = dir.filePath("Банк.gift");
    {
        QFile file(giftFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(generateGift(key, leftOut).toUtf8());
    }
    TKvalor& root = kvalorRoot();
    const ImportReport report = ImportQuestionFile(giftFile, root.SimpleTests(), nullptr);
    EXPECT_EQ(report.imported, 200);
    EXPECT_EQ(report.groupsCreated, 4);
    EXPECT_EQ(report.Skipped(), leftOut);
    EXPECT_EQ(report.Altered(), 40);  // the weighted "~" beside a "="
    ASSERT_NE(report.test, nullptr);
    report.test->SetDuration(180);

    const QString dataFile = dir.filePath("KvalorData.exd");
    root.SaveToFile(dataFile);
    root.Clear();
    root.LoadFromFile(dataFile, true);
    TQuestions* test = FindSimpleTest(root.SimpleTests(), "Банк");
    ASSERT_NE(test, nullptr);
    TCompetitor& applicant = addApplicant("Сидоров");

    auto study = drawStudy(applicant, *test);
    ASSERT_EQ(study->Questions().Count(), 200);
    auto view = questionView(*study);
    // Made after the study and the list, so that it lets go of them first.
    TfmAuthorization login;
    TfmQuestion window(login);
    window.SetMode(WindowMode::Testing);
    window.SetQuestionList(view.get());
    window.SetStudy(study.get());
    window.SetTimeAllowance(test->Duration());
    window.ShowQuestion(study->Questions().Items(0).Question);
    window.Start();

    // Every seventh question is answered wrongly on purpose: one right answer too few, or a
    // wrong one instead.
    int wrongOnPurpose = 0;
    QSet<QString> seen;
    for (int page = 0; page < 200; ++page) {
        const QString text = fromCp1251(window.CurrentQuestion()->GetName());
        ASSERT_TRUE(key.contains(text)) << text.toStdString();
        seen.insert(text);
        const QSet<QString>& right = key[text];
        const bool spoil = page % 7 == 3;
        bool spoiled = false;
        for (TfrAnswer* frame : window.Frames()) {
            const bool isRight = right.contains(frame->edText()->toPlainText());
            if (!spoil) {
                if (isRight) {
                    click(frame->btnUpper());
                }
            } else if (right.size() > 1) {
                // One right answer too few.
                if (isRight && spoiled) {
                    click(frame->btnUpper());
                }
                spoiled |= isRight;
            } else if (!isRight && !spoiled) {
                // A wrong answer instead of the right one.
                click(frame->btnUpper());
                spoiled = true;
            }
        }
        wrongOnPurpose += spoil ? 1 : 0;
        if (page < 199) {
            trigger(window.findChild<QAction*>("actNext"));
        }
    }
    EXPECT_EQ(seen.size(), 200);
    finishExam(window);
    ASSERT_EQ(study->State(), kStudyFinished);

    study->Score();
    EXPECT_EQ(study->CorrectCount(), 200 - wrongOnPurpose);
    EXPECT_EQ(wrongOnPurpose, 29);
}

}  // namespace
}  // namespace kvalor::examtest
