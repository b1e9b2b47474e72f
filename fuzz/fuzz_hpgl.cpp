// Any bytes as an HPGL drawing: the reader either gives figures or a ReaderError,
// never a crash, a hang or an endless figure.
#include "job/Hpgl.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Thpgl reader;
    reader.OpenInputText(std::string_view(reinterpret_cast<const char*>(data), size), 1);
    size_t figures = 0;
    try {
        while (!reader.EndOfInput) {
            tfigura figure;
            reader.ReadFigure(figure);
            // Every figure consumes input, so there can't be more figures than bytes.
            if (++figures > size + 1)
                __builtin_trap();
        }
    } catch (const ReaderError&) {
    }
    reader.CloseInput();
    return 0;
}
