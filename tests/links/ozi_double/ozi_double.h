#pragma once
// Controls of the API library stand-in (ozi_double.c). Tests reach them through OziDouble below,
// which opens the same library the link loads, so both see one set of records. A program started
// by a test appends its calls, one a line, to the file named by OZI_DOUBLE_LOG.

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*ozi_click_callback)(int, int, int, double latitude, double longitude);
typedef void (*ozi_double_sink)(const char* call);

void ozi_double_reset(void);                  // forget the calls, running again, no sink
void ozi_double_set_running(int running);     // 0: oziGetExePath returns -1 (also OZI_DOUBLE_NOT_RUNNING=1)
void ozi_double_set_sink(ozi_double_sink to); // also hands every call to a function of the test
int ozi_double_call_count(void);
int ozi_double_copy_call(int index, char* text, int size);
// 1 when a callback was registered and called.
int ozi_double_fire_click(int is_double, double latitude, double longitude);
int ozi_double_fire_click_from_thread(int is_double, double latitude, double longitude);

#ifdef __cplusplus
}

#include <dlfcn.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace tolvex::testing {

class OziDouble {
public:
    explicit OziDouble(const char* path = OZI_DOUBLE) : m_module(dlopen(path, RTLD_NOW | RTLD_LOCAL))
    {
        if (m_module == nullptr) throw std::runtime_error(std::string("cannot load the test double: ") + dlerror());
        Get(m_reset, "ozi_double_reset");
        Get(m_setRunning, "ozi_double_set_running");
        Get(m_setSink, "ozi_double_set_sink");
        Get(m_count, "ozi_double_call_count");
        Get(m_copy, "ozi_double_copy_call");
        Get(m_fire, "ozi_double_fire_click");
        Get(m_fireThread, "ozi_double_fire_click_from_thread");
        m_reset();
    }
    ~OziDouble() { Release(); }
    OziDouble(const OziDouble&) = delete;
    OziDouble& operator=(const OziDouble&) = delete;

    // Lets the library unload as soon as the link closes it (the records go with it).
    void Release()
    {
        if (m_module == nullptr) return;
        dlclose(m_module);
        m_module = nullptr;
    }

    void Reset() { m_reset(); }
    void SetRunning(bool running) { m_setRunning(running ? 1 : 0); }
    void SetSink(ozi_double_sink to) { m_setSink(to); }
    bool FireClick(bool isDouble, double lat, double lon) { return m_fire(isDouble, lat, lon) != 0; }
    bool FireClickFromThread(bool isDouble, double lat, double lon) { return m_fireThread(isDouble, lat, lon) != 0; }

    std::vector<std::string> Calls() const
    {
        std::vector<std::string> calls;
        char text[160];
        for (int i = 0, n = m_count(); i < n; ++i)
            if (m_copy(i, text, sizeof text)) calls.emplace_back(text);
        return calls;
    }

private:
    template <typename Fn>
    void Get(Fn& fn, const char* name)
    {
        fn = reinterpret_cast<Fn>(dlsym(m_module, name));
        if (fn == nullptr) throw std::runtime_error(std::string("test double lacks ") + name);
    }

    void* m_module;
    void (*m_reset)() = nullptr;
    void (*m_setRunning)(int) = nullptr;
    void (*m_setSink)(ozi_double_sink) = nullptr;
    int (*m_count)() = nullptr;
    int (*m_copy)(int, char*, int) = nullptr;
    int (*m_fire)(int, double, double) = nullptr;
    int (*m_fireThread)(int, double, double) = nullptr;
};

}  // namespace tolvex::testing
#endif
