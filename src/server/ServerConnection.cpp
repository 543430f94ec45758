#include "server/ServerConnection.h"

#include <libpq-fe.h>

#include <algorithm>
#include <vector>

#include "server/ServerStore.h"
#include "util/Error.h"

namespace kvalor {

namespace {

QString libpqText(const char* text) {
    return QString::fromUtf8(text).trimmed();
}

// "host:port" as libpq resolved it, never the URI itself: that may carry a password.
QString shownAddress(const pg_conn* conn) {
    const QString host = QString::fromUtf8(PQhost(conn));
    const QString port = QString::fromUtf8(PQport(conn));
    return port.isEmpty() ? host : host + u':' + port;
}

}  // namespace

QueryResult::QueryResult(pg_result* result) : result_(result) {}
QueryResult::~QueryResult() {
    PQclear(result_);
}
QueryResult::QueryResult(QueryResult&& other) noexcept : result_(other.result_) {
    other.result_ = nullptr;
}

int QueryResult::rows() const {
    return PQntuples(result_);
}

bool QueryResult::isNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

std::string_view QueryResult::bytes(int row, int column) const {
    return {PQgetvalue(result_, row, column),
            static_cast<std::size_t>(PQgetlength(result_, row, column))};
}

std::int64_t QueryResult::integer(int row, int column) const {
    const std::string_view value = bytes(row, column);
    if (value.size() != 2 && value.size() != 4 && value.size() != 8) {
        throw KvalorError("Сервер вернул число в неожиданном виде");
    }
    std::uint64_t bits = 0;
    for (const char byte : value) {
        bits = bits << 8 | static_cast<std::uint8_t>(byte);
    }
    // Sign-extend from the width sent.
    const int unused = 64 - static_cast<int>(value.size()) * 8;
    return static_cast<std::int64_t>(bits << unused) >> unused;
}

ServerConnection::ServerConnection(const ServerAddress& where)
    : conn_(PQconnectdb(ConnectionString(where).c_str()), PQfinish) {
    if (!conn_) {
        throw KvalorError("Не хватает памяти для подключения к серверу");
    }
    address_ = shownAddress(conn_.get());
    // The server's notices ("does not exist, skipping") are not for the user.
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        FailConnect();
    }
}

ServerConnection::~ServerConnection() = default;

void ServerConnection::FailConnect() {
    pg_conn* conn = conn_.get();
    const QString detail = libpqText(PQerrorMessage(conn));
    const QString database = QString::fromUtf8(PQdb(conn));
    const QString user = QString::fromUtf8(PQuser(conn));
    // The server's reasons come as text only; a server answering in another language still
    // gets its own text shown after ours.
    QString words;
    if (PQconnectionNeedsPassword(conn)) {
        words = QString::fromUtf8(
                    "Сервер %1 требует пароль, а он не задан (PGPASSWORD или "
                    "~/.pgpass)")
                    .arg(address_);
    } else if (detail.contains(QString::fromUtf8("database \"%1\" does not exist").arg(database))) {
        words = QString::fromUtf8("На сервере %1 нет базы данных «%2»").arg(address_, database);
    } else if (detail.contains(QString::fromUtf8("role \"%1\" does not exist").arg(user)) ||
               detail.contains(u"password authentication") || PQconnectionUsedPassword(conn)) {
        words = QString::fromUtf8("Сервер %1 не принял имя пользователя «%2» или пароль")
                    .arg(address_, user);
    } else {
        words = QString::fromUtf8("Сервер %1 недоступен").arg(address_);
    }
    throw KvalorError(words + QString::fromUtf8(". Подробности: ") + detail);
}

void ServerConnection::Reconnect() {
    if (PQstatus(conn_.get()) == CONNECTION_OK) {
        return;
    }
    PQreset(conn_.get());
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        FailConnect();
    }
}

int ServerConnection::Socket() const {
    return Connected() ? PQsocket(conn_.get()) : -1;
}

bool ServerConnection::Connected() const {
    return PQstatus(conn_.get()) == CONNECTION_OK;
}

std::vector<ServerNotice> ServerConnection::TakeNotices() {
    if (PQconsumeInput(conn_.get()) == 0 || !Connected()) {
        FailQuery();
    }
    std::vector<ServerNotice> notices;
    while (PGnotify* notice = PQnotifies(conn_.get())) {
        notices.push_back({notice->relname, notice->extra, notice->be_pid});
        PQfreemem(notice);
    }
    return notices;
}

QueryResult ServerConnection::Exec(const char* sql, std::initializer_list<QueryParam> params) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const QueryParam& param : params) {
        values.push_back(param.value.data());
        lengths.push_back(static_cast<int>(param.value.size()));
        formats.push_back(param.binary ? 1 : 0);
    }
    QueryResult result(PQexecParams(conn_.get(), sql, static_cast<int>(values.size()), nullptr,
                                    values.data(), lengths.data(), formats.data(), 1));
    const ExecStatusType status = PQresultStatus(result.result_);
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return result;
    }
    FailQuery();
}

void ServerConnection::FailQuery() {
    const QString detail = libpqText(PQerrorMessage(conn_.get()));
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        throw KvalorError(QString::fromUtf8("Связь с сервером %1 прервалась%2. Подробности: %3")
                              .arg(address_, lossConsequence_, detail));
    }
    throw KvalorError(
        QString::fromUtf8("Сервер %1 отказал в запросе. Подробности: %2").arg(address_, detail));
}

void ServerConnection::CopyIn(const char* sql, const std::string& rows) {
    const QueryResult start(PQexec(conn_.get(), sql));
    if (PQresultStatus(start.result_) != PGRES_COPY_IN) {
        FailQuery();
    }
    constexpr std::size_t kChunk = 1 << 20;
    bool sent = true;
    for (std::size_t at = 0; sent && at < rows.size(); at += kChunk) {
        const std::size_t count = std::min(kChunk, rows.size() - at);
        sent = PQputCopyData(conn_.get(), rows.data() + at, static_cast<int>(count)) == 1;
    }
    if (PQputCopyEnd(conn_.get(), sent ? nullptr : "not sent") != 1) {
        FailQuery();
    }
    // The copy's own result, then the end of the command.
    bool failed = false;
    while (pg_result* result = PQgetResult(conn_.get())) {
        failed = failed || PQresultStatus(result) != PGRES_COMMAND_OK;
        PQclear(result);
    }
    if (failed || !sent) {
        FailQuery();
    }
}

QString ServerConnection::Database() const {
    return QString::fromUtf8(PQdb(conn_.get()));
}

ServerTransaction::ServerTransaction(ServerConnection& connection, const char* begin,
                                     const QString& consequence)
    : connection_(connection) {
    connection_.Reconnect();
    connection_.SetLossConsequence(consequence);
    try {
        connection_.Exec(begin);
    } catch (...) {
        connection_.SetLossConsequence({});
        throw;
    }
}

ServerTransaction::~ServerTransaction() {
    if (open_) {
        try {
            connection_.SetLossConsequence({});
            connection_.Exec("ROLLBACK");
        } catch (const KvalorError&) {
            // The server rolls back a transaction whose connection is gone by itself.
        }
    }
}

void ServerTransaction::Commit() {
    // Lost now, the server may or may not have written the transaction.
    connection_.SetLossConsequence(QString::fromUtf8(
        " при подтверждении записи: сервер мог успеть или не успеть сохранить изменения, "
        "загрузите данные заново"));
    open_ = false;
    try {
        connection_.Exec("COMMIT");
    } catch (...) {
        connection_.SetLossConsequence({});
        throw;
    }
    connection_.SetLossConsequence({});
}

}  // namespace kvalor
