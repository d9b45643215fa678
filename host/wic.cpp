// The Windows Imaging Component as kvhost uses it: COM for the thread, the imaging factory, and
// failed calls turned into HostError.
#include "host/wic.h"

#include "host/host_error.h"
#include "host/text_encoding.h"

namespace {

std::string ReasonOf(HRESULT result) {
    switch (result) {
        case E_OUTOFMEMORY:
            return "out of memory";
        case WINCODEC_ERR_COMPONENTNOTFOUND:
        case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
            return "not an image in a known format";
        case WINCODEC_ERR_BADHEADER:
        case WINCODEC_ERR_BADIMAGE:
        case WINCODEC_ERR_BADSTREAMDATA:
        case WINCODEC_ERR_STREAMREAD:
        case HRESULT_FROM_WIN32(ERROR_HANDLE_EOF):
            return "the file is damaged or cut short";
        case STG_E_MEDIUMFULL:
        case HRESULT_FROM_WIN32(ERROR_DISK_FULL):
        case HRESULT_FROM_WIN32(ERROR_HANDLE_DISK_FULL):
            return "the disk is full";
        default:
            break;
    }
    return SystemMessage(static_cast<unsigned long>(result));
}

ComSession*& CurrentSession() {
    static ComSession* session = nullptr;
    return session;
}

}  // namespace

ComSession::ComSession() {
    initialized = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CurrentSession() = this;
}

ComSession::~ComSession() {
    CurrentSession() = nullptr;
    factory.Reset();
    if (initialized) CoUninitialize();
}

IWICImagingFactory& ImagingFactory() {
    ComSession* session = CurrentSession();
    if (session == nullptr) throw HostError("the imaging component is not started");
    if (!session->factory) {
        CheckResult(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(&session->factory)),
                    "cannot start the imaging component");
    }
    return *session->factory.Get();
}

void CheckResult(HRESULT result, const std::string& what) {
    if (FAILED(result)) throw HostError(what + ": " + ReasonOf(result));
}
