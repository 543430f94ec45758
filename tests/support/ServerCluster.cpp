#include "ServerCluster.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <memory>
#include <stdexcept>

#include "server/ServerConnection.h"

namespace kvalor {

namespace {

// Debian's folder of the server's programs, of whichever version is installed.
QString serverBin() {
    for (const QString& version :
         QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFile::exists("/usr/lib/postgresql/" + version + "/bin/initdb")) {
            return "/usr/lib/postgresql/" + version + "/bin";
        }
    }
    return {};
}

std::unique_ptr<ServerCluster> shared;

// Stops the cluster once every test has run, however they ended.
class ClusterEnvironment : public ::testing::Environment {
    void TearDown() override { shared.reset(); }
};
[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ClusterEnvironment);

}  // namespace

ServerCluster* ServerCluster::Shared() {
    if (!shared && !serverBin().isEmpty()) {
        shared.reset(new ServerCluster());
    } else if (!shared && qEnvironmentVariableIsSet("KVALOR_REQUIRE_SERVER")) {
        throw std::runtime_error(
            "initdb is missing, and KVALOR_REQUIRE_SERVER asks for the server");
    }
    return shared.get();
}

ServerCluster::ServerCluster() : bin_(serverBin()) {
    const QString folder = dir_.path();
    try {
        const passwd* nobody = ::getpwnam("nobody");
        if (::geteuid() == 0 &&
            (!nobody || ::chown(QFile::encodeName(folder), nobody->pw_uid, nobody->pw_gid) != 0)) {
            throw std::runtime_error("cannot hand the server's folder to nobody");
        }
        const passwd* self = ::getpwuid(::geteuid());
        RunTool("initdb", {"-D", folder + "/data", "-U", self ? self->pw_name : "postgres", "-A",
                           "trust", "-E", "UTF8", "--locale=C", "--no-sync"});
        // The first matching line decides: the password user's comes first.
        QFile hba(folder + "/data/pg_hba.conf");
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            hba.write("local all " + PasswordUser().toUtf8() +
                      " scram-sha-256\nlocal all all trust\n") < 0) {
            throw std::runtime_error("cannot write pg_hba.conf");
        }
        hba.close();
        Start();
        Run("postgres",
            "CREATE ROLE " + PasswordUser().toStdString() + " LOGIN SUPERUSER PASSWORD 'right'");
    } catch (...) {
        if (running_) {
            Stop();
        }
        throw;
    }
}

// The temporary folder goes afterwards, whatever happened.
ServerCluster::~ServerCluster() {
    try {
        if (running_) {
            Stop();
        }
    } catch (const std::exception&) {
    }
}

void ServerCluster::RunTool(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dir_.path());  // nobody may not enter the tests' folder
    // root may not run the server: nobody does, in the folder handed to it.
    if (::geteuid() == 0) {
        process.start("runuser", QStringList{"-u", "nobody", "--", bin_ + '/' + tool} + arguments);
    } else {
        process.start(bin_ + '/' + tool, arguments);
    }
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        throw std::runtime_error(
            (tool + " failed: " + QString::fromLocal8Bit(process.readAll())).toStdString());
    }
}

void ServerCluster::Start() {
    const QString folder = dir_.path();
    RunTool("pg_ctl",
            {"-D", folder + "/data", "-l", folder + "/log", "-w", "-o",
             "-c listen_addresses='' -k " + folder + " -p " + Port() + " -c fsync=off", "start"});
    running_ = true;
}

void ServerCluster::Stop() {
    RunTool("pg_ctl", {"-D", dir_.path() + "/data", "-m", "fast", "-w", "stop"});
    running_ = false;
}

QString ServerCluster::Uri(const QString& database, const QString& user,
                           const QString& password) const {
    QString uri = "postgresql:///" + database + "?host=" + dir_.path() + "&port=" + Port();
    if (!user.isEmpty()) {
        uri += "&user=" + user + "&password=" + password;
    }
    return uri;
}

void ServerCluster::Run(const QString& database, const std::string& sql) {
    ServerConnection(ServerAddress{Uri(database), {}}).Exec(sql.c_str());
}

ServerAddress ServerCluster::FreshDatabase(const QString& name) {
    Run("postgres", "DROP DATABASE IF EXISTS " + name.toStdString() + " WITH (FORCE)");
    Run("postgres", "CREATE DATABASE " + name.toStdString());
    return ServerAddress{Uri(name), {}};
}

ServerAddress ServerCluster::FreshStore(const QString& name) {
    const ServerAddress address = FreshDatabase(name);
    TServerStore::InitSchema(address);
    return address;
}

}  // namespace kvalor
