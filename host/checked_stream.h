// A stream that passes everything to the stream it wraps and remembers the first write that
// failed or fell short, so that an encoder that ignores such a failure cannot hide it.
#pragma once

#include "host/wic.h"

// A COM object is deleted by its own Release, never through the interface, which therefore has
// no virtual destructor.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class CheckedStream final : public IStream {
   public:
    // A new stream over INNER, with one reference for the caller.
    static ComPtr<CheckedStream> Over(ComPtr<IStream> inner);

    // S_OK, or the failure of the first write, resize, copy or commit that failed or fell short
    // (STG_E_MEDIUMFULL when it only wrote fewer bytes than asked).
    [[nodiscard]] HRESULT FirstFailure() const noexcept { return failure; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                         DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                           DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override;

   private:
    explicit CheckedStream(ComPtr<IStream> wrapped) : inner(std::move(wrapped)) {}
    ~CheckedStream() = default;
    HRESULT Record(HRESULT result) noexcept;

    ComPtr<IStream> inner;
    ULONG references = 1;
    HRESULT failure = S_OK;
};
#pragma GCC diagnostic pop
