// The network mode's store: the lists as the data file's record bytes with a version each,
// the journal one row per study.

#include "server/ServerStore.h"

#include <QCryptographicHash>
#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "server/ServerConnection.h"
#include "storage/DataStreams.h"

namespace kvalor {

namespace {

// The schema this program writes and reads; a database of a newer one is refused.
constexpr int kSchemaVersion = 1;

// How long a seq passed over by a read is looked for again, and how many such gaps are kept:
// a seat's write takes its seq and commits within a moment; a longer gap is a seq that no row
// will have (a resent study, a rolled back write).
constexpr auto kGapLife = std::chrono::minutes(1);
constexpr std::size_t kMaxGaps = 1000;

// A stored value larger than PostgreSQL's own limit of a field is damage, refused unread.
constexpr std::int64_t kMaxValueBytes = std::int64_t{1} << 30;

// The four lists in the order of the data file, and how messages name them.
enum ListIndex { kSimpleTests, kComplexTests, kUsers, kTasks, kListCount };
const std::array<const std::string*, kListCount> kListNames = {
    &kSimpleTestsStorage, &kComplexTestsStorage, &kCompetitorsStorage, &kComplexTasksStorage};
const std::array<const char*, kListCount> kListWords = {"простые тесты", "комплексные тесты",
                                                        "пользователи", "задания"};

const char* const kCreateSchema[] = {
    "CREATE TABLE kvalor_schema (version integer NOT NULL, option1 smallint NOT NULL DEFAULT 1, "
    "option2 smallint NOT NULL DEFAULT 1)",
    "CREATE TABLE kvalor_lists (name text PRIMARY KEY, version bigint NOT NULL DEFAULT 0, "
    "entries integer NOT NULL DEFAULT 0, data bytea NOT NULL DEFAULT '')",
    "INSERT INTO kvalor_lists (name) VALUES ('SimpleTests'), ('ComplexTests'), ('Competitors'), "
    "('ComplexTasks')",
    // seq keeps the journal's order; the key is the study's identity (date, mode, account, test).
    "CREATE TABLE kvalor_studies (seq bigserial UNIQUE, study_key bytea PRIMARY KEY, "
    "account_id uuid NOT NULL, test_id uuid NOT NULL, finished timestamp NOT NULL, "
    "record bytea NOT NULL)",
    "CREATE INDEX kvalor_studies_account ON kvalor_studies (account_id)",
    "CREATE INDEX kvalor_studies_test ON kvalor_studies (test_id)",
};

std::string bigEndian(std::uint64_t value, int bytes) {
    std::string out(static_cast<std::size_t>(bytes), '\0');
    for (int i = bytes - 1; i >= 0; --i, value >>= 8) {
        out[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    }
    return out;
}

// A GUID in the order of the uuid type: the first three fields big-endian.
std::string uuidBytes(const Guid& id) {
    const auto& b = id.bytes();
    const int order[] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out;
    for (int i : order) {
        out.push_back(static_cast<char>(b[static_cast<std::size_t>(i)]));
    }
    return out;
}

// The identity of a run as the row's key: date (both zeros alike), mode, account, test.
std::string studyKey(const TStudy& study) {
    ByteStream key;
    key.writeDouble(study.Date() == 0.0 ? 0.0 : study.Date());
    key.writeU8(study.Mode());
    key.writeGuid(study.UserId());
    key.writeGuid(study.TestId());
    return key.takeData();
}

// One field of a row in the binary copy format: its length, then its bytes.
void copyField(std::string& rows, const std::string& bytes) {
    rows += bigEndian(bytes.size(), 4);
    rows += bytes;
}

QByteArray digest(const std::string& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                    QCryptographicHash::Sha256);
}

std::array<std::string, kListCount> listBytes(const TKvalor& data) {
    std::array<ByteStream, kListCount> streams;
    SaveTestsStream(data.SimpleTests(), streams[kSimpleTests]);
    SaveTestsStream(data.ComplexTests(), streams[kComplexTests]);
    SaveUsersStream(data.Users(), streams[kUsers]);
    data.Tasks().SaveToStream(streams[kTasks], &data.ComplexTests());
    std::array<std::string, kListCount> bytes;
    for (int i = 0; i < kListCount; ++i) {
        bytes[i] = streams[i].takeData();
    }
    return bytes;
}

// The count every list stream starts with.
std::string entriesOf(const std::string& bytes) {
    ByteStream stream(bytes.substr(0, 4));
    return std::to_string(stream.remaining() == 4 ? stream.readI32() : 0);
}

void requireSize(std::int64_t size, const QString& what) {
    if (size < 0 || size > kMaxValueBytes) {
        throw ReadError(QString::fromUtf8("Данные на сервере повреждены: %1").arg(what));
    }
}

// Runs a reader of stored records: a record that does not read is told to have come damaged
// from the server, and from which list.
template <typename Read>
void readFromServer(const ServerConnection& connection, const char* list, const Read& read) {
    try {
        read();
    } catch (const ReadError& error) {
        throw ReadError(QString::fromUtf8("Данные на сервере %1 повреждены (%2): %3")
                            .arg(connection.Address(), QString::fromUtf8(list), error.message()));
    }
}

std::unique_ptr<TStudy> readStudy(const ServerConnection& connection, std::string_view bytes) {
    ByteStream record{std::string(bytes)};
    auto study = std::make_unique<TStudy>();
    readFromServer(connection, "результаты", [&] { study->LoadFromStream(record); });
    return study;
}

// "{1,5,9}": a list of numbers as an int8[] parameter.
std::string numberArray(const std::vector<std::int64_t>& numbers) {
    std::string text = "{";
    for (const std::int64_t number : numbers) {
        text += (text.size() > 1 ? "," : "") + std::to_string(number);
    }
    return text + "}";
}

// Refuses a database that does not hold this program's schema in a version it knows.
void checkSchema(ServerConnection& connection, bool allowEmpty) {
    const QueryResult found = connection.Exec(
        "SELECT (to_regclass('kvalor_schema') IS NOT NULL)::int4, count(*) FROM "
        "pg_catalog.pg_tables "
        "WHERE schemaname NOT IN ('pg_catalog', 'information_schema')");
    const QString where = QString::fromUtf8("База данных «%1» на сервере %2")
                              .arg(connection.Database(), connection.Address());
    if (found.integer(0, 0) == 0) {
        if (found.integer(0, 1) > 0) {
            throw KvalorError(where +
                              QString::fromUtf8(" содержит таблицы другой программы. Квалору нужна "
                                                "своя база данных: создайте её и выполните "
                                                "kvalor-tool server-init"));
        }
        if (allowEmpty) {
            return;
        }
        throw KvalorError(where + QString::fromUtf8(" пуста: создайте в ней таблицы Квалора "
                                                    "командой kvalor-tool server-init"));
    }
    const QueryResult version = connection.Exec("SELECT version FROM kvalor_schema");
    const std::int64_t stored = version.rows() == 1 ? version.integer(0, 0) : 0;
    if (stored > kSchemaVersion) {
        throw KvalorError(where + QString::fromUtf8(" записана более новой версией Квалора "
                                                    "(схема %1, эта программа знает схему %2): "
                                                    "обновите программу")
                                      .arg(stored)
                                      .arg(kSchemaVersion));
    }
    if (stored != kSchemaVersion) {
        throw KvalorError(where + QString::fromUtf8(" содержит повреждённую таблицу "
                                                    "kvalor_schema"));
    }
}

}  // namespace

TServerStore::TServerStore(const ServerAddress& where)
    : connection_(std::make_unique<ServerConnection>(where)) {
    checkSchema(*connection_, false);
}

TServerStore::~TServerStore() = default;

void TServerStore::InitSchema(const ServerAddress& where) {
    ServerConnection connection(where);
    ServerTransaction transaction(connection, "BEGIN",
                                  QString::fromUtf8(" при создании таблиц: ничего не создано"));
    // Two administrators starting server-init at once must not both create the tables.
    connection.Exec("SELECT pg_advisory_xact_lock(7318502)");
    checkSchema(connection, true);
    if (connection.Exec("SELECT 1 FROM pg_catalog.pg_tables WHERE tablename = 'kvalor_schema'")
            .rows() > 0) {
        return;
    }
    for (const char* statement : kCreateSchema) {
        connection.Exec(statement);
    }
    const std::string version = std::to_string(kSchemaVersion);
    connection.Exec("INSERT INTO kvalor_schema (version) VALUES ($1)", {{version}});
    transaction.Commit();
}

TServerStore::Status TServerStore::ReadStatus() {
    ServerTransaction transaction(*connection_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY",
                                  {});
    Status status;
    status.schemaVersion =
        static_cast<int>(connection_->Exec("SELECT version FROM kvalor_schema").integer(0, 0));
    const QueryResult lists = connection_->Exec("SELECT name, version, entries FROM kvalor_lists");
    for (int row = 0; row < lists.rows(); ++row) {
        const std::string_view name = lists.bytes(row, 0);
        const std::int64_t version = lists.integer(row, 1);
        const std::int64_t entries = lists.integer(row, 2);
        if (name == kSimpleTestsStorage) {
            status.testsVersion = std::max(status.testsVersion, version);
            status.simpleTests = entries;
        } else if (name == kComplexTestsStorage) {
            status.testsVersion = std::max(status.testsVersion, version);
            status.complexTests = entries;
        } else if (name == kCompetitorsStorage) {
            status.usersVersion = version;
            status.accounts = entries;
        } else if (name == kComplexTasksStorage) {
            status.tasksVersion = version;
            status.tasks = entries;
        }
    }
    status.studies = connection_->Exec("SELECT count(*) FROM kvalor_studies").integer(0, 0);
    return status;
}

bool TServerStore::IsEmpty() {
    const Status status = ReadStatus();
    return status.simpleTests + status.complexTests + status.accounts + status.tasks +
               status.studies ==
           0;
}

void TServerStore::Load(TKvalor& data, bool withFixups, const Progress& progress) {
    // One snapshot: the lists and the journal as one moment of the server left them.
    ServerTransaction transaction(*connection_, "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY",
                                  QString::fromUtf8(" во время загрузки: данные не загружены"));
    const QueryResult sizes = connection_->Exec(
        "SELECT name, version, octet_length(data) FROM kvalor_lists UNION ALL "
        "SELECT 'studies', count(*), coalesce(sum(octet_length(record)), 0) FROM kvalor_studies");
    std::array<std::int64_t, kListCount> versions{};
    std::uint64_t total = 0;
    for (int row = 0; row < sizes.rows(); ++row) {
        const std::int64_t size = sizes.integer(row, 2);
        requireSize(size, QString::fromUtf8("размер списка"));
        total += static_cast<std::uint64_t>(size);
        for (int i = 0; i < kListCount; ++i) {
            if (sizes.bytes(row, 0) == *kListNames[i]) {
                versions[i] = sizes.integer(row, 1);
            }
        }
    }
    const QueryResult options = connection_->Exec("SELECT option1, option2 FROM kvalor_schema");

    data.Clear();
    data.SetOption1(static_cast<std::uint8_t>(options.integer(0, 0)));
    data.SetOption2(static_cast<std::uint8_t>(options.integer(0, 1)));
    std::uint64_t done = 0;
    // The lists stored empty (a schema just created) load as empty lists.
    for (int i = 0; i < kListCount; ++i) {
        ReportProgress(progress, done, total);
        const std::string name = *kListNames[i];
        const QueryResult row =
            connection_->Exec("SELECT data FROM kvalor_lists WHERE name = $1", {{name}});
        ByteStream stream(row.rows() == 1 ? std::string(row.bytes(0, 0)) : std::string());
        done += stream.size();
        if (stream.size() == 0) {
            continue;
        }
        const ReadContext context;
        readFromServer(*connection_, kListWords[i], [&] {
            switch (i) {
                case kSimpleTests:
                    LoadTestsStream(data.SimpleTests(), stream, context);
                    break;
                case kComplexTests:
                    LoadTestsStream(data.ComplexTests(), stream, context);
                    break;
                case kUsers:
                    LoadUsersStream(data.Users(), stream, context);
                    break;
                case kTasks:
                    data.Tasks().LoadFromStream(stream);
                    break;
            }
        });
    }
    // The journal in batches: the rows of the whole journal are never held at once, and the
    // progress moves while it loads.
    connection_->Exec(
        "DECLARE kvalor_journal NO SCROLL CURSOR FOR "
        "SELECT seq, record FROM kvalor_studies ORDER BY seq");
    std::unordered_set<std::string> studyKeys;
    gaps_.clear();
    std::int64_t seq = 0;
    for (;;) {
        ReportProgress(progress, done, total);
        const QueryResult studies = connection_->Exec("FETCH 500 FROM kvalor_journal");
        if (studies.rows() == 0) {
            break;
        }
        for (int row = 0; row < studies.rows(); ++row) {
            const std::int64_t next = studies.integer(row, 0);
            if (next > seq + 1) {
                NoteGap(seq + 1, next - 1);
            }
            seq = next;
            done += studies.bytes(row, 1).size();
            auto study = readStudy(*connection_, studies.bytes(row, 1));
            studyKeys.insert(studyKey(*study));
            data.Studies().Append(std::move(study));
        }
    }
    transaction.Commit();
    if (withFixups) {
        ApplyLoadFixups(data);
    }
    // What this seat holds now, fixed up: only what it changes later is written back.
    const auto bytes = listBytes(data);
    for (int i = 0; i < kListCount; ++i) {
        loaded_[i] = {versions[i], digest(bytes[i])};
    }
    studyKeys_ = std::move(studyKeys);
    lastSeq_ = seq;
    ReportProgress(progress, total, total);
}

namespace {

// Writes the list and returns its new version; the listening seats hear of it at the commit.
std::int64_t writeList(ServerConnection& connection, int list, const std::string& bytes) {
    const std::string entries = entriesOf(bytes);
    return connection
        .Exec(
            "WITH written AS (UPDATE kvalor_lists SET data = $2, entries = $3, "
            "version = version + 1 WHERE name = $1 RETURNING version) "
            "SELECT version, pg_notify('kvalor_lists', $1 || ':' || version) FROM written",
            {{*kListNames[list]}, {bytes, true}, {entries}})
        .integer(0, 0);
}

// The versions of the lists, their rows locked until the transaction ends.
std::array<std::int64_t, 4> lockLists(ServerConnection& connection) {
    const QueryResult rows =
        connection.Exec("SELECT name, version FROM kvalor_lists ORDER BY name FOR UPDATE");
    std::array<std::int64_t, kListCount> versions{};
    for (int row = 0; row < rows.rows(); ++row) {
        for (int i = 0; i < kListCount; ++i) {
            if (rows.bytes(row, 0) == *kListNames[i]) {
                versions[i] = rows.integer(row, 1);
            }
        }
    }
    return versions;
}

}  // namespace

void TServerStore::InsertStudies(const std::vector<const TStudy*>& studies) {
    if (studies.empty()) {
        return;
    }
    connection_->Exec(
        "CREATE TEMP TABLE kvalor_incoming (ord int8, study_key bytea, account_id uuid, "
        "test_id uuid, days float8, record bytea) ON COMMIT DROP");
    // The binary copy format: signature, flags, header extension, rows, end mark.
    std::string rows("PGCOPY\n\377\r\n\0", 11);
    rows += bigEndian(0, 4) + bigEndian(0, 4);
    std::int64_t ord = 0;
    for (const TStudy* study : studies) {
        ByteStream record;
        study->SaveToStream(record);
        rows += bigEndian(6, 2);
        copyField(rows, bigEndian(static_cast<std::uint64_t>(ord++), 8));
        copyField(rows, studyKey(*study));
        copyField(rows, uuidBytes(study->UserId()));
        copyField(rows, uuidBytes(study->TestId()));
        copyField(rows, bigEndian(std::bit_cast<std::uint64_t>(study->Date()), 8));
        copyField(rows, record.data());
    }
    rows += bigEndian(0xFFFF, 2);
    connection_->CopyIn("COPY kvalor_incoming FROM STDIN (FORMAT binary)", rows);
    // One notice per statement, and none when every study was there already.
    const QueryResult inserted = connection_->Exec(
        "WITH inserted AS (INSERT INTO kvalor_studies (study_key, account_id, test_id, finished, "
        "record) SELECT study_key, account_id, test_id, "
        "timestamp '1899-12-30' + days * interval '1 day', record FROM kvalor_incoming "
        "ORDER BY ord ON CONFLICT (study_key) DO NOTHING RETURNING seq), "
        "top AS (SELECT max(seq) AS seq FROM inserted HAVING count(*) > 0) "
        "SELECT seq, pg_notify('kvalor_studies', seq::text) FROM top");
    connection_->Exec("DROP TABLE kvalor_incoming");
    if (inserted.rows() == 1) {
        lastSeq_ = std::max(lastSeq_, inserted.integer(0, 0));
    }
    for (const TStudy* study : studies) {
        studyKeys_.insert(studyKey(*study));
    }
}

void TServerStore::Save(const TKvalor& data) {
    const auto bytes = listBytes(data);
    std::array<QByteArray, kListCount> digests;
    for (int i = 0; i < kListCount; ++i) {
        digests[i] = digest(bytes[i]);
    }
    std::vector<const TStudy*> fresh;
    std::unordered_set<std::string> journal;
    for (int i = 0; i < data.Studies().Count(); ++i) {
        const TStudy& study = data.Studies().StudyAt(i);
        std::string key = studyKey(study);
        if (!studyKeys_.contains(key)) {
            fresh.push_back(&study);
        }
        journal.insert(std::move(key));
    }
    std::string gone;
    for (const std::string& key : studyKeys_) {
        if (!journal.contains(key)) {
            gone +=
                (gone.empty() ? "" : ",") + QByteArray::fromStdString(key).toHex().toStdString();
        }
    }

    const auto before = loaded_;
    const auto keysBefore = studyKeys_;
    try {
        ServerTransaction transaction(
            *connection_, "BEGIN", QString::fromUtf8(" во время сохранения: ничего не записано"));
        const auto versions = lockLists(*connection_);
        QStringList conflicts;
        for (int i = 0; i < kListCount; ++i) {
            if (digests[i] != loaded_[i].digest && versions[i] != loaded_[i].version) {
                conflicts.append(QString::fromUtf8(kListWords[i]));
            }
        }
        if (!conflicts.isEmpty()) {
            throw ServerConflict(
                QString::fromUtf8("Данные изменены на другом компьютере (%1): они сохранены там "
                                  "раньше, поэтому здесь ничего не записано. Загрузите данные "
                                  "заново и повторите изменения")
                    .arg(conflicts.join(QStringLiteral(", "))));
        }
        for (int i = 0; i < kListCount; ++i) {
            if (digests[i] != loaded_[i].digest) {
                loaded_[i] = {writeList(*connection_, i, bytes[i]), digests[i]};
            }
        }
        InsertStudies(fresh);
        if (!gone.empty()) {
            connection_->Exec(
                "DELETE FROM kvalor_studies WHERE study_key IN "
                "(SELECT decode(key, 'hex') FROM unnest(string_to_array($1, ',')) AS key)",
                {{gone}});
            for (const std::string& key : keysBefore) {
                if (!journal.contains(key)) {
                    studyKeys_.erase(key);
                }
            }
        }
        transaction.Commit();
    } catch (...) {
        // Nothing counts as written unless the server confirmed it.
        loaded_ = before;
        studyKeys_ = keysBefore;
        throw;
    }
}

void TServerStore::WriteStudy(const TStudy& study) {
    const auto keysBefore = studyKeys_;
    try {
        ServerTransaction transaction(
            *connection_, "BEGIN",
            QString::fromUtf8(" во время записи результата: результат не записан"));
        InsertStudies({&study});
        transaction.Commit();
    } catch (...) {
        studyKeys_ = keysBefore;
        throw;
    }
}

void TServerStore::Push(const TKvalor& data, bool replace) {
    const auto bytes = listBytes(data);
    std::vector<const TStudy*> studies;
    for (int i = 0; i < data.Studies().Count(); ++i) {
        studies.push_back(&data.Studies().StudyAt(i));
    }
    const auto before = loaded_;
    try {
        ServerTransaction transaction(*connection_, "BEGIN",
                                      QString::fromUtf8(" во время отправки: ничего не записано"));
        lockLists(*connection_);
        const std::int64_t stored =
            connection_
                ->Exec(
                    "SELECT (SELECT count(*) FROM kvalor_lists WHERE entries > 0) + "
                    "(SELECT count(*) FROM kvalor_studies)")
                .integer(0, 0);
        if (stored > 0 && !replace) {
            throw KvalorError(
                QString::fromUtf8("На сервере %1 уже есть данные: они не заменяются без "
                                  "параметра --replace")
                    .arg(connection_->Address()));
        }
        connection_->Exec("DELETE FROM kvalor_studies");
        studyKeys_.clear();
        for (int i = 0; i < kListCount; ++i) {
            loaded_[i] = {writeList(*connection_, i, bytes[i]), digest(bytes[i])};
        }
        const std::string option1 = std::to_string(data.Option1());
        const std::string option2 = std::to_string(data.Option2());
        connection_->Exec("UPDATE kvalor_schema SET option1 = $1, option2 = $2",
                          {{option1}, {option2}});
        InsertStudies(studies);
        transaction.Commit();
    } catch (...) {
        loaded_ = before;
        studyKeys_.clear();
        throw;
    }
}

}  // namespace kvalor

namespace kvalor {

void TServerStore::NoteGap(std::int64_t first, std::int64_t last) {
    gaps_.push_back({first, last, std::chrono::steady_clock::now()});
    if (gaps_.size() > kMaxGaps) {
        gaps_.pop_front();
    }
}

std::vector<std::unique_ptr<TStudy>> TServerStore::ReadStudiesAfter(std::int64_t& seq, int limit) {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(gaps_, [now](const SeqGap& gap) { return now - gap.since > kGapLife; });
    connection_->Reconnect();
    connection_->SetLossConsequence(
        QString::fromUtf8(" при чтении новых результатов: они будут прочитаны позже"));
    std::vector<std::unique_ptr<TStudy>> fresh;
    limit = std::max(limit, 1);
    for (;;) {
        // The gaps below seq are looked for again; above it, everything is read anyway.
        std::vector<std::int64_t> lows, highs;
        for (const SeqGap& gap : gaps_) {
            if (gap.first <= seq) {
                lows.push_back(gap.first);
                highs.push_back(std::min(gap.last, seq));
            }
        }
        const std::string after = std::to_string(seq);
        const int want = limit - static_cast<int>(fresh.size());
        const std::string wanted = std::to_string(want);
        const std::string lowList = numberArray(lows), highList = numberArray(highs);
        // Read whole before anything counts as seen: a failure leaves the position as it was.
        // The studies of earlier batches count as seen already, so they are returned.
        std::optional<QueryResult> rows;
        std::vector<std::unique_ptr<TStudy>> batch;
        try {
            rows.emplace(connection_->Exec(
                "SELECT seq, record FROM kvalor_studies WHERE seq > $1 UNION ALL "
                "SELECT s.seq, s.record FROM kvalor_studies s JOIN unnest($3::int8[], $4::int8[]) "
                "AS g(low, high) ON s.seq BETWEEN g.low AND g.high ORDER BY 1 LIMIT $2",
                {{after}, {wanted}, {lowList}, {highList}}));
            for (int row = 0; row < rows->rows(); ++row) {
                batch.push_back(readStudy(*connection_, rows->bytes(row, 1)));
            }
        } catch (const KvalorError&) {
            connection_->SetLossConsequence({});
            if (fresh.empty()) {
                throw;
            }
            return fresh;
        }
        for (int row = 0; row < rows->rows(); ++row) {
            const std::int64_t next = rows->integer(row, 0);
            if (next > seq) {
                if (next > seq + 1) {
                    NoteGap(seq + 1, next - 1);
                }
                seq = next;
            } else {
                FillGap(next);
            }
            if (studyKeys_.insert(studyKey(*batch[static_cast<std::size_t>(row)])).second) {
                fresh.push_back(std::move(batch[static_cast<std::size_t>(row)]));
            }
        }
        lastSeq_ = std::max(lastSeq_, seq);
        if (rows->rows() < want || static_cast<int>(fresh.size()) >= limit) {
            break;
        }
    }
    connection_->SetLossConsequence({});
    return fresh;
}

void TServerStore::FillGap(std::int64_t seq) {
    for (std::size_t i = 0; i < gaps_.size(); ++i) {
        SeqGap& gap = gaps_[i];
        if (seq < gap.first || seq > gap.last) {
            continue;
        }
        if (gap.first == gap.last) {
            gaps_.erase(gaps_.begin() + static_cast<std::ptrdiff_t>(i--));
        } else if (seq == gap.first) {
            ++gap.first;
        } else if (seq == gap.last) {
            --gap.last;
        } else {
            const SeqGap upper{seq + 1, gap.last, gap.since};
            gap.last = seq - 1;
            gaps_.insert(gaps_.begin() + static_cast<std::ptrdiff_t>(++i), upper);
        }
    }
}

bool TServerStore::KnowsStudy(const TStudy& study) const {
    return studyKeys_.contains(studyKey(study));
}

void TServerStore::ForgetStudy(const TStudy& study) {
    studyKeys_.erase(studyKey(study));
}

std::optional<std::int64_t> TServerStore::ListVersion(std::string_view name) const {
    for (int i = 0; i < kListCount; ++i) {
        if (name == *kListNames[i]) {
            return loaded_[i].version;
        }
    }
    return std::nullopt;
}

std::optional<QString> TServerStore::ChangedList(std::string_view notice) const {
    const std::size_t colon = notice.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    std::int64_t version = 0;
    const std::string_view number = notice.substr(colon + 1);
    if (std::from_chars(number.data(), number.data() + number.size(), version).ec != std::errc{}) {
        return std::nullopt;
    }
    for (int i = 0; i < kListCount; ++i) {
        if (notice.substr(0, colon) == *kListNames[i] && version > loaded_[i].version) {
            return QString::fromUtf8(kListWords[i]);
        }
    }
    return std::nullopt;
}

}  // namespace kvalor
