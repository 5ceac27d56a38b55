// The one error convention: an operation gives its result or the reason it
// failed, never both and never neither.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace zanthrel {

// Why an operation failed, in words fit for a message: the path it worked on
// and the operating system's own reason ("out/a.bin: No space left on
// device"), or the fault found in an image.
struct Error {
  std::string text;
  // The operating system's error number; 0 when the host did not fail.
  int code = 0;
};

template <typename T, typename E = Error>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(E error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool Ok() const { return state_.index() == 0; }
  explicit operator bool() const { return Ok(); }
  T& operator*() { return std::get<0>(state_); }
  const T& operator*() const { return std::get<0>(state_); }
  T* operator->() { return &std::get<0>(state_); }
  const T* operator->() const { return &std::get<0>(state_); }
  const E& Failure() const { return std::get<1>(state_); }

 private:
  std::variant<T, E> state_;
};

// The result of an operation that gives nothing but success.
template <typename E>
class [[nodiscard]] Result<void, E> {
 public:
  Result() = default;
  Result(E error) : error_(std::move(error)) {}

  bool Ok() const { return !error_.has_value(); }
  explicit operator bool() const { return Ok(); }
  const E& Failure() const { return *error_; }

 private:
  std::optional<E> error_;
};

using Status = Result<void>;

}  // namespace zanthrel
