#pragma once

// Stands in for the desktop that opens the workbooks of the exports.

#include <functional>

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "ui/Workbooks.h"

namespace kvalor {

// While it lives, files are "opened" by noting them (and taken or refused as told), and the
// temporary folder of the exports is a folder of its own.
class RecordingOpener {
public:
    explicit RecordingOpener(bool opens = true)
        : opens_(opens),
          oldTemp_(qgetenv("TMPDIR")),
          before_(setFileOpener([this](const QString& file, std::function<void(bool)> done) {
              opened.append(file);
              if (onOpen) {
                  onOpen(file);
              }
              done(opens_);
          })) {
        qputenv("TMPDIR", QFile::encodeName(folder_.path()));
    }
    ~RecordingOpener() {
        setFileOpener(std::move(before_));
        if (oldTemp_.isNull()) {
            qunsetenv("TMPDIR");
        } else {
            qputenv("TMPDIR", oldTemp_);
        }
    }
    RecordingOpener(const RecordingOpener&) = delete;
    RecordingOpener& operator=(const RecordingOpener&) = delete;

    QStringList opened;
    // Called with each file as it is opened, before the program goes on.
    std::function<void(const QString&)> onOpen;

private:
    bool opens_;
    QTemporaryDir folder_;
    QByteArray oldTemp_;
    FileOpener before_;
};

}  // namespace kvalor
