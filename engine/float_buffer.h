#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace quillon {

// Sets count floats to value on the worker pool.
void FillFloats(float* data, std::size_t count, float value);

// An owned float array whose allocation failure is a result, not an
// exception: a layer that cannot get its buffers renders black instead.
// Allocate leaves the memory unwritten (the kernel maps its pages only when
// first written), so a buffer is written by the pass that first needs it:
// Fill or a layer's own pixel loop, both on the worker pool.
class FloatBuffer {
  public:
    FloatBuffer() = default;
    FloatBuffer(FloatBuffer&& other) noexcept
        : m_data(std::move(other.m_data)), m_count(other.m_count) {
        other.m_count = 0;
    }
    FloatBuffer& operator=(FloatBuffer&& other) noexcept {
        m_data = std::move(other.m_data);
        m_count = other.m_count;
        other.m_count = 0;
        return *this;
    }

    bool Allocate(std::size_t count) {
        m_data.reset(new (std::nothrow) float[count == 0 ? 1 : count]);
        m_count = m_data ? count : 0;
        return m_data != nullptr;
    }
    void Release() {
        m_data.reset();
        m_count = 0;
    }
    // On the worker pool: the first write of a large buffer is what maps its
    // pages, which would otherwise cost one thread a page fault per 4 KB.
    void Fill(float value);

    float* Data() { return m_data.get(); }
    const float* Data() const { return m_data.get(); }
    std::size_t Count() const { return m_count; }
    explicit operator bool() const { return m_data != nullptr; }

  private:
    std::unique_ptr<float[]> m_data;
    std::size_t m_count = 0;
};

}  // namespace quillon
