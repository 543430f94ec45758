#include "storage/JournalSource.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "model/Study.h"
#include "model/StudyList.h"
#include "util/ByteStream.h"

namespace kvalor {

JournalSource::JournalSource(const TStudyList& list) : list_(list) {
    ends_.reserve(static_cast<std::size_t>(list.Count()) + 1);
    std::size_t end = sizeof(std::uint8_t) + sizeof(std::int32_t);
    ends_.push_back(end);
    for (int i = 0; i < list.Count(); ++i) {
        end += list.StudyAt(i).StoredSize();
        ends_.push_back(end);
    }
}

std::string_view JournalSource::Range(std::size_t from, std::size_t to,
                                      std::string& scratch) const {
    if (from == to) {
        return {};
    }
    auto entry = static_cast<std::size_t>(std::upper_bound(ends_.begin(), ends_.end(), from) -
                                          ends_.begin());
    const std::size_t start = entry == 0 ? 0 : ends_[entry - 1];
    ByteStream out(std::move(scratch));
    out.data().clear();
    for (; entry < ends_.size() && (entry == 0 ? 0 : ends_[entry - 1]) < to; ++entry) {
        if (entry == 0) {
            out.writeU8(TStudyList::kStreamVersion);
            out.writeI32(list_.Count());
        } else {
            list_.StudyAt(static_cast<int>(entry - 1)).SaveToStream(out);
        }
    }
    // A study that wrote other than its stored size would shift every piece after it.
    if (out.size() != ends_[entry - 1] - start) {
        throw std::logic_error("study record of another size than its stored size");
    }
    scratch = out.takeData();
    return std::string_view(scratch).substr(from - start, to - from);
}

}  // namespace kvalor
