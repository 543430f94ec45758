#include "storage/EntrySource.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "model/Study.h"
#include "model/StudyList.h"
#include "util/ByteStream.h"

namespace kvalor {

namespace {

// Writes entries into the scratch buffer, whose room is kept from one use to the next.
template <class Write>
std::string_view writeInto(std::string& scratch, const Write& write) {
    ByteStream out(std::move(scratch));
    out.data().clear();
    write(out);
    scratch = out.takeData();
    return scratch;
}

}  // namespace

EntrySource::EntrySource(WriteEntry write, const std::vector<std::size_t>& sizes)
    : write_(std::move(write)) {
    ends_.reserve(sizes.size());
    std::size_t end = 0;
    for (const std::size_t size : sizes) {
        ends_.push_back(end += size);
    }
}

EntrySource::EntrySource(WriteEntry write, std::size_t entries) : write_(std::move(write)) {
    ends_.reserve(entries);
    std::string scratch;
    std::size_t end = 0;
    for (std::size_t entry = 0; entry < entries; ++entry) {
        end += writeInto(scratch, [&](ByteStream& out) { write_(entry, out); }).size();
        ends_.push_back(end);
    }
}

std::string_view EntrySource::Range(std::size_t from, std::size_t to, std::string& scratch) const {
    if (from == to) {
        return {};
    }
    const auto first = static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), from) -
                                                ends_.begin());
    const std::size_t start = first == 0 ? 0 : ends_[first - 1];
    std::size_t entry = first;
    const std::string_view written = writeInto(scratch, [&](ByteStream& out) {
        for (; entry < ends_.size() && (entry == 0 ? 0 : ends_[entry - 1]) < to; ++entry) {
            write_(entry, out);
        }
    });
    // An entry written at another size than told would shift every piece after it.
    if (written.size() != ends_[entry - 1] - start) {
        throw std::logic_error("entry written at another size than told");
    }
    return written.substr(from - start, to - from);
}

EntrySource JournalSource(const TStudyList& list) {
    std::vector<std::size_t> sizes = {sizeof(std::uint8_t) + sizeof(std::int32_t)};
    sizes.reserve(static_cast<std::size_t>(list.Count()) + 1);
    for (int i = 0; i < list.Count(); ++i) {
        sizes.push_back(list.StudyAt(i).StoredSize());
    }
    const auto write = [&list](std::size_t entry, ByteStream& out) {
        if (entry == 0) {
            out.writeU8(TStudyList::kStreamVersion);
            out.writeI32(list.Count());
        } else {
            list.StudyAt(static_cast<int>(entry - 1)).SaveToStream(out);
        }
    };
    return EntrySource(write, sizes);
}

}  // namespace kvalor
