#include "ui/Workbooks.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <memory>

#include "ui/ErrorGuard.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// xdg-open fails with a non-zero code when no application handles the type. Where it runs
// the application itself it finishes only when that closes; the answer then comes late, but
// the file is open meanwhile.
void openOnDesktop(const QString& fileName, std::function<void(bool)> done) {
    auto* process = new QProcess(QCoreApplication::instance());
    auto report = [process, done = std::move(done),
                   reported = std::make_shared<bool>(false)](bool opened) {
        if (!*reported) {
            *reported = true;
            process->deleteLater();
            done(opened);
        }
    };
    QObject::connect(process, &QProcess::finished, process,
                     [report](int code, QProcess::ExitStatus status) {
                         report(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [report](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             report(false);
                         }
                     });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(QStringLiteral("xdg-open"), {fileName});
}

FileOpener& installedOpener() {
    static FileOpener opener;
    return opener;
}

// Writes a copy of the file in place of target; an existing target is replaced only once the
// copy is complete.
void copyFile(const QString& source, const QString& target) {
    QFile in(source);
    QSaveFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly) ||
        out.write(in.readAll()) != in.size() || !out.commit()) {
        throw KvalorError(
            QStringLiteral("Не удалось записать книгу в файл %1.\nОна осталась в файле %2")
                .arg(QDir::toNativeSeparators(target), QDir::toNativeSeparators(source)));
    }
}

void offerToSave(const QString& fileName, const QString& suggestedName) {
    if (prompts().ask(WorkbookNotOpenedQuestion(fileName), kProgramCaption, QMessageBox::Warning,
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) != QMessageBox::Yes) {
        return;
    }
    const QString name = suggestedName.isEmpty() ? QFileInfo(fileName).fileName() : suggestedName;
    const QString target = prompts().saveFile(QStringLiteral("Сохранить книгу"),
                                              QStringLiteral("Книги Excel (*.xlsx)"),
                                              QDir::home().filePath(name), QStringLiteral("xlsx"));
    if (target.isEmpty()) {
        return;
    }
    if (QFileInfo(target) != QFileInfo(fileName)) {
        copyFile(fileName, target);
        QFile::remove(fileName);
    }
    prompts().inform(
        QStringLiteral("Книга сохранена в файл\n%1").arg(QDir::toNativeSeparators(target)),
        kProgramCaption, QMessageBox::Information);
}

}  // namespace

QString WorkbookNotOpenedQuestion(const QString& fileName) {
    return QStringLiteral(
               "Книгу не открыла ни одна программа: похоже, на этом компьютере нет "
               "программы для книг Excel (.xlsx).\nКнига записана во временный "
               "файл\n%1\n\nСохранить её в другом месте?")
        .arg(QDir::toNativeSeparators(fileName));
}

FileOpener setFileOpener(FileOpener opener) {
    FileOpener before = std::move(installedOpener());
    installedOpener() = std::move(opener);
    return before;
}

void OpenWorkbook(const QString& fileName, const QString& suggestedName) {
    auto done = [fileName, suggestedName](bool opened) {
        if (!opened) {
            guarded([&] { offerToSave(fileName, suggestedName); });
        }
    };
    if (const FileOpener& opener = installedOpener()) {
        opener(fileName, std::move(done));
    } else {
        openOnDesktop(fileName, std::move(done));
    }
}

}  // namespace kvalor
