// The sound server's output through libpulse's threaded main loop. Every stream is created,
// fed and torn down either on that loop's own thread or under its lock, so no sound code
// ever runs Qt's event loop: a key press can never re-enter the cue player from here.

#include "ui/AudioOutput.h"
#include "ui/Log.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace keyfall {
namespace {

// Short enough that a hit sounds with the key, long enough for a busy machine.
constexpr pa_usec_t kLatencyUs = 50'000;

class Lock {
public:
    explicit Lock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~Lock() { pa_threaded_mainloop_unlock(m_loop); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

pa_sample_spec SpecOf(const CueSound& sound)
{
    pa_sample_spec sampleSpec{};
    switch (sound.format) {
    case SampleFormat::Int16: sampleSpec.format = PA_SAMPLE_S16NE; break;
    case SampleFormat::Int32: sampleSpec.format = PA_SAMPLE_S32NE; break;
    case SampleFormat::Float32: sampleSpec.format = PA_SAMPLE_FLOAT32NE; break;
    }
    sampleSpec.rate = static_cast<std::uint32_t>(sound.rate);
    sampleSpec.channels = static_cast<std::uint8_t>(sound.channels);
    return sampleSpec;
}

// One cue on one stream: written as the server asks for it, then drained, then disconnected,
// all in callbacks on the loop's thread. A cue asked for while the connection is still being
// made waits in its output's list and gets its stream once the connection is up.
class PulsePlayback final : public Playback {
public:
    PulsePlayback(pa_threaded_mainloop* loop, std::shared_ptr<const CueSound> sound)
        : m_loop(loop), m_sound(std::move(sound))
    {
    }

    ~PulsePlayback() override
    {
        const Lock lock(m_loop);
        if (m_waitingIn)
            std::erase(*m_waitingIn, this);
        if (!m_stream)
            return;
        if (m_drain) {
            pa_operation_cancel(m_drain);
            pa_operation_unref(m_drain);
        }
        // No callback may reach this object once it is gone.
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))
            pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }

    PulsePlayback(const PulsePlayback&) = delete;
    PulsePlayback& operator=(const PulsePlayback&) = delete;

    bool Finished() const override { return m_finished.load(); }

    // Under the loop's lock, on a context that is ready. False: nothing plays.
    bool Start(pa_context* context)
    {
        const pa_sample_spec sampleSpec = SpecOf(*m_sound);
        pa_channel_map map;
        pa_channel_map_init_extend(&map, sampleSpec.channels, PA_CHANNEL_MAP_DEFAULT);
        m_stream = pa_stream_new(context, "cue", &sampleSpec, &map);
        if (!m_stream)
            return false;
        pa_stream_set_state_callback(m_stream, OnState, this);
        pa_stream_set_write_callback(m_stream, OnWrite, this);
        pa_buffer_attr buffer;
        buffer.maxlength = static_cast<std::uint32_t>(-1);
        buffer.tlength = static_cast<std::uint32_t>(pa_usec_to_bytes(kLatencyUs, &sampleSpec));
        buffer.prebuf = static_cast<std::uint32_t>(-1);
        buffer.minreq = static_cast<std::uint32_t>(-1);
        buffer.fragsize = static_cast<std::uint32_t>(-1);
        return pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) >= 0;
    }

    // Under the loop's lock: waits in `waiting` until the output starts or ends it.
    void WaitIn(std::vector<PulsePlayback*>& waiting)
    {
        m_waitingIn = &waiting;
        waiting.push_back(this);
    }

    // Under the loop's lock, when the connection is up (`context`) or gone (null); the output
    // has taken it out of its list.
    void StopWaiting(pa_context* context)
    {
        m_waitingIn = nullptr;
        if (!context || !Start(context))
            m_finished = true;
    }

private:
    static void OnState(pa_stream* stream, void* user)
    {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
            static_cast<PulsePlayback*>(user)->m_finished = true;
    }

    static void OnWrite(pa_stream* stream, std::size_t wanted, void* user)
    {
        auto* self = static_cast<PulsePlayback*>(user);
        const std::vector<std::byte>& samples = self->m_sound->samples;
        const std::size_t left = samples.size() - self->m_written;
        if (left == 0)
            return;
        const std::size_t frame = self->m_sound->BytesPerFrame();
        std::size_t n = std::min(wanted, left);
        if (n < left)
            n -= n % frame;
        if (n == 0)
            return;
        // Copied by libpulse: the sound may be gone before the server has read it.
        if (pa_stream_write(stream, samples.data() + self->m_written, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            pa_stream_disconnect(stream);
            return;
        }
        self->m_written += n;
        // The cue plays to its last sample: the stream closes only once the server says so.
        if (self->m_written == samples.size()) {
            self->m_drain = pa_stream_drain(stream, OnDrained, self);
            if (!self->m_drain)
                pa_stream_disconnect(stream);
        }
    }

    static void OnDrained(pa_stream* stream, int, void* user)
    {
        auto* self = static_cast<PulsePlayback*>(user);
        pa_operation_unref(self->m_drain);
        self->m_drain = nullptr;
        pa_stream_disconnect(stream);
        self->m_finished = true;
    }

    pa_threaded_mainloop* m_loop;
    std::shared_ptr<const CueSound> m_sound;
    // The members below are touched on the loop's thread, or under its lock.
    pa_stream* m_stream = nullptr;
    std::vector<PulsePlayback*>* m_waitingIn = nullptr;
    std::size_t m_written = 0;
    pa_operation* m_drain = nullptr;
    std::atomic<bool> m_finished = false;
};

class PulseOutput final : public AudioOutput {
public:
    PulseOutput()
    {
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop) {
            ReportSilence();
            return;
        }
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "org.keyfall.Keyfall");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "org.keyfall.Keyfall");
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "game");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Keyfall", properties);
        pa_proplist_free(properties);
        if (!m_context) {
            ReportSilence();
            return;
        }
        pa_context_set_state_callback(m_context, OnContextState, this);
        // Only a server the desktop already runs: starting one is not a game's business. The
        // connection completes on the loop's thread; start-up does not wait for it.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
            || pa_threaded_mainloop_start(m_loop) < 0) {
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            ReportSilence();
            return;
        }
        m_running = true;
    }

    ~PulseOutput() override
    {
        if (!m_loop)
            return;
        if (m_context) {
            {
                const Lock lock(m_loop);
                pa_context_set_state_callback(m_context, nullptr, nullptr);
                pa_context_disconnect(m_context);
                pa_context_unref(m_context);
            }
        }
        pa_threaded_mainloop_stop(m_loop);
        pa_threaded_mainloop_free(m_loop);
    }

    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    std::unique_ptr<Playback> Open(std::shared_ptr<const CueSound> sound) override
    {
        if (!m_running || !sound || sound->samples.empty())
            return nullptr;
        const Lock lock(m_loop);
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (!PA_CONTEXT_IS_GOOD(state))
            return nullptr;
        auto playback = std::make_unique<PulsePlayback>(m_loop, std::move(sound));
        if (state != PA_CONTEXT_READY)
            playback->WaitIn(m_waiting);
        else if (!playback->Start(m_context))
            return nullptr;
        return playback;
    }

private:
    // Once, whether the server was never there or went away: no reconnecting, no repeats.
    void ReportSilence()
    {
        if (!m_reported.exchange(true))
            qCWarning(lcSound, "no sound output; playing silently");
    }

    // On the loop's thread, which holds the lock while it runs callbacks.
    static void OnContextState(pa_context* context, void* user)
    {
        auto* self = static_cast<PulseOutput*>(user);
        const pa_context_state_t state = pa_context_get_state(context);
        const bool ready = state == PA_CONTEXT_READY;
        if (!ready && PA_CONTEXT_IS_GOOD(state))
            return;
        if (!ready)
            self->ReportSilence();
        std::vector<PulsePlayback*> waiting;
        waiting.swap(self->m_waiting);
        for (PulsePlayback* playback : waiting)
            playback->StopWaiting(ready ? context : nullptr);
    }

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    bool m_running = false;                // the loop runs and the connection is under way
    std::vector<PulsePlayback*> m_waiting; // under the loop's lock
    std::atomic<bool> m_reported = false;
};

} // namespace

std::unique_ptr<AudioOutput> MakeServerOutput()
{
    return std::make_unique<PulseOutput>();
}

} // namespace keyfall
