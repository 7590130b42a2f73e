#pragma once
// A fixed-size array whose copies share one storage, released with the last
// copy. The viewport's depth buffer and side tables are held this way, so the
// working copy the renderer takes per object draws into the scene's buffers.

#include <cstddef>
#include <memory>

template <class T>
class kzoSharedArray {
public:
    kzoSharedArray() = default;

    // size value-initialised elements (zero for plain records).
    explicit kzoSharedArray(std::size_t size) : data_(std::make_shared<T[]>(size)), size_(size) {}

    T& operator[](std::size_t i) const { return data_[i]; }
    T* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* begin() const { return data_.get(); }
    T* end() const { return data_.get() + size_; }

    // True when both refer to the same storage.
    bool sharesWith(const kzoSharedArray& other) const { return data_ == other.data_; }

private:
    std::shared_ptr<T[]> data_;
    std::size_t size_ = 0;
};
