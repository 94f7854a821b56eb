#pragma once
// The owner of one reference to a COM interface, in the spirit of the handle
// owners: movable, not copyable, releasing what it holds on every way out.
// It needs only the interface's Release(), so it builds on both sides and is
// unit-tested natively.
#include <utility>

namespace kavrel {

template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes over a reference that the caller owns (no AddRef).
    explicit ComPtr(Interface* raw) noexcept : raw_(raw) {}
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : raw_(other.release()) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~ComPtr() { reset(); }

    // The interface, still owned by this object.
    Interface* get() const noexcept { return raw_; }
    Interface* operator->() const noexcept { return raw_; }
    // True when an interface is held.
    explicit operator bool() const noexcept { return raw_ != nullptr; }
    // Gives the reference up without releasing it.
    Interface* release() noexcept { return std::exchange(raw_, nullptr); }
    // Releases the held reference and takes over another.
    void reset(Interface* raw = nullptr) noexcept {
        Interface* old = std::exchange(raw_, raw);
        if (old) old->Release();
    }
    // Where a call that hands out a reference writes it. What was held is
    // released first, so a filled owner can be passed again without a leak.
    Interface** put() noexcept {
        reset();
        return &raw_;
    }
    // The same for calls that write an untyped pointer (QueryInterface, CoCreateInstance).
    void** putVoid() noexcept { return reinterpret_cast<void**>(put()); }

private:
    Interface* raw_ = nullptr;
};

}  // namespace kavrel
