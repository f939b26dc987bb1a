#pragma once
// Output 0: the OziExplorer API library, loaded at run time.

namespace tolvex {

class Host;

class OziLink {
public:
    virtual ~OziLink() = default;
    virtual bool IsUp() const = 0;
    // StartOziLink with its messages; true when the link is up afterwards.
    virtual bool Start(Host& host) = 0;
    // StopOziLink: unregisters both click callbacks, then unloads the library.
    virtual void Stop() = 0;
    virtual void StartMMapi() = 0;
    // oziSendMMstring with one sentence without line end.
    virtual void Send(const char* sentence) = 0;
};

}  // namespace tolvex
