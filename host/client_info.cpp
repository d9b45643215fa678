// The host's client-information service, exported as KVF_QueryClientInfo for the plug-ins to call.
#include "host/client_info.h"

#include "plugin_interface/kv_interface.h"

namespace {

ClientInfoState& CurrentState() {
    static ClientInfoState state;
    return state;
}

std::int32_t& NoticeCounter() noexcept {
    static std::int32_t count = 0;
    return count;
}

}  // namespace

std::int32_t ErrorNoticeCount() noexcept { return NoticeCounter(); }

ClientInfoSession::ClientInfoSession(const ClientInfoState& state) : previous(CurrentState()) {
    CurrentState() = state;
}

ClientInfoSession::~ClientInfoSession() { CurrentState() = previous; }

// Exported from the executable under its plain name (kvhost.def); a plug-in finds it with
// GetProcAddress on the running executable. Nothing may escape into the plug-in's frame.
extern "C" std::int32_t KV_STDCALL KVF_QueryClientInfo(std::int32_t code, void* data) noexcept {
    const ClientInfoState& state = CurrentState();
    switch (code) {
        case ClientInfoForeground:
            if (data == nullptr) return 0;
            *static_cast<Pixel32*>(data) = state.foreground;
            return 1;
        case ClientInfoBackground:
            if (data == nullptr) return 0;
            *static_cast<Pixel32*>(data) = state.background;
            return 1;
        case ClientInfoSelectionMask:
            if (data == nullptr || state.mask == nullptr) return 0;
            *static_cast<const std::uint8_t**>(data) = state.mask;
            return 1;
        case ClientInfoBeforeMessage:
            // The box itself is answered by the run (or left to the user); the notice marks the
            // run as refused.
            ++NoticeCounter();
            return 1;
        default:
            return 0;
    }
}
