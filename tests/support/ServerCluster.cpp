#include "ServerCluster.h"

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

}  // namespace

bool ServerCluster::Installed() {
    return !serverBin().isEmpty();
}

ServerCluster::ServerCluster(const Options& options) : options_(options), bin_(serverBin()) {
    if (bin_.isEmpty()) {
        throw std::runtime_error("initdb is missing: install PostgreSQL's server");
    }
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
    QString settings = "-c listen_addresses='' -k " + folder + " -p " + Port() +
                       " -c max_connections=" + QString::number(options_.maxConnections);
    if (!options_.durable) {
        settings += " -c fsync=off";
    }
    RunTool("pg_ctl", {"-D", DataFolder(), "-l", folder + "/log", "-w", "-t", "120", "-o", settings,
                       "start"});
    running_ = true;
}

void ServerCluster::Stop() {
    StopIn("fast");
}

void ServerCluster::StopAbruptly() {
    StopIn("immediate");
}

void ServerCluster::StopIn(const char* mode) {
    RunTool("pg_ctl", {"-D", DataFolder(), "-m", mode, "-w", "stop"});
    running_ = false;
}

qint64 ServerCluster::ServerPid() const {
    QFile file(DataFolder() + "/postmaster.pid");
    if (!running_ || !file.open(QIODevice::ReadOnly)) {
        return 0;
    }
    return file.readLine().trimmed().toLongLong();
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
