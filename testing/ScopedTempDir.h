// ScopedTempDir: a fresh directory under $TMPDIR (or /tmp) for tests that
// touch the real disk; it and everything in it are removed when the object
// goes out of scope.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace xmdtest {

class ScopedTempDir {
public:
    ScopedTempDir() {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/xmdtest.XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("cannot create a temporary directory");
        m_path = buf.data();
    }
    ~ScopedTempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;

    // The directory, without a trailing "/".
    const std::string& path() const { return m_path; }
    // path() + "/" + name.
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace xmdtest
