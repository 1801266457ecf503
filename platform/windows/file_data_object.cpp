#include "platform/windows/file_data_object.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <cstring>
#include <iterator>

namespace {

FORMATETC GlobalFormat(CLIPFORMAT format) { return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

// DROPFILES, then the wide path and an empty one that ends the list.
HGLOBAL DropFilesFor(const std::filesystem::path& path) {
    const std::wstring& name = path.native();
    const size_t size = sizeof(DROPFILES) + (name.size() + 2) * sizeof(wchar_t);
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (memory == nullptr) return nullptr;
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), name.c_str(), name.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return memory;
}

HGLOBAL CopyEffect() {
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
    if (memory == nullptr) return nullptr;
    *static_cast<DWORD*>(GlobalLock(memory)) = DROPEFFECT_COPY;
    GlobalUnlock(memory);
    return memory;
}

}  // namespace

FileDataObject::FileDataObject(std::filesystem::path absolutePath)
    : path(std::move(absolutePath)),
      preferredDropEffect(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT))) {}

HRESULT FileDataObject::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDataObject) {
        *object = static_cast<IDataObject*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG FileDataObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG FileDataObject::Release() {
    const LONG left = InterlockedDecrement(&references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

HGLOBAL FileDataObject::Render(CLIPFORMAT format) const {
    if (format == CF_HDROP) return DropFilesFor(path);
    if (format == preferredDropEffect) return CopyEffect();
    return nullptr;
}

HRESULT FileDataObject::QueryGetData(FORMATETC* format) {
    if (format == nullptr) return E_INVALIDARG;
    if (format->cfFormat != CF_HDROP && format->cfFormat != preferredDropEffect) return DV_E_FORMATETC;
    if ((format->tymed & TYMED_HGLOBAL) == 0) return DV_E_TYMED;
    if (format->dwAspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    return S_OK;
}

HRESULT FileDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (medium == nullptr) return E_INVALIDARG;
    const HRESULT usable = QueryGetData(format);
    if (FAILED(usable)) return usable;
    const HGLOBAL memory = Render(format->cfFormat);
    if (memory == nullptr) return E_OUTOFMEMORY;
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = memory;
    medium->pUnkForRelease = nullptr;
    return S_OK;
}

HRESULT FileDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) { return E_NOTIMPL; }

HRESULT FileDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* canonical) {
    if (canonical != nullptr) canonical->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

// A pasting shell may report back what it did ("Performed DropEffect"); nothing here needs it.
HRESULT FileDataObject::SetData(FORMATETC*, STGMEDIUM*, BOOL) { return E_NOTIMPL; }

HRESULT FileDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (formats == nullptr) return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET) return E_NOTIMPL;
    const FORMATETC offered[] = {GlobalFormat(CF_HDROP), GlobalFormat(preferredDropEffect)};
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(std::size(offered)), offered, formats);
}

HRESULT FileDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT FileDataObject::DUnadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }
HRESULT FileDataObject::EnumDAdvise(IEnumSTATDATA**) { return OLE_E_ADVISENOTSUPPORTED; }
