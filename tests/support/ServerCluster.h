#pragma once

#include <QString>
#include <QTemporaryDir>

#include "server/ServerStore.h"

namespace kvalor {

// A throwaway PostgreSQL cluster on a Unix socket in a temporary folder, stopped and removed
// with the object; run as "nobody" under root (CI). The superuser is the user running the
// program; PasswordUser() needs the password "right". No test framework here: the load
// benchmark runs one too.
class ServerCluster {
public:
    struct Options {
        int maxConnections = 100;  // PostgreSQL's own default
        // Off, the server skips fsync (tests); on, every commit reaches the disk as in a school.
        bool durable = false;
    };

    explicit ServerCluster(const Options& options);
    ~ServerCluster();
    ServerCluster(const ServerCluster&) = delete;
    ServerCluster& operator=(const ServerCluster&) = delete;

    // The cluster shared by the tests of one test program (ServerClusterShared.cpp, with the
    // test framework), stopped once its tests end, failed or not. Null when initdb is missing
    // and KVALOR_REQUIRE_SERVER is unset (the caller skips); with it set, a missing server
    // throws.
    static ServerCluster* Shared();
    // Whether the server's programs are installed.
    static bool Installed();

    QString SocketFolder() const { return dir_.path(); }
    QString DataFolder() const { return dir_.path() + "/data"; }
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

    void Stop();  // a clean shutdown, for the tests of a server that went away
    // Kills the server as a power cut would (pg_ctl's "immediate" mode): the next Start
    // recovers from its log.
    void StopAbruptly();
    void Start();  // returns once the server accepts connections
    // The process id of the running server's main process (0 when stopped).
    qint64 ServerPid() const;

private:
    void RunTool(const QString& tool, const QStringList& arguments);
    void StopIn(const char* mode);

    Options options_;
    QString bin_;
    QTemporaryDir dir_{"/tmp/kvalor-pg-XXXXXX"};
    bool running_ = false;
};

}  // namespace kvalor
