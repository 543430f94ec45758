#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <unordered_set>

#include "model/ImportReports.h"
#include "util/Guid.h"
#include "util/Progress.h"

namespace kvalor {

class TCompetitor;
class TCompetitors;
class TQuestions;
class TStudy;
class TStudyList;
class PackCache;
struct PackedData;
class TTaskList;

// The single root of the data model: it owns the two test roots, the users list, the tasks of
// the complex tests and the journal of studies, knows the logged-in account and carries the
// few global options. Every window reaches the data through `kvalorRoot()`.
class TKvalor {
public:
    enum StateFlag : std::uint8_t { Loading = 1, Saving = 2, Synchronizing = 4 };

    TKvalor();
    ~TKvalor();
    TKvalor(const TKvalor&) = delete;
    TKvalor& operator=(const TKvalor&) = delete;

    TQuestions& ComplexTests() const { return *complexTests_; }
    TQuestions& SimpleTests() const { return *simpleTests_; }
    TCompetitors& Users() const { return *users_; }
    TTaskList& Tasks() const { return *tasks_; }
    TStudyList& Studies() const { return *studies_; }

    TCompetitor* CurrentUser() const { return currentUser_; }
    void SetCurrentUser(TCompetitor* account) { currentUser_ = account; }

    std::uint8_t State() const { return state_; }
    std::uint8_t Option1() const { return option1_; }
    std::uint8_t Option2() const { return option2_; }
    void SetOption1(std::uint8_t value) { option1_ = value; }
    void SetOption2(std::uint8_t value) { option2_ = value; }
    std::int32_t FontSize() const { return fontSize_; }
    void SetFontSize(std::int32_t points) { fontSize_ = points; }
    bool AutoSplitName() const { return autoSplitName_; }
    void SetAutoSplitName(bool on) { autoSplitName_ = on; }

    // Makes no account current and empties tests, users, tasks and studies; the options stay.
    void Clear();

    // The data file (implemented with the storage code). Loading replaces the whole content;
    // with fix-ups the studies are linked, the built-in accounts ensured, the tests numbered
    // and the users sorted. A load that fails after the file was opened leaves what was read
    // so far, unlinked, and no current user. Options 1 and 2 are 1 after every load.
    // Progress counts the stored bytes read into the lists.
    void LoadFromFile(const QString& fileName, bool withFixups, const Progress& progress = {});
    // Replaces the file only once everything is written: a failed save keeps the old one.
    // Packed studies, when given, are written as the stream of the journal instead of
    // packing it again (the end of a run writes the same bytes to the Studies file).
    // Progress counts the bytes packed.
    void SaveToFile(const QString& fileName, const PackedData* packedStudies = nullptr,
                    const Progress& progress = {});
    // The next save packs every stream anew, as if nothing had been read or written before.
    void ForgetPackedStreams();
    // The journal's stream as the data file and the Studies file store it.
    PackedData PackStudies(const Progress& progress = {});

    // Imports a user exchange file into the users list (the users window's "Импорт из
    // файла"). The file is read whole first; a file that fails leaves everything as it was.
    // When studies of the journal would lose their account (the imported list does not hold
    // it, and the next load would drop them), confirm is asked first with their count: false
    // leaves the list as it was (imported is then false). Show the question with
    //     prompts().ask(UsersImportQuestion(report), ...) == QMessageBox::Yes
    // Without confirm the import goes on. Afterwards the studies and the current user are
    // linked to the accounts again by id, so that nothing points to a freed account.
    UsersImportReport ImportUsers(const QString& fileName,
                                  const UsersImportConfirmation& confirm = {});

    // Resolves the references of the studies and tasks after a load, dropping studies whose
    // account or test is gone.
    void LinkStudies();
    // Merges results files into the journal, in order, taking only the studies whose account
    // and test exist in this data, then links every study again, also when a file fails (the
    // error is raised afterwards; studies of earlier files stay): no study is left unlinked.
    // The report counts what was taken and what was left out; StudiesImportText words it.
    // Progress counts the files merged.
    StudiesImportReport ImportStudies(const QStringList& fileNames, const Progress& progress = {});
    // Links the studies of the list to questions, tests and accounts, dropping none.
    void SynchronizeStudies(TStudyList& list);

private:
    std::unique_ptr<TQuestions> complexTests_;
    std::unique_ptr<TQuestions> simpleTests_;
    std::unique_ptr<TCompetitors> users_;
    std::unique_ptr<TTaskList> tasks_;
    std::unique_ptr<TStudyList> studies_;
    // The data file's streams as last read or written, so that a save packs only what changed.
    std::unique_ptr<PackCache> packCache_;
    TCompetitor* currentUser_ = nullptr;
    std::uint8_t state_ = 0;
    std::uint8_t option1_ = 0;
    std::uint8_t option2_ = 0;
    std::int32_t fontSize_ = 8;
    bool autoSplitName_ = true;
};

// The ids a study refers to, as one data set holds them at one moment: whether a study's
// account, test and questions exist there. Only a study with its account and test can be shown
// and scored; a journal kept aside must also find its questions to be shown whole.
class TStudyReferences {
public:
    explicit TStudyReferences(const TKvalor& root);

    bool HasAccount(const TStudy& study) const;
    bool HasTest(const TStudy& study) const;
    // Account, test and every question the study put.
    bool HasEverything(const TStudy& study) const;

private:
    std::unordered_set<Guid> accounts_;
    std::unordered_set<Guid> tests_;
    std::unordered_set<Guid> questions_;
};

// The process's one root object, created on first use and living until the process ends.
TKvalor& kvalorRoot();

}  // namespace kvalor
