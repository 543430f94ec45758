// Feeds arbitrary bytes to the reader of clipboard blocks, as a paste reads them in each of the
// program's formats: damaged blocks may only fail with the program's error.

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/Question.h"
#include "model/Questions.h"
#include "storage/ClipboardData.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    for (const ClipboardFormat format :
         {ClipboardFormat::Questions, ClipboardFormat::SimpleTests, ClipboardFormat::Groups}) {
        ByteStream block(input);
        try {
            const std::int32_t count = ReadClipboardCount(block, format);
            for (std::int32_t i = 0; i < count; ++i) {
                if (format == ClipboardFormat::Questions) {
                    ReadClipboardQuestion(block);
                } else {
                    ReadClipboardCollection(block, format);
                }
            }
        } catch (const KvalorError&) {
        }
    }
    return 0;
}
