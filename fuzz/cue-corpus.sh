#!/usr/bin/env bash
# Makes the cue fuzzer's seeds: a few hundredths of a second of tone in each kind of file a
# player may drop in, and one cut short. Small on purpose: the fuzzer mutates headers.
set -euo pipefail
out=$(dirname "$0")/corpus/cue_fuzzer
mkdir -p "$out"
tone() { sox -n "$@" synth 0.01 sine 440 vol 0.5; }
tone -r 44100 -c 1 -b 16 "$out/pcm16-mono.wav"
tone -r 48000 -c 2 -b 24 "$out/pcm24-stereo-extensible.wav"
tone -r 44100 -c 1 -b 32 -e floating-point "$out/float32.wav"
tone -r 8000 -c 1 -b 8 -e unsigned-integer "$out/u8-8khz.wav"
tone -r 22050 -c 1 -b 8 -e mu-law "$out/mulaw.wav"
tone -r 44100 -c 2 -b 16 "$out/flac.flac"
sox -n -r 44100 -c 1 "$out/vorbis.ogg" synth 0.05 sine 440 vol 0.5
tone -r 44100 -c 1 -b 16 "$out/aiff.aiff"
head -c 200 "$out/pcm16-mono.wav" >"$out/truncated.wav"
