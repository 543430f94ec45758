#pragma once

#include <QString>

#include "server/ServerStore.h"

namespace kvalor {

// A throwaway PostgreSQL cluster for the tests of one test program: started at the first
// Shared(), listening only on a Unix socket in its own temporary folder, stopped and removed
// when the program's tests end, failed or not. Run as root (CI), the server runs as "nobody".
// The superuser is the user running the tests, so that libpq's default user connects;
// PasswordUser() logs in only with PasswordOf it.
class ServerCluster {
public:
    // Null when the server's programs are missing and KVALOR_REQUIRE_SERVER is unset: the
    // caller skips. With it set, a missing server fails the test.
    static ServerCluster* Shared();

    ~ServerCluster();
    ServerCluster(const ServerCluster&) = delete;
    ServerCluster& operator=(const ServerCluster&) = delete;

    const QString& SocketFolder() const { return folder_; }
    QString Port() const { return QStringLiteral("5432"); }
    static QString PasswordUser() { return QStringLiteral("kvalor_secret"); }
    static QString PasswordOf() { return QStringLiteral("right"); }

    // A URI of a database of this cluster, for the user given (the superuser when empty).
    QString Uri(const QString& database, const QString& user = {},
                const QString& password = {}) const;
    // A fresh empty database of that name (an older one of that name dropped first).
    ServerAddress FreshDatabase(const QString& name);
    // A fresh database with the schema created.
    ServerAddress FreshStore(const QString& name);
    // Runs a statement on the database "postgres" as the superuser.
    void Admin(const std::string& sql);
    // Runs a statement on a database as the superuser.
    void Run(const QString& database, const std::string& sql);

    // Stop and start the server, for the tests of a server that went away.
    void Stop();
    void Start();

private:
    ServerCluster();
    void RunTool(const QString& tool, const QStringList& arguments);
    void Remove();

    QString bin_;
    QString folder_;
    bool asNobody_ = false;
    bool running_ = false;
};

}  // namespace kvalor
