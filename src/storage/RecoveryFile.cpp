#include "storage/RecoveryFile.h"

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "model/Study.h"
#include "storage/StorageError.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

namespace {

constexpr int kNamesTried = 1000;

}  // namespace

std::unique_ptr<TStudy> RecoveryFile::StoredCopy(const TStudy& study) {
    ByteStream record;
    study.SaveToStream(record);
    record.seek(0);
    auto copy = std::make_unique<TStudy>();
    copy->LoadFromStream(record);
    return copy;
}

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

QString RecoveryFile::NameBeside(const QString& tag, int attempt) const {
    const QFileInfo recovery(fileName_);
    return QDir(recovery.absolutePath())
        .filePath(recovery.completeBaseName() + '.' + tag +
                  (attempt == 1 ? QString() : QStringLiteral("-%1").arg(attempt)) + ".exd");
}

QString RecoveryFile::SetAside() const {
    // QFile::rename never replaces a file, so an earlier damaged copy is never lost.
    for (int attempt = 1; attempt <= kNamesTried; ++attempt) {
        const QString candidate = NameBeside(QStringLiteral("damaged"), attempt);
        if (QFile::rename(fileName_, candidate)) {
            return candidate;
        }
        if (!QFileInfo::exists(candidate)) {
            break;
        }
    }
    throw KvalorError(QStringLiteral("Не удалось переименовать файл %1").arg(fileName_));
}

QString RecoveryFile::KeepApart(const TStudyList::StudyFilter& picked) {
    TStudyList apart;
    for (int index = 0; index < pending_.Count(); ++index) {
        if (picked(pending_.StudyAt(index))) {
            apart.Append(StoredCopy(pending_.StudyAt(index)));
        }
    }
    // An earlier file of studies kept apart is never replaced.
    QString name;
    for (int attempt = 1; attempt <= kNamesTried && name.isEmpty(); ++attempt) {
        const QString candidate = NameBeside(QStringLiteral("unmatched"), attempt);
        if (!QFileInfo::exists(candidate)) {
            name = candidate;
        }
    }
    if (name.isEmpty()) {
        throw KvalorError(QStringLiteral("Рядом с файлом %1 нет свободного имени").arg(fileName_));
    }
    try {
        apart.SaveToFile(name);
    } catch (const std::exception& error) {
        throw KvalorError(DescribeFileFailure(
            QStringLiteral("Не удалось записать файл %1").arg(name), error, name));
    }
    pending_.DeleteWhere(picked);
    return name;
}

void RecoveryFile::Record(const TStudy& study) {
    pending_.Append(StoredCopy(study));
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
    } catch (const std::exception& error) {
        throw KvalorError(DescribeFileFailure(
            QStringLiteral("Не удалось записать файл восстановления %1").arg(fileName_), error,
            fileName_));
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
