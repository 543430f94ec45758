// The program as a process: a signal from the system saves what "Завершение работы" saves; Qt's
// own texts in Russian.

#include <signal.h>
#include <sys/file.h>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
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

bool lockIsFree(const QString& file) {
    QFile lock(file);
    return lock.open(QIODevice::ReadOnly) && ::flock(lock.handle(), LOCK_EX | LOCK_NB) == 0;
}

TEST(ProgramRun, ASignalEndsTheRunWithItsSave) {
    for (const int signalNumber : {SIGTERM, SIGHUP}) {
        QTemporaryDir data;
        QTemporaryDir temporary;  // the single-instance lock of a copy of its own
        ASSERT_TRUE(data.isValid() && temporary.isValid());
        {
            TKvalor starter;
            BuildStarterData(starter);
            starter.SaveToFile(data.filePath(kDataFileName));
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TMPDIR", temporary.path());
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(KVALOR_BINARY_DIR "/src/kvalor", {"--data", data.path()});
        ASSERT_TRUE(program.waitForStarted());
        // The lock comes with the load of the data file; a signal from then on must not cost
        // the run.
        const QString lock = data.filePath(QStringLiteral("KvalorData.exd.lock"));
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(lock) && program.state() == QProcess::Running &&
               waited.elapsed() < 120000) {
            QThread::msleep(50);
        }
        QThread::msleep(500);
        ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
        ASSERT_TRUE(program.waitForFinished(120000));

        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signalNumber;
        EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        // Written only by the end of a run: the results file and the settings.
        EXPECT_TRUE(QFile::exists(data.filePath(kStudiesFileName))) << signalNumber;
        EXPECT_TRUE(QSettings(data.filePath(kSettingsFileName), QSettings::IniFormat)
                        .contains("Setting/FormFont"))
            << signalNumber;
        EXPECT_TRUE(lockIsFree(lock));
    }
}

TEST(ProgramRun, QtsOwnDialogsSpeakRussian) {
    QTranslator* russian = InstallQtTranslations();
    ASSERT_NE(russian, nullptr) << "qt6-translations-l10n is not installed";
    EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Name"), "Имя");
    delete russian;
    EXPECT_EQ(QCoreApplication::translate("QFileSystemModel", "Name"), "Name");
}

}  // namespace
}  // namespace kvalor
