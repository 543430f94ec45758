#include "storage/DataFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "util/Error.h"

namespace kvalor {

QString DataFileLock::LockFileNameFor(const QString& dataFileName) {
    const QFileInfo data(dataFileName);
    QString path = data.canonicalFilePath();
    if (path.isEmpty()) {
        // No data file yet (a first start): the folder still decides.
        const QString folder = QFileInfo(data.absolutePath()).canonicalFilePath();
        path = QDir(folder.isEmpty() ? data.absolutePath() : folder).filePath(data.fileName());
    }
    return path + QStringLiteral(".lock");
}

DataFileLock::DataFileLock(const QString& dataFileName, const QStringList& companions)
    : lockFileName_(LockFileNameFor(dataFileName)) {
    const QByteArray path = QFile::encodeName(lockFileName_);
    // 0666 lets the umask decide, so that other users of a shared folder can open it too; one
    // who may not write it still locks it through a read-only descriptor.
    fd_ = detail::UniqueFd(
        ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666));
    if (!fd_.isOpen() && (errno == EACCES || errno == EROFS)) {
        fd_ = detail::UniqueFd(
            ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    }
    if (!fd_.isOpen()) {
        // Where no lock file can be made, no data file can be written either: the write
        // itself then says why.
        if (errno == ENOENT) {
            return;
        }
        throw KvalorError(
            QStringLiteral("Не удалось открыть файл блокировки %1").arg(lockFileName_));
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK) {
            throw KvalorError(
                QStringLiteral("Не удалось заблокировать файл данных %1").arg(dataFileName));
        }
        throw KvalorError(QStringLiteral("Файл данных %1 уже используется другой запущенной "
                                         "программой (возможно, другим пользователем этого "
                                         "компьютера).\nДождитесь завершения её работы и "
                                         "повторите попытку")
                              .arg(dataFileName));
    }
    RemoveAbandonedTemporaryFiles(dataFileName);
    for (const QString& companion : companions) {
        RemoveAbandonedTemporaryFiles(companion);
    }
}

}  // namespace kvalor
