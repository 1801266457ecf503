#pragma once

// Releases a COM object, if any, and forgets it.
template <typename T>
void ReleaseAndClear(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}
