// The data file: every list of the root object in one compound file.

#include <QString>
#include <exception>
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
    // The container's errors carry "Ошибка чтения $<code>".
    auto file = std::make_unique<const CompoundFileReader>(fileName);
    const CompoundStorageReader& root = file->root();
    const StateMark loading(state_, Loading);
    Clear();

    // The options stored beside the version are not used: every load sets both to 1.
    const ReadContext context{ReadFormatVersion(root)};
    option1_ = 1;
    option2_ = 1;

    // The stored streams are taken out first and the file let go, so that its bytes are not
    // held while the records are built; each unpacked stream goes once its records are read.
    // A storage that cannot be read fails in its turn, once the lists before it are loaded.
    struct Stored {
        ByteStream stream;
        std::exception_ptr failure;
    };
    const std::string* const storages[] = {&kSimpleTestsStorage, &kComplexTestsStorage,
                                           &kCompetitorsStorage, &kComplexTasksStorage,
                                           &kStudiesStorage};
    std::vector<Stored> stored;
    std::uint64_t total = 0;
    for (const std::string* storage : storages) {
        Stored entry;
        try {
            entry.stream = ReadStoredStream(RequireStorage(root, *storage));
        } catch (...) {
            entry.failure = std::current_exception();
        }
        total += entry.stream.size();
        stored.push_back(std::move(entry));
    }
    file.reset();
    // Each list is counted as read once the next one starts.
    std::uint64_t done = 0;
    const auto take = [&](std::size_t index) {
        ReportProgress(progress, done, total);
        if (stored[index].failure) {
            std::rethrow_exception(stored[index].failure);
        }
        done += stored[index].stream.size();
        return std::move(stored[index].stream);
    };
    const auto unpacked = [&](std::size_t index) {
        ByteStream stream = take(index);
        UnpackDataStream(stream, context.version, StorageTitle(*storages[index], StoredFile::Data),
                         *packCache_, *storages[index]);
        return stream;
    };
    ByteStream stream = unpacked(0);
    LoadTestsStream(*simpleTests_, stream, context);
    stream = unpacked(1);
    LoadTestsStream(*complexTests_, stream, context);
    stream = unpacked(2);
    LoadUsersStream(*users_, stream, context);
    stream = unpacked(3);
    tasks_->LoadFromStream(stream);
    stream = ByteStream();
    // The journal, most of the data, is read as it unpacks.
    LoadStudiesStream(*studies_, take(4), context.version,
                      StorageTitle(kStudiesStorage, StoredFile::Data), packCache_.get(), {});

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
    const auto write = [&](const std::string& storage, const PackSource& source) {
        const Progress part = [&](std::uint64_t done, std::uint64_t) {
            ReportProgress(progress, before + done, total);
        };
        packCache_->Keep(
            storage, WriteSourcedData(root, storage, source, packCache_->Find({storage}).front(),
                                      progress ? part : Progress()));
        before += source.Size();
    };
    for (std::size_t i = 0; i < kListStorages.size(); ++i) {
        write(kListStorages[i], *lists[i]);
    }
    if (packedStudies) {
        WritePackedData(root, kStudiesStorage, *packedStudies);
    } else {
        write(kStudiesStorage, journal);
    }
    ReportProgress(progress, total, total);

    file.commit();
}

}  // namespace kvalor
