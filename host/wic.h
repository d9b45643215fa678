// The Windows Imaging Component as kvhost uses it: COM for the thread, the imaging factory, and
// failed calls turned into HostError.
#pragma once

#include <string>

#include "platform/win32.h"

#include <wincodec.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

// COM on the calling thread for the life of the object (single-threaded: the plug-ins' windows
// live on this thread too), and the imaging factory, released before COM is. One at a time.
class ComSession {
   public:
    ComSession();
    ~ComSession();
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;

   private:
    friend IWICImagingFactory& ImagingFactory();
    bool initialized = false;
    ComPtr<IWICImagingFactory> factory;
};

// The imaging factory of the live ComSession, created at first use. Throws HostError.
[[nodiscard]] IWICImagingFactory& ImagingFactory();

// Throws HostError("WHAT: reason") when the call failed.
void CheckResult(HRESULT result, const std::string& what);
