// The data file: every list of the root object in one compound file.

#include <QString>
#include <exception>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "model/BuiltinAccounts.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/EntrySource.h"
#include "storage/PackCache.h"
#include "storage/PiecePacker.h"
#include "util/Codepage.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// Sets a flag of the root object's state for the duration of a file operation. The flag goes
// again however the operation ends: it tells observers what is running, and a load that
// failed is no longer running.
class StateMark {
public:
    StateMark(std::uint8_t& state, std::uint8_t flag) : state_(state), flag_(flag) {
        state_ |= flag_;
    }
    ~StateMark() { state_ &= static_cast<std::uint8_t>(~flag_); }
    StateMark(const StateMark&) = delete;
    StateMark& operator=(const StateMark&) = delete;

private:
    std::uint8_t& state_;
    std::uint8_t flag_;
};

// The lists beside the journal, in the order of their streams.
const std::vector<std::string> kListStorages = {kSimpleTestsStorage, kComplexTestsStorage,
                                                kCompetitorsStorage, kComplexTasksStorage};

}  // namespace

void TKvalor::LoadFromFile(const QString& fileName, bool withFixups, const Progress& progress) {
    RequireExistingFile(fileName);
    // The container's errors carry "Ошибка чтения $<code>". The file is read as its streams
    // are, so that its bytes are not held while the records are built.
    const CompoundFileReader file(fileName, CompoundFileReader::Reading::FromDisk);
    const CompoundStorageReader& root = file.root();
    const StateMark loading(state_, Loading);
    Clear();

    // The options stored beside the version are not used: every load sets both to 1.
    const ReadContext context{ReadFormatVersion(root)};
    option1_ = 1;
    option2_ = 1;

    // The lists are taken out first, each unpacked stream let go once its records are read. A
    // storage that cannot be read fails in its turn, once the lists before it are loaded.
    struct Stored {
        ByteStream stream;
        std::exception_ptr failure;
    };
    std::vector<Stored> stored;
    std::uint64_t total = 0;
    for (const std::string& storage : kListStorages) {
        Stored entry;
        try {
            entry.stream = ReadStoredStream(RequireStorage(root, storage));
        } catch (...) {
            entry.failure = std::current_exception();
        }
        total += entry.stream.size();
        stored.push_back(std::move(entry));
    }
    // The journal's stored size counts for the progress; what keeps it from being read fails
    // in its turn below.
    try {
        if (const auto journal = root.findStorage(kStudiesStorage)) {
            if (const auto journalStream = journal->findStream(kDataStream)) {
                total += journalStream->size();
            }
        }
    } catch (const KvalorError&) {
    }
    // Each list is unpacked on a thread of its own while the records of the one before it are
    // read, so that on two cores reading hides most of the unpacking.
    struct Unpacked {
        ByteStream stream;
        std::shared_ptr<const PackedStream> pieces;
        std::size_t storedSize = 0;
    };
    const auto unpackAhead = [&stored, version = context.version](std::size_t index) {
        return std::async(std::launch::async, [&stored, version, index] {
            if (stored[index].failure) {
                std::rethrow_exception(stored[index].failure);
            }
            Unpacked unpacked{std::move(stored[index].stream), nullptr, 0};
            unpacked.storedSize = unpacked.stream.size();
            unpacked.pieces = UnpackDataStreamInPieces(
                unpacked.stream, version, StorageTitle(kListStorages[index], StoredFile::Data));
            return unpacked;
        });
    };
    // Each list is counted as read once the next one starts.
    std::uint64_t done = 0;
    std::future<Unpacked> next = unpackAhead(0);
    const auto take = [&](std::size_t index) {
        ReportProgress(progress, done, total);
        Unpacked unpacked = next.get();
        if (index + 1 < kListStorages.size()) {
            next = unpackAhead(index + 1);
        }
        packCache_->Keep(kListStorages[index], std::move(unpacked.pieces));
        done += unpacked.storedSize;
        return std::move(unpacked.stream);
    };
    ByteStream stream = take(0);
    LoadTestsStream(*simpleTests_, stream, context);
    stream = take(1);
    LoadTestsStream(*complexTests_, stream, context);
    stream = take(2);
    LoadUsersStream(*users_, stream, context);
    stream = take(3);
    tasks_->LoadFromStream(stream);
    stream = ByteStream();
    // What the lists were packed into lies in the file as read.
    packCache_->RestOn(fileName);
    // The journal, most of the data, is read from the file as it unpacks.
    ReportProgress(progress, done, total);
    LoadStudiesStream(*studies_, RequireStorage(root, kStudiesStorage), context.version,
                      StorageTitle(kStudiesStorage, StoredFile::Data), *packCache_, fileName);

    if (withFixups) {
        ApplyLoadFixups(*this);
    }
    ReportProgress(progress, total, total);
}

void ApplyLoadFixups(TKvalor& data) {
    data.LinkStudies();
    data.Users().EnsureBuiltins();
    if (auto* administrator =
            dynamic_cast<TCompetitor*>(data.Users().FindItem(AdministratorAccountId()))) {
        const std::string name = toCp1251(QString::fromUtf8("Администратор"));
        administrator->SetName(name);
        administrator->SetField(AccountField::LastName, name);
    }
    data.SimpleTests().Renumber();
    data.ComplexTests().Renumber();
    data.Users().Sort();
}

PackedData TKvalor::PackStudies(const Progress& progress) {
    PackedData packed{PackSourced(JournalSource(*studies_),
                                  packCache_->Find({kStudiesStorage}).front(), {}, progress)};
    packCache_->Keep(kStudiesStorage, packed.stream);
    return packed;
}

void TKvalor::SaveToFile(const QString& fileName, const PackedData* packedStudies,
                         const Progress& progress) {
    // What the file holds that may be taken over is read back before the writer locks it.
    std::vector<std::string> storages = kListStorages;
    storages.push_back(kStudiesStorage);
    const std::vector<std::shared_ptr<const PackedStream>> earlier =
        packedStudies ? packCache_->Find(kListStorages) : packCache_->Find(storages);
    // The container's errors carry "Ошибка записи $<code>"; until commit the file on disk
    // stays as it was.
    CompoundFileWriter file(fileName);
    const StateMark saving(state_, Saving);
    CompoundStorageWriter& root = file.root();

    const char version[] = {static_cast<char>(kCurrentFormatVersion), static_cast<char>(option1_),
                            static_cast<char>(option2_)};
    root.writeStream(kVersionStream, std::string_view(version, sizeof version));

    // Each stream is packed on all cores and written as its pieces are done; the tests and the
    // journal, most of the data, are never held whole. What has not changed since the last load
    // or save is taken over as it was packed.
    ByteStream users;
    ByteStream tasks;
    SaveUsersStream(*users_, users);
    tasks_->SaveToStream(tasks, complexTests_.get());
    const EntrySource simpleTests = TestsSource(*simpleTests_);
    const EntrySource complexTests = TestsSource(*complexTests_);
    const HeldSource usersSource(users.data());
    const HeldSource tasksSource(tasks.data());
    const EntrySource journal = JournalSource(*studies_);
    const std::vector<const PackSource*> lists = {&simpleTests, &complexTests, &usersSource,
                                                  &tasksSource};
    std::uint64_t total = packedStudies ? 0 : journal.Size();
    for (const PackSource* list : lists) {
        total += list->Size();
    }
    std::uint64_t before = 0;
    const auto write = [&](std::size_t index, const PackSource& source) {
        const Progress part = [&](std::uint64_t done, std::uint64_t) {
            ReportProgress(progress, before + done, total);
        };
        packCache_->Keep(storages[index],
                         WriteSourcedData(root, storages[index], source, earlier[index],
                                          progress ? part : Progress()));
        before += source.Size();
    };
    for (std::size_t i = 0; i < kListStorages.size(); ++i) {
        write(i, *lists[i]);
    }
    if (packedStudies) {
        WritePackedData(root, kStudiesStorage, *packedStudies);
    } else {
        write(kListStorages.size(), journal);
    }
    ReportProgress(progress, total, total);

    file.commit();
    packCache_->RestOn(fileName);
}

}  // namespace kvalor
