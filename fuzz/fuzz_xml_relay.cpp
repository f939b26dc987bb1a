// The XML scanner fed from a file on a thread of its own must tell its handler exactly what it
// tells when it runs on the handler's thread.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "tracks/readers/xml_scanner.h"

namespace {

class Log final : public tolvex::XmlHandler {
public:
    void StartElement(const tolvex::XmlElement& e) override
    {
        EndText();
        Events += "S" + std::string(e.Name) + "|" + std::string(e.Parent) + "|" + std::to_string(e.Depth);
        for (const tolvex::XmlAttribute& a : e.Attributes)
            Events += "|" + std::string(a.Name) + "=" + std::string(a.Value);
        Events += '\n';
    }
    void EndElement(std::string_view name, int depth) override
    {
        EndText();
        Events += "E" + std::string(name) + "|" + std::to_string(depth) + '\n';
    }
    // Text may come in other pieces: adjacent ones are joined.
    void Text(std::string_view text) override
    {
        if (!m_inText)
            Events += "T";
        Events += text;
        m_inText = true;
    }
    void Declaration(std::string_view encoding) override
    {
        EndText();
        Events += "D" + std::string(encoding) + '\n';
    }
    void EndDocument(bool utf8) override
    {
        EndText();
        Events += utf8 ? "F1\n" : "F0\n";
    }
    std::string Events;

private:
    void EndText()
    {
        if (m_inText)
            Events += '\n';
        m_inText = false;
    }
    bool m_inText = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const int fd = ::memfd_create("fuzz-xml", MFD_CLOEXEC);
    if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size)) __builtin_trap();
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    Log direct, relayed;
    // Small pieces, so that tokens cross them and the events fill several blocks.
    const bool directResult = tolvex::ScanXmlFile(path, direct, 64, UINT64_MAX);
    const bool relayedResult = tolvex::ScanXmlFile(path, relayed, 64, 0);
    ::close(fd);
    if (directResult != relayedResult || direct.Events != relayed.Events) __builtin_trap();
    return 0;
}
