#include "engine/float_buffer.h"

#include <algorithm>

#include "engine/parallel.h"

namespace quillon {

void FillFloats(float* data, std::size_t count, float value) {
    ParallelFor(count, kPixelGrain, [data, value](std::size_t begin, std::size_t end) {
        std::fill(data + begin, data + end, value);
    });
}

void FloatBuffer::Fill(float value) {
    FillFloats(m_data.get(), m_count, value);
}

}  // namespace quillon
