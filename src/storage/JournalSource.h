#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "storage/PiecePacker.h"

namespace kvalor {

class TStudyList;

// The journal's stream (TStudyList::SaveToStream) made a part at a time, so that it is never
// held whole: each study's place in it follows from the stored sizes of those before it, and a
// part is written from the studies it covers alone. The list must not change meanwhile.
class JournalSource final : public PackSource {
public:
    explicit JournalSource(const TStudyList& list);
    std::size_t Size() const override { return ends_.back(); }
    std::string_view Range(std::size_t from, std::size_t to, std::string& scratch) const override;

private:
    const TStudyList& list_;
    // Where each entry ends: the version and count first, then each study.
    std::vector<std::size_t> ends_;
};

}  // namespace kvalor
