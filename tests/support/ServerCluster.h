#pragma once

#include <QString>
#include <QTemporaryDir>

#include "server/ServerStore.h"

namespace kvalor {

// A throwaway PostgreSQL cluster of one test program, on a Unix socket in a temporary folder,
// stopped and removed once its tests end, failed or not; run as "nobody" under root (CI). The
// superuser is the user running the tests; PasswordUser() needs the password "right".
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

    void Stop();  // for the tests of a server that went away
    void Start();

private:
    ServerCluster();
    void RunTool(const QString& tool, const QStringList& arguments);

    QString bin_;
    QTemporaryDir dir_{"/tmp/kvalor-pg-XXXXXX"};
    bool running_ = false;
};

}  // namespace kvalor
