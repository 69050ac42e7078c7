// An array of plain values that grows at its end, for the core's message
// buffers. It never takes twice its size while growing: a large array is
// memory mapped by the system and grown by remapping its pages, not by
// copying them into a new block beside the old (where the system can do
// that), so that a message of a billion characters takes a billion bytes.
#ifndef MURVIK_EXTRACT_GROWING_ARRAY_H_
#define MURVIK_EXTRACT_GROWING_ARRAY_H_

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace murvik {
namespace memory_internal {

// Memory for `*bytes` bytes or more, at least as aligned as malloc's;
// `*bytes` is set to what it holds. Throws std::bad_alloc.
void* Allocate(size_t* bytes);
// Grows `p`, holding `old_bytes` of which the first `used` count, to
// `*bytes` or more (set to what it holds); the first `used` bytes are kept.
// Throws std::bad_alloc, leaving `p` as it was.
void* Grow(void* p, size_t old_bytes, size_t used, size_t* bytes);
// Frees what Allocate or Grow gave, holding `bytes`.
void Free(void* p, size_t bytes);

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

  T* data() { return data_; }
  const T* data() const { return data_; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T& back() { return data_[size_ - 1]; }
  const T& back() const { return data_[size_ - 1]; }

  // Makes room for `n` values in all; grows by at least half, so that
  // adding values one at a time costs a constant each.
  void Reserve(size_t n) {
    if (n <= capacity_) return;
    size_t bytes = std::max({n, capacity_ + capacity_ / 2, 4096 / sizeof(T)}) * sizeof(T);
    data_ = static_cast<T*>(data_ == nullptr
                                ? memory_internal::Allocate(&bytes)
                                : memory_internal::Grow(data_, capacity_ * sizeof(T), size_ * sizeof(T), &bytes));
    capacity_ = bytes / sizeof(T);
  }
  // Sets the size; values added are left as they were in memory.
  void Resize(size_t n) {
    Reserve(n);
    size_ = n;
  }
  void Append(const T* values, size_t n) {
    if (n == 0) return;
    Reserve(size_ + n);
    std::memcpy(data_ + size_, values, n * sizeof(T));
    size_ += n;
  }
  void PushBack(const T& value) {
    if (size_ == capacity_) Reserve(size_ + 1);
    data_[size_++] = value;
  }
  // Empties the array, keeping its memory unless it is large.
  void Clear() {
    size_ = 0;
    if (capacity_ * sizeof(T) > kKeptBytes) Release();
  }
  void swap(GrowingArray& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  void Release() {
    if (data_ != nullptr) memory_internal::Free(data_, capacity_ * sizeof(T));
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

  T* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_GROWING_ARRAY_H_
