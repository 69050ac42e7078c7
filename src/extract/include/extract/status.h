// The outcome of an operation: success, or a failure with a reason.
#ifndef MURVIK_EXTRACT_STATUS_H_
#define MURVIK_EXTRACT_STATUS_H_

#include <string>
#include <utility>

namespace murvik {

class Status {
 public:
  // Success.
  Status() = default;
  static Status Ok() { return Status(); }
  // Failure; `reason` says what went wrong in a few words, for a person.
  static Status Error(std::string reason) { return Status(std::move(reason), false); }

  bool ok() const { return ok_; }
  // Empty on success.
  const std::string& reason() const { return reason_; }

 private:
  Status(std::string reason, bool ok) : reason_(std::move(reason)), ok_(ok) {}
  std::string reason_;
  bool ok_ = true;
};

}  // namespace murvik

#endif  // MURVIK_EXTRACT_STATUS_H_
