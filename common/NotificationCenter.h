#pragma once
// Named notifications without object or user information, delivered synchronously
// on the thread that posts them (the main thread).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dimwell {

class NotificationCenter {
public:
    using Token = std::uint64_t;
    using Handler = std::function<void()>;

    Token addObserver(const std::string& name, Handler handler);
    void removeObserver(Token token);
    void post(const std::string& name);

private:
    struct Entry {
        Token token;
        std::string name;
        Handler handler;
    };
    std::vector<Entry> entries_;
    Token next_ = 1;
};

/// Removes its observer when it goes away, so an observer never outlives its owner.
class ObserverRegistration {
public:
    ObserverRegistration() = default;
    ObserverRegistration(NotificationCenter& center, NotificationCenter::Token token) : center_(&center), token_(token) {}
    ObserverRegistration(ObserverRegistration&& o) noexcept : center_(o.center_), token_(o.token_) { o.center_ = nullptr; }
    ObserverRegistration& operator=(ObserverRegistration&& o) noexcept;
    ObserverRegistration(const ObserverRegistration&) = delete;
    ObserverRegistration& operator=(const ObserverRegistration&) = delete;
    ~ObserverRegistration() { reset(); }
    void reset();

private:
    NotificationCenter* center_ = nullptr;
    NotificationCenter::Token token_ = 0;
};

} // namespace dimwell
