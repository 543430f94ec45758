#pragma once

#include <QString>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "storage/Packing.h"

namespace kvalor {

// The streams "Data" of a file's storages as last packed or read, by storage name: a save
// takes over their pieces whose content has not changed (PackContents). A stream that lies in
// a file as it is kept is kept as where its pieces lie there, and read back from the file
// when a save asks for it, so that its bytes are held only while a save needs them.
class PackCache {
public:
    // What the cache holds of each storage, null where it holds nothing. A stream kept as
    // lying in a file is read back from it; one no longer found there as it was kept (the file
    // was changed, or cannot be read now) gives null, and is then packed anew.
    std::vector<std::shared_ptr<const PackedStream>> Find(
        const std::vector<std::string>& storageNames) const;
    // Keeps the stream in memory; null forgets the storage's stream.
    void Keep(const std::string& storageName, std::shared_ptr<const PackedStream> stream);
    // Keeps the stream of the storage as lying in that file as laid out.
    void KeepInFile(const std::string& storageName, const QString& fileName, PackedLayout layout);
    // The streams kept in memory have just been read from or written to that file as they are:
    // each is kept as lying there from now on.
    void RestOn(const QString& fileName);

private:
    struct InFile {
        QString fileName;
        PackedLayout layout;
    };
    std::map<std::string, std::shared_ptr<const PackedStream>> held_;
    std::map<std::string, InFile> inFiles_;
};

}  // namespace kvalor
