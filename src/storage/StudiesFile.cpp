// The Studies file: a copy of the journal that other installations import.

#include <QString>
#include <memory>
#include <string_view>

#include "model/StudyList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/EntrySource.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Sets one of the list's file-operation flags for the duration of the operation, whatever way
// it ends.
class ListFlag {
public:
    using Setter = void (TStudyList::*)(bool);
    ListFlag(TStudyList& list, Setter set) : list_(list), set_(set) { (list_.*set_)(true); }
    ~ListFlag() { (list_.*set_)(false); }
    ListFlag(const ListFlag&) = delete;
    ListFlag& operator=(const ListFlag&) = delete;

private:
    TStudyList& list_;
    Setter set_;
};

// This file's container errors read "<operation> <code>", without the dollar sign of the data
// file's. The code stays with it, so that the message can say in words what went wrong.
StorageError containerError(const char* operation, const StorageError& error) {
    return StorageError(error.code(), QString::fromUtf8(operation) + QLatin1Char(' ') +
                                          formatResultCode(error.code()));
}

}  // namespace

void TStudyList::SaveToFile(const QString& fileName, const PackedData* packed) {
    if (reading_ || writing_) {
        throw KvalorError("Запись в файл.\nВыполнение невозможно");
    }
    try {
        CompoundFileWriter file(fileName);
        const ListFlag writing(*this, &TStudyList::SetWriting);
        const char version = static_cast<char>(kCurrentFormatVersion);
        file.root().writeStream(kVersionStream, std::string_view(&version, 1));
        if (packed) {
            WritePackedData(file.root(), kStudiesStorage, *packed);
        } else {
            WriteSourcedData(file.root(), kStudiesStorage, JournalSource(*this), nullptr);
        }
        file.commit();
    } catch (const StorageError& error) {
        throw containerError("Ошибка записи", error);
    }
}

void TStudyList::LoadFromFile(const QString& fileName, const StudyFilter& admit) {
    RequireExistingFile(fileName);
    if (reading_ || writing_) {
        throw KvalorError("Чтение из файла.\nВыполнение невозможно");
    }
    try {
        // Read from disk as it unpacks: neither the file nor its stream is held whole.
        const CompoundFileReader file(fileName, CompoundFileReader::Reading::FromDisk);
        const ListFlag reading(*this, &TStudyList::SetReading);
        const int version = ReadFormatVersion(file.root());
        // A missing storage "Studies" or stream "Data" is the container's "not found".
        LoadStudiesStream(*this, file.root().storage(kStudiesStorage).stream(kDataStream), version,
                          StorageTitle(kStudiesStorage, StoredFile::Studies), admit);
    } catch (const StorageError& error) {
        throw containerError("Ошибка чтения", error);
    }
}

}  // namespace kvalor
