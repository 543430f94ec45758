#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/ExamineQuestions.h"
#include "model/Study.h"
#include "util/ByteStream.h"

namespace kvalor {

class StudyWindow;
class TCompetitor;
class TQuestions;
struct PackedData;

// A selection of studies owned by a study list (a filtered journal, the studies of one test).
using StudyView = std::vector<TStudy*>;

// The journal: an owning list of studies, plus the flags that refuse a file operation on the
// list while another one runs.
class TStudyList {
public:
    // Told of each study just before the list frees it (Delete, DeleteWhere, DeleteStudiesOf,
    // Clear), so that a window showing the study lets go of it first.
    using RemovalObserver = std::function<void(const TStudy&)>;

    // The version byte and the study count.
    static constexpr std::uint8_t kStreamVersion = 3;

    TStudyList() = default;
    TStudyList(const TStudyList&) = delete;
    TStudyList& operator=(const TStudyList&) = delete;

    int Count() const { return static_cast<int>(studies_.size()); }
    // The index must be below Count.
    TStudy& StudyAt(int index) const { return *studies_.at(static_cast<std::size_t>(index)); }
    int IndexOf(const TStudy* study) const;
    // Takes the study over; returns its index.
    int Append(std::unique_ptr<TStudy> study);
    // Hands the study back to the caller, or nullptr when it is not in the list.
    std::unique_ptr<TStudy> Remove(TStudy& study);
    // Frees the study at the index; an index out of range does nothing.
    void Delete(int index);
    void Clear();
    StudyView View() const;

    // A new study of the run about to start, not yet in any list.
    static std::unique_ptr<TStudy> NewStudy(std::uint8_t mode, TCompetitor& user, TQuestions& test,
                                            double date);

    // The studies whose Test is that very test, in list order.
    StudyView StudiesOfTest(const TQuestions& test) const;
    // Frees every study of the user (when given) and every study of the test (when given).
    void DeleteStudiesOf(const TCompetitor* user, const TQuestions* test);
    // Frees every study the condition holds for, in one pass; the others keep their order.
    void DeleteWhere(const std::function<bool(const TStudy&)>& condition);

    // Sort the list itself (stably) by the text of UserId or TestId and return the index of the
    // first study of each run of equal ids, for the linking after a load.
    std::vector<int> GroupByUser();
    std::vector<int> GroupByTest();

    // Which studies of a stream are merged; an empty filter takes all.
    using StudyFilter = std::function<bool(const TStudy&)>;

    // The study list stream: version byte 3, the count, the study records. Storage reads and
    // writes the streams (storage/StudyRecords.cpp) and the file (storage/StudiesFile.cpp).
    void SaveToStream(ByteStream& stream) const;
    // Merges the studies of the stream that the filter admits into the list: a study with the
    // key of one already in the list (the first with equal Date, Mode, UserId and TestId, Date
    // compared as a number) overwrites it, any other is appended. A damaged stream raises
    // ReadError; the studies merged before stay.
    void LoadFromStream(ByteStream& stream, const StudyFilter& admit = {});
    // The same for a stream that arrives in parts, merged as they arrive: `more` appends the next
    // part to its argument and returns false when none is left. The studies read take at most
    // memoryCap bytes of memory, and kMaxMemoryPerStoredByte for each byte that has arrived.
    using MoreBytes = std::function<bool(std::string&)>;
    void LoadFromParts(const MoreBytes& more, std::size_t memoryCap, const StudyFilter& admit = {});

    // The Studies file: the study list stream, packed, in the storage "Studies". Refused while
    // another file operation of the list runs. Packed data, when given, must be this list's
    // stream (TKvalor::PackStudies) and is written as it is.
    void SaveToFile(const QString& fileName, const PackedData* packed = nullptr);
    // Merges the file's studies into the list as LoadFromStream does. Any file holding a
    // storage "Studies" (a data file too) will do.
    void LoadFromFile(const QString& fileName, const StudyFilter& admit = {});

    // Registers an observer of removals; the token unregisters it. See StudyRemovalWatch.
    int AddRemovalObserver(RemovalObserver observer);
    void RemoveRemovalObserver(int token);

    // Set for the duration of a file operation of the list.
    bool Reading() const { return reading_; }
    void SetReading(bool reading) { reading_ = reading; }
    bool Writing() const { return writing_; }
    void SetWriting(bool writing) { writing_ = writing; }

private:
    void NotifyRemoval(const TStudy& study) const;
    void LoadStudies(StudyWindow& window, const StudyFilter& admit);

    std::vector<std::unique_ptr<TStudy>> studies_;
    std::vector<std::pair<int, RemovalObserver>> removalObservers_;
    int nextObserverToken_ = 0;
    bool reading_ = false;
    bool writing_ = false;
};

// Watches a study list for removals for as long as it lives.
class StudyRemovalWatch {
public:
    StudyRemovalWatch(TStudyList& list, TStudyList::RemovalObserver observer)
        : list_(list), token_(list.AddRemovalObserver(std::move(observer))) {}
    ~StudyRemovalWatch() { list_.RemoveRemovalObserver(token_); }
    StudyRemovalWatch(const StudyRemovalWatch&) = delete;
    StudyRemovalWatch& operator=(const StudyRemovalWatch&) = delete;

private:
    TStudyList& list_;
    int token_;
};

}  // namespace kvalor
