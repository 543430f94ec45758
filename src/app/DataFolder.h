#pragma once

#include <QString>
#include <QStringList>

namespace kvalor {

// What the command line asks of a start of the program.
struct StartOptions {
    bool help = false;
    bool version = false;
    // The folder of "--data", or else the environment's KVALOR_DATA; empty when neither names
    // one.
    QString dataFolder;
    // The server of "--server", or else the environment's KVALOR_SERVER: the network mode for
    // this start, ahead of the settings file; empty when neither names one.
    QString server;
    // A mistake in the arguments, in Russian; the program then prints it with the usage.
    QString error;
};

// Reads the options from the arguments (without the program's name). The program has no others:
// Qt's own ("-platform", "-style") are refused as unknown rather than passed on to Qt.
StartOptions ParseStartOptions(const QStringList& arguments, const QString& environmentFolder,
                               const QString& environmentServer = {});

// The text of "kvalor --help".
QString StartUsage();

// The folder that holds the files of a run: the folder asked for; else the folder of the
// executable when it may be written and the program is not an installed copy (a copy run from
// a memory stick or its build folder keeps its data beside itself); else the user's own. Even
// root, who may write in the folder of an installed copy, gets its data in a folder of its own.
QString ChooseDataFolder(const QString& requested, const QString& programFolder,
                         bool installedCopy);

// The user's data folder for the program (~/.local/share/kvalor unless XDG_DATA_HOME says
// otherwise).
QString UserDataFolder();

}  // namespace kvalor
