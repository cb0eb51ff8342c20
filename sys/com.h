#pragma once
// Owners for COM: the thread's apartment for the length of an operation, and interface pointers
// released on every way out.
#include <windows.h>
#include <objbase.h>

#include <utility>

// CoInitializeEx(single-threaded apartment) balanced by CoUninitialize. S_FALSE (the thread was
// initialised already) counts as success and is balanced as well; a thread already in the
// multi-threaded apartment fails and is left as it was.
class ComApartment {
public:
    ComApartment() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    explicit operator bool() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For CoCreateInstance and QueryInterface; whatever was held is released first.
    void** put_void() {
        reset();
        return reinterpret_cast<void**>(&p_);
    }
    void reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};
