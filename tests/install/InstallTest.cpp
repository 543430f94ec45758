// Unpacks the Debian package that scripts/package.sh made into a temporary folder standing for
// the root, and starts the installed program the way the desktop menu does.

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
        const QStringList packages =
            QDir(KVALOR_PACKAGE_FOLDER).entryList({"kvalor_" KVALOR_VERSION "-*.deb"}, QDir::Files);
        if (packages.size() != 1) {
            ADD_FAILURE() << "not one package in " KVALOR_PACKAGE_FOLDER ": "
                          << packages.join(' ').toStdString();
            return;
        }
        package_ = QDir(KVALOR_PACKAGE_FOLDER).filePath(packages.first());
        const Outcome unpack = run("dpkg-deb", {"--extract", package_, prefix_->path()});
        installed_ = unpack.exitCode == 0;
        if (!installed_) {
            ADD_FAILURE() << unpack.out.toStdString() << unpack.err.toStdString();
        }
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(installed_); }

    static QString installed(const QString& path) { return prefix_->filePath("usr/" + path); }

    static inline QTemporaryDir* prefix_ = nullptr;
    static inline QString package_;
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
                                QStringLiteral("share/man/man1/kvalor-tool.1.gz"),
                                QStringLiteral("share/doc/kvalor/changelog.Debian.gz"),
                                QStringLiteral("share/doc/kvalor/copyright")}) {
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

// The Debian package names the libraries the programs need at run time, and Debian's own
// checker finds no error in it.
TEST_F(InstallTest, DebianPackage) {
    const Outcome depends = run("dpkg-deb", {"--field", package_, "Depends"});
    ASSERT_EQ(depends.exitCode, 0);
    for (const char* dependency : {"libqt6widgets6", "libqt6network6", "libqt6charts6",
                                   "libgsf-1-114", "zlib1g", "qt6-qpa-plugins"}) {
        EXPECT_TRUE(depends.out.contains(dependency))
            << dependency << " in " << depends.out.toStdString();
    }
    const Outcome lintian = run("lintian", {"--fail-on", "error", package_});
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out.toStdString() << lintian.err.toStdString();
}
