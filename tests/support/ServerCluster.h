#pragma once

#include <QString>
#include <QTemporaryDir>

#include "server/ServerStore.h"

namespace kvalor {

// A throwaway PostgreSQL cluster for one test program: started by the first Shared(), listening
// only on a Unix socket in its own temporary folder, stopped and removed once the program's
// tests end, failed or not. Run as root (CI), the server runs as "nobody". The superuser is
// the user running the tests (libpq's default user); PasswordUser() needs the password "right".
class ServerCluster {
public:
    // Null when initdb is missing and KVALOR_REQUIRE_SERVER is unset (the caller skips); with
    // it set, a missing server throws.
    static ServerCluster* Shared();
    ~ServerCluster();

    QString SocketFolder() const { return dir_.path(); }
    static QString Port() { return "5432"; }
    static QString PasswordUser() { return "kvalor_secret"; }

    // A URI of a database of this cluster, for a user (the superuser when empty).
    QString Uri(const QString& database, const QString& user = {},
                const QString& password = {}) const;
    // A fresh empty database (an older one of that name dropped), or one with the schema.
    ServerAddress FreshDatabase(const QString& name);
    ServerAddress FreshStore(const QString& name);
    // Runs a statement on a database as the superuser.
    void Run(const QString& database, const std::string& sql);

    // For the tests of a server that went away.
    void Stop();
    void Start();

private:
    ServerCluster();
    void RunTool(const QString& tool, const QStringList& arguments);
    void StopQuietly();

    QString bin_;
    QTemporaryDir dir_{"/tmp/kvalor-pg-XXXXXX"};
    bool running_ = false;
};

}  // namespace kvalor
