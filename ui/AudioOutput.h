#pragma once
// Where the cue player's sounds go: one playback per cue. The player owns every playback it
// opens; tests hand in outputs of their own.

#include "ui/CueSound.h"

#include <memory>

namespace keyfall {

class Playback {
public:
    // Closes the playback, cutting it off if it still sounds. May run any code of the output,
    // the cue player's own included: the player never holds a half-changed list across it.
    virtual ~Playback() = default;
    // True once the last sample has been played, or the playback failed.
    virtual bool Finished() const = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Starts playing `sound` to its last sample and returns at once; nothing when this output
    // cannot play now. The sound outlives the playback.
    virtual std::unique_ptr<Playback> Open(std::shared_ptr<const CueSound> sound) = 0;
};

// The sound server's output: PulseAudio, or PipeWire's PulseAudio service. Connects in the
// background; a cue asked for while the connection is being made starts once it is up, and
// ends unplayed (Finished) if it fails. Without a server it says so once on standard error
// and stays silent.
std::unique_ptr<AudioOutput> MakeServerOutput();

} // namespace keyfall
