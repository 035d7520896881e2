// libFuzzer target: arbitrary bytes as a cue file, through exactly the decoding the cue
// player does (libsndfile reading from memory, and our limits). Whatever the bytes, decoding
// must not crash or hang, and a sound it accepts must be one the sound server can play: a
// rate and channel count in range, a whole number of frames, at most ten seconds, floats
// within -1..1. A refusal always has a reason.

#include "ui/CueSound.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace {

void Require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string why;
    const auto cue = keyfall::DecodeCue(std::as_bytes(std::span(data, size)), why);
    if (!cue) {
        Require(!why.empty());
        return 0;
    }
    Require(size <= keyfall::kMaxCueFileBytes);
    Require(cue->rate >= keyfall::kMinCueRate && cue->rate <= keyfall::kMaxCueRate);
    Require(cue->channels >= 1 && cue->channels <= keyfall::kMaxCueChannels);
    Require(!cue->samples.empty() && cue->samples.size() % cue->BytesPerFrame() == 0);
    Require(cue->Frames() <= keyfall::kMaxCueSeconds * static_cast<std::uint64_t>(cue->rate));
    if (cue->format == keyfall::SampleFormat::Float32) {
        for (std::size_t i = 0; i < cue->samples.size(); i += 4) {
            float s;
            std::memcpy(&s, cue->samples.data() + i, 4);
            Require(std::isfinite(s) && s >= -1.0f && s <= 1.0f);
        }
    }
    return 0;
}
