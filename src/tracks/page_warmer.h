#pragma once
// Faults in the pages of a growing array on another core, a few megabytes ahead of the code that
// fills it: the kernel zeroes every fresh page at its first touch, and for a million-point track
// that zeroing would otherwise fall on the loader.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>

namespace tolvex {

class PageWarmer {
public:
    // Starts warming [begin, begin + bytes), never more than Ahead bytes beyond what Reached says.
    PageWarmer(void* begin, std::size_t bytes);
    ~PageWarmer();  // stops and waits for the thread
    PageWarmer(const PageWarmer&) = delete;
    PageWarmer& operator=(const PageWarmer&) = delete;

    // The filler has written this many bytes from begin.
    void Reached(std::size_t bytes);

    static constexpr std::size_t Ahead = std::size_t{8} << 20;

private:
    void Run();

    char* m_begin;
    std::size_t m_bytes;
    std::size_t m_reached = 0;
    bool m_stop = false;
    std::mutex m_mutex;
    std::condition_variable m_moved;
    std::thread m_thread;
};

}  // namespace tolvex
