// The outcome of an operation below the programs: ok, or what failed and
// why, in the system's own words. Nothing below the programs prints; the
// caller decides what is said and where.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace morbs {

class [[nodiscard]] Status {
 public:
  static Status success() { return Status(); }
  static Status failure(std::string why) { return Status(std::move(why)); }

  bool ok() const { return !why_; }
  explicit operator bool() const { return ok(); }
  // The reason; empty for a success.
  const std::string& why() const {
    static const std::string none;
    return why_ ? *why_ : none;
  }

 private:
  Status() = default;
  explicit Status(std::string why) : why_(std::move(why)) {}
  std::optional<std::string> why_;
};

// A value, or the reason there is none.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)), status_(Status::success()) {}
  Result(Status failed) : status_(std::move(failed)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  const Status& status() const { return status_; }
  const std::string& why() const { return status_.why(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }

 private:
  std::optional<T> value_;
  Status status_;
};

}  // namespace morbs
