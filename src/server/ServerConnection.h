#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace kvalor {

struct ServerAddress;

// A notification the server sent to a connection that listens (LISTEN).
struct ServerNotice {
    std::string channel;
    std::string payload;
    int senderPid = 0;
};

// One value sent with a query: bytes sent as they are (bytea), or text the server parses.
struct QueryParam {
    std::string_view value;
    bool binary = false;
};

// The rows of a query, read in the binary format: integers big-endian, bytea as raw bytes.
class QueryResult {
public:
    explicit QueryResult(pg_result* result);
    ~QueryResult();
    QueryResult(QueryResult&& other) noexcept;
    QueryResult(const QueryResult&) = delete;
    QueryResult& operator=(const QueryResult&) = delete;
    QueryResult& operator=(QueryResult&&) = delete;

    int rows() const;
    bool isNull(int row, int column) const;
    std::string_view bytes(int row, int column) const;
    // An integer column (int2, int4 or int8).
    std::int64_t integer(int row, int column) const;

private:
    friend class ServerConnection;
    pg_result* result_;
};

// A connection to the server through libpq. Every failure becomes a KvalorError in Russian
// words with libpq's own text after them; a connection that went away is opened again by the
// next query's Reconnect.
class ServerConnection {
public:
    explicit ServerConnection(const ServerAddress& where);
    ~ServerConnection();
    ServerConnection(const ServerConnection&) = delete;
    ServerConnection& operator=(const ServerConnection&) = delete;

    // Runs one statement with its parameters ($1, $2 ...); never builds SQL from data.
    QueryResult Exec(const char* sql, std::initializer_list<QueryParam> params = {});
    // Opens the connection again if it was lost since the last query.
    void Reconnect();

    // The connection's socket, for waiting on it; -1 when it is not connected.
    int Socket() const;
    bool Connected() const;
    // Reads what the socket holds without blocking and returns the notifications among it; a
    // connection found lost raises.
    std::vector<ServerNotice> TakeNotices();

    // Sends rows in PostgreSQL's binary copy format to a COPY ... FROM STDIN statement.
    void CopyIn(const char* sql, const std::string& rows);

    // Where the connection goes, for messages ("host:port", never a password).
    const QString& Address() const { return address_; }
    QString Database() const;

    // What a lost connection cost, for its message: set while a transaction runs.
    void SetLossConsequence(const QString& consequence) { lossConsequence_ = consequence; }

private:
    [[noreturn]] void FailConnect();
    [[noreturn]] void FailQuery();

    QString address_;
    std::unique_ptr<pg_conn, void (*)(pg_conn*)> conn_;
    QString lossConsequence_;
};

// A transaction that is rolled back unless committed. While it runs, a lost connection is
// reported with the consequence given: nothing of it was written.
class ServerTransaction {
public:
    ServerTransaction(ServerConnection& connection, const char* begin, const QString& consequence);
    ~ServerTransaction();
    ServerTransaction(const ServerTransaction&) = delete;
    ServerTransaction& operator=(const ServerTransaction&) = delete;
    void Commit();

private:
    ServerConnection& connection_;
    bool open_ = true;
};

}  // namespace kvalor
