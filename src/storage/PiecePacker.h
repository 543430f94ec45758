#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "storage/Packing.h"
#include "util/Progress.h"

namespace kvalor {

// Where the content of a stream to pack comes from: any part of it on demand, from several
// threads at once, so that a large content need never be held whole.
class PackSource {
public:
    virtual ~PackSource() = default;
    virtual std::size_t Size() const = 0;
    // The content [from, to): a view into the content, or into scratch where it is made there.
    virtual std::string_view Range(std::size_t from, std::size_t to,
                                   std::string& scratch) const = 0;
};

// A content held whole.
class HeldSource final : public PackSource {
public:
    explicit HeldSource(std::string_view content) : content_(content) {}
    std::size_t Size() const override { return content_.size(); }
    std::string_view Range(std::size_t from, std::size_t to, std::string&) const override {
        return content_.substr(from, to - from);
    }

private:
    std::string_view content_;
};

// Receives the bytes of a zlib stream in order.
using PackedWrite = std::function<void(std::string_view)>;

// Packs the content into the stream PackContents makes of it, piece by piece on all cores: a
// piece's content is made only while it is compared with the earlier stream's or packed, and
// let go then. write, when given, receives the stream as its pieces are done (held back only
// while it could still turn out to be stored unpacked). Progress counts the bytes packed.
std::shared_ptr<const PackedStream> PackSourced(const PackSource& source,
                                                const std::shared_ptr<const PackedStream>& earlier,
                                                const PackedWrite& write,
                                                const Progress& progress = {});

}  // namespace kvalor
