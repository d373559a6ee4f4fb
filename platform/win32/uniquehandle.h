#pragma once
// Owning wrapper for Win32 handles: one template, one small traits struct per handle kind. Kernel
// and file handles live here so that the platform seam can own them too; the window layer adds
// its own kinds in win32/handles.h.
#include <windows.h>

#include <utility>

namespace kivo {

template <typename Traits> class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Invalid(); }
    Handle release() { return std::exchange(handle_, Traits::Invalid()); }
    void reset(Handle handle = Traits::Invalid()) {
        if (handle_ != Traits::Invalid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

struct KernelTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
// CreateFileA reports failure with INVALID_HANDLE_VALUE, not null.
struct FileTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

using UniqueKernelHandle = UniqueHandle<KernelTraits>;
using UniqueFile = UniqueHandle<FileTraits>;

// Closes a file and tells whether the close succeeded (a failed close can lose written data).
inline bool CloseFile(UniqueFile& file) {
    HANDLE h = file.release();
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
}

} // namespace kivo
