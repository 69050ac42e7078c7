// An array of plain values that grows at its end: the core's message
// buffers and read buffers, and the chat model's characters. It never takes
// twice its size while growing: a large array is memory mapped by the
// system and grown by remapping its pages, not by copying them into a new
// block beside the old (where the system can do that:
// growing_array_linux.cpp), so that a message of a billion characters takes
// a billion bytes.
#ifndef MURVIK_EXTRACT_GROWING_ARRAY_H_
#define MURVIK_EXTRACT_GROWING_ARRAY_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace murvik {
namespace memory_internal {

// A block of memory that grows, without copying where the system allows.
struct Region {
  void* data = nullptr;
  size_t bytes = 0;     // usable, from data on
  bool mapped = false;  // a mapping of its own, else malloc's
};
// Grows `r` to hold `bytes` or more (r.bytes is set to what it holds),
// keeping its first `used` bytes, at least as aligned as malloc's memory.
// Throws std::bad_alloc, leaving `r` as it was.
void Grow(Region& r, size_t used, size_t bytes);
// Frees what Grow gave `r`, which is then empty.
void Free(Region& r);
// Gives the whole pages within [p, p + bytes) their memory now, where the
// system can, rather than at a fault for each as they are first written: for
// memory about to be written whole (find's list of matches).
void Populate(void* p, size_t bytes);

}  // namespace memory_internal

template <typename T>
class GrowingArray {
  static_assert(std::is_trivially_copyable_v<T>);
  // So that a capacity in values is exactly the bytes the memory holds.
  static_assert((sizeof(T) & (sizeof(T) - 1)) == 0 && sizeof(T) <= 4096);

 public:
  // A cleared array larger than this gives its memory back.
  static constexpr size_t kKeptBytes = size_t{4} << 20;

  GrowingArray() = default;
  ~GrowingArray() { Release(); }
  GrowingArray(GrowingArray&& other) noexcept { swap(other); }
  GrowingArray& operator=(GrowingArray&& other) noexcept {
    GrowingArray(std::move(other)).swap(*this);
    return *this;
  }
  GrowingArray(const GrowingArray&) = delete;
  GrowingArray& operator=(const GrowingArray&) = delete;

  T* data() { return static_cast<T*>(memory_.data); }
  const T* data() const { return static_cast<const T*>(memory_.data); }
  size_t size() const { return size_; }
  size_t capacity() const { return memory_.bytes / sizeof(T); }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  T& back() { return data()[size_ - 1]; }
  const T& back() const { return data()[size_ - 1]; }

  // Makes room for `n` values in all; grows by at least half, so that
  // adding values one at a time costs a constant each.
  void Reserve(size_t n) {
    const size_t capacity = this->capacity();
    if (n <= capacity) return;
    const size_t most = SIZE_MAX / sizeof(T);
    if (n > most) throw std::bad_alloc();
    const size_t want = std::max({n, capacity + std::min(capacity / 2, most - capacity), 4096 / sizeof(T)});
    memory_internal::Grow(memory_, size_ * sizeof(T), want * sizeof(T));
  }
  // Sets the size; values added are left as they were in memory.
  void Resize(size_t n) {
    Reserve(n);
    size_ = n;
  }
  void Append(const T* values, size_t n) {
    if (n == 0) return;
    Reserve(size_ + n);
    std::memcpy(data() + size_, values, n * sizeof(T));
    size_ += n;
  }
  void PushBack(const T& value) {
    if (size_ == capacity()) Reserve(size_ + 1);
    data()[size_++] = value;
  }
  // Empties the array, keeping its memory unless it is large.
  void Clear() {
    size_ = 0;
    if (memory_.bytes > kKeptBytes) Release();
  }
  void swap(GrowingArray& other) noexcept {
    std::swap(memory_, other.memory_);
    std::swap(size_, other.size_);
  }

 private:
  void Release() {
    memory_internal::Free(memory_);
    size_ = 0;
  }

  memory_internal::Region memory_;
  size_t size_ = 0;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_GROWING_ARRAY_H_
