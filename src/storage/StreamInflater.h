#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "storage/Packing.h"

namespace kvalor {

// Unpacks a zlib stream of the current format a part at a time, so that its whole content is
// never held at once. Like UnpackInPieces it starts from an empty window at each flush point
// and keeps the packed bytes with their pieces; a stream not made that way is unpacked again
// from its start as one, passing over what was already handed out.
class StreamInflater {
public:
    // maxSize bounds the unpacked size as for UnpackStream.
    StreamInflater(std::string packed, std::size_t maxSize);
    // The packed bytes a part at a time: more replaces its argument with the next ones, false
    // once there are none. They are unpacked as one stream and never held whole, so that no
    // pieces are kept.
    using MorePacked = std::function<bool(std::string& packed)>;
    StreamInflater(MorePacked more, std::size_t maxSize);
    ~StreamInflater();
    StreamInflater(const StreamInflater&) = delete;
    StreamInflater& operator=(const StreamInflater&) = delete;

    // Appends the next unpacked bytes, about one piece of them, to out; false once the stream
    // has ended. Raises UnpackError as UnpackStream does.
    bool More(std::string& out);
    // Once More has returned false: the packed stream with its pieces for a later
    // PackContents, or null when it is not made of pieces.
    std::shared_ptr<const PackedStream> TakePieces();

private:
    struct State;
    void StartWhole();
    void MorePieces(std::string& out, std::size_t until);
    void MoreWhole(std::string& out, std::size_t until);

    std::unique_ptr<State> state_;
};

}  // namespace kvalor
