// The program as a process: a signal ends it as "Завершение работы" does; Qt's texts in Russian.

#include <signal.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTranslator>

#include "app/DataModule.h"
#include "app/Translations.h"
#include "model/Kvalor.h"
#include "model/StarterData.h"

namespace kvalor {
namespace {

TEST(ProgramRun, TerminationEndsTheRunWithItsSave) {
    QTemporaryDir data, temporary;  // the single-instance lock of a copy of its own
    TKvalor starter;
    BuildStarterData(starter);
    starter.SaveToFile(data.filePath(kDataFileName));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", temporary.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.start(KVALOR_BINARY_DIR "/src/kvalor", {"--data", data.path()});
    // The lock comes with the load of the data file; from then on a signal must save.
    for (int waited = 0; !QFile::exists(data.filePath("KvalorData.exd.lock")) && waited < 2400;
         ++waited) {
        QThread::msleep(50);
    }
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    // Written only at the end of a run: the results file and the settings.
    EXPECT_TRUE(QFile::exists(data.filePath(kStudiesFileName)));
    EXPECT_TRUE(QSettings(data.filePath(kSettingsFileName), QSettings::IniFormat)
                    .contains("Setting/FormFont"));
}

TEST(ProgramRun, QtsOwnDialogsSpeakRussian) {
    QTranslator* russian = InstallQtTranslations();
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Name"), "Имя");
    delete russian;
}

}  // namespace
}  // namespace kvalor
