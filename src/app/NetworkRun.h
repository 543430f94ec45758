#pragma once

#include <cstdint>
#include <memory>

#include <QMessageBox>
#include <QString>

#include "server/ServerStore.h"
#include "util/Progress.h"

namespace kvalor {

class TKvalor;
class TStudy;

// The data module's side of the network mode: the one connection of a run to the server and
// the words in which its failures reach the user. The data module keeps the recovery file and
// decides when to load and save; this class talks to the server.
class NetworkRun {
public:
    explicit NetworkRun(ServerAddress where);
    ~NetworkRun();
    NetworkRun(const NetworkRun&) = delete;
    NetworkRun& operator=(const NetworkRun&) = delete;

    // How the messages name the server: its address, and the port when one is set.
    QString ServerName() const;

    // Connects (again, when an earlier connection failed) and loads every list into the root
    // object with its fix-ups. A failure is raised in words that name the server.
    void Load(TKvalor& root, const Progress& progress);
    // Writes what changed since the load in one transaction. ServerConflict passes through as
    // it is (nothing was written); any other failure is raised in words naming the server.
    void Save(const TKvalor& root);
    // The study as its own row at once; a failure is raised in words naming the server.
    void WriteStudy(const TStudy& study);

    // Asks whether to give up this computer's unsaved edits and load the server's data again,
    // for the reason given (another computer saved first); otherwise says what "Нет" does.
    // Default "Нет".
    static bool OfferReload(const QString& reason, const QString& otherwise);
    // The end of a run could not save to the server: "; результаты ... останутся в файле ..."
    // for the recovery file, and the question what to do (retry, save to a file, skip).
    static QString KeptForNextStart(const QString& recoveryFile);
    static QMessageBox::StandardButton AskAtFailedEnd(const QString& failure, const QString& kept);

    const ServerAddress& Where() const { return where_; }
    // The store's study position right after the last load, before this seat wrote anything:
    // where reading what other seats store starts.
    std::int64_t LoadedSeq() const { return loadedSeq_; }
    // The connection of the run, connecting first when there is none.
    TServerStore& Store();

private:
    ServerAddress where_;
    std::unique_ptr<TServerStore> store_;
    std::int64_t loadedSeq_ = 0;
};

}  // namespace kvalor
