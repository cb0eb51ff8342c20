#pragma once
// Move-only owners for Windows handles. A traits type says which value means "empty" (CreateFileW
// gives INVALID_HANDLE_VALUE, most other calls give null) and how to release the handle, so every
// way out of an operation releases what it opened.
#include <windows.h>

#include <utility>

template <typename T, typename Traits>
class Unique {
public:
    Unique() noexcept : value_(Traits::invalid()) {}
    explicit Unique(T value) noexcept : value_(value) {}
    ~Unique() { reset(); }

    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& other) noexcept : value_(other.release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    // Address for an out-parameter; whatever was held is released first.
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, Traits::invalid()); }
    void reset(T value = Traits::invalid()) noexcept {
        if (value_ != Traits::invalid()) Traits::close(value_);
        value_ = value;
    }

private:
    T value_;
};

struct HandleTraits {
    static HANDLE invalid() { return nullptr; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE h) { ::FindClose(h); }
};
struct RegKeyTraits {
    static HKEY invalid() { return nullptr; }
    static void close(HKEY h) { ::RegCloseKey(h); }
};
struct ModuleTraits {
    static HMODULE invalid() { return nullptr; }
    static void close(HMODULE h) { ::FreeLibrary(h); }
};
struct LocalMemoryTraits {
    static HLOCAL invalid() { return nullptr; }
    static void close(HLOCAL h) { ::LocalFree(h); }
};

struct GdiObjectTraits {
    static HGDIOBJ invalid() { return nullptr; }
    static void close(HGDIOBJ h) { ::DeleteObject(h); }
};

using UniqueHandle = Unique<HANDLE, HandleTraits>;          // processes, threads, events, mutexes
using UniqueFile = Unique<HANDLE, FileHandleTraits>;        // CreateFileW, toolhelp snapshots
using UniqueFind = Unique<HANDLE, FindHandleTraits>;        // FindFirstFileW
using UniqueRegKey = Unique<HKEY, RegKeyTraits>;
using UniqueModule = Unique<HMODULE, ModuleTraits>;
using UniqueLocal = Unique<HLOCAL, LocalMemoryTraits>;
using UniqueGdiObject = Unique<HGDIOBJ, GdiObjectTraits>;  // brushes, fonts, bitmaps, regions
