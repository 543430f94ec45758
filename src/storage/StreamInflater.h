#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "storage/Packing.h"

namespace kvalor {

// Unpacks a zlib stream of the current format a part at a time, so that neither its content
// nor its packed bytes are ever held whole. Like UnpackInPieces it starts from an empty window
// at each flush point and tells the pieces it found; a stream not made that way is unpacked
// again from its start as one, passing over what was already handed out.
class StreamInflater {
public:
    // The packed bytes a part at a time: more replaces its argument with the next ones, false
    // once there are none.
    using MorePacked = std::function<bool(std::string& packed)>;
    // The packed bytes from their start, each call anew.
    using OpenPacked = std::function<MorePacked()>;

    // maxSize bounds the unpacked size as for UnpackStream.
    StreamInflater(OpenPacked open, std::size_t maxSize);
    // Unpacked as one stream only, without looking for pieces.
    StreamInflater(MorePacked more, std::size_t maxSize);
    ~StreamInflater();
    StreamInflater(const StreamInflater&) = delete;
    StreamInflater& operator=(const StreamInflater&) = delete;

    // Appends the next unpacked bytes, about one piece of them, to out; false once the stream
    // has ended. Raises UnpackError as UnpackStream does.
    bool More(std::string& out);
    // Once More has returned false: where the pieces lie in the packed stream, or nullopt when
    // it is not made of pieces.
    std::optional<PackedLayout> TakeLayout();

private:
    struct State;
    bool Fill();
    void StartWhole();
    void MorePieces(std::string& out, std::size_t until);
    void MoreWhole(std::string& out, std::size_t until);

    std::unique_ptr<State> state_;
};

}  // namespace kvalor
