#pragma once
// Either a value or the error that prevented it, for the layers that report
// failures as values: the files (Result<T>, a FileError) and the library
// (StoreResult<T>, a StoreError) each name theirs.

#include <optional>
#include <utility>

namespace kw {

template <class T, class E>
class BasicResult {
public:
    BasicResult(T value) : value_(std::move(value)) {}
    BasicResult(E error) : error_(std::move(error)) {}

    explicit operator bool() const { return value_.has_value(); }
    const T& operator*() const& { return *value_; }
    T& operator*() & { return *value_; }
    T&& operator*() && { return std::move(*value_); }
    const T* operator->() const { return &*value_; }
    T* operator->() { return &*value_; }
    const E& error() const { return *error_; }

private:
    std::optional<T> value_;
    std::optional<E> error_;
};

} // namespace kw
