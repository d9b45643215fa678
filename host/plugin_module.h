// A loaded filter plug-in: the module handle, its five exports looked up by their plain names, and
// the optional KVF_SuggestSettings.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"
#include "plugin_interface/kv_interface.h"

// Texts of one filter, as the plug-in wrote them (ANSI bytes, see kPluginCodePage).
struct FilterNames {
    std::string category;
    std::string name;
};

class PluginModule {
   public:
    // Loads the plug-in and resolves its exports. Throws HostError.
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    [[nodiscard]] std::string Information() const;
    [[nodiscard]] std::int32_t FilterCount() const;
    [[nodiscard]] FilterNames Names(std::int32_t index) const;

    // The filter that --filter's TEXT names. Throws UsageError, saying which numbers there are,
    // for anything but the number of one of the plug-in's filters.
    [[nodiscard]] std::int32_t FilterIndex(const std::string& text) const;

    [[nodiscard]] HMODULE Handle() const noexcept { return handle; }
    [[nodiscard]] ExecuteFn Execute() const noexcept { return execute; }
    [[nodiscard]] SetupFn Setup() const noexcept { return setup; }

    // KVF_SuggestSettings; throws HostError when the plug-in does not export it.
    [[nodiscard]] SuggestSettingsFn RequireSuggest() const;

   private:
    template <typename Function>
    [[nodiscard]] Function Resolve(const char* exportName) const;
    template <typename Function>
    [[nodiscard]] Function ResolveOptional(const char* exportName) const;  // null when missing

    std::string path;
    HMODULE handle = nullptr;
    GetPluginInfoFn getPluginInfo = nullptr;
    FilterCountFn filterCount = nullptr;
    GetNameFn getName = nullptr;
    SetupFn setup = nullptr;
    ExecuteFn execute = nullptr;
    SuggestSettingsFn suggest = nullptr;  // optional: null when the plug-in has none
};
