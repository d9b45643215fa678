// A stream that passes everything to the stream it wraps and remembers the first write that
// failed or fell short, so that an encoder that ignores such a failure cannot hide it.
#include "host/checked_stream.h"

#include "cli/interruption.h"

#include <utility>

ComPtr<CheckedStream> CheckedStream::Over(ComPtr<IStream> inner) {
    ComPtr<CheckedStream> stream;
    // Taken over with the reference it was made with (Attach would add one).
    *stream.ReleaseAndGetAddressOf() = new CheckedStream(std::move(inner));
    return stream;
}

HRESULT CheckedStream::Record(HRESULT result) noexcept {
    if (FAILED(result) && SUCCEEDED(failure)) failure = result;
    return result;
}

HRESULT CheckedStream::QueryInterface(REFIID id, void** object) {
    if (object == nullptr) return E_POINTER;
    if (id == __uuidof(IUnknown) || id == __uuidof(ISequentialStream) || id == __uuidof(IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CheckedStream::AddRef() { return ++references; }

ULONG CheckedStream::Release() {
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT CheckedStream::Read(void* data, ULONG size, ULONG* read) {
    return inner->Read(data, size, read);
}

HRESULT CheckedStream::Write(const void* data, ULONG size, ULONG* written) {
    // After an interruption the encoder's next write fails, so that it stops there.
    if (InterruptionRecorded()) return Record(E_ABORT);
    ULONG count = 0;
    const HRESULT result = inner->Write(data, size, &count);
    if (written != nullptr) *written = count;
    Record(result);
    if (SUCCEEDED(result) && count < size) Record(STG_E_MEDIUMFULL);
    return result;
}

HRESULT CheckedStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    return inner->Seek(move, origin, position);
}

HRESULT CheckedStream::SetSize(ULARGE_INTEGER size) { return Record(inner->SetSize(size)); }

HRESULT CheckedStream::CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                              ULARGE_INTEGER* written) {
    return Record(inner->CopyTo(target, size, read, written));
}

HRESULT CheckedStream::Commit(DWORD flags) {
    const HRESULT result = inner->Commit(flags);
    return result == E_NOTIMPL ? result : Record(result);
}

HRESULT CheckedStream::Revert() { return inner->Revert(); }

HRESULT CheckedStream::LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) {
    return inner->LockRegion(offset, size, type);
}

HRESULT CheckedStream::UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size, DWORD type) {
    return inner->UnlockRegion(offset, size, type);
}

HRESULT CheckedStream::Stat(STATSTG* stat, DWORD flags) { return inner->Stat(stat, flags); }

// A copy would write past the record of failures.
HRESULT CheckedStream::Clone(IStream** copy) {
    if (copy != nullptr) *copy = nullptr;
    return E_NOTIMPL;
}
