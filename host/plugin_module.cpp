// A loaded filter plug-in: the module handle, its five exports looked up by their plain names, and
// the optional KVF_SuggestSettings.
#include "host/plugin_module.h"

#include <charconv>
#include <vector>

#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

// Room for any text a plug-in returns; one more zero byte ends a text that fills the buffer,
// since the plug-in's bounded copy writes no terminator then.
constexpr std::int32_t kTextBufferLength = 1024;

// The plug-in is a file path like every other file argument, relative to the current folder: a
// bare name must not load a copy that the library search finds first (beside kvhost, in the
// system folder). Its folder is searched for the plug-in's own dependencies.
HMODULE LoadPlugin(const std::string& path) {
    const std::wstring widePath = Utf8ToWide(path);
    std::vector<wchar_t> fullPath(32768);
    const DWORD length = GetFullPathNameW(widePath.c_str(), static_cast<DWORD>(fullPath.size()),
                                          fullPath.data(), nullptr);
    if (length == 0 || length >= fullPath.size()) return nullptr;
    return LoadLibraryExW(fullPath.data(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The first library named in the import table of the module at IMAGE (mapped, its imports not
// resolved) that neither the plug-in's folder nor the library search finds; empty when all are
// found (then one of theirs is missing).
std::string MissingImport(const BYTE* image, const std::wstring& folder) {
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return {};
    for (const auto* entry =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
        const std::string name(reinterpret_cast<const char*>(image + entry->Name));
        const std::wstring wide = Utf8ToWide(name);
        if (GetFileAttributesW((folder + wide).c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        const HMODULE found = LoadLibraryExW(wide.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        if (found == nullptr) return name;
        FreeLibrary(found);
    }
    return {};
}

// Why the plug-in at PATH did not load (ERROR, the loader's code), in words.
std::string LoadFailure(const std::string& path, DWORD error) {
    const std::wstring wide = Utf8ToWide(path);
    if (GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES) return "no such file";
    // A picture, a 64-bit library or anything else that is not a 32-bit Windows DLL.
    if (error == ERROR_BAD_EXE_FORMAT) return "it is not a 32-bit Windows DLL";
    if (error == ERROR_MOD_NOT_FOUND) {
        const HMODULE image = LoadLibraryExW(wide.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        std::string missing;
        if (image != nullptr) {
            const std::size_t slash = wide.find_last_of(L"\\/");
            missing = MissingImport(reinterpret_cast<const BYTE*>(image),
                                    slash == std::wstring::npos ? L"" : wide.substr(0, slash + 1));
            FreeLibrary(image);
        }
        return missing.empty() ? "a library it needs, or one of theirs, is missing"
                               : "the library it needs " + Quoted(missing) + " is missing";
    }
    return SystemMessage(error);
}

std::string TextUpToZero(const std::vector<char>& buffer) { return std::string(buffer.data()); }

}  // namespace

PluginModule::PluginModule(const std::string& pluginPath) : path(pluginPath) {
    handle = LoadPlugin(path);
    if (handle == nullptr) {
        const DWORD error = GetLastError();
        throw HostError("cannot load plug-in " + Quoted(path) + ": " + LoadFailure(path, error));
    }
    try {
        getPluginInfo = Resolve<GetPluginInfoFn>("KV_GetPluginInfo");
        filterCount = Resolve<FilterCountFn>("KVF_FilterCount");
        getName = Resolve<GetNameFn>("KVF_GetName");
        setup = Resolve<SetupFn>("KVF_Setup");
        execute = Resolve<ExecuteFn>("KVF_Execute");
        suggest = ResolveOptional<SuggestSettingsFn>("KVF_SuggestSettings");
        // A plug-in may export the optional function under its decorated stdcall name only.
        if (suggest == nullptr) {
            suggest = ResolveOptional<SuggestSettingsFn>("_KVF_SuggestSettings@36");
        }
    } catch (...) {
        FreeLibrary(handle);
        throw;
    }
}

PluginModule::~PluginModule() { FreeLibrary(handle); }

template <typename Function>
Function PluginModule::ResolveOptional(const char* exportName) const {
    // Through void*: the exports' real types are only known from the interface header.
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, exportName)));
}

template <typename Function>
Function PluginModule::Resolve(const char* exportName) const {
    const Function function = ResolveOptional<Function>(exportName);
    if (function == nullptr) {
        throw HostError(Quoted(path) + " is not a filter plug-in: it does not export " +
                        exportName);
    }
    return function;
}

SuggestSettingsFn PluginModule::RequireSuggest() const {
    if (suggest == nullptr) {
        throw HostError(Quoted(path) +
                        " cannot suggest settings: it does not export KVF_SuggestSettings");
    }
    return suggest;
}

std::string PluginModule::Information() const {
    std::vector<char> buffer(kTextBufferLength + 1, '\0');
    getPluginInfo(buffer.data(), kTextBufferLength);
    return TextUpToZero(buffer);
}

std::int32_t PluginModule::FilterCount() const { return filterCount(); }

FilterNames PluginModule::Names(std::int32_t index) const {
    std::vector<char> category(kTextBufferLength + 1, '\0');
    std::vector<char> name(kTextBufferLength + 1, '\0');
    getName(index, category.data(), kTextBufferLength, name.data(), kTextBufferLength);
    return FilterNames{TextUpToZero(category), TextUpToZero(name)};
}

std::int32_t PluginModule::FilterIndex(const std::string& text) const {
    const std::int32_t count = FilterCount();
    std::int32_t index = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), index);
    const bool number = error == std::errc() && end == text.data() + text.size();
    if (number && index >= 0 && index < count) return index;
    const std::string numbers = count <= 0   ? "none"
                                : count == 1 ? "1 filter, number 0"
                                : count == 2 ? "2 filters, numbers 0 and 1"
                                             : std::to_string(count) + " filters, numbers 0 to " +
                                                   std::to_string(count - 1);
    throw UsageError((number ? "there is no filter " + text
                             : "--filter wants a filter number, not " + Quoted(text)) +
                     "; this plug-in has " + numbers);
}
