#include "net/announcer.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/simple-watch.h>
#include <unistd.h>

namespace tolvex {

struct Announcer::Impl {
    Announcer* Owner = nullptr;
    AvahiSimplePoll* Poll = nullptr;
    AvahiClient* Client = nullptr;
    AvahiEntryGroup* Group = nullptr;
    std::string Name;
    int Port = 0;

    ~Impl()
    {
        // Freeing the client withdraws the service and frees its entry group.
        if (Client != nullptr) avahi_client_free(Client);
        if (Poll != nullptr) avahi_simple_poll_free(Poll);
    }

    void Register(AvahiClient* client)
    {
        if (Group == nullptr) Group = avahi_entry_group_new(client, &Impl::OnGroup, this);
        if (Group == nullptr) return;
        avahi_entry_group_reset(Group);
        if (avahi_entry_group_add_service(Group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, static_cast<AvahiPublishFlags>(0),
                                          Name.c_str(), NmeaServiceType, nullptr, nullptr,
                                          static_cast<uint16_t>(Port), nullptr) == AVAHI_ERR_COLLISION) {
            Rename();
            return;
        }
        avahi_entry_group_commit(Group);
    }

    // Another host announces the same name: take the next one ("… #2") and try again.
    void Rename()
    {
        char* next = avahi_alternative_service_name(Name.c_str());
        Name = next;
        avahi_free(next);
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
            if (self->Group != nullptr) avahi_entry_group_reset(self->Group);
            if (self->Owner != nullptr) self->Owner->m_established.clear();
            break;
        default:
            break;
        }
    }
};

std::unique_ptr<Announcer> Announcer::Start(int port)
{
    auto impl = std::make_unique<Impl>();
    impl->Port = port;
    impl->Poll = avahi_simple_poll_new();
    if (impl->Poll == nullptr) return nullptr;
    char host[256] = "localhost";
    ::gethostname(host, sizeof host - 1);
    impl->Name = "Tolvex on " + std::string(host) + " port " + std::to_string(port);
    int error = 0;
    AvahiClient* client = avahi_client_new(avahi_simple_poll_get(impl->Poll), static_cast<AvahiClientFlags>(0),
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
        if (avahi_simple_poll_iterate(m_impl->Poll, 0) != 0) break;
}

}  // namespace tolvex
