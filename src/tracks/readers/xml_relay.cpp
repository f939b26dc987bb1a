#include "tracks/readers/xml_relay.h"

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "config/file_io.h"
#include "sim/copy_short.h"

namespace tolvex {
namespace {

// Lengths travel in 32 bits: no name, value or piece of text of a track file comes near that,
// even a UTF-16 one grown by its decoding.
static_assert(MaxTrackFileBytes / 2 * 3 < (std::uint64_t{1} << 32));

// Events travel in blocks small enough to stay in the cache between the two threads, and few
// enough in flight that memory stays at a few megabytes whatever the file.
constexpr std::size_t BlockBytes = std::size_t{512} << 10;
constexpr std::size_t BlocksInFlight = 4;

enum class Event : char { Start, End, Text, Declaration, EndDocument };

struct Block {
    std::unique_ptr<char[]> Bytes;
    std::size_t Capacity = 0;
    std::size_t Used = 0;
};

class Channel {
public:
    // The scanner hands its block over and gets an empty one; false once the relay has given up.
    bool Send(Block& block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_gaveUp || m_full.size() < BlocksInFlight; });
        if (m_gaveUp)
            return false;
        m_full.push_back(std::move(block));
        block = Block{};
        if (!m_empty.empty()) {
            block = std::move(m_empty.back());
            m_empty.pop_back();
        }
        lock.unlock();
        m_changed.notify_all();
        return true;
    }

    void Close(bool wellFormed, std::exception_ptr error)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_closed = true;
            m_wellFormed = wellFormed;
            m_error = std::move(error);
        }
        m_changed.notify_all();
    }

    bool GaveUp()
    {
        const std::lock_guard lock(m_mutex);
        return m_gaveUp;
    }

    // The next block of events; false once the scan has ended and every block was taken.
    bool Receive(Block& block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || !m_full.empty(); });
        if (m_full.empty())
            return false;
        block = std::move(m_full.front());
        m_full.pop_front();
        lock.unlock();
        m_changed.notify_all();
        return true;
    }

    void Recycle(Block block)
    {
        block.Used = 0;
        const std::lock_guard lock(m_mutex);
        if (block.Capacity == BlockBytes)
            m_empty.push_back(std::move(block));
    }

    void GiveUp()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_gaveUp = true;
        }
        m_changed.notify_all();
    }

    // After the last block: whether the document was well-formed; the scan's exception is thrown.
    bool Result()
    {
        const std::lock_guard lock(m_mutex);
        if (m_error)
            std::rethrow_exception(m_error);
        return m_wellFormed;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block> m_full;
    std::vector<Block> m_empty;
    bool m_closed = false;
    bool m_gaveUp = false;
    bool m_wellFormed = false;
    std::exception_ptr m_error;
};

void Put32(char*& out, std::uint32_t value)
{
    std::memcpy(out, &value, sizeof value);
    out += sizeof value;
}

void PutText(char*& out, std::string_view text)
{
    Put32(out, static_cast<std::uint32_t>(text.size()));
    CopyBytes(out, text.data(), text.size());
    out += text.size();
}

std::uint32_t Get32(const char*& in)
{
    std::uint32_t value;
    std::memcpy(&value, in, sizeof value);
    in += sizeof value;
    return value;
}

std::string_view GetText(const char*& in)
{
    const std::uint32_t size = Get32(in);
    const std::string_view text(in, size);
    in += size;
    return text;
}

// The scanner's side: every event copied into the current block, the block sent when full.
class EventWriter final : public XmlHandler {
public:
    explicit EventWriter(Channel& channel) : m_channel(channel) {}

    void StartElement(const XmlElement& e) override
    {
        std::size_t bytes = 1 + 4 + 4 + e.Name.size() + 4;
        for (const XmlAttribute& a : e.Attributes)
            bytes += 4 + a.Name.size() + 4 + a.Value.size();
        char* out = Room(bytes);
        if (!out)
            return;
        *out++ = static_cast<char>(Event::Start);
        Put32(out, static_cast<std::uint32_t>(e.Depth));
        PutText(out, e.Name);
        Put32(out, static_cast<std::uint32_t>(e.Attributes.size()));
        for (const XmlAttribute& a : e.Attributes) {
            PutText(out, a.Name);
            PutText(out, a.Value);
        }
    }

    void EndElement(std::string_view, int depth) override
    {
        char* out = Room(1 + 4);
        if (!out)
            return;
        *out++ = static_cast<char>(Event::End);
        Put32(out, static_cast<std::uint32_t>(depth));
    }

    void Text(std::string_view text) override
    {
        // A long run (a KML coordinates list) goes in pieces that fit the usual blocks, as a
        // handler takes text in any pieces.
        constexpr std::size_t Piece = BlockBytes / 4;
        for (; text.size() > Piece; text.remove_prefix(Piece))
            PutEvent(Event::Text, text.substr(0, Piece));
        PutEvent(Event::Text, text);
    }
    void Declaration(std::string_view encoding) override { PutEvent(Event::Declaration, encoding); }

    void EndDocument(bool utf8) override
    {
        if (char* out = Room(2)) {
            out[0] = static_cast<char>(Event::EndDocument);
            out[1] = utf8 ? 1 : 0;
        }
    }

    // Sends what the current block holds.
    void Flush()
    {
        if (m_block.Used > 0 && !m_stopped && !m_channel.Send(m_block))
            m_stopped = true;
    }

private:
    void PutEvent(Event event, std::string_view text)
    {
        if (char* out = Room(1 + 4 + text.size())) {
            *out++ = static_cast<char>(event);
            PutText(out, text);
        }
    }

    // Where the next event of this many bytes goes; null once the relay has given up.
    char* Room(std::size_t bytes)
    {
        if (m_block.Used + bytes > m_block.Capacity) {
            Flush();
            if (m_stopped)
                return nullptr;
            if (m_block.Capacity < bytes) {
                // One block a size for the usual events; an event beyond it gets one of its own.
                m_block.Capacity = std::max(BlockBytes, bytes);
                m_block.Bytes = std::make_unique_for_overwrite<char[]>(m_block.Capacity);
            }
            m_block.Used = 0;
        }
        char* out = m_block.Bytes.get() + m_block.Used;
        m_block.Used += bytes;
        return out;
    }

    Channel& m_channel;
    Block m_block;
    bool m_stopped = false;
};

// The handler's side. The names of the open elements are kept here, so that the scanner's thread,
// the busier one, sends neither the parent of an element nor the name of its end.
struct Relayed {
    std::vector<std::string> Names;  // by depth
    std::vector<XmlAttribute> Attributes;
};

void Relay(const Block& block, XmlHandler& handler, Relayed& open)
{
    const char* in = block.Bytes.get();
    const char* const end = in + block.Used;
    while (in < end) {
        switch (static_cast<Event>(*in++)) {
        case Event::Start: {
            XmlElement element;
            element.Depth = static_cast<int>(Get32(in));
            const auto depth = static_cast<std::size_t>(element.Depth);
            if (open.Names.size() <= depth)
                open.Names.resize(depth + 1);
            open.Names[depth].assign(GetText(in));
            element.Name = open.Names[depth];
            if (depth > 0)
                element.Parent = open.Names[depth - 1];
            open.Attributes.resize(Get32(in));
            for (XmlAttribute& a : open.Attributes) {
                a.Name = GetText(in);
                a.Value = GetText(in);
            }
            element.Attributes = open.Attributes;
            handler.StartElement(element);
            break;
        }
        case Event::End: {
            const int depth = static_cast<int>(Get32(in));
            handler.EndElement(open.Names[static_cast<std::size_t>(depth)], depth);
            break;
        }
        case Event::Text:
            handler.Text(GetText(in));
            break;
        case Event::Declaration:
            handler.Declaration(GetText(in));
            break;
        case Event::EndDocument:
            handler.EndDocument(*in++ != 0);
            break;
        }
    }
}

void Scan(TextFileReader& file, Channel& channel)
{
    try {
        EventWriter writer(channel);
        const bool wellFormed = ScanXmlPieces(file, writer, [&] { return channel.GaveUp(); });
        writer.Flush();
        channel.Close(wellFormed, nullptr);
    } catch (...) {
        channel.Close(false, std::current_exception());
    }
}

}  // namespace

std::optional<bool> RelayXmlFile(TextFileReader& file, XmlHandler& handler)
{
    Channel channel;
    std::thread scanner;
    try {
        scanner = std::thread([&] { Scan(file, channel); });
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    // However the relay ends, the scan stops and its thread is waited for.
    struct Stop {
        Channel& Scan;
        std::thread& Thread;
        ~Stop()
        {
            Scan.GiveUp();
            Thread.join();
        }
    } stop{channel, scanner};

    Block block;
    Relayed open;
    while (channel.Receive(block)) {
        Relay(block, handler, open);
        channel.Recycle(std::move(block));
    }
    return channel.Result();
}

}  // namespace tolvex
