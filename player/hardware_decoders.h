#pragma once
// Whether this machine has a video decoder in hardware at all.
//
// With hardware decoding on, mpv looks for a decoder device at every stream it opens: it loads
// the CUDA, VA-API and VDPAU drivers, connects to the display for them and gives up on each,
// 2-3 ms on the decoder's thread before the first frame of every zap (and the first stream of a
// run pays for loading the libraries: 70 ms), only to decode in software. One look at the
// machine, once, in the background, tells whether any such device can be made; where none can,
// the players decode in software from then on without looking. The user's setting is left as
// it is.
#include <optional>

namespace hardware_decoders {

// False once the look found no device of the kinds mpv's safe hardware decoders use (CUDA,
// VA-API, VDPAU, Direct3D 11, DXVA2, VideoToolbox, MediaCodec); true before it has ended, and
// where one was made. The first call starts the look on a thread of its own.
bool MayBeAvailable();

// Tests only: the answer, as if the look had found devices (true) or none (false); nothing
// stands for a look not ended.
void SetForTests(std::optional<bool> available);

}  // namespace hardware_decoders
