#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QPushButton>
#include <QSettings>

#include "AppTest.h"
#include "app/Authorization.h"
#include "app/MainWindow.h"
#include "app/RunMode.h"
#include "app/Settings.h"
#include "model/AccountMessages.h"
#include "model/BuiltinAccounts.h"
#include "storage/StorageTestSupport.h"
#include "support/GuiTest.h"
#include "support/ScriptedPrompts.h"

namespace kvalor::apptest {
namespace {

class DataModuleTest : public AppTest {
protected:
    void TearDown() override {
        setAccountMessageHandler({});
        AppTest::TearDown();
    }

    QByteArray contents(const char* name) const {
        QFile file(folderFile(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeSettings(const QByteArray& text) const {
        QFile file(folderFile(kSettingsFileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // A data file with the built-in accounts, written by the program itself.
    void writeDataFile() const {
        kvalorRoot().Clear();
        kvalorRoot().Users().EnsureBuiltins();
        kvalorRoot().SaveToFile(folderFile(kDataFileName));
        kvalorRoot().Clear();
    }

    QString missingDataMessage() const {
        return loadErrorBox(QStringLiteral("Файл %1 не найден").arg(folderFile(kDataFileName)));
    }
};

TEST_F(DataModuleTest, FontSizeSurvivesARestart) {
    ScriptedPrompts prompts;
    writeDataFile();
    TDM& module = dataModule();
    module.DataModuleCreate();
    ASSERT_TRUE(module.DataLoaded());
    // No settings file: the size of the menu font.
    EXPECT_EQ(kvalorRoot().FontSize(), QApplication::font("QMenu").pointSize());

    kvalorRoot().SetFontSize(17);
    module.DataModuleDestroy();
    QSettings written(folderFile(kSettingsFileName), QSettings::IniFormat);
    EXPECT_EQ(written.value("Setting/FormFont").toString(), "17");

    kvalorRoot().SetFontSize(5);
    module.DataModuleCreate();
    EXPECT_EQ(kvalorRoot().FontSize(), 17);
    EXPECT_EQ(module.RunMode(), TRunMode::None);

    // A value that is no number is passed over in silence.
    writeSettings("[Setting]\nFormFont=крупный\n");
    module.DataModuleCreate();
    EXPECT_EQ(kvalorRoot().FontSize(), QApplication::font("QMenu").pointSize());
    writeSettings("[Setting]\nFormFont=21\n");
    module.DataModuleCreate();
    EXPECT_EQ(kvalorRoot().FontSize(), 21);
    // A size edited by hand is brought within what the windows can show.
    for (const auto& [stored, used] : {std::pair{"60", 36}, {"2", 6}, {"-3", 6}}) {
        writeSettings(QString("[Setting]\nFormFont=%1\n").arg(stored).toUtf8());
        module.DataModuleCreate();
        EXPECT_EQ(kvalorRoot().FontSize(), used) << stored;
    }
    EXPECT_TRUE(prompts.seen().empty());
}

TEST_F(DataModuleTest, AFailedLoadIsReportedAndNeverSaved) {
    ScriptedPrompts prompts;
    prompts.expectInform(missingDataMessage())
        .caption("Ошибка чтения базы")
        .icon(QMessageBox::Critical);
    TDM& module = dataModule();
    dataModule().SetRunMode(TRunMode::Teacher);
    module.DataModuleCreate();
    EXPECT_FALSE(module.DataLoaded());
    EXPECT_EQ(module.RunMode(), TRunMode::None);
    EXPECT_TRUE(prompts.finished());

    module.DataModuleDestroy();
    EXPECT_TRUE(QFile::exists(folderFile(kSettingsFileName)));
    EXPECT_FALSE(QFile::exists(folderFile(kDataFileName)));
    EXPECT_FALSE(QFile::exists(folderFile(kStudiesFileName)));
}

TEST_F(DataModuleTest, ADamagedDataFileIsKeptAsItWas) {
    const QByteArray damaged("not a compound file at all");
    {
        QFile file(folderFile(kDataFileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(damaged);
    }
    ScriptedPrompts prompts;
    prompts.expectInform(loadErrorBox("Ошибка чтения $800300FB")).caption("Ошибка чтения базы");
    dataModule().DataModuleCreate();
    EXPECT_FALSE(dataModule().DataLoaded());
    addAccount("Новиков");
    dataModule().DataModuleDestroy();
    EXPECT_EQ(contents(kDataFileName), damaged);
    EXPECT_FALSE(QFile::exists(folderFile(kStudiesFileName)));
}

TEST_F(DataModuleTest, EveryActionWorksAfterAFailedLoad) {
    registerDummyWindows();
    ScriptedPrompts prompts;
    prompts.expectInform(missingDataMessage());
    // As at the start of a run: nothing read, not even the built-in accounts.
    kvalorRoot().Clear();
    dataModule().DataModuleCreate();
    TfmKvalor window;

    // Testing needs the built-in applicant account; the failure is silent.
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    trigger(window, "actConnect");
    EXPECT_EQ(dataModule().RunMode(), TRunMode::None);
    EXPECT_EQ(kvalorRoot().CurrentUser(), nullptr);

    // The administration login brings the built-in accounts back.
    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnAdministration"); });
    prompts.expectModal<TfmAuthorization>([](TfmAuthorization& login) {
        EXPECT_EQ(lines(login.findChild<QComboBox*>("cbUser")),
                  (QStringList{"Администратор", "Преподаватель"}));
        chooseLine(login.findChild<QComboBox*>("cbUser"), "Администратор");
        click(login.findChild<QPushButton*>("btnOk"));
    });
    trigger(window, "actConnect");
    ASSERT_EQ(dataModule().RunMode(), TRunMode::Administrator);

    for (const char* action : {"actEditTests", "actEditUsers", "actTest", "actJournal"}) {
        trigger(window, action);
    }
    EXPECT_EQ(window.mdiArea()->subWindowList().size(), 4);
    prompts.expectOpenFiles({});
    trigger(window, "actInportStudies");
    prompts.expectModal<TfmSetting>([](TfmSetting& dialog) { click(dialog, "btnOk"); });
    trigger(window.actSetting());

    prompts.expectModal<TfmRunMode>([](TfmRunMode& dialog) { click(dialog, "btnTesting"); });
    trigger(window, "actConnect");
    EXPECT_EQ(dataModule().RunMode(), TRunMode::Testing);
    EXPECT_EQ(kvalorRoot().CurrentUser(), kvalorRoot().Users().Applicant());
    trigger(window.actClose());
    EXPECT_TRUE(window.ClosingAllowed());
    EXPECT_TRUE(prompts.finished());

    dataModule().DataModuleDestroy();
    EXPECT_FALSE(QFile::exists(folderFile(kDataFileName)));
    EXPECT_FALSE(QFile::exists(folderFile(kStudiesFileName)));
}

TEST_F(DataModuleTest, ALoadedRunIsSavedAtItsEnd) {
    ScriptedPrompts prompts;
    writeDataFile();
    // What saves killed in earlier runs left of every file of the run goes at the start.
    for (const char* name : {".Studies.exd.2e.tmp", ".KvalorData.recovery.exd.3d.tmp"}) {
        QFile(folderFile(name)).open(QIODevice::WriteOnly);
    }
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    EXPECT_EQ(QDir(folder_.path()).entryList({"*.tmp"}, QDir::Hidden | QDir::Files), QStringList());
    addAccount("Новиков");
    dataModule().DataModuleDestroy();
    EXPECT_TRUE(QFile::exists(folderFile(kStudiesFileName)));

    dataModule().DataModuleCreate();
    const auto accounts = kvalorRoot().Users().SortedAccounts();
    ASSERT_EQ(accounts.size(), 4u);
    EXPECT_EQ(accounts[3]->GetName(), toCp1251("Новиков"));
    EXPECT_TRUE(prompts.seen().empty());
}

TEST_F(DataModuleTest, ASaveErrorAtTheEndOffersToRetryOrToSaveElsewhere) {
    ScriptedPrompts prompts;
    writeDataFile();
    dataModule().DataModuleCreate();
    ASSERT_TRUE(dataModule().DataLoaded());
    addAccount("Новиков");
    const QByteArray before = contents(kDataFileName);

    // Another program holds the data file.
    const int held = ::open(QFile::encodeName(folderFile(kDataFileName)).constData(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const QString failure =
        QStringLiteral(
            "Не удалось сохранить файл данных %1: файл занят другой программой (Ошибка "
            "записи $80030020)\n\n«Повторить» - попытаться снова, устранив причину.\n"
            "«Сохранить» - сохранить в другом месте.\n«Пропустить» - не сохранять: "
            "несохранённое в этой работе пропадёт.")
            .arg(folderFile(kDataFileName));
    QTemporaryDir elsewhere;
    const QString copy = elsewhere.filePath("Копия.exd");
    prompts.expectAsk(failure, QMessageBox::Retry).defaultButton(QMessageBox::Retry);
    prompts.expectAsk(failure, QMessageBox::Save);
    prompts.expectSaveFile(copy);
    prompts.expectInform(QStringLiteral("Файл данных сохранён как %1. Перенесите его в папку "
                                        "данных %2 под именем KvalorData.exd.")
                             .arg(copy, folder_.path()));
    dataModule().DataModuleDestroy();
    ::close(held);

    EXPECT_TRUE(prompts.finished());
    EXPECT_EQ(contents(kDataFileName), before);
    TKvalor saved;
    saved.LoadFromFile(copy, true);
    EXPECT_EQ(saved.Users().SortedAccounts().size(), 4u);
    EXPECT_TRUE(QFile::exists(elsewhere.filePath(kStudiesFileName)));
}

TEST_F(DataModuleTest, AFolderThatCannotBeWrittenIsReportedAtStart) {
    writeDataFile();
    ASSERT_EQ(::chmod(QFile::encodeName(folder_.path()).constData(), 0555), 0);
    const QString warning =
        QStringLiteral(
            "В папку данных %1 нельзя записывать (нет права записи или диск только для "
            "чтения).\nРезультаты и изменения этой работы не удастся сохранить там: "
            "исправьте права на папку или укажите другую папку данных (--data); при "
            "завершении работы файл данных можно будет сохранить в другом месте.")
            .arg(folder_.path());
    const std::optional<std::string> outcome = storagetest::childProcessReport([&warning] {
        // Root writes everywhere; as anybody else the folder is closed.
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return std::string("no other user");
        }
        ScriptedPrompts prompts;
        prompts.expectInform(warning).caption("Квалор").icon(QMessageBox::Warning);
        dataModule().DataModuleCreate();
        return std::string(prompts.finished() && prompts.seen().size() == 1 ? "warned" : "not");
    });
    ::chmod(QFile::encodeName(folder_.path()).constData(), 0700);
    EXPECT_EQ(outcome, "warned");
}

TEST_F(DataModuleTest, AccountMessagesAppearInABox) {
    ScriptedPrompts prompts;
    writeDataFile();
    dataModule().DataModuleCreate();
    prompts.expectInform("Ошибка чтения информации о соискателе Иванов")
        .caption("Ошибка")
        .icon(QMessageBox::Critical);
    reportAccountMessage(QStringLiteral("Ошибка чтения информации о соискателе Иванов"));
    EXPECT_TRUE(prompts.finished());
}

}  // namespace
}  // namespace kvalor::apptest
