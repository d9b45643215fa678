// The host's client-information service, exported as KVF_QueryClientInfo for the plug-ins to call.
#pragma once

#include <cstdint>

#include "transform/pixel.h"

// What the service answers: the editor's colours and the selection mask of the current image.
struct ClientInfoState {
    Pixel32 foreground = 0xFF000000u;    // opaque black
    Pixel32 background = 0xFFFFFFFFu;    // opaque white
    const std::uint8_t* mask = nullptr;  // width × height bytes, 255 = unselected; null: no mask
};

// Publishes a state to the service for the length of a plug-in call; the state it replaced
// comes back on destruction. The mask must outlive the session.
class ClientInfoSession {
   public:
    explicit ClientInfoSession(const ClientInfoState& state);
    ~ClientInfoSession();
    ClientInfoSession(const ClientInfoSession&) = delete;
    ClientInfoSession& operator=(const ClientInfoSession&) = delete;

   private:
    ClientInfoState previous;
};

// How many times a plug-in has announced an error box (service code 5) in this process. A run
// that raises it was refused by the plug-in, whether or not its box could be shown.
[[nodiscard]] std::int32_t ErrorNoticeCount() noexcept;
