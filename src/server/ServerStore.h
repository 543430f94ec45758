#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <QByteArray>

#include "util/Error.h"
#include "util/Progress.h"

namespace kvalor {

class TKvalor;
class TStudy;

// Where the server is: a host name or address, or a whole connection URI (postgresql://...),
// and a port (5432 when empty). Database, user, password and TLS follow libpq's conventions
// (PGDATABASE defaulting to "kvalor", PGUSER, ~/.pgpass or PGPASSWORD, sslmode).
struct ServerAddress {
    QString address;
    QString port;
};

// The libpq connection string of an address (a URI passed through; dbname=kvalor unless
// PGDATABASE or the URI says otherwise).
std::string ConnectionString(const ServerAddress& where);

// Another seat saved that list first: nothing was written. The text names the lists
// ("Данные изменены на другом компьютере (простые тесты, пользователи): ... Загрузите данные
// заново и повторите изменения").
class ServerConflict : public KvalorError {
public:
    using KvalorError::KvalorError;
};

class ServerConnection;

// One connection to the server. Every failure is a KvalorError with a Russian message in words
// (server unreachable, wrong password, no such database, a schema of another program, a newer
// schema version, connection lost in the middle: the transaction is rolled back). A lost
// connection is opened again by the next call. Load (or Push) before Save.
class TServerStore {
public:
    // Connects and checks the schema version (a database without our schema is refused too).
    explicit TServerStore(const ServerAddress& where);
    ~TServerStore();
    TServerStore(const TServerStore&) = delete;
    TServerStore& operator=(const TServerStore&) = delete;

    // Creates the schema in an empty database (kvalor-tool server-init); a database that
    // already holds it is left as it is.
    static void InitSchema(const ServerAddress& where);

    // testsVersion is the higher of the two test lists'; accounts counts the entries at the
    // top of the users list (accounts and groups).
    struct Status {
        int schemaVersion = 0;
        std::int64_t testsVersion = 0, usersVersion = 0, tasksVersion = 0;
        std::int64_t simpleTests = 0, complexTests = 0, accounts = 0, tasks = 0, studies = 0;
    };
    Status ReadStatus();
    // No tests, users, tasks or studies stored yet (built-in accounts count as stored).
    bool IsEmpty();

    // Loads every list into the root object as a load of the data file does (fix-ups when
    // asked), through the same bounded readers; remembers the versions and the content loaded,
    // to know later what changed. Progress counts the stored bytes read.
    void Load(TKvalor& data, bool withFixups, const Progress& progress = {});
    // Writes, in one transaction, the lists that changed since the last Load/Save (tests,
    // users, tasks: each checked against the version loaded; ServerConflict if another seat
    // saved it first, and then nothing is written), the journal's studies the server lacks,
    // and deletes the rows of studies removed from the journal since the load.
    void Save(const TKvalor& data);
    // One finished study as its own row at once; sending the same study again changes nothing.
    void WriteStudy(const TStudy& study);
    // The whole content onto the server (kvalor-tool push); a server that holds data already
    // is refused unless replace. Afterwards the store counts as loaded from that content.
    void Push(const TKvalor& data, bool replace);

    // The highest seq of a study row this store has read or written. Right after Load, the
    // position from which ReadStudiesAfter finds what other seats stored since.
    std::int64_t LastStudySeq() const { return lastSeq_; }
    // The studies stored after seq (and those of seats whose transactions committed after a
    // later one's, which a plain "after seq" would miss), in seq order, read as Load reads
    // them, that this store did not know yet: its own and those read before are left out. At
    // most limit: fewer means none are left for now (or a later batch failed: what was read
    // before it is returned, the failure raises at the next call). Advances seq to the highest
    // read; their keys count as known, so that Save neither sends them back nor, while they
    // are in the journal, deletes them. They are not linked.
    std::vector<std::unique_ptr<TStudy>> ReadStudiesAfter(std::int64_t& seq, int limit = 500);
    // The study's row is known to be on the server (loaded, read or written by this store).
    bool KnowsStudy(const TStudy& study) const;
    // A study read that the journal does not take (its account or test is not loaded yet):
    // unknown again, so that Save neither deletes its row nor counts it as sent.
    void ForgetStudy(const TStudy& study);
    // The version of a list (by its stored name, "SimpleTests") as loaded or last written by
    // this store; nullopt for a name of no list.
    std::optional<std::int64_t> ListVersion(std::string_view name) const;
    // For a notice "<list name>:<version>": the words naming that list ("пользователи") when
    // the version is newer than this store's, i.e. another seat wrote it; nullopt otherwise.
    std::optional<QString> ChangedList(std::string_view notice) const;

private:
    // Adds the studies the server lacks, in their order, inside the running transaction.
    void InsertStudies(const std::vector<const TStudy*>& studies);

    // Per list the version loaded or last written and a digest of the bytes this seat held
    // then: a list whose bytes did not change is never written back.
    struct ListState {
        std::int64_t version = 0;
        QByteArray digest;
    };
    std::unique_ptr<ServerConnection> connection_;
    std::array<ListState, 4> loaded_;
    // The keys of the studies this seat knows the server holds.
    std::unordered_set<std::string> studyKeys_;
    std::int64_t lastSeq_ = 0;
    // Seqs passed over by a read: a seat whose transaction took its seq before another's and
    // committed after it is found there by the next read. A gap unfilled for a minute is taken
    // for a seq that no row will ever have (a resent study, a rolled back write).
    struct SeqGap {
        std::int64_t first = 0, last = 0;
        std::chrono::steady_clock::time_point since;
    };
    std::deque<SeqGap> gaps_;
    void NoteGap(std::int64_t first, std::int64_t last);
    // A row of that seq was read: it is no gap any more.
    void FillGap(std::int64_t seq);
};

}  // namespace kvalor
