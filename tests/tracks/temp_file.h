#pragma once
// Files a test writes for itself, removed when the test ends.

#include <unistd.h>

#include <cstdio>
#include <string>

namespace tolvex::test {

class TempFile {
public:
    explicit TempFile(const std::string& suffix, const std::string& content = {})
    {
        char pattern[] = "/tmp/tolvex-test-XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0)
            close(fd);
        m_base = pattern;
        m_path = m_base + suffix;
        Write(content);
    }
    ~TempFile()
    {
        std::remove(m_path.c_str());
        std::remove(m_base.c_str());
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    void Write(const std::string& content) const
    {
        if (std::FILE* f = std::fopen(m_path.c_str(), "wb")) {
            std::fwrite(content.data(), 1, content.size(), f);
            std::fclose(f);
        }
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_base;
    std::string m_path;
};

inline std::string ReadAll(const std::string& path)
{
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

}  // namespace tolvex::test
