#pragma once

// Independent readers of what the program writes, run as Python scripts of the tests folder.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace kvalor::testsupport {

struct ScriptRun {
    bool succeeded = false;
    // Standard output and error together.
    std::string output;
};

// Runs the script (a path below the tests folder) with the arguments, passed as they are, with
// no shell between; nullopt when no interpreter with the modules the script needs is there (it
// then exits with 77).
inline std::optional<ScriptRun> runPythonScript(const QString& script,
                                                const QStringList& arguments) {
    const QString path = QStringLiteral(KVALOR_TESTS_SOURCE_DIR "/") + script;
    // Debian's packages install their modules for the system interpreter.
    for (const QString& python : {QStringLiteral("/usr/bin/python3"), QStringLiteral("python3")}) {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(python, QStringList{path} + arguments);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit) {
            if (process.error() == QProcess::FailedToStart) {
                continue;
            }
            return ScriptRun{false, process.readAll().toStdString()};
        }
        if (process.exitCode() == 77) {
            continue;
        }
        return ScriptRun{process.exitCode() == 0, process.readAll().toStdString()};
    }
    return std::nullopt;
}

}  // namespace kvalor::testsupport
