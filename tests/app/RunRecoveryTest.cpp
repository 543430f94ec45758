// A run killed after an examination, a second start on the same data, a damaged recovery
// file, results the data file cannot place or read, and the first start in a new folder.

#include <gtest/gtest.h>
#include <QFile>

#include "AppTest.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "storage/RecoveryFile.h"
#include "storage/StorageTestSupport.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

constexpr double kRunDate = 45600.5;

class RunRecoveryTest : public AppTest {
protected:
    void TearDown() override {
        dataModule().DataModuleDestroy();
        AppTest::TearDown();
    }

    QByteArray contents(const QString& file) const {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    QString dataFile() const { return folderFile(kDataFileName); }
    QString recoveryFile() const { return RecoveryFile::FileNameFor(dataFile()); }

    void writeStarterData() const {
        TKvalor starter;
        BuildStarterData(starter);
        starter.SaveToFile(dataFile());
    }

    // An examination on the demonstration test, journaled as the examination window does it;
    // by default of the starter applicant.
    static void journalRun(TCompetitor* applicant = nullptr, double date = kRunDate) {
        TKvalor& root = kvalorRoot();
        auto* test = static_cast<TQuestions*>(root.SimpleTests().CollectionAt(0));
        applicant = applicant ? applicant : root.Users().SortedAccounts().back();
        auto study = TStudyList::NewStudy(kModeTesting, *applicant, *test, date);
        study->DrawQuestions(root.Tasks(), -1);
        study->SetState(kStudyFinished);
        TStudy& added = *study;
        root.Studies().Append(std::move(study));
        added.Score();
        dataModule().StudyJournaled(added);
    }

    static int studiesIn(const QString& file) {
        TKvalor loaded;
        loaded.LoadFromFile(file, true);
        return loaded.Studies().Count();
    }
};

}  // namespace

TEST_F(RunRecoveryTest, NoResultIsLostForLackOfItsAccountOrTestOnDisk) {
    ScriptedPrompts prompts;
    writeStarterData();
    ASSERT_TRUE(dataModule().DataModuleCreate());
    // An applicant added without "Сохранить" is examined: the data file is saved with him.
    journalRun(&addAccount("Новиков"));
    EXPECT_EQ(studiesIn(dataFile()), 1);
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    journalRun(nullptr, kRunDate + 1);
    // One result that no data here can place (of no test here), as an older run may have left.
    TStudyList journaled;
    journaled.LoadFromFile(recoveryFile());
    journaled.Append(std::make_unique<TStudy>());
    journaled.SaveToFile(recoveryFile());

    // The run dies; the next start takes in what it can and keeps the rest apart.
    dataModule().ReleaseDataFile();
    const QString apart = folderFile("KvalorData.recovery.unmatched.exd");
    prompts
        .expectInform(
            QStringLiteral("Предыдущая работа с программой не была завершена. Из "
                           "файла восстановления в журнал возвращено результатов "
                           "тестирования: 1.\nОни сохранены в файле данных.\nРезультатов, для "
                           "которых в файле данных нет соискателя "
                           "или теста: 1. Они сохранены в файле %1; его можно "
                           "импортировать командой «Импорт результатов тестов», когда "
                           "соискатели и тесты будут на месте.")
                .arg(apart))
        .icon(QMessageBox::Warning);
    ASSERT_TRUE(dataModule().DataModuleCreate());
    EXPECT_TRUE(prompts.finished());
    EXPECT_EQ(studiesIn(dataFile()), 2);
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    TStudyList kept;
    kept.LoadFromFile(apart);
    EXPECT_EQ(kept.Count(), 1);
}

TEST_F(RunRecoveryTest, ResultsOfARunThatCouldNotReadTheDataFileAreKept) {
    ScriptedPrompts prompts;
    writeStarterData();
    kvalorRoot().LoadFromFile(dataFile(), true);
    ASSERT_TRUE(QFile::remove(dataFile()));
    prompts.expectInform(loadErrorBox(QStringLiteral("Файл %1 не найден").arg(dataFile())))
        .caption("Ошибка чтения базы");
    ASSERT_TRUE(dataModule().DataModuleCreate());
    journalRun();
    dataModule().DataModuleDestroy();
    EXPECT_TRUE(prompts.finished());
    EXPECT_FALSE(QFile::exists(dataFile()));
    TStudyList kept;
    kept.LoadFromFile(recoveryFile());
    EXPECT_EQ(kept.Count(), 1);
}

TEST_F(RunRecoveryTest, AKilledRunIsRecoveredAndBlocksNoOneOnceGone) {
    ScriptedPrompts prompts;
    writeStarterData();
    // The first copy loads the data, journals an examination and is killed before it ends.
    storagetest::ProcessUntilKilled first([] {
        if (dataModule().DataModuleCreate()) {
            journalRun();
        }
    });
    ASSERT_TRUE(QFile::exists(recoveryFile()));
    const QByteArray data = contents(dataFile());
    const QByteArray recovery = contents(recoveryFile());

    // A second start, as by another user, is refused while the first runs, and changes nothing.
    prompts.expectError(QStringLiteral("Файл данных %1 уже используется другой запущенной "
                                       "программой (возможно, другим пользователем этого "
                                       "компьютера).\nДождитесь завершения её работы и "
                                       "повторите попытку.")
                            .arg(dataFile()));
    EXPECT_FALSE(dataModule().DataModuleCreate());
    EXPECT_TRUE(prompts.finished());
    EXPECT_FALSE(dataModule().DataLoaded());
    EXPECT_EQ(contents(dataFile()), data);
    EXPECT_EQ(contents(recoveryFile()), recovery);
    EXPECT_FALSE(QFile::exists(folderFile(kSettingsFileName)));

    first.kill();
    prompts
        .expectInform(
            "Предыдущая работа с программой не была завершена. Из файла "
            "восстановления в журнал возвращено результатов тестирования: 1.\nОни "
            "сохранены в файле данных.")
        .caption("Квалор")
        .icon(QMessageBox::Information);
    ASSERT_TRUE(dataModule().DataModuleCreate());
    EXPECT_TRUE(prompts.finished());
    ASSERT_EQ(kvalorRoot().Studies().Count(), 1);
    const TStudy& study = kvalorRoot().Studies().StudyAt(0);
    EXPECT_EQ(study.Date(), kRunDate);
    EXPECT_NE(study.Test(), nullptr);
    EXPECT_NE(study.User(), nullptr);
    // Saved at once, and the recovery file is done with.
    EXPECT_EQ(studiesIn(dataFile()), 1);
    EXPECT_FALSE(QFile::exists(recoveryFile()));

    // A run deleted from the journal is no result to recover.
    journalRun();
    EXPECT_TRUE(QFile::exists(recoveryFile()));
    kvalorRoot().Studies().Delete(1);
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    // The next run journals again; its normal end leaves no recovery file.
    journalRun();
    EXPECT_TRUE(QFile::exists(recoveryFile()));
    dataModule().DataModuleDestroy();
    EXPECT_FALSE(QFile::exists(recoveryFile()));
}

TEST_F(RunRecoveryTest, ADamagedRecoveryFileIsSetAsideAndReported) {
    ScriptedPrompts prompts;
    writeStarterData();
    const QByteArray data = contents(dataFile());
    {
        QFile damaged(recoveryFile());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("half a file");
    }
    const QString setAside = folderFile("KvalorData.recovery.damaged.exd");
    prompts
        .expectInform(QStringLiteral("Файл восстановления %1 не удалось прочитать:\nОшибка "
                                     "чтения 800300FB\nОн сохранён под именем %2, результаты "
                                     "из него в журнал не добавлены.")
                          .arg(recoveryFile(), setAside))
        .caption("Квалор")
        .icon(QMessageBox::Warning);
    ASSERT_TRUE(dataModule().DataModuleCreate());
    EXPECT_TRUE(prompts.finished());
    EXPECT_TRUE(dataModule().DataLoaded());
    EXPECT_EQ(contents(setAside), "half a file");
    EXPECT_FALSE(QFile::exists(recoveryFile()));
    EXPECT_EQ(contents(dataFile()), data);
    EXPECT_EQ(kvalorRoot().Studies().Count(), 0);
}

TEST_F(RunRecoveryTest, OnlyANewFolderGetsTheStarterData) {
    ScriptedPrompts prompts;
    prompts
        .expectInform(QStringLiteral("Папка данных %1 была пуста: в ней создан начальный файл "
                                     "данных с демонстрационными тестами и двумя "
                                     "соискателями.\nВстроенные учётные записи «Администратор» "
                                     "и «Преподаватель» пока без паролей: задайте их в окне "
                                     "пользователей.")
                          .arg(folder_.path()))
        .caption("Квалор")
        .icon(QMessageBox::Information);
    ASSERT_TRUE(dataModule().DataModuleCreate(FirstStart::WriteStarterData));
    EXPECT_TRUE(prompts.finished());
    ASSERT_TRUE(dataModule().DataLoaded());
    EXPECT_EQ(kvalorRoot().SimpleTests().Count(), 1);
    EXPECT_EQ(kvalorRoot().Users().SortedAccounts().size(), 5u);
    dataModule().DataModuleDestroy();

    // A folder where the program ran before is no first start: a lost data file is reported,
    // never replaced by the starter data.
    ASSERT_TRUE(QFile::remove(dataFile()));
    prompts.expectInform(loadErrorBox(QStringLiteral("Файл %1 не найден").arg(dataFile())))
        .caption("Ошибка чтения базы");
    ASSERT_TRUE(dataModule().DataModuleCreate(FirstStart::WriteStarterData));
    EXPECT_TRUE(prompts.finished());
    EXPECT_FALSE(QFile::exists(dataFile()));
}

}  // namespace kvalor::apptest
