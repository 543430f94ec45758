#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/StudyList.h"
#include "storage/CompoundFile.h"
#include "storage/Packing.h"
#include "util/ByteStream.h"
#include "util/Progress.h"

namespace kvalor {

class TCompetitors;
class TExaminerCollection;
class TKvalor;
class TQuestions;
class PackCache;
class EntrySource;
class PackSource;

// The parts that the data file, the user exchange file and the Studies file share: a root
// stream "Version" whose first byte is the format version, and one storage per list holding
// the list in a stream "Data", packed from version 2 on.

inline const std::string kVersionStream = "Version";
inline const std::string kDataStream = "Data";
inline const std::string kSimpleTestsStorage = "SimpleTests";
inline const std::string kComplexTestsStorage = "ComplexTests";
inline const std::string kCompetitorsStorage = "Competitors";
inline const std::string kComplexTasksStorage = "ComplexTasks";
inline const std::string kStudiesStorage = "Studies";

// What a program start does after loading every list, from a file or from the server: links
// the studies, ensures the built-in accounts, numbers the tests and sorts the users.
void ApplyLoadFixups(TKvalor& data);

// "Файл <name> не найден" unless a file of that name exists.
void RequireExistingFile(const QString& fileName);

// Refuses a record nested deeper than reading takes (kMaxRecordNesting): it would be written
// and never read again.
void RequireReadableNesting(const TExaminerCollection& record);

// The storage of that name under the root; "Ошибка чтения <name>" when there is none.
CompoundStorageReader RequireStorage(const CompoundStorageReader& root, const std::string& name);

// The first byte of the root stream "Version"; 0 for a file without one (or an empty one).
int ReadFormatVersion(const CompoundStorageReader& root);

// The files whose storages messages name.
enum class StoredFile { Data, Studies, Users };
// "Хранилище «<storage>» файла данных" and the like, for messages about a storage.
QString StorageTitle(const std::string& storage, StoredFile file);

// The whole stream "Data" of the storage, unpacked when the version asks for it, within
// UnpackLimit of the stored size. Packed data that does not unpack fails with a message that
// names the storage by its title.
ByteStream ReadDataStream(const CompoundStorageReader& storage, int version, const QString& title);
// The same in two steps: the stream as stored, then unpacked in place.
ByteStream ReadStoredStream(const CompoundStorageReader& storage);
void UnpackDataStream(ByteStream& stream, int version, const QString& title);
// The same, returning the packed pieces of a stream of the current format for a later save
// (null when the stream has none).
std::shared_ptr<const PackedStream> UnpackDataStreamInPieces(ByteStream& stream, int version,
                                                             const QString& title);

// Merges the journal's stream "Data" of the storage into the list as it is read from the
// file and unpacked (TStudyList::LoadFromParts), so that neither its packed nor its unpacked
// content is ever held whole; the cache keeps where its pieces lie in the file of that name. A
// stream that does not unpack fails as UnpackDataStream does, the studies read before it
// failed merged.
void LoadStudiesStream(TStudyList& list, const CompoundStorageReader& storage, int version,
                       const QString& title, PackCache& cache, const QString& fileName);
// The same without keeping anything for a later save, and admitting only the studies admit
// accepts.
void LoadStudiesStream(TStudyList& list, CompoundStreamReader stored, int version,
                       const QString& title, const TStudyList::StudyFilter& admit = {});

// A stream "Data" packed for the current version, with its pieces.
struct PackedData {
    std::shared_ptr<const PackedStream> stream;
};

// Creates the storage under the parent with the packed data as its stream "Data". Data that
// could not be unpacked again on this machine is refused with an error naming the storage
// (RequireUnpackable).
void WritePackedData(CompoundStorageWriter& parent, const std::string& storageName,
                     const PackedData& data);
// The same, packing the content as it is written (PackSourced), taking over what is unchanged
// of the earlier stream; returns the packed stream. Progress counts bytes.
std::shared_ptr<const PackedStream> WriteSourcedData(
    CompoundStorageWriter& parent, const std::string& storageName, const PackSource& source,
    const std::shared_ptr<const PackedStream>& earlier, const Progress& progress = {});
// The same, packing a content held whole.
void WriteDataStream(CompoundStorageWriter& parent, const std::string& storageName,
                     ByteStream content);

// The tests of a root of tests: a 4-byte count, then each test's record without tag byte.
// Reading appends the tests and numbers them 1, 2, 3 ... in stream order. Writing refuses a
// test nested deeper than reading takes (kMaxRecordNesting), as it does a users group.
void SaveTestsStream(const TQuestions& root, ByteStream& stream);
// The same stream made a part at a time for packing (EntrySource), each test written once
// first to learn its size.
EntrySource TestsSource(const TQuestions& root);
void LoadTestsStream(TQuestions& root, ByteStream& stream, const ReadContext& context);

// The users list: a 4-byte count, then per entry tag 0 and an account record or tag 1 and a
// group record. Reading appends the entries; entries of other tags are passed over without
// reading anything. The user exchange file discards an account of the built-in
// administrator found at the top of the list (the importing installation keeps its own).
enum class StoredAdministrator { Keep, Discard };
void SaveUsersStream(const TCompetitors& users, ByteStream& stream);
void LoadUsersStream(TCompetitors& users, ByteStream& stream, const ReadContext& context,
                     StoredAdministrator administrator = StoredAdministrator::Keep);

}  // namespace kvalor
