#include "platform/files.h"

#include <algorithm>
#include <cstring>

namespace kivo {

namespace {

// Serves a content read whole, for file systems without a reader of their own.
class WholeContentReader : public FileReader {
public:
    explicit WholeContentReader(std::string content) : content_(std::move(content)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, content_.size() - pos_);
        std::memcpy(buffer, content_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string content_;
    std::size_t pos_ = 0;
};

} // namespace

std::unique_ptr<FileReader> FileSystem::OpenRead(const std::string& path) const {
    return std::make_unique<WholeContentReader>(ReadAll(path));
}

std::optional<FileStamp> FileSystem::Stamp(const std::string&) const {
    return std::nullopt;
}

} // namespace kivo
