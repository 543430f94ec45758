// The network mode's store: the lists as the data file's record bytes with a version each,
// the journal one row per study.

#include "server/ServerStore.h"

#include <QCryptographicHash>
#include <QProcessEnvironment>
#include <array>
#include <bit>
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

}  // namespace

std::string ConnectionString(const ServerAddress& where) {
    const QString address = where.address.trimmed();
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const bool defaultDatabase = !environment.contains(QStringLiteral("PGDATABASE"));
    // A seat must not wait minutes on a server that does not answer before saying so.
    const bool defaultTimeout = !environment.contains(QStringLiteral("PGCONNECT_TIMEOUT"));
    if (address.startsWith(u"postgresql://") || address.startsWith(u"postgres://")) {
        std::string uri = address.toStdString();
        // A URI without a database names ours, unless PGDATABASE does.
        const std::size_t authority = uri.find("://") + 3;
        const std::size_t query = std::min(uri.find('?', authority), uri.size());
        const std::size_t path = std::min(uri.find('/', authority), query);
        if (defaultDatabase && path + 1 >= query && uri.find("dbname=") == std::string::npos) {
            uri.replace(path, query - path, "/kvalor");
        }
        if (defaultTimeout && uri.find("connect_timeout=") == std::string::npos) {
            uri += uri.find('?', authority) == std::string::npos ? '?' : '&';
            uri += "connect_timeout=10";
        }
        return uri;
    }
    // Quoted as libpq's key=value strings want, so that no value can add another key.
    const auto quoted = [](const QString& value) {
        QString text = value;
        text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
        return "'" + text.toStdString() + "'";
    };
    // Without an address or port, libpq's own defaults apply (PGHOST, PGPORT).
    std::string conninfo = "application_name=kvalor";
    if (!address.isEmpty()) {
        conninfo += " host=" + quoted(address);
    }
    if (!where.port.trimmed().isEmpty()) {
        conninfo += " port=" + quoted(where.port.trimmed());
    }
    if (defaultDatabase) {
        conninfo += " dbname=kvalor";
    }
    if (defaultTimeout) {
        conninfo += " connect_timeout=10";
    }
    return conninfo;
}

namespace {

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
        "SELECT record FROM kvalor_studies ORDER BY seq");
    std::unordered_set<std::string> studyKeys;
    for (;;) {
        ReportProgress(progress, done, total);
        const QueryResult studies = connection_->Exec("FETCH 500 FROM kvalor_journal");
        if (studies.rows() == 0) {
            break;
        }
        for (int row = 0; row < studies.rows(); ++row) {
            ByteStream record{std::string(studies.bytes(row, 0))};
            done += record.size();
            auto study = std::make_unique<TStudy>();
            readFromServer(*connection_, "результаты", [&] { study->LoadFromStream(record); });
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
    ReportProgress(progress, total, total);
}

namespace {

// Writes the list and returns its new version.
std::int64_t writeList(ServerConnection& connection, int list, const std::string& bytes) {
    const std::string entries = entriesOf(bytes);
    return connection
        .Exec(
            "UPDATE kvalor_lists SET data = $2, entries = $3, version = version + 1 "
            "WHERE name = $1 RETURNING version",
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
    connection_->Exec(
        "INSERT INTO kvalor_studies (study_key, account_id, test_id, finished, record) "
        "SELECT study_key, account_id, test_id, timestamp '1899-12-30' + days * interval '1 day', "
        "record FROM kvalor_incoming ORDER BY ord ON CONFLICT (study_key) DO NOTHING");
    connection_->Exec("DROP TABLE kvalor_incoming");
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
