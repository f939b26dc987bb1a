#pragma once
// Virtual COM ports: one pseudo-terminal per port, reachable by other programs through a link COMn
// in the virtual-port folder. The table keeps the ports across starts and stops of the outputs.

#include <array>
#include <chrono>
#include <functional>
#include <cstddef>
#include <memory>
#include <string>

#include "config/settings.h"
#include "links/serial_port.h"

namespace tolvex {

// $XDG_RUNTIME_DIR/tolvex, else /tmp/tolvex-<uid>.
std::string DefaultVirtualPortDir();

enum class CreatePortError {
    None,
    NoPtySupport,   // the system offers no pseudo-terminals (/dev/ptmx missing)
    PtyFailed,      // a pseudo-terminal could not be made
    NameTaken,      // another running program holds COMn, or a non-link file has that name
    FolderUnusable, // the folder cannot be created, is a link, is not ours, or others may write in it
    BadNumber,      // outside COM1..COM30
};

class VirtualPortTable {
public:
    static constexpr int SlotCount = MaxComPort;

    using Clock = std::chrono::steady_clock;

    // terminalGroup: the group the terminals are given with mode 0660 (empty: owner-only); now
    // tells the time for the writes (tests step it).
    explicit VirtualPortTable(std::string folder, std::string terminalGroup = {},
                              std::function<Clock::time_point()> now = Clock::now);
    ~VirtualPortTable();  // frees the slots still filled: the ports end with the program
    VirtualPortTable(const VirtualPortTable&) = delete;
    VirtualPortTable& operator=(const VirtualPortTable&) = delete;

    const std::string& Folder() const { return m_folder; }
    bool HasPort(int number) const;

    // Makes COMn and fills its slot; a link left behind by a program that crashed is replaced.
    // On failure, cause (when given) says why in the system's words: the path and its error, or
    // the process holding the name.
    CreatePortError CreatePort(int number, std::string* cause = nullptr);
    // Removes the link and frees the pseudo-terminal (a program still reading sees a hang-up). False
    // only when the link cannot be removed: the port then stays whole in its slot.
    bool RemovePort(int number);
    // The removal when an output stops: a port another program holds open stays whole and silent
    // in its slot, so that program keeps reading it and the next start uses it again. False then.
    bool ReleasePort(int number);
    // Delivers one sentence to the program that has the port open; dropped when none has. A
    // reader that does not keep up gets whole sentences only, and what it left unread from an
    // earlier burst of sentences is discarded, so that it resumes with current ones.
    void WriteData(int number, const char* bytes, std::size_t length);
    // Another program has the port open now.
    bool IsPeerOpen(int number);


    std::string LinkPath(int number) const;   // <folder>/COMn
    std::string DevicePath(int number) const; // /dev/pts/N while the port exists, else empty

private:
    struct Port;
    Port* Slot(int number) const;

    std::string m_folder;
    std::string m_group;
    std::function<Clock::time_point()> m_now;
    std::array<std::unique_ptr<Port>, SlotCount> m_slots;
};

}  // namespace tolvex
