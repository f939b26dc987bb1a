#include "links/ozi_api_link.h"

#include <dlfcn.h>

#include <cmath>
#include <filesystem>
#include <system_error>

#include "config/settings.h"
#include "sim/host.h"
#include "sim/texts.h"

// The API library is C; these are its declarations.
extern "C" {
using OziClickCallback = void (*)(int, int, int, double latitude, double longitude);
using OziGetExePathFn = int (*)(char** path, int* length);
using OziClickOnFn = int (*)(OziClickCallback callback);
using OziNoArgFn = int (*)();
using OziSendMMstringFn = int (*)(char** sentence);
}

namespace tolvex {

struct OziApiLink::EntryPoints {
    OziGetExePathFn GetExePath = nullptr;
    OziClickOnFn MapSingleClickON = nullptr;
    OziNoArgFn MapSingleClickOFF = nullptr;
    OziClickOnFn MapDblClickON = nullptr;
    OziNoArgFn MapDblClickOFF = nullptr;
    OziNoArgFn StartMMapi = nullptr;
    OziSendMMstringFn SendMMstring = nullptr;
};

namespace {

struct StartMessage {
    OziStartResult Result;
    const char* Text;
};

constexpr StartMessage StartMessages[] = {
    {OziStartResult::LibraryMissing, Texts::Mark("未找到 %s ")},
    {OziStartResult::EntryPointMissing, Texts::Mark("%s 版本太低 ")},
    {OziStartResult::NotRunning, Texts::Mark("OziExplorer 尚未运行 ")},
};

constexpr const char* ErrorCaption = Texts::Mark("错误");

// The link whose callbacks are registered; guarded so that a click arriving on the library's thread
// never meets a link being stopped or destroyed.
std::mutex ActiveLinkMutex;
OziApiLink* ActiveLink = nullptr;

void DeliverClick(bool isDouble, double latitude, double longitude)
{
    std::lock_guard lock(ActiveLinkMutex);
    if (ActiveLink != nullptr) ActiveLink->QueueClick(isDouble, latitude, longitude);
}

extern "C" {
static void OnOziMapClick(int, int, int, double latitude, double longitude)
{
    DeliverClick(false, latitude, longitude);
}
static void OnOziMapDblClick(int, int, int, double latitude, double longitude)
{
    DeliverClick(true, latitude, longitude);
}
}

void SetActiveLink(OziApiLink* link, OziApiLink* expected)
{
    std::lock_guard lock(ActiveLinkMutex);
    if (expected == nullptr || ActiveLink == expected) ActiveLink = link;
}

// dlopen searches the loader's paths only; the library is also looked for beside the program
// and in the program's own library folder.
void* LoadApiLibrary(const std::string& name)
{
    if (name.empty()) return nullptr;
    void* module = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr || name.find('/') != std::string::npos) return module;
    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return nullptr;
    // Beside the program, then in the install prefix's library folder, reached from bin/ or
    // from libexec/tolvex/ alike.
    for (const char* relative : {".", TOLVEX_BIN_TO_PKGLIB, TOLVEX_LIBEXEC_TO_PKGLIB}) {
        const std::string candidate = (exe.parent_path() / relative / name).lexically_normal().string();
        if (void* found = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return found;
    }
    return nullptr;
}

template <typename Fn>
bool Resolve(void* module, const char* name, Fn& entry)
{
    entry = reinterpret_cast<Fn>(dlsym(module, name));
    return entry != nullptr;
}

}  // namespace

std::string OziStartMessage(OziStartResult result, const std::string& library)
{
    for (const auto& row : StartMessages) {
        if (row.Result != result) continue;
        // The library named as the settings name it, which is what the loader was asked for.
        std::string text = Texts::tr(row.Text);
        if (const auto at = text.find("%s"); at != std::string::npos) text.replace(at, 2, library);
        return text;
    }
    return {};
}

OziApiLink::OziApiLink(std::string library)
    : m_library(std::move(library)), m_entries(std::make_unique<EntryPoints>())
{
}

OziApiLink::~OziApiLink() { Stop(); }

OziStartResult OziApiLink::StartOziLink()
{
    if (IsUp()) return OziStartResult::Ready;
    void* module = LoadApiLibrary(m_library);
    if (module == nullptr) return OziStartResult::LibraryMissing;

    EntryPoints e;
    const bool complete = Resolve(module, "oziGetExePath", e.GetExePath) &&
                          Resolve(module, "oziMapSingleClickON", e.MapSingleClickON) &&
                          Resolve(module, "oziMapSingleClickOFF", e.MapSingleClickOFF) &&
                          Resolve(module, "oziMapDblClickON", e.MapDblClickON) &&
                          Resolve(module, "oziMapDblClickOFF", e.MapDblClickOFF) &&
                          Resolve(module, "oziStartMMapi", e.StartMMapi) &&
                          Resolve(module, "oziSendMMstring", e.SendMMstring);
    if (!complete) {
        dlclose(module);
        return OziStartResult::EntryPointMissing;
    }

    // The path is not used; only -1 (OziExplorer not running) counts.
    char* path = nullptr;
    int length = 0;
    if (e.GetExePath(&path, &length) == -1) {
        dlclose(module);
        return OziStartResult::NotRunning;
    }
    m_module = module;
    *m_entries = e;
    return OziStartResult::Ready;
}

bool OziApiLink::Start(Host& host)
{
    if (IsUp()) return true;
    const OziStartResult result = StartOziLink();
    if (result != OziStartResult::Ready) {
        host.ShowMessage(OziStartMessage(result, m_library), Texts::tr(ErrorCaption), MessageIcon::Error);
        return false;
    }
    SetActiveLink(this, nullptr);
    m_entries->MapSingleClickON(&OnOziMapClick);
    m_entries->MapDblClickON(&OnOziMapDblClick);
    m_entries->StartMMapi();
    return true;
}

void OziApiLink::Stop()
{
    if (!IsUp()) return;
    m_entries->MapSingleClickOFF();
    m_entries->MapDblClickOFF();
    // A callback still on its way either queued its click already or finds no link.
    SetActiveLink(nullptr, this);
    Unload();
}

void OziApiLink::Unload()
{
    dlclose(m_module);
    m_module = nullptr;
    *m_entries = EntryPoints{};
}

void OziApiLink::StartMMapi()
{
    if (IsUp()) m_entries->StartMMapi();
}

void OziApiLink::Send(const char* sentence)
{
    if (!IsUp() || sentence == nullptr) return;
    m_sendCopy.assign(sentence);
    char* text = m_sendCopy.data();
    m_entries->SendMMstring(&text);
}

void OziApiLink::QueueClick(bool isDouble, double latitude, double longitude)
{
    const bool onMap = std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90 &&
                       std::fabs(longitude) <= 180;
    if (!onMap) return;
    std::lock_guard lock(m_clickMutex);
    if (m_clicks.size() >= MaxQueuedClicks) m_clicks.pop_front();
    m_clicks.push_back(OziClick{isDouble, latitude, longitude});
}

bool OziApiLink::TakeClick(OziClick& click)
{
    std::lock_guard lock(m_clickMutex);
    if (m_clicks.empty()) return false;
    click = m_clicks.front();
    m_clicks.pop_front();
    return true;
}

std::unique_ptr<OziLink> MakeOziApiLink(const Settings& settings)
{
    return std::make_unique<OziApiLink>(settings.OziApiLibrary);
}

}  // namespace tolvex
