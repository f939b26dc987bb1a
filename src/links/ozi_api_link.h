#pragma once
// Output 0 through the OziExplorer API library, loaded with dlopen when the outputs start.

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "links/ozi_link.h"

namespace tolvex {

struct Settings;

// What StartOziLink reports.
enum class OziStartResult : int {
    Ready = 0,               // library loaded, every entry point found, OziExplorer runs
    LibraryMissing = -1,     // "未找到 <library> "
    EntryPointMissing = -2,  // "<library> 版本太低 "
    NotRunning = -3,         // "OziExplorer 尚未运行 "
};

// The message the operator sees for a failed start, naming the library tried; empty for Ready.
std::string OziStartMessage(OziStartResult result, const std::string& library);

// At most one link is up per process: the library's click callbacks are plain functions and
// reach the link that is up through a process-wide pointer.
class OziApiLink final : public OziLink {
public:
    // library: a file name (searched by the dynamic loader, then beside the executable) or a path.
    explicit OziApiLink(std::string library);
    ~OziApiLink() override;
    OziApiLink(const OziApiLink&) = delete;
    OziApiLink& operator=(const OziApiLink&) = delete;

    bool IsUp() const override { return m_module != nullptr; }
    // StartOziLink; on Ready registers both click callbacks and starts the moving-map interface,
    // otherwise shows the failure with caption "错误". True when the link is up afterwards.
    bool Start(Host& host) override;
    // StopOziLink: both callbacks off, then the library unloaded. Nothing when down.
    void Stop() override;
    // oziStartMMapi. StartOutputs calls it at every start while up; the options sheet calls it after
    // OK when the link is up and NoNMEA is clear. Nothing when down.
    void StartMMapi() override;
    // oziSendMMstring with a private copy of the sentence, so the library cannot touch the text the
    // serial outputs send next. Nothing when down.
    void Send(const char* sentence) override;
    bool TakeClick(OziClick& click) override;

    // Loads the library and resolves the seven entry points; the link stays down unless Ready.
    OziStartResult StartOziLink();

    // Called by the library's callbacks, on whatever thread it uses. Clicks off the map
    // (not finite or outside ±90 / ±180 degrees) are dropped.
    void QueueClick(bool isDouble, double latitude, double longitude);

    // Clicks kept while no tick takes them; the oldest give way.
    static constexpr std::size_t MaxQueuedClicks = 64;

private:
    struct EntryPoints;
    void Unload();

    std::string m_library;
    void* m_module = nullptr;
    std::unique_ptr<EntryPoints> m_entries;
    std::string m_sendCopy;

    std::mutex m_clickMutex;
    std::deque<OziClick> m_clicks;
};

// The link the command line and the window give output 0.
std::unique_ptr<OziLink> MakeOziApiLink(const Settings& settings);

}  // namespace tolvex
