#include "net/announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>
#include <dlfcn.h>
#include <unistd.h>

namespace tolvex {
namespace {

// The Avahi client library is loaded when a server is first announced, not at start: its eleven
// libraries (D-Bus, systemd, gcrypt and the compressors behind them) would otherwise double the
// start-up of every short command. The prototypes stay the headers' own.
struct AvahiLibrary {
    decltype(&avahi_simple_poll_new) SimplePollNew = nullptr;
    decltype(&avahi_simple_poll_free) SimplePollFree = nullptr;
    decltype(&avahi_simple_poll_get) SimplePollGet = nullptr;
    decltype(&avahi_simple_poll_iterate) SimplePollIterate = nullptr;
    decltype(&avahi_alternative_service_name) AlternativeServiceName = nullptr;
    decltype(&avahi_free) Free = nullptr;
    decltype(&avahi_client_new) ClientNew = nullptr;
    decltype(&avahi_client_free) ClientFree = nullptr;
    decltype(&avahi_entry_group_new) EntryGroupNew = nullptr;
    decltype(&avahi_entry_group_reset) EntryGroupReset = nullptr;
    decltype(&avahi_entry_group_add_service) EntryGroupAddService = nullptr;
    decltype(&avahi_entry_group_commit) EntryGroupCommit = nullptr;
    bool Loaded = false;
};

template <typename Function>
bool Resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(::dlsym(library, name));
    return function != nullptr;
}

// Null when the library is not installed: then nothing is announced, as without a daemon.
const AvahiLibrary* Avahi()
{
    static const AvahiLibrary library = [] {
        AvahiLibrary l;
        // The client library brings the common one with it; both stay loaded for the process.
        void* client = ::dlopen("libavahi-client.so.3", RTLD_NOW | RTLD_LOCAL);
        void* common = client ? ::dlopen("libavahi-common.so.3", RTLD_NOW | RTLD_LOCAL) : nullptr;
        l.Loaded = common && Resolve(common, "avahi_simple_poll_new", l.SimplePollNew) &&
                   Resolve(common, "avahi_simple_poll_free", l.SimplePollFree) &&
                   Resolve(common, "avahi_simple_poll_get", l.SimplePollGet) &&
                   Resolve(common, "avahi_simple_poll_iterate", l.SimplePollIterate) &&
                   Resolve(common, "avahi_alternative_service_name", l.AlternativeServiceName) &&
                   Resolve(common, "avahi_free", l.Free) && Resolve(client, "avahi_client_new", l.ClientNew) &&
                   Resolve(client, "avahi_client_free", l.ClientFree) &&
                   Resolve(client, "avahi_entry_group_new", l.EntryGroupNew) &&
                   Resolve(client, "avahi_entry_group_reset", l.EntryGroupReset) &&
                   Resolve(client, "avahi_entry_group_add_service", l.EntryGroupAddService) &&
                   Resolve(client, "avahi_entry_group_commit", l.EntryGroupCommit);
        return l;
    }();
    return library.Loaded ? &library : nullptr;
}

}  // namespace

struct Announcer::Impl {
    explicit Impl(const AvahiLibrary& api) : Api(api) {}

    const AvahiLibrary& Api;
    Announcer* Owner = nullptr;
    AvahiSimplePoll* Poll = nullptr;
    AvahiClient* Client = nullptr;
    AvahiEntryGroup* Group = nullptr;
    std::string Name;
    int Port = 0;

    ~Impl()
    {
        // Freeing the client withdraws the service and frees its entry group.
        if (Client != nullptr) Api.ClientFree(Client);
        if (Poll != nullptr) Api.SimplePollFree(Poll);
    }

    void Register(AvahiClient* client)
    {
        if (Group == nullptr) Group = Api.EntryGroupNew(client, &Impl::OnGroup, this);
        if (Group == nullptr) return;
        Api.EntryGroupReset(Group);
        if (Api.EntryGroupAddService(Group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
                                          Name.c_str(), NmeaServiceType, nullptr, nullptr,
                                          static_cast<uint16_t>(Port), nullptr) == AVAHI_ERR_COLLISION) {
            Rename();
            return;
        }
        Api.EntryGroupCommit(Group);
    }

    // Another host announces the same name: take the next one ("… #2") and try again.
    void Rename()
    {
        char* next = Api.AlternativeServiceName(Name.c_str());
        Name = next;
        Api.Free(next);
        if (Client != nullptr) Register(Client);
    }

    static void OnGroup(AvahiEntryGroup*, AvahiEntryGroupState state, void* data)
    {
        auto* self = static_cast<Impl*>(data);
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED && self->Owner != nullptr) self->Owner->m_established = self->Name;
        if (state == AVAHI_ENTRY_GROUP_COLLISION) self->Rename();
    }

    static void OnClient(AvahiClient* client, AvahiClientState state, void* data)
    {
        auto* self = static_cast<Impl*>(data);
        if (self->Client == nullptr) self->Client = client;  // the first call comes before avahi_client_new returns
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            // Called from inside avahi_client_new too, before Client is set.
            self->Register(client);
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host name changes: the records are made again once it settles.
            if (self->Group != nullptr) self->Api.EntryGroupReset(self->Group);
            if (self->Owner != nullptr) self->Owner->m_established.clear();
            break;
        default:
            break;
        }
    }
};

std::unique_ptr<Announcer> Announcer::Start(int port)
{
    const AvahiLibrary* api = Avahi();
    if (api == nullptr) return nullptr;
    auto impl = std::make_unique<Impl>(*api);
    impl->Port = port;
    impl->Poll = api->SimplePollNew();
    if (impl->Poll == nullptr) return nullptr;
    char host[256] = "localhost";
    ::gethostname(host, sizeof host - 1);
    impl->Name = "Tolvex on " + std::string(host) + " port " + std::to_string(port);
    int error = 0;
    AvahiClient* client = api->ClientNew(api->SimplePollGet(impl->Poll), static_cast<AvahiClientFlags>(0),
                                         &Impl::OnClient, impl.get(), &error);
    // A failed avahi_client_new has freed whatever its callback saw.
    impl->Client = client;
    if (client == nullptr) {
        impl->Group = nullptr;
        return nullptr;
    }
    Impl* raw = impl.get();
    std::unique_ptr<Announcer> announcer(new Announcer(std::move(impl)));
    raw->Owner = announcer.get();
    return announcer;
}

Announcer::Announcer(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

Announcer::~Announcer() = default;

void Announcer::Service()
{
    // A zero wait: whatever the daemon has sent is handled, nothing is waited for.
    for (int round = 0; round < 4; ++round)
        if (m_impl->Api.SimplePollIterate(m_impl->Poll, 0) != 0) break;
}

}  // namespace tolvex
