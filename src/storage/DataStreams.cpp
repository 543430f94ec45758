#include "storage/DataStreams.h"

#include <QFileInfo>
#include <memory>
#include <optional>
#include <utility>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Questions.h"
#include "model/TypeIds.h"
#include "storage/EntrySource.h"
#include "storage/InflateAhead.h"
#include "storage/PackCache.h"
#include "storage/Packing.h"
#include "storage/PiecePacker.h"
#include "storage/StreamInflater.h"
#include "storage/ZlibFormat.h"
#include "util/Error.h"

namespace kvalor {

using zlibformat::kPieceSize;

namespace {

constexpr std::uint8_t kAccountEntry = 0;
constexpr std::uint8_t kGroupEntry = 1;

// Marks the users list as loading for the duration of a read, whatever way the read ends.
class UsersLoading {
public:
    explicit UsersLoading(TCompetitors& users) : users_(users), was_(users.Loading()) {
        users_.SetLoading(true);
    }
    ~UsersLoading() { users_.SetLoading(was_); }
    UsersLoading(const UsersLoading&) = delete;
    UsersLoading& operator=(const UsersLoading&) = delete;

private:
    TCompetitors& users_;
    bool was_;
};

}  // namespace

void RequireReadableNesting(const TExaminerCollection& record) {
    if (!record.EntriesNestWithin(kMaxRecordNesting)) {
        throw KvalorError(QString::fromUtf8("Слишком глубокая вложенность групп: допускается не "
                                            "более %1 уровней")
                              .arg(kMaxRecordNesting));
    }
}

void RequireExistingFile(const QString& fileName) {
    if (!QFileInfo::exists(fileName)) {
        throw KvalorError(QString::fromUtf8("Файл ") + fileName + QString::fromUtf8(" не найден"));
    }
}

CompoundStorageReader RequireStorage(const CompoundStorageReader& root, const std::string& name) {
    std::optional<CompoundStorageReader> storage = root.findStorage(name);
    if (!storage) {
        throw KvalorError(QString::fromUtf8("Ошибка чтения ") + QString::fromStdString(name));
    }
    return std::move(*storage);
}

int ReadFormatVersion(const CompoundStorageReader& root) {
    const std::optional<CompoundStreamReader> version = root.findStream(kVersionStream);
    if (!version) {
        return 0;
    }
    const std::string bytes = version->readAll();
    return bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
}

ByteStream ReadStoredStream(const CompoundStorageReader& storage) {
    return ByteStream(storage.stream(kDataStream).readAll());
}

QString StorageTitle(const std::string& storage, StoredFile file) {
    const char* of = file == StoredFile::Data      ? "файла данных"
                     : file == StoredFile::Studies ? "файла результатов"
                                                   : "файла пользователей";
    return QString::fromUtf8("Хранилище «%1» %2")
        .arg(QString::fromStdString(storage), QString::fromUtf8(of));
}

void UnpackDataStream(ByteStream& stream, int version, const QString& title) {
    // Versions 0 and 1 stored the records as they are.
    if (version <= 1) {
        return;
    }
    try {
        UnpackStream(stream, version);
    } catch (const UnpackError& error) {
        throw ReadError(error.MessageAbout(title));
    }
}

std::shared_ptr<const PackedStream> UnpackDataStreamInPieces(ByteStream& stream, int version,
                                                             const QString& title) {
    std::shared_ptr<const PackedStream> pieces;
    if (version >= kCurrentFormatVersion) {
        pieces = UnpackInPieces(stream, UnpackLimit(stream.size()));
    }
    if (!pieces) {
        UnpackDataStream(stream, version, title);
    }
    return pieces;
}

namespace {

// Merges the studies as the inflater unpacks them; the rest of the stream is unpacked all the
// same, since its check value vouches for what was read.
template <class Inflater>
void mergeUnpacked(TStudyList& list, Inflater& inflater, std::size_t memoryCap,
                   const QString& title, const TStudyList::StudyFilter& admit) {
    const TStudyList::MoreBytes more = [&inflater, &title](std::string& out) {
        try {
            return inflater.More(out);
        } catch (const UnpackError& error) {
            throw ReadError(error.MessageAbout(title));
        }
    };
    list.LoadFromParts(more, memoryCap, admit);
    std::string rest;
    while (more(rest)) {
        rest.clear();
    }
}

// The journal of an old format version, held whole: it has no pieces to keep.
void loadOldJournal(TStudyList& list, const CompoundStreamReader& stored, int version,
                    const QString& title, const TStudyList::StudyFilter& admit) {
    ByteStream whole(stored.readAll());
    UnpackDataStream(whole, version, title);
    list.LoadFromStream(whole, admit);
}

}  // namespace

void LoadStudiesStream(TStudyList& list, const CompoundStorageReader& storage, int version,
                       const QString& title, PackCache& cache, const QString& fileName) {
    const CompoundStreamReader stored = storage.stream(kDataStream);
    cache.Keep(kStudiesStorage, nullptr);
    if (version < kCurrentFormatVersion) {
        loadOldJournal(list, stored, version, title, {});
        return;
    }
    const std::size_t packedSize = stored.size();
    const std::size_t maxSize = UnpackLimit(packedSize);
    // Read from the start again when the stream turns out not to be made of pieces.
    StreamInflater inflater(
        [&storage]() -> StreamInflater::MorePacked {
            auto stream = std::make_shared<CompoundStreamReader>(storage.stream(kDataStream));
            return [stream](std::string& packed) { return stream->readNext(packed, kPieceSize); };
        },
        maxSize);
    {
        InflateAhead ahead(inflater);
        mergeUnpacked(list, ahead, UnpackedMemoryBudget(maxSize, packedSize), title, {});
    }
    if (std::optional<PackedLayout> layout = inflater.TakeLayout()) {
        cache.KeepInFile(kStudiesStorage, fileName, std::move(*layout));
    }
}

void LoadStudiesStream(TStudyList& list, CompoundStreamReader stored, int version,
                       const QString& title, const TStudyList::StudyFilter& admit) {
    if (version < kCurrentFormatVersion) {
        loadOldJournal(list, stored, version, title, admit);
        return;
    }
    const std::size_t packedSize = stored.size();
    const std::size_t maxSize = UnpackLimit(packedSize);
    StreamInflater inflater(
        [&stored](std::string& packed) { return stored.readNext(packed, kPieceSize); }, maxSize);
    mergeUnpacked(list, inflater, UnpackedMemoryBudget(maxSize, packedSize), title, admit);
}

ByteStream ReadDataStream(const CompoundStorageReader& storage, int version, const QString& title) {
    ByteStream stream = ReadStoredStream(storage);
    UnpackDataStream(stream, version, title);
    return stream;
}

void WritePackedData(CompoundStorageWriter& parent, const std::string& storageName,
                     const PackedData& data) {
    // Checked before anything is committed, so the file on disk stays as it was.
    RequireUnpackable(data.stream->UnpackedSize(), data.stream->Size(),
                      QString::fromStdString(storageName));
    CompoundStreamWriter stream = parent.createStorage(storageName).createStream(kDataStream);
    for (const PackedPart& part : data.stream->Parts()) {
        stream.write(part.View());
    }
    stream.close();
}

std::shared_ptr<const PackedStream> WriteSourcedData(
    CompoundStorageWriter& parent, const std::string& storageName, const PackSource& source,
    const std::shared_ptr<const PackedStream>& earlier, const Progress& progress) {
    CompoundStreamWriter stream = parent.createStorage(storageName).createStream(kDataStream);
    std::shared_ptr<const PackedStream> packed = PackSourced(
        source, earlier, [&stream](std::string_view bytes) { stream.write(bytes); }, progress);
    // Checked before the file is committed, so the file on disk stays as it was.
    RequireUnpackable(packed->UnpackedSize(), packed->Size(), QString::fromStdString(storageName));
    stream.close();
    return packed;
}

void WriteDataStream(CompoundStorageWriter& parent, const std::string& storageName,
                     ByteStream content) {
    WriteSourcedData(parent, storageName, HeldSource(content.data()), nullptr);
}

namespace {

// Entry 0 of a root of tests' stream is the count, entry i + 1 test i. A root of tests accepts
// no elements: every entry is a test.
void writeTestsEntry(const TQuestions& root, std::size_t entry, ByteStream& stream) {
    if (entry == 0) {
        stream.writeI32(root.Count());
        return;
    }
    const auto& test = *root.CollectionAt(static_cast<int>(entry - 1));
    RequireReadableNesting(test);
    test.SaveToStream(stream);
}

}  // namespace

void SaveTestsStream(const TQuestions& root, ByteStream& stream) {
    for (std::size_t entry = 0; entry <= static_cast<std::size_t>(root.Count()); ++entry) {
        writeTestsEntry(root, entry, stream);
    }
}

EntrySource TestsSource(const TQuestions& root) {
    return EntrySource(
        [&root](std::size_t entry, ByteStream& stream) { writeTestsEntry(root, entry, stream); },
        static_cast<std::size_t>(root.Count()) + 1);
}

void LoadTestsStream(TQuestions& root, ByteStream& stream, const ReadContext& context) {
    const std::int32_t count = stream.readCount(kQuestionsEntryCost);
    for (std::int32_t number = 1; number <= count; ++number) {
        // The record sets the real group kind.
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest, Guid());
        test->LoadFromStream(stream, context);
        TQuestions& added = *test;
        root.AddCollection(std::move(test));
        added.SetNumber(number);
    }
}

void SaveUsersStream(const TCompetitors& users, ByteStream& stream) {
    stream.writeI32(users.Count());
    for (int i = 0; i < users.Count(); ++i) {
        if (const TExaminerCollection* group = users.CollectionAt(i)) {
            RequireReadableNesting(*group);
            stream.writeU8(kGroupEntry);
            group->SaveToStream(stream);
        } else {
            stream.writeU8(kAccountEntry);
            users.ElementAt(i)->SaveToStream(stream);
        }
    }
}

void LoadUsersStream(TCompetitors& users, ByteStream& stream, const ReadContext& context,
                     StoredAdministrator administrator) {
    const UsersLoading loading(users);
    // An entry of an unknown tag is the tag byte alone; the others take their memory as they
    // are made.
    constexpr EntryCost kTagCost{1, 0};
    const std::int32_t count = stream.readCount(kTagCost);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint8_t tag = stream.readU8();
        if (tag == kAccountEntry) {
            stream.chargeMemory(kAccountEntryCost);
            auto account = std::make_unique<TCompetitor>();
            account->LoadFromStream(stream, context);
            if (administrator == StoredAdministrator::Discard &&
                account->Id() == AdministratorAccountId()) {
                continue;
            }
            users.AddCompetitor(std::move(account), true);
        } else if (tag == kGroupEntry) {
            stream.chargeMemory(kUsersGroupEntryCost);
            auto group = std::make_unique<TCompetitors>();
            group->LoadFromStream(stream, context);
            if (group->Id().isNull()) {
                group->NewId();
            }
            users.AddCollection(std::move(group));
        }
    }
}

}  // namespace kvalor
