#pragma once
// An object that is built once and never destroyed. Worker threads may still be writing log lines
// or reading the folders while the process ends; a static object of the usual kind would be
// destroyed under them by the C runtime's exit. Use it for everything process-wide that a worker
// can reach.
#include <new>
#include <utility>

template <typename T>
class NeverDestroyed {
public:
    template <typename... Args>
    explicit NeverDestroyed(Args&&... args) {
        new (storage_) T(std::forward<Args>(args)...);
    }
    NeverDestroyed(const NeverDestroyed&) = delete;
    NeverDestroyed& operator=(const NeverDestroyed&) = delete;

    T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() { return &get(); }
    T& operator*() { return get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};
