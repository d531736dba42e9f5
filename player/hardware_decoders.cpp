#include "player/hardware_decoders.h"

extern "C" {
#include <libavutil/buffer.h>
#include <libavutil/hwcontext.h>
}

#include <atomic>
#include <mutex>
#include <thread>

namespace hardware_decoders {
namespace {

enum Answer : int { kUnknown, kAvailable, kNone };
std::atomic<int> g_answer{kUnknown};

// The device kinds behind mpv's safe hardware decoders ("auto-copy-safe"), on every system
// FFmpeg is built for; a kind this FFmpeg was built without is not tried.
bool SafeKind(AVHWDeviceType type) {
    switch (type) {
        case AV_HWDEVICE_TYPE_CUDA:
        case AV_HWDEVICE_TYPE_VAAPI:
        case AV_HWDEVICE_TYPE_VDPAU:
        case AV_HWDEVICE_TYPE_D3D11VA:
        case AV_HWDEVICE_TYPE_DXVA2:
        case AV_HWDEVICE_TYPE_VIDEOTOOLBOX:
        case AV_HWDEVICE_TYPE_MEDIACODEC: return true;
        default: return false;
    }
}

bool AnyDevice() {
    for (AVHWDeviceType type = av_hwdevice_iterate_types(AV_HWDEVICE_TYPE_NONE); type != AV_HWDEVICE_TYPE_NONE;
         type = av_hwdevice_iterate_types(type)) {
        if (!SafeKind(type)) continue;
        AVBufferRef* device = nullptr;
        if (av_hwdevice_ctx_create(&device, type, nullptr, nullptr, 0) >= 0) {
            av_buffer_unref(&device);
            return true;
        }
    }
    return false;
}

// The look's thread, waited for when the process ends (a driver is never unloaded under it).
struct Look {
    std::thread thread;
    ~Look() {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace

bool MayBeAvailable() {
    static Look look;
    static std::once_flag started;
    std::call_once(started, [] {
        if (g_answer.load() != kUnknown) return;  // set by a test
        look.thread = std::thread([] {
            const Answer found = AnyDevice() ? kAvailable : kNone;
            int unknown = kUnknown;
            g_answer.compare_exchange_strong(unknown, found);
        });
    });
    return g_answer.load() != kNone;
}

void SetForTests(std::optional<bool> available) { g_answer = !available ? kUnknown : *available ? kAvailable : kNone; }

}  // namespace hardware_decoders
