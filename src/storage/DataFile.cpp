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
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
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
    const auto unpacked = [&](std::size_t index) {
        ReportProgress(progress, done, total);
        if (stored[index].failure) {
            std::rethrow_exception(stored[index].failure);
        }
        done += stored[index].stream.size();
        ByteStream stream = std::move(stored[index].stream);
        UnpackDataStream(stream, context.version, StorageTitle(*storages[index], StoredFile::Data));
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
    stream = unpacked(4);
    studies_->LoadFromStream(stream);
    stream = ByteStream();

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

PackedData TKvalor::PackStudies() const {
    ByteStream studies;
    studies_->SaveToStream(studies);
    std::vector<ByteStream> contents;
    contents.push_back(std::move(studies));
    return std::move(PackDataStreams(std::move(contents)).front());
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

    // All streams are packed together, so that the cores share the work.
    std::vector<ByteStream> contents(packedStudies ? 4 : 5);
    SaveTestsStream(*simpleTests_, contents[0]);
    SaveTestsStream(*complexTests_, contents[1]);
    SaveUsersStream(*users_, contents[2]);
    tasks_->SaveToStream(contents[3], complexTests_.get());
    if (!packedStudies) {
        studies_->SaveToStream(contents[4]);
    }
    const std::vector<PackedData> packed = PackDataStreams(std::move(contents), progress);
    WritePackedData(root, kSimpleTestsStorage, packed[0]);
    WritePackedData(root, kComplexTestsStorage, packed[1]);
    WritePackedData(root, kCompetitorsStorage, packed[2]);
    WritePackedData(root, kComplexTasksStorage, packed[3]);
    WritePackedData(root, kStudiesStorage, packedStudies ? *packedStudies : packed[4]);

    file.commit();
}

}  // namespace kvalor
