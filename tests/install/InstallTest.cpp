// Installs the build into a temporary prefix, as the Debian package does into /usr, and starts
// the installed program the way the desktop menu does.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include "model/Kvalor.h"
#include "model/Questions.h"

using namespace kvalor;

namespace {

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome run(const QString& program, const QStringList& arguments,
            const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Outcome result;
    if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

class InstallTest : public ::testing::Test {
protected:
    // One installation for every test of the suite.
    static void SetUpTestSuite() {
        prefix_ = new QTemporaryDir;
        const Outcome install = run(KVALOR_CMAKE_COMMAND,
                                    {"--install", KVALOR_BINARY_DIR, "--prefix", prefix_->path()});
        installed_ = install.exitCode == 0;
        if (!installed_) {
            ADD_FAILURE() << install.out.toStdString() << install.err.toStdString();
        }
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_); }

    static QString installed(const QString& path) { return prefix_->filePath(path); }

    static inline QTemporaryDir* prefix_ = nullptr;
    static inline bool installed_ = false;
};

}  // namespace

TEST_F(InstallTest, ProgramsMenuEntryIconsAndManualPages) {
    for (const char* program : {"bin/kvalor", "bin/kvalor-tool"}) {
        EXPECT_TRUE(QFileInfo(installed(program)).isExecutable()) << program;
    }
    const QString entry = installed("share/applications/kvalor.desktop");
    const Outcome validate = run("desktop-file-validate", {entry});
    EXPECT_EQ(validate.exitCode, 0) << validate.out.toStdString() << validate.err.toStdString();
    EXPECT_TRUE(validate.out.isEmpty()) << validate.out.toStdString();
    QFile desktop(entry);
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(desktop.readAll());
    for (const char* line :
         {"Name=Квалор", "Exec=kvalor", "Icon=kvalor", "Categories=Education;Qt;"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(line) + '\n')) << line;
    }

    for (const QString& file : {QStringLiteral("share/icons/hicolor/scalable/apps/kvalor.svg"),
                                QStringLiteral("share/man/man1/kvalor.1.gz"),
                                QStringLiteral("share/man/man1/kvalor-tool.1.gz")}) {
        EXPECT_TRUE(QFile::exists(installed(file))) << file.toStdString();
    }
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(QFile::exists(
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/kvalor.png").arg(size))));
    }
    const Outcome version = run(installed("bin/kvalor"), {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "kvalor " KVALOR_VERSION "\n");
}

// Started from the menu, with no --data and no KVALOR_DATA, the installed program writes
// nothing beside itself: its first start puts the starter data in the user's data folder.
TEST_F(InstallTest, InstalledProgramKeepsItsDataInTheUsersFolder) {
    QTemporaryDir home;
    QTemporaryDir temporary;  // the single-instance lock of a copy of its own
    ASSERT_TRUE(home.isValid() && temporary.isValid());
    const QString bin = installed("bin");
    // Not writable to anyone but root, who may write there anyway.
    ASSERT_EQ(::chmod(QFile::encodeName(bin).constData(), 0555), 0);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"KVALOR_DATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
        environment.remove(name);
    }
    environment.insert("HOME", home.path());
    environment.insert("TMPDIR", temporary.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(installed("bin/kvalor"), {});
    ASSERT_TRUE(program.waitForStarted());

    // The first start tells about the starter data and waits for the user there.
    const QString dataFile = home.filePath(".local/share/kvalor/KvalorData.exd");
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(dataFile) && program.state() == QProcess::Running &&
           waited.elapsed() < 120000) {
        QThread::msleep(50);
    }
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished();
    ASSERT_TRUE(stillRunning) << program.readAllStandardError().toStdString();
    ASSERT_TRUE(QFile::exists(dataFile));
    EXPECT_TRUE(QFile::exists(dataFile + ".lock"));

    TKvalor data;
    data.LoadFromFile(dataFile, true);
    EXPECT_EQ(data.SimpleTests().Count(), 1);
    EXPECT_EQ(QDir(bin).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"kvalor", "kvalor-tool"}));
    ASSERT_EQ(::chmod(QFile::encodeName(bin).constData(), 0755), 0);
}

// The Debian package names the libraries the programs need at run time.
TEST_F(InstallTest, DebianPackage) {
    QTemporaryDir output;
    ASSERT_TRUE(output.isValid());
    const Outcome cpack = run(KVALOR_CPACK_COMMAND, {"-G", "DEB", "-B", output.path(), "--config",
                                                     KVALOR_BINARY_DIR "/CPackConfig.cmake"});
    ASSERT_EQ(cpack.exitCode, 0) << cpack.out.toStdString() << cpack.err.toStdString();
    const QString package = output.filePath("kvalor_" KVALOR_VERSION "_amd64.deb");
    ASSERT_TRUE(QFile::exists(package)) << cpack.out.toStdString();

    const Outcome depends = run("dpkg-deb", {"--field", package, "Depends"});
    ASSERT_EQ(depends.exitCode, 0);
    for (const char* dependency :
         {"libqt6widgets6", "libqt6network6", "libgsf-1-114", "zlib1g", "qt6-qpa-plugins"}) {
        EXPECT_TRUE(depends.out.contains(dependency))
            << dependency << " in " << depends.out.toStdString();
    }
}
