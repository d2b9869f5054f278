#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

// Reference count shared by objects that several owners may hold (pictures
// handed between a layer, its property page and a preview). The count only
// counts: deleting the object stays with whoever owns it. A copy starts
// with a count of 0, like a new object.
class Lock {
public:
    Lock() = default;
    Lock(const Lock&) {}
    Lock& operator=(const Lock&) { return *this; }
    virtual ~Lock() = default;

    // Returns the count after the change.
    std::int32_t AddRef() { return ++m_refCount; }
    std::int32_t Release() { return --m_refCount; }
    std::int32_t RefCount() const { return m_refCount.load(); }

private:
    std::atomic<std::int32_t> m_refCount{0};
};

}  // namespace quillon
