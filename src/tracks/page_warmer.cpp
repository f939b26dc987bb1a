#include "tracks/page_warmer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace tolvex {

PageWarmer::PageWarmer(void* begin, std::size_t bytes) : m_begin(static_cast<char*>(begin)), m_bytes(bytes)
{
    m_thread = std::thread([this] { Run(); });
}

PageWarmer::~PageWarmer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_moved.notify_all();
    m_thread.join();
}

void PageWarmer::Reached(std::size_t bytes)
{
    {
        const std::lock_guard lock(m_mutex);
        m_reached = bytes;
    }
    m_moved.notify_all();
}

void PageWarmer::Run()
{
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    // The first page may hold the allocator's own header: it is mapped all the same.
    std::uintptr_t warmed = reinterpret_cast<std::uintptr_t>(m_begin) & ~(page - 1);
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(m_begin) + m_bytes;
    std::unique_lock lock(m_mutex);
    for (;;) {
        std::uintptr_t target = 0;
        m_moved.wait(lock, [&] {
            target = std::min(end, reinterpret_cast<std::uintptr_t>(m_begin) + m_reached + Ahead) & ~(page - 1);
            return m_stop || target > warmed;
        });
        if (m_stop) return;
        lock.unlock();
        // Only the page tables change: the contents stay as they are. A kernel without this
        // request says so, and the filler faults its pages in itself, as it would anyway.
        const bool done = ::madvise(reinterpret_cast<void*>(warmed), target - warmed, MADV_POPULATE_WRITE) != 0;
        lock.lock();
        if (done) return;
        warmed = target;
    }
}

}  // namespace tolvex
