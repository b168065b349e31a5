// Why window-free code did not do what it was asked: the place (a setting's
// path, a JSON path, "memory 12 at byte 4410", a file or a port; empty when
// the whole thing is meant) and the reason in the user's words. Every rule
// below the front ends answers this way; kvctl turns a refusal into its exit
// code in one place, the windows into their message text in another.
//
//   std::optional<Refusal>   an action: nullopt when it was done
//   Result<T>                a value, or the refusal instead of it
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kvcore {

struct Refusal {
    std::string place;
    std::string reason;

    // "out3.gain: out of range (-15.0 dB to +15.0 dB)", or the reason alone.
    std::string Message() const { return place.empty() ? reason : place + ": " + reason; }
    bool operator==(const Refusal&) const = default;
};

template <class T>
class Result {
public:
    Result(T value) : v_(std::move(value)) {}          // NOLINT: a value is a result
    Result(Refusal refusal) : v_(std::move(refusal)) {}  // NOLINT: so is a refusal

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& operator*() { return std::get<0>(v_); }
    const T& operator*() const { return std::get<0>(v_); }
    T* operator->() { return &std::get<0>(v_); }
    const T* operator->() const { return &std::get<0>(v_); }
    const Refusal& refusal() const { return std::get<1>(v_); }

private:
    std::variant<T, Refusal> v_;
};

}  // namespace kvcore
