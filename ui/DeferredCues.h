#pragma once
// Cues asked for while held wait until they are released, in the order asked: the key that
// hits a letter has its star on the screen before its sound is queued, so the sound never
// runs ahead of what the player sees.

#include "game/Host.h"

#include <vector>

namespace keyfall {

class DeferredCues : public CuePlayer {
public:
    explicit DeferredCues(CuePlayer& out) : m_out(out) {}

    void PlayCue(Cue cue) override
    {
        if (m_held)
            m_waiting.push_back(cue);
        else
            m_out.PlayCue(cue);
    }
    void Hold() { m_held = true; }
    void Release()
    {
        m_held = false;
        for (Cue cue : m_waiting)
            m_out.PlayCue(cue);
        m_waiting.clear();
    }

private:
    CuePlayer& m_out;
    bool m_held = false;
    std::vector<Cue> m_waiting;
};

} // namespace keyfall
