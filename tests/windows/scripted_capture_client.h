#pragma once
#include <windows.h>
#include <audioclient.h>

#include <deque>
#include <functional>
#include <vector>

// An IAudioCaptureClient that hands out scripted packets. When the script runs
// out it either fails with `endResult` or, if that is a success, runs `onEnd`
// (for example to request a stop) and reports no packet.
class ScriptedCaptureClient : public IAudioCaptureClient {
public:
    struct Packet {
        std::vector<unsigned char> bytes;
        UINT32 frames = 0;
        DWORD flags = 0;
    };

    std::deque<Packet> packets;
    HRESULT endResult = S_OK;
    HRESULT getBufferResult = S_OK;  // a failure here is returned instead of the next packet
    std::function<void()> onEnd;
    std::vector<UINT32> released;

    void Add(std::vector<unsigned char> bytes, UINT32 frames, DWORD flags = 0) {
        packets.push_back({std::move(bytes), frames, flags});
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE** data, UINT32* frames, DWORD* flags, UINT64*, UINT64*) override {
        if (FAILED(getBufferResult)) return getBufferResult;
        Packet& packet = packets.front();
        *data = packet.bytes.empty() ? nullptr : packet.bytes.data();
        *frames = packet.frames;
        *flags = packet.flags;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBuffer(UINT32 frames) override {
        released.push_back(frames);
        packets.pop_front();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextPacketSize(UINT32* frames) override {
        if (!packets.empty()) {
            *frames = packets.front().frames;
            return S_OK;
        }
        if (FAILED(endResult)) return endResult;
        if (onEnd) onEnd();
        *frames = 0;
        return S_OK;
    }
};
