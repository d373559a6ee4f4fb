#pragma once
// Files kept in memory; single paths can be made unreadable (locked by another writer),
// unwritable, undeletable, failing part-way through a piece-by-piece read, and copies can be
// refused.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/files.h"

namespace kivo::test {

class MemFiles : public FileSystem {
public:
    bool Exists(const std::string& path) const override { return files.count(path) > 0; }
    std::string ReadAll(const std::string& path) const override {
        auto it = files.find(path);
        if (it == files.end() || unreadable.count(path))
            throw FileOpenError("Cannot open file \"" + path + "\". Access is denied.");
        return it->second;
    }
    // A path in readFailsAt serves that many bytes, then fails as a disk would.
    std::unique_ptr<FileReader> OpenRead(const std::string& path) const override {
        auto it = readFailsAt.find(path);
        if (it == readFailsAt.end()) return FileSystem::OpenRead(path);
        struct Failing : FileReader {
            std::string content;
            std::size_t pos = 0, failAt = 0;
            std::size_t Read(char* buffer, std::size_t size) override {
                if (pos >= failAt) throw KivoError("Read error: The device is not ready.");
                const std::size_t n = std::min(size, failAt - pos);
                std::memcpy(buffer, content.data() + pos, n);
                pos += n;
                return n;
            }
            std::optional<std::uint64_t> Size() const override { return content.size(); }
        };
        auto reader = std::make_unique<Failing>();
        reader->content = ReadAll(path);
        reader->failAt = std::min(it->second, reader->content.size());
        return reader;
    }
    void ReplaceAll(const std::string& path, const std::string& content) override {
        if (unwritable.count(path))
            throw KivoError("Cannot create file \"" + path + "\". Access is denied.");
        files[path] = content;
        ++replaces;
    }
    // A path locked by another writer (unreadable) refuses the append as an unwritable one.
    void Append(const std::string& path, const std::string& content) override {
        if (!files.count(path) || unwritable.count(path) || unreadable.count(path))
            throw KivoError("Cannot create file \"" + path + "\". Access is denied.");
        files[path] += content;
        ++appends;
    }
    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        if (files.count(to) || !files.count(from) || failCopies) return false;
        files[to] = files[from];
        return true;
    }
    bool Delete(const std::string& path) override {
        if (undeletable.count(path)) return false;
        return files.erase(path) > 0;
    }
    std::vector<std::string> NamesBeginningWith(const std::string& folder,
                                                const std::string& prefix) const override {
        std::vector<std::string> names;
        for (const auto& [path, content] : files)
            if (path.compare(0, folder.size(), folder) == 0 &&
                path.find_first_of("\\/", folder.size()) == std::string::npos &&
                path.compare(folder.size(), prefix.size(), prefix) == 0)
                names.push_back(path.substr(folder.size()));
        return names;
    }
    // Any change of the content is a change of the stamp.
    std::optional<FileStamp> Stamp(const std::string& path) const override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return FileStamp{it->second.size(),
                         static_cast<std::int64_t>(std::hash<std::string>()(it->second))};
    }

    std::map<std::string, std::string> files;
    std::set<std::string> unreadable, unwritable, undeletable;
    std::map<std::string, std::size_t> readFailsAt;
    bool failCopies = false;
    int appends = 0, replaces = 0;
};

} // namespace kivo::test
