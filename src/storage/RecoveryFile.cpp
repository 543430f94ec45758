#include "storage/RecoveryFile.h"

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "model/Study.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

RecoveryFile::RecoveryFile(const QString& dataFileName) : fileName_(FileNameFor(dataFileName)) {}

QString RecoveryFile::FileNameFor(const QString& dataFileName) {
    const QFileInfo data(dataFileName);
    // Ends in ".exd", so that "Импорт результатов тестов" offers it too.
    return QDir(data.absolutePath()).filePath(data.completeBaseName() + ".recovery.exd");
}

bool RecoveryFile::Load() {
    pending_.Clear();
    if (!QFileInfo::exists(fileName_)) {
        return false;
    }
    try {
        pending_.LoadFromFile(fileName_);
    } catch (...) {
        pending_.Clear();
        throw;
    }
    return true;
}

QString RecoveryFile::SetAside() const {
    const QFileInfo recovery(fileName_);
    const QString stem =
        QDir(recovery.absolutePath()).filePath(recovery.completeBaseName() + ".damaged");
    // QFile::rename never replaces a file, so an earlier damaged copy is never lost.
    for (int attempt = 1; attempt <= 1000; ++attempt) {
        const QString candidate =
            stem + (attempt == 1 ? QString() : QStringLiteral("-%1").arg(attempt)) + ".exd";
        if (QFile::rename(fileName_, candidate)) {
            return candidate;
        }
        if (!QFileInfo::exists(candidate)) {
            break;
        }
    }
    throw KvalorError(QStringLiteral("Не удалось переименовать файл %1").arg(fileName_));
}

void RecoveryFile::Record(const TStudy& study) {
    // A copy through the stored record: exactly what the file will hold, and no pointer into
    // a journal whose studies may be deleted.
    ByteStream record;
    study.SaveToStream(record);
    record.seek(0);
    auto copy = std::make_unique<TStudy>();
    copy->LoadFromStream(record);
    pending_.Append(std::move(copy));
    Write();
}

void RecoveryFile::Forget(const TStudy& study) {
    const int before = pending_.Count();
    // The key of a run, as the merge of the journal knows it.
    pending_.DeleteWhere([&study](const TStudy& kept) {
        return kept.Date() == study.Date() && kept.Mode() == study.Mode() &&
               kept.UserId() == study.UserId() && kept.TestId() == study.TestId();
    });
    if (pending_.Count() == before) {
        return;
    }
    if (pending_.Count() == 0) {
        Discard();
    } else {
        Write();
    }
}

void RecoveryFile::Write() {
    try {
        pending_.SaveToFile(fileName_);
    } catch (const KvalorError& error) {
        throw KvalorError(QStringLiteral("Не удалось записать файл восстановления %1:\n%2")
                              .arg(fileName_, error.message()));
    }
}

void RecoveryFile::Discard() {
    pending_.Clear();
    if (QFileInfo::exists(fileName_) && !QFile::remove(fileName_)) {
        throw KvalorError(
            QStringLiteral("Не удалось удалить файл восстановления %1").arg(fileName_));
    }
}

}  // namespace kvalor
