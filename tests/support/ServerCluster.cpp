#include "support/ServerCluster.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <memory>
#include <stdexcept>

#include "server/ServerConnection.h"

namespace kvalor {

namespace {

QString serverBin() {
    QProcess config;
    config.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
    if (config.waitForFinished(10000) && config.exitCode() == 0) {
        const QString bin = QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed();
        if (QFile::exists(bin + QStringLiteral("/initdb"))) {
            return bin;
        }
    }
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& version : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + QStringLiteral("/initdb"))) {
            return bin;
        }
    }
    return {};
}

std::unique_ptr<ServerCluster>& sharedCluster() {
    static std::unique_ptr<ServerCluster> cluster;
    return cluster;
}

// Stops the cluster once every test has run, however they ended.
class ClusterEnvironment : public ::testing::Environment {
public:
    void TearDown() override { sharedCluster().reset(); }
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

}  // namespace

ServerCluster* ServerCluster::Shared() {
    if (!sharedCluster()) {
        if (serverBin().isEmpty()) {
            if (qEnvironmentVariableIsSet("KVALOR_REQUIRE_SERVER")) {
                throw std::runtime_error(
                    "PostgreSQL (initdb) is not installed, and "
                    "KVALOR_REQUIRE_SERVER asks for the server tests");
            }
            return nullptr;
        }
        sharedCluster().reset(new ServerCluster());
    }
    return sharedCluster().get();
}

ServerCluster::ServerCluster() : bin_(serverBin()), asNobody_(::geteuid() == 0) {
    char pattern[] = "/tmp/kvalor-pg-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("no temporary folder for the server");
    }
    folder_ = QString::fromLocal8Bit(pattern);
    try {
        if (asNobody_) {
            const passwd* nobody = ::getpwnam("nobody");
            if (nobody == nullptr || ::chown(pattern, nobody->pw_uid, nobody->pw_gid) != 0) {
                throw std::runtime_error("cannot hand the server's folder to nobody");
            }
        }
        const passwd* self = ::getpwuid(::geteuid());
        RunTool(QStringLiteral("initdb"),
                {QStringLiteral("-D"), folder_ + QStringLiteral("/data"), QStringLiteral("-U"),
                 QString::fromLocal8Bit(self ? self->pw_name : "postgres"), QStringLiteral("-A"),
                 QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                 QStringLiteral("--locale=C"), QStringLiteral("--no-sync")});
        // The password user first: the first matching line decides.
        QFile hba(folder_ + QStringLiteral("/data/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            throw std::runtime_error("cannot write pg_hba.conf");
        }
        hba.write(
            ("local all " + PasswordUser().toUtf8() + " scram-sha-256\nlocal all all trust\n"));
        hba.close();
        Start();
        Admin("CREATE ROLE " + PasswordUser().toStdString() + " LOGIN SUPERUSER PASSWORD '" +
              PasswordOf().toStdString() + "'");
    } catch (...) {
        Remove();
        throw;
    }
}

ServerCluster::~ServerCluster() {
    Remove();
}

void ServerCluster::Remove() {
    if (running_) {
        try {
            Stop();
        } catch (const std::exception&) {
            // The folder goes anyway.
        }
    }
    QDir(folder_).removeRecursively();
}

void ServerCluster::RunTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString program = bin_ + u'/' + tool;
    if (asNobody_) {
        process.start(QStringLiteral("runuser"),
                      QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                  QStringLiteral("--"), program} +
                          arguments);
    } else {
        process.start(program, arguments);
    }
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        throw std::runtime_error(
            (tool + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAll()))
                .toStdString());
    }
}

void ServerCluster::Start() {
    RunTool(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), folder_ + QStringLiteral("/data"), QStringLiteral("-l"),
             folder_ + QStringLiteral("/log"), QStringLiteral("-w"), QStringLiteral("-o"),
             QStringLiteral("-c listen_addresses='' -k %1 -p %2 -c fsync=off").arg(folder_, Port()),
             QStringLiteral("start")});
    running_ = true;
}

void ServerCluster::Stop() {
    RunTool(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), folder_ + QStringLiteral("/data"), QStringLiteral("-m"),
             QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    running_ = false;
}

QString ServerCluster::Uri(const QString& database, const QString& user,
                           const QString& password) const {
    QString uri = QStringLiteral("postgresql:///%1?host=%2&port=%3").arg(database, folder_, Port());
    if (!user.isEmpty()) {
        uri += QStringLiteral("&user=") + user;
    }
    if (!password.isEmpty()) {
        uri += QStringLiteral("&password=") + password;
    }
    return uri;
}

void ServerCluster::Run(const QString& database, const std::string& sql) {
    ServerConnection(ServerAddress{Uri(database), {}}).Exec(sql.c_str());
}

void ServerCluster::Admin(const std::string& sql) {
    Run(QStringLiteral("postgres"), sql);
}

ServerAddress ServerCluster::FreshDatabase(const QString& name) {
    Admin("DROP DATABASE IF EXISTS " + name.toStdString() + " WITH (FORCE)");
    Admin("CREATE DATABASE " + name.toStdString());
    return ServerAddress{Uri(name), {}};
}

ServerAddress ServerCluster::FreshStore(const QString& name) {
    const ServerAddress address = FreshDatabase(name);
    TServerStore::InitSchema(address);
    return address;
}

}  // namespace kvalor
