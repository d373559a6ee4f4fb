#include "logbook/logsnapshot.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo {

namespace {

// A log of a hundred megabytes is looked at three times over when it opens, so the bytes are
// looked at sixteen at a time.
constexpr std::size_t Block = 16;

// Bit i set where p[i] is c, for the n bytes at p (n at most Block).
inline unsigned Matches(const char* p, std::size_t n, char c) {
#if defined(__SSE2__)
    if (n == Block) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
    }
#endif
    unsigned m = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] == c) m |= 1u << i;
    return m;
}

// Cuts the text at its first Ctrl+Z, turns each NUL into the mark and counts the line feeds.
std::size_t Prepare(char* p, std::size_t& size) {
    std::size_t feeds = 0;
    for (std::size_t at = 0; at < size; at += Block) {
        const std::size_t n = std::min(Block, size - at);
        unsigned feed = Matches(p + at, n, '\n');
        unsigned nul = Matches(p + at, n, '\0');
        const unsigned eof = Matches(p + at, n, '\x1a');
        if (eof) {
            const unsigned before = (1u << std::countr_zero(eof)) - 1;
            feed &= before;
            nul &= before;
        }
        for (; nul; nul &= nul - 1) p[at + std::countr_zero(nul)] = NulMark;
        feeds += static_cast<std::size_t>(std::popcount(feed));
        if (eof) {
            size = at + static_cast<std::size_t>(std::countr_zero(eof));
            break;
        }
    }
    return feeds;
}

std::unique_ptr<char[]> Allocate(std::uint64_t size) {
    if (size > SIZE_MAX / 2) throw std::bad_alloc();
    return std::make_unique_for_overwrite<char[]>(static_cast<std::size_t>(size));
}

} // namespace

LogLines::LogLines(std::unique_ptr<char[]> bytes, std::size_t size) : bytes_(std::move(bytes)) {
    char* p = bytes_.get();
    const std::size_t feeds = Prepare(p, size);
    starts_.reserve(feeds + 2);
    starts_.push_back(0);
    for (std::size_t at = 0; at < size; at += Block)
        for (unsigned feed = Matches(p + at, std::min(Block, size - at), '\n'); feed;
             feed &= feed - 1)
            starts_.push_back(at + static_cast<std::size_t>(std::countr_zero(feed)) + 1);
    // The last line has no line feed of its own (or the text is empty): as if one followed.
    if (size == 0 || p[size - 1] != '\n') starts_.push_back(size + 1);
    for (std::size_t i = 0; i < Count(); ++i) longest_ = std::max(longest_, Line(i).size());
}

LogLines LogLines::FromText(std::string_view text) {
    auto bytes = Allocate(text.size());
    std::memcpy(bytes.get(), text.data(), text.size());
    return LogLines(std::move(bytes), text.size());
}

std::string_view LogLines::Line(std::size_t i) const {
    const std::size_t start = starts_[i];
    std::size_t end = starts_[i + 1] - 1;
    if (end > start && bytes_[end - 1] == '\r') --end;
    return {bytes_.get() + start, end - start};
}

LogSnapshot ReadLogSnapshot(const FileSystem& files, const std::string& path) {
    LogSnapshot snapshot;
    std::unique_ptr<FileReader> reader;
    try {
        reader = files.OpenRead(path);
    } catch (const FileOpenError&) {
        return snapshot;
    }
    snapshot.opened = true;
    try {
        const auto known = reader->Size();
        std::size_t capacity = known ? static_cast<std::size_t>(*known) : 64 * 1024, size = 0;
        if (known && *known > SIZE_MAX / 2) throw std::bad_alloc();
        std::unique_ptr<char[]> bytes = Allocate(capacity);
        try {
            for (;;) {
                if (size == capacity) {
                    // What the file held when it was opened; a reader that cannot tell its
                    // size gets room until it ends.
                    if (known) break;
                    auto larger = Allocate(static_cast<std::uint64_t>(capacity) * 2);
                    std::memcpy(larger.get(), bytes.get(), size);
                    bytes = std::move(larger);
                    capacity *= 2;
                }
                const std::size_t n = reader->Read(bytes.get() + size, capacity - size);
                if (n == 0) break;
                size += n;
            }
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            // Reading would have ended at a Ctrl+Z before the failure; otherwise only whole
            // lines count.
            if (!std::memchr(bytes.get(), '\x1a', size)) {
                snapshot.failure = std::current_exception();
                while (size > 0 && bytes[size - 1] != '\n') --size;
                if (size == 0) return snapshot;
            }
        }
        reader.reset();
        snapshot.lines = LogLines(std::move(bytes), size);
    } catch (const std::bad_alloc&) {
        throw KivoError("Out of memory");
    }
    return snapshot;
}

} // namespace kivo
