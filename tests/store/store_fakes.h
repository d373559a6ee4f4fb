#pragma once
// Stand-ins for the store's tests: a predictable collator and files kept in memory.
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "algemeen/errors.h"
#include "platform/collation.h"
#include "platform/files.h"

namespace kivo::test {

// Letters without case first, then lower case before upper case; can be told to fail.
class TestCollator : public Collator {
public:
    int Compare(std::string_view a, std::string_view b, bool ignoreCase) const override {
        ++calls;
        if (fail) throw KivoError("Invalid locale.");
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
            if (lower(a[i]) != lower(b[i])) return lower(a[i]) < lower(b[i]) ? -1 : 1;
        if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
        if (ignoreCase) return 0;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return a[i] > b[i] ? -1 : 1; // lower case first
        return 0;
    }
    bool fail = false;
    mutable int calls = 0;
};

class MemFileSystem : public FileSystem {
public:
    bool Exists(const std::string& path) const override { return files.count(path) > 0; }
    std::string ReadAll(const std::string& path) const override {
        auto it = files.find(path);
        if (it == files.end() || unreadable.count(path))
            throw FileOpenError("Cannot open file \"" + path + "\". Access is denied.");
        return it->second;
    }
    void ReplaceAll(const std::string& path, const std::string& content) override {
        if (unwritable.count(path))
            throw KivoError("Cannot create file \"" + path + "\". Access is denied.");
        files[path] = content;
    }
    bool CopyIfAbsent(const std::string& from, const std::string& to) override {
        if (files.count(to) || !files.count(from) || failCopies) return false;
        files[to] = files[from];
        return true;
    }
    bool Delete(const std::string& path) override { return files.erase(path) > 0; }
    // Any change of the content is a change of the stamp.
    std::optional<FileStamp> Stamp(const std::string& path) const override {
        auto it = files.find(path);
        if (it == files.end()) return std::nullopt;
        return FileStamp{it->second.size(),
                         static_cast<std::int64_t>(std::hash<std::string>()(it->second))};
    }

    std::map<std::string, std::string> files;
    std::set<std::string> unreadable;
    std::set<std::string> unwritable;
    bool failCopies = false;
};

} // namespace kivo::test
