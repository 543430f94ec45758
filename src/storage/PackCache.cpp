#include "storage/PackCache.h"

#include <libdeflate.h>

#include <QFileInfo>
#include <algorithm>
#include <optional>

#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/ZlibFormat.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// The stream as laid out, read back from the storage; nullopt when it is not there as it was.
std::optional<std::string> readBack(const CompoundStorageReader& root, const std::string& name,
                                    const PackedLayout& layout) {
    const std::optional<CompoundStorageReader> storage = root.findStorage(name);
    std::optional<CompoundStreamReader> stream =
        storage ? storage->findStream(kDataStream) : std::nullopt;
    if (!stream || stream->size() < layout.size) {
        return std::nullopt;
    }
    std::string bytes;
    bytes.reserve(layout.size);
    std::string part;
    while (bytes.size() < layout.size &&
           stream->readNext(part, std::min(layout.size - bytes.size(), zlibformat::kPieceSize))) {
        bytes += part;
    }
    if (bytes.size() != layout.size ||
        libdeflate_crc32(0, bytes.data(), bytes.size()) != layout.crc) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::vector<std::shared_ptr<const PackedStream>> PackCache::Find(
    const std::vector<std::string>& storageNames) const {
    std::vector<std::shared_ptr<const PackedStream>> found;
    std::optional<CompoundFileReader> file;
    QString fileName;  // of the file open
    for (const std::string& name : storageNames) {
        std::shared_ptr<const PackedStream> stream;
        if (const auto held = held_.find(name); held != held_.end()) {
            stream = held->second;
        } else if (const auto kept = inFiles_.find(name); kept != inFiles_.end()) {
            const InFile& inFile = kept->second;
            // Whatever keeps it from being read back only costs packing it anew.
            try {
                if (!file || fileName != inFile.fileName) {
                    file.reset();
                    file.emplace(inFile.fileName, CompoundFileReader::Reading::FromDisk);
                    fileName = inFile.fileName;
                }
                if (std::optional<std::string> bytes =
                        readBack(file->root(), name, inFile.layout)) {
                    stream = std::make_shared<const PackedStream>(std::move(*bytes),
                                                                  inFile.layout.pieces);
                }
            } catch (const KvalorError&) {
                file.reset();
            }
        }
        found.push_back(std::move(stream));
    }
    return found;
}

void PackCache::Keep(const std::string& storageName, std::shared_ptr<const PackedStream> stream) {
    inFiles_.erase(storageName);
    if (stream) {
        held_[storageName] = std::move(stream);
    } else {
        held_.erase(storageName);
    }
}

void PackCache::KeepInFile(const std::string& storageName, const QString& fileName,
                           PackedLayout layout) {
    held_.erase(storageName);
    inFiles_[storageName] = {QFileInfo(fileName).absoluteFilePath(), std::move(layout)};
}

void PackCache::RestOn(const QString& fileName) {
    // Found again by the same name whatever the working folder is then.
    const QString path = QFileInfo(fileName).absoluteFilePath();
    for (const auto& [name, stream] : held_) {
        inFiles_[name] = {path, stream->Layout()};
    }
    held_.clear();
}

}  // namespace kvalor
