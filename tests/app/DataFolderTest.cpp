#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/DataFolder.h"

namespace kvalor {
namespace {

TEST(DataFolderTest, CommandLineAndEnvironment) {
    struct Case {
        QStringList arguments;
        QString environment;
        QString folder;  // or the error
        bool help = false;
        bool version = false;
    };
    const QString noFolder = QStringLiteral("После --data не указана папка");
    const std::vector<Case> cases = {
        {{}, {}, {}},
        {{}, "/srv/класс", "/srv/класс"},
        {{"--data", "/srv/a"}, "/srv/b", "/srv/a"},
        {{"--data=/srv/a"}, {}, "/srv/a"},
        {{"--version", "-data", "d", "-h"}, {}, "d", true, true},
        {{"--help"}, {}, {}, true},
        {{"-h", "--version"}, {}, {}, true, true},
        {{"--data"}, "/srv/b", noFolder},
        {{"--data="}, {}, noFolder},
        {{"--data", ""}, {}, noFolder},
        // Refused rather than passed on to Qt or ignored.
        {{"--dat", "/srv/a"}, {}, "Неизвестный параметр --dat"},
        {{"-platform", "offscreen", "--data", "d"}, {}, "Неизвестный параметр -platform"},
        {{"--help=1"}, {}, "Параметр --help указывается без значения", true},
        {{"--data", "d", "e"}, {}, "Лишний аргумент e"},
    };
    for (const Case& c : cases) {
        const StartOptions options = ParseStartOptions(c.arguments, c.environment);
        const std::string name = c.arguments.join(' ').toStdString();
        EXPECT_EQ(options.help, c.help) << name;
        EXPECT_EQ(options.version, c.version) << name;
        EXPECT_EQ(options.error.isEmpty() ? options.dataFolder : options.error, c.folder) << name;
    }
}

TEST(DataFolderTest, WhereTheFilesOfARunLive) {
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(prefix.filePath("home-data")));
    const QString userFolder = prefix.filePath("home-data/kvalor");
    EXPECT_EQ(UserDataFolder(), userFolder);

    // A copy run from its own writable folder keeps its data beside itself.
    const QString copy = prefix.filePath("stick");
    ASSERT_TRUE(QDir().mkpath(copy));
    EXPECT_EQ(ChooseDataFolder({}, copy, false), copy);
    // An installed copy never does, even for root, who may write anywhere.
    const QString bin = prefix.filePath("usr/bin");
    ASSERT_TRUE(QDir().mkpath(bin));
    EXPECT_EQ(ChooseDataFolder({}, bin, true), userFolder);
    // A folder that cannot be written to.
    EXPECT_EQ(ChooseDataFolder({}, prefix.filePath("missing"), false), userFolder);
    // The folder asked for wins, made absolute against the current folder.
    EXPECT_EQ(ChooseDataFolder("/srv/класс/../общий", bin, true), "/srv/общий");
    EXPECT_EQ(ChooseDataFolder("данные", bin, true), QDir::current().filePath("данные"));
    qunsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace kvalor
