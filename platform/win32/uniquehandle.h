#pragma once
// Owning wrapper for Win32 handles: one template, and one line per handle kind. Kernel and file
// handles live here so that the platform seam can own them too; the window layer adds its own
// kinds in win32/handles.h.
#include <windows.h>

#include <utility>

namespace kivo {

// The general form: Traits names the handle type, its invalid value and how it is closed.
template <typename Traits> class BasicUniqueHandle {
public:
    using Handle = typename Traits::Handle;
    BasicUniqueHandle() = default;
    explicit BasicUniqueHandle(Handle handle) : handle_(handle) {}
    ~BasicUniqueHandle() { reset(); }
    BasicUniqueHandle(const BasicUniqueHandle&) = delete;
    BasicUniqueHandle& operator=(const BasicUniqueHandle&) = delete;
    BasicUniqueHandle(BasicUniqueHandle&& other) noexcept : handle_(other.release()) {}
    BasicUniqueHandle& operator=(BasicUniqueHandle&& other) noexcept {
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

// Nearly every kind is invalid when null and closed by one call.
template <typename H, auto CloseFunction> struct NullInvalidTraits {
    using Handle = H;
    static constexpr H Invalid() { return nullptr; }
    static void Close(H h) { CloseFunction(h); }
};
template <typename H, auto CloseFunction>
using UniqueHandle = BasicUniqueHandle<NullInvalidTraits<H, CloseFunction>>;

using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;

// CreateFileA reports failure with INVALID_HANDLE_VALUE, which is no constant expression: files
// keep traits of their own.
struct FileTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
using UniqueFile = BasicUniqueHandle<FileTraits>;

// Closes a file and tells whether the close succeeded (a failed close can lose written data).
inline bool CloseFile(UniqueFile& file) {
    HANDLE h = file.release();
    return h == INVALID_HANDLE_VALUE || CloseHandle(h) != 0;
}

} // namespace kivo
