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
    std::optional<std::uint64_t> Size() const override { return content_.size(); }

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

std::vector<std::string> FileSystem::NamesBeginningWith(const std::string&,
                                                        const std::string&) const {
    return {};
}

int RemoveInterruptedRewrites(FileSystem& files, const std::string& path) {
    const std::string target = FinalPath(path);
    const std::size_t cut = target.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : target.substr(0, cut + 1);
    const std::string prefix = target.substr(folder.size()) + ".tmp";
    int removed = 0;
    for (const std::string& name : files.NamesBeginningWith(folder, prefix)) {
        // Only the writer's own names: ".tmp" and digits, nothing else.
        const std::string rest = name.substr(std::min(prefix.size(), name.size()));
        const bool own = name.size() > prefix.size() &&
                         name.compare(0, prefix.size(), prefix) == 0 &&
                         rest.find_first_not_of("0123456789") == std::string::npos;
        if (own && files.Delete(folder + name)) ++removed;
    }
    return removed;
}

} // namespace kivo
