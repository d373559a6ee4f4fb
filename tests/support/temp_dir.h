#pragma once
// A fresh folder for one test, removed with everything in it afterwards.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kivo::test {

class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                ("kivotest-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with one trailing separator, as AppDir is.
    std::string Dir() const {
#ifdef _WIN32
        return path_.string() + "\\";
#else
        return path_.string() + "/";
#endif
    }
    std::string File(const std::string& name) const {
        return Dir() + name;
    }
    void Write(const std::string& name, const std::string& content) const {
        std::ofstream out(File(name), std::ios::binary);
        out << content;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    bool Exists(const std::string& name) const {
        return std::filesystem::exists(File(name));
    }

private:
    std::filesystem::path path_;
};

} // namespace kivo::test
