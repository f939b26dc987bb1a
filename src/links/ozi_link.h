#pragma once
// Output 0: the OziExplorer API library, loaded at run time.

namespace tolvex {

class Host;

// A map click of the mapping program, queued by the link for the thread that runs the tick.
struct OziClick {
    bool Double = false;
    double Latitude = 0;   // degrees
    double Longitude = 0;  // degrees
};

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
    // Takes the oldest queued click; false when there is none. Safe against clicks arriving meanwhile.
    virtual bool TakeClick(OziClick& click) = 0;
};

}  // namespace tolvex
