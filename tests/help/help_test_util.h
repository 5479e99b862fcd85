#pragma once
// Shared helpers of the help tests: a temporary directory per test, file bytes, and an error
// callback that records messages instead of ending the process.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace helptest {

inline std::vector<std::string>& messages() {
    static std::vector<std::string> m;
    return m;
}

inline void recordError(const char* message) { messages().push_back(message); }

inline std::string lastMessage() { return messages().empty() ? "" : messages().back(); }

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "helptest.XXXXXX").string();
        char* made = mkdtemp(templ.data());
        if (!made) {   // $TMPDIR unusable: fall back to /tmp
            templ = "/tmp/helptest.XXXXXX";
            made = mkdtemp(templ.data());
        }
        path_ = made ? made : "";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline void put32(std::string& s, std::size_t at, unsigned v) {
    if (s.size() < at + 4) s.resize(at + 4, '\0');
    for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xff);
}

inline void put16(std::string& s, std::size_t at, unsigned v) {
    if (s.size() < at + 2) s.resize(at + 2, '\0');
    s[at] = char(v & 0xff);
    s[at + 1] = char((v >> 8) & 0xff);
}

inline unsigned get32(const std::string& s, std::size_t at) {
    return unsigned(static_cast<unsigned char>(s[at])) | (unsigned(static_cast<unsigned char>(s[at + 1])) << 8) |
           (unsigned(static_cast<unsigned char>(s[at + 2])) << 16) |
           (unsigned(static_cast<unsigned char>(s[at + 3])) << 24);
}

// A complete rollback journal that puts a file of bytes `now` back to `before` (page size 1024):
// the header page and every page that differs, as an interrupted commit leaves it.
inline std::string journalFor(const std::string& before, const std::string& now) {
    std::string j = "KHJ1";
    std::string w(4, '\0');
    put32(w, 0, 1024);
    j += w;
    put32(w, 0, unsigned(before.size() / 1024));
    j += w;
    unsigned count = 0;
    for (std::size_t p = 0; p < before.size() / 1024; ++p) {
        if (p != 0 && now.size() >= (p + 1) * 1024 && now.compare(p * 1024, 1024, before, p * 1024, 1024) == 0)
            continue;
        put32(w, 0, unsigned(p));
        j += w + before.substr(p * 1024, 1024);
        ++count;
    }
    put32(w, 0, count);
    return j + w + "KHJE";
}

}  // namespace helptest
