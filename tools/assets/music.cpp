#include "music.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace Music {

using namespace Synth;

namespace {

long frameAt(double seconds) { return long(std::floor(seconds * kRate + 0.5)); }

// ---------------------------------------------------------------- harmony --

struct Chord {
    int root;                 // bass note (MIDI), octave 2
    std::array<int, 4> tones; // pad voicing around middle C
};

const Chord kAm{45, {57, 60, 64, 69}};
const Chord kF{41, {57, 60, 65, 69}};
const Chord kC{48, {55, 60, 64, 67}};
const Chord kG{43, {55, 59, 62, 67}};
const Chord kDm{50, {57, 62, 65, 69}};
const Chord kE{40, {56, 59, 64, 68}};

const Chord* const kVerse[4] = {&kAm, &kF, &kC, &kG};   // i VI III VII
const Chord* const kChorus[4] = {&kF, &kG, &kAm, &kAm}; // VI VII i i
const Chord* const kCalm[4] = {&kAm, &kDm, &kF, &kE};   // i iv VI V

// ------------------------------------------------------------ the mix bus --

struct Mix {
    Stereo dry;                  // goes straight to the master
    Stereo ducked;               // bass and pads: pumped by the kick
    std::vector<float> reverb;   // mono send to the hall
    std::vector<float> echo;     // mono send to the ping-pong echo
    std::vector<float> duck;     // gain of the ducked bus, 1 = untouched
    Noise noise{0x1234567u};

    explicit Mix(size_t frames)
        : dry(frames), ducked(frames), reverb(frames, 0.0f), echo(frames, 0.0f),
          duck(frames, 1.0f) {}

    void send(std::vector<float>& bus, long i, float v) {
        if (i >= 0 && size_t(i) < bus.size()) bus[i] += v;
    }
};

// ------------------------------------------------------------ instruments --

// Kick: a sine swept from a punchy attack down to its body pitch, with a
// short click on top. `tone` below 1 darkens it (no click, slower sweep).
// It also ducks the bass and pads for a moment.
void kick(Mix& m, double t, float gain, float tone = 1.0f, float duckDepth = 0.6f) {
    long start = frameAt(t);
    const float length = 0.42f;
    long n = long(length * kRate);
    Sine osc, knock;
    Svf click;
    click.set(3000.0f, 0.7f);
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        // The body sweeps through 150..85 Hz in its first 80 ms: that is
        // where the show's low spectrum bands listen.
        float hz = 55.0f + 95.0f * std::exp(-s / 0.07f) * tone + 250.0f * std::exp(-s / 0.005f);
        float env = std::min(1.0f, s / 0.0015f) * std::exp(-s / 0.23f);
        env *= 1.0f - std::max(0.0f, (s - (length - 0.05f)) / 0.05f); // no click at the end
        float v = std::tanh(1.6f * osc.next(hz) * env) / std::tanh(1.6f);
        float c = click.band(m.noise.white()) * std::exp(-s / 0.004f) * 0.5f * tone;
        // The knock: a short tone near 250 Hz that gives the beat its punch
        // (and the third low band its pulse).
        c += knock.next(235.0f + 60.0f * std::exp(-s / 0.01f)) * std::min(1.0f, s / 0.002f) *
             std::exp(-s / 0.08f) * 0.55f * tone;
        m.dry.add(start + i, (v + c) * gain * 0.85f);
    }
    if (duckDepth > 0.0f) {
        long dn = long(0.6f * kRate);
        for (long i = 0; i < dn; ++i) {
            long k = start + i;
            if (k < 0 || size_t(k) >= m.duck.size()) break;
            float s = float(i) / kRate;
            float g = 1.0f - duckDepth * std::min(1.0f, s / 0.003f) * std::exp(-s / 0.11f);
            m.duck[k] = std::min(m.duck[k], g);
        }
    }
}

// Bass: a saw and a slightly detuned square through a resonant low-pass whose cutoff falls
// after the attack, plus a sine on the fundamental for body. Lives in the
// low bands with the kick.
void bass(Mix& m, double t, double dur, int note, float gain, float cutoff = 700.0f,
          float body = 0.5f) {
    long start = frameAt(t);
    Adsr env{0.004f, 0.18f, 0.55f, 0.04f};
    long n = long(env.length(float(dur)) * kRate);
    float hz = midiToHz(float(note));
    Saw saw;
    Pulse square;
    Sine sine;
    Svf lp;
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        if ((i & 15) == 0) lp.set(cutoff * (0.45f + 1.4f * std::exp(-s / 0.07f)), 1.3f);
        float osc = 0.6f * saw.next(hz) + 0.4f * square.next(hz * 1.004f, 0.5f);
        float v = lp.low(osc) + body * sine.next(hz);
        m.ducked.add(start + i, v * env.at(s, float(dur)) * gain * 0.55f);
    }
}

// Closed or open hi-hat: high-passed noise, panned a little off centre.
void hat(Mix& m, double t, float gain, bool open, float pan) {
    long start = frameAt(t);
    float decay = open ? 0.16f : 0.028f;
    long n = long((decay * 6.0f) * kRate);
    Svf hp;
    hp.set(open ? 6500.0f : 8000.0f, 0.9f);
    Pan p(pan);
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        float env = std::min(1.0f, s / 0.001f) * std::exp(-s / decay);
        float v = hp.high(m.noise.white()) * env * gain;
        m.dry.add(start + i, v, p);
        if (open) m.send(m.reverb, start + i, v * 0.15f);
    }
}

// Clap: three quick noise bursts through a band-pass, then a tail into the
// hall.
void clap(Mix& m, double t, float gain) {
    long start = frameAt(t);
    long n = long(0.35f * kRate);
    Svf bp, hp;
    bp.set(1400.0f, 1.2f);
    hp.set(450.0f, 0.7f);
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        float env = 0.0f;
        for (int b = 0; b < 3; ++b) {
            float sb = s - b * 0.011f;
            if (sb >= 0.0f) env = std::max(env, std::min(1.0f, sb / 0.0008f) * std::exp(-sb / (b == 2 ? 0.09f : 0.006f)));
        }
        env *= std::min(1.0f, (0.35f - s) / 0.03f); // fade the tail out
        float v = hp.high(bp.band(m.noise.white())) * env * gain * 0.9f;
        m.dry.add(start + i, v);
        m.send(m.reverb, start + i, v * 0.45f);
    }
}

// Pad: four chord tones, each three detuned saws, low-passed with a slow
// sweep and high-passed so that it leaves the low bands to kick and bass.
void pad(Mix& m, double t, double dur, const Chord& chord, float gain, float brightness,
         float attack = 0.5f) {
    long start = frameAt(t);
    Adsr env{attack, 1.0f, 1.0f, 1.2f};
    long n = long(env.length(float(dur)) * kRate);
    for (int v = 0; v < 4; ++v) {
        float hz = midiToHz(float(chord.tones[v]));
        Saw a(0.1f * v), b(0.37f + 0.1f * v), c(0.71f + 0.05f * v);
        Svf lp, hp;
        hp.set(260.0f, 0.7f);
        Pan p(-0.6f + 0.4f * v);
        for (long i = 0; i < n; ++i) {
            float s = float(i) / kRate;
            if ((i & 31) == 0)
                lp.set(brightness * (1.0f + 0.3f * std::sin(2.0f * kPi * (0.13f * s + 0.25f * v))), 0.9f);
            float l = a.next(hz * 0.9954f) + 0.6f * c.next(hz);
            float r = b.next(hz * 1.0046f) + 0.6f * c.next(hz * 1.0015f);
            float x = hp.high(lp.low(0.5f * (l + r)));
            float e = env.at(s, float(dur)) * gain * 0.085f;
            // Each voice is spread by its own pan and the detuned pair.
            float side = 0.35f * (l - r) * e;
            m.ducked.add(start + i, x * e, p);
            m.ducked.add2(start + i, side * 0.8f, -side * 0.8f);
            m.send(m.reverb, start + i, x * e * 0.5f);
        }
    }
}

// Pluck: a square-saw blend with a fast filter envelope, for arpeggios and
// hooks; sent to the echo.
void pluck(Mix& m, double t, int note, float gain, float pan, float bright = 1.0f) {
    long start = frameAt(t);
    long n = long(0.5f * kRate);
    float hz = midiToHz(float(note));
    Saw saw;
    Pulse sq;
    Svf lp, hp;
    hp.set(300.0f, 0.7f);
    Pan p(pan);
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        if ((i & 15) == 0) lp.set(500.0f + 4500.0f * bright * std::exp(-s / 0.07f), 1.6f);
        float env = std::min(1.0f, s / 0.002f) * std::exp(-s / 0.16f);
        env *= 1.0f - std::max(0.0f, (s - 0.45f) / 0.05f);
        float v = hp.high(lp.low(0.6f * saw.next(hz) + 0.4f * sq.next(hz, 0.3f))) * env * gain;
        m.dry.add(start + i, v, p);
        m.send(m.echo, start + i, v * 0.5f);
        m.send(m.reverb, start + i, v * 0.25f);
    }
}

// Bell: two-operator FM with a decaying index, soft and glassy.
void bell(Mix& m, double t, int note, float gain, float pan) {
    long start = frameAt(t);
    long n = long(2.2f * kRate);
    float hz = midiToHz(float(note));
    Sine mod, car;
    Pan p(pan);
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        float index = 2.2f * std::exp(-s / 0.25f);
        float env = std::min(1.0f, s / 0.003f) * std::exp(-s / 0.7f);
        env *= 1.0f - std::max(0.0f, (s - 2.1f) / 0.1f);
        float modv = mod.next(hz * 3.5f) * index;
        float v = car.next(hz * (1.0f + 0.0f) + modv * hz * 0.5f) * env * gain * 0.3f;
        m.dry.add(start + i, v, p);
        m.send(m.reverb, start + i, v * 0.7f);
        m.send(m.echo, start + i, v * 0.3f);
    }
}

// Impact on a cue: a noise crash that spreads wide, a low boom and a hall
// tail.
void impact(Mix& m, double t, float gain) {
    long start = frameAt(t);
    long n = long(2.5f * kRate);
    Svf hpL, hpR;
    hpL.set(2500.0f, 0.7f);
    hpR.set(2600.0f, 0.7f);
    Noise other(0xabcdefu + uint32_t(start));
    Sine boom;
    for (long i = 0; i < n; ++i) {
        float s = float(i) / kRate;
        float env = std::min(1.0f, s / 0.002f) * std::exp(-s / 0.6f);
        env *= 1.0f - std::max(0.0f, (s - 2.3f) / 0.2f);
        float l = hpL.high(m.noise.white()) * env * gain * 0.22f;
        float r = hpR.high(other.white()) * env * gain * 0.22f;
        float b = boom.next(45.0f + 40.0f * std::exp(-s / 0.1f)) * std::min(1.0f, s / 0.003f) *
                  std::exp(-s / 0.35f) * gain * 0.3f;
        m.dry.add2(start + i, l + b, r + b);
        m.send(m.reverb, start + i, (l + r) * 0.6f);
    }
}

// Riser: noise through a band-pass sweeping upwards, swelling towards `t1`.
void riser(Mix& m, double t0, double t1, float gain) {
    long start = frameAt(t0);
    long n = frameAt(t1) - start;
    Svf bp;
    for (long i = 0; i < n; ++i) {
        float p = float(i) / float(n);
        if ((i & 15) == 0) bp.set(300.0f * std::pow(30.0f, p), 2.0f);
        float v = bp.band(m.noise.white()) * p * p * gain * std::min(1.0f, float(n - i) / (0.01f * kRate));
        m.dry.add(start + i, v, Pan(0.5f * std::sin(2.0f * kPi * p * 3.0f)));
        m.send(m.reverb, start + i, v * 0.3f);
    }
}

// The lead voice: a glottal-like pulse through three formant band-passes
// that glide between vowels, with vibrato that grows on held notes and a
// little breath. Each note is sung legato into the next.
struct Sung {
    int note;  // MIDI
    int len;   // sixteenth notes
    int vowel; // 0 a, 1 e, 2 i, 3 o, 4 u
};

const float kFormants[5][3] = {
    {800.0f, 1150.0f, 2900.0f}, // a
    {450.0f, 1900.0f, 2700.0f}, // e
    {330.0f, 2300.0f, 3000.0f}, // i
    {480.0f, 850.0f, 2800.0f},  // o
    {340.0f, 700.0f, 2500.0f},  // u
};
const float kFormantGain[3] = {1.0f, 0.55f, 0.3f};

void voice(Mix& m, double t, const std::vector<Sung>& phrase, float gain) {
    const double sixteenth = kBeat / 4.0;
    int total = 0;
    for (const Sung& s : phrase) total += s.len;
    long start = frameAt(t);
    double phraseEnd = total * sixteenth;
    long n = long((phraseEnd + 0.25) * kRate);
    Saw src;
    Svf f[3];
    Svf hp;
    hp.set(280.0f, 0.7f);
    Svf breath;
    breath.set(3000.0f, 0.8f);
    Pan p(0.05f);
    float pitch = float(phrase.front().note);
    float form[3] = {kFormants[phrase.front().vowel][0], kFormants[phrase.front().vowel][1],
                     kFormants[phrase.front().vowel][2]};
    size_t idx = 0;
    double noteStart = 0.0;
    Sine vib;
    for (long i = 0; i < n; ++i) {
        double s = double(i) / kRate;
        while (idx + 1 < phrase.size() && s >= noteStart + phrase[idx].len * sixteenth) {
            noteStart += phrase[idx].len * sixteenth;
            ++idx;
        }
        const Sung& cur = phrase[idx];
        float inNote = float(s - noteStart);
        // Portamento towards the current note, about 40 ms.
        pitch += (float(cur.note) - pitch) * (1.0f - std::exp(-1.0f / (0.025f * kRate)));
        float vibDepth = 0.28f * std::min(1.0f, std::max(0.0f, (inNote - 0.2f) / 0.4f));
        float hz = midiToHz(pitch + vibDepth * vib.next(5.4f));
        for (int k = 0; k < 3; ++k)
            form[k] += (kFormants[cur.vowel][k] - form[k]) * (1.0f - std::exp(-1.0f / (0.04f * kRate)));
        if ((i & 15) == 0)
            for (int k = 0; k < 3; ++k) f[k].set(form[k], form[k] / (110.0f + 45.0f * k));
        float source = src.next(hz);
        float x = 0.0f;
        // Band-pass outputs scaled to unit gain at their centres.
        for (int k = 0; k < 3; ++k)
            x += f[k].band(source) * kFormantGain[k] * (110.0f + 45.0f * k) / form[k];
        x += breath.band(m.noise.white()) * 0.05f;
        // Phrase envelope: soft attack, a small dip between syllables, a
        // release after the last note.
        float env = std::min(1.0f, float(s) / 0.03f);
        float left = float(noteStart + cur.len * sixteenth - s);
        float syll = idx + 1 < phrase.size() ? std::min(1.0f, std::min(inNote, left) / 0.025f)
                                             : std::min(1.0f, inNote / 0.025f);
        env *= 0.7f + 0.3f * syll;
        if (s > phraseEnd) env *= std::max(0.0f, 1.0f - float(s - phraseEnd) / 0.25f);
        float v = hp.high(x) * env * gain * 1.5f;
        m.dry.add(start + i, v, p);
        m.send(m.reverb, start + i, v * 0.55f);
        m.send(m.echo, start + i, v * 0.25f);
    }
}

// ---------------------------------------------------------------- the song --

// Lyric changes of the show, in seconds; a sung phrase starts at each one.
const double kLyricTimes[18] = {79.62,  79.93,  80.24,  80.54,  84.04,  87.74,
                                90.61,  94.52,  98.83,  102.74, 106.43, 110.54,
                                114.24, 118.56, 122.46, 126.16, 130.06, 133.15};

// One phrase per lyric line: "Ebb" / "and" / "flow", then fourteen full
// lines and a closing hum when the words leave the screen.
const std::vector<Sung> kPhrases[18] = {
    {{76, 3, 1}},
    {{74, 3, 0}},
    {{72, 3, 3}},
    {{69, 2, 0}, {72, 2, 1}, {74, 2, 0}, {76, 4, 0}, {74, 2, 2}, {72, 2, 1}, {74, 2, 0}, {72, 2, 2}, {69, 8, 1}},
    {{67, 2, 0}, {69, 2, 2}, {72, 2, 1}, {72, 4, 3}, {74, 2, 0}, {72, 2, 1}, {69, 2, 0}, {67, 10, 4}},
    {{69, 2, 1}, {69, 2, 3}, {72, 2, 0}, {74, 2, 0}, {76, 2, 1}, {74, 2, 0}, {72, 2, 3}, {74, 2, 1}, {76, 8, 1}},
    {{79, 2, 0}, {76, 2, 2}, {74, 2, 1}, {76, 4, 1}, {74, 2, 2}, {72, 2, 1}, {74, 2, 0}, {72, 2, 4}, {69, 12, 4}},
    {{76, 4, 2}, {74, 2, 2}, {72, 2, 1}, {74, 6, 2}, {72, 2, 0}, {69, 2, 0}, {67, 12, 3}},
    {{69, 2, 1}, {72, 2, 4}, {74, 4, 3}, {76, 2, 0}, {74, 2, 2}, {72, 2, 1}, {74, 2, 0}, {76, 12, 2}},
    {{79, 2, 1}, {76, 2, 2}, {76, 2, 1}, {74, 2, 0}, {72, 2, 1}, {74, 2, 4}, {69, 12, 3}},
    {{69, 2, 1}, {72, 2, 3}, {76, 4, 2}, {74, 2, 3}, {72, 2, 0}, {69, 2, 1}, {72, 2, 0}, {69, 14, 2}},
    {{81, 4, 0}, {79, 2, 3}, {76, 2, 1}, {79, 4, 2}, {76, 2, 2}, {74, 2, 3}, {76, 2, 1}, {72, 2, 3}, {74, 8, 3}},
    {{72, 2, 1}, {74, 2, 0}, {76, 4, 0}, {76, 2, 4}, {74, 2, 0}, {72, 2, 3}, {74, 2, 1}, {69, 14, 4}},
    {{76, 2, 0}, {79, 2, 1}, {81, 2, 0}, {79, 2, 2}, {76, 4, 2}, {74, 2, 3}, {76, 2, 2}, {79, 12, 3}},
    {{81, 4, 0}, {79, 2, 2}, {76, 2, 2}, {74, 2, 1}, {76, 2, 2}, {74, 2, 1}, {72, 2, 2}, {69, 12, 4}},
    {{69, 2, 3}, {72, 2, 1}, {76, 4, 2}, {69, 2, 3}, {72, 2, 1}, {74, 2, 1}, {72, 4, 0}, {76, 8, 3}},
    {{72, 2, 1}, {74, 2, 2}, {76, 4, 1}, {74, 2, 2}, {72, 2, 1}, {69, 14, 3}},
    {{76, 8, 4}, {74, 8, 4}, {69, 24, 3}},
};

// Where in the bar a hook note falls (sixteenths), its pitch and octave.
struct Hook {
    int step;
    int note;
};
const std::vector<Hook> kHook[2] = {
    {{0, 81}, {3, 76}, {6, 79}, {8, 76}, {10, 74}, {12, 72}, {14, 74}},
    {{0, 72}, {3, 74}, {6, 76}, {10, 79}, {12, 76}, {14, 74}},
};

void arpBar(Mix& m, double bar, const Chord& c, float gain, int octave, float bright) {
    static const int pattern[16] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 2, 1, 3, 2, 1, 3, 2};
    for (int k = 0; k < 16; ++k) {
        float accent = (k % 4 == 0) ? 1.0f : 0.7f;
        pluck(m, beatTime(bar + k * 0.25), c.tones[pattern[k]] + 12 * octave, gain * accent,
              (k % 2 ? 0.65f : -0.65f), bright);
    }
}

void hats16(Mix& m, double bar, float gain, bool offbeatOpen) {
    for (int k = 0; k < 16; ++k) {
        float v = (k % 4 == 2) ? 1.0f : (k % 2 ? 0.45f : 0.6f);
        if (offbeatOpen && k % 4 == 2)
            hat(m, beatTime(bar + k * 0.25), gain * 0.8f, true, 0.25f);
        else
            hat(m, beatTime(bar + k * 0.25), gain * v, false, -0.2f);
    }
}

// Bass on the off-beats (the "and" of every beat), root and octave in turn,
// the kick on the beats: the low bands pulse twice a beat.
void offbeatBass(Mix& m, double bar, const Chord& c, float gain, float cutoff) {
    for (int b = 0; b < 4; ++b) {
        int note = c.root + ((b % 2 == 1) ? 12 : 0);
        bass(m, beatTime(bar + b + 0.5), kBeat * 0.42, note, gain, cutoff);
    }
}

void fourOnFloor(Mix& m, double bar, float gain, float tone = 1.0f, float duck = 0.6f) {
    for (int b = 0; b < 4; ++b) kick(m, beatTime(bar + b), gain, tone, duck);
}

void snareRoll(Mix& m, double from, double to, float gain) {
    int steps = int((to - from) * 4.0 + 0.5);
    for (int k = 0; k < steps; ++k) {
        float p = float(k) / float(steps);
        clap(m, beatTime(from + k * 0.25), gain * (0.25f + 0.75f * p));
    }
}

void compose(Mix& m) {
    // Intro, 0 to 13 s: the cloud. Pads open slowly, bells, a soft heartbeat.
    for (int c = 0; c < 4; ++c) {
        double bar = 8.0 * c;
        float bright = 500.0f + 500.0f * c;
        pad(m, beatTime(bar), 8 * kBeat, *kVerse[c], 0.9f + 0.1f * c, bright, c == 0 ? 3.0f : 0.6f);
        if (c >= 1)
            for (int k = 0; k < 16; ++k)
                if (k % 3 != 2)
                    bell(m, beatTime(bar + k * 0.5), kVerse[c]->tones[(k * 3) % 4] + 12, 0.5f,
                         (k % 2) ? 0.5f : -0.5f);
        if (c >= 1)
            for (int b = 0; b < 8; b += 2) kick(m, beatTime(bar + b), c == 1 ? 0.3f : 0.45f, 0.3f, 0.2f);
    }
    riser(m, beatTime(24), beatTime(32), 0.35f);

    // First flash, 13 s: a muffled four-on-the-floor, a soft bass, arpeggios.
    impact(m, beatTime(32), 0.8f);
    for (int bar = 0; bar < 8; ++bar) {
        double b0 = 32.0 + 4.0 * bar;
        const Chord& c = *kVerse[bar % 4];
        pad(m, beatTime(b0), 4 * kBeat, c, 0.8f, 1800.0f);
        if (bar < 7) {
            fourOnFloor(m, b0, 0.6f, 0.4f, 0.35f);
            offbeatBass(m, b0, c, 0.45f, 350.0f);
        }
        arpBar(m, b0, c, 0.12f + 0.02f * bar, 1, 0.3f + 0.08f * bar);
        if (bar >= 2)
            for (int k = 0; k < 8; ++k) hat(m, beatTime(b0 + 0.5 * k), (k % 2) ? 0.10f : 0.05f, false, -0.2f);
    }
    snareRoll(m, 60, 64, 0.5f);
    riser(m, beatTime(56), beatTime(64), 0.5f);

    // Second scene, 26.3 s: the drop. Full kick and bass, clap, hats, hook.
    for (int pass = 0; pass < 2; ++pass) {
        double base = 64.0 + 32.0 * pass;
        impact(m, beatTime(base), pass == 0 ? 1.0f : 0.6f);
        for (int bar = 0; bar < 8; ++bar) {
            double b0 = base + 4.0 * bar;
            const Chord& c = *kVerse[bar % 4];
            pad(m, beatTime(b0), 4 * kBeat, c, 0.9f, 2600.0f);
            fourOnFloor(m, b0, 1.0f);
            offbeatBass(m, b0, c, 0.85f, 650.0f + 150.0f * pass);
            clap(m, beatTime(b0 + 1), 0.45f);
            clap(m, beatTime(b0 + 3), 0.45f);
            hats16(m, b0, 0.16f, true);
            for (const Hook& h : kHook[bar % 2])
                pluck(m, beatTime(b0 + h.step * 0.25), h.note + (pass == 1 ? 0 : -12), 0.22f, 0.15f, 0.8f);
            if (pass == 1) arpBar(m, b0, c, 0.07f, 1, 0.6f);
        }
    }
    snareRoll(m, 126, 128, 0.45f);

    // Third scene, 52.6 s: water. Half-time kick, long bass, calm harmony.
    impact(m, beatTime(128), 0.8f);
    for (int bar = 0; bar < 8; ++bar) {
        double b0 = 128.0 + 4.0 * bar;
        const Chord& c = *kCalm[(bar / 2) % 4];
        if (bar % 2 == 0) pad(m, beatTime(b0), 8 * kBeat, c, 1.0f, 2200.0f, 0.3f);
        kick(m, beatTime(b0), 0.9f, 0.8f, 0.7f);
        kick(m, beatTime(b0 + 2.5), 0.7f, 0.8f, 0.7f);
        bass(m, beatTime(b0 + 0.5), kBeat * 1.4, c.root, 0.75f, 500.0f);
        bass(m, beatTime(b0 + 3.0), kBeat * 0.9, c.root + 12, 0.6f, 500.0f);
        clap(m, beatTime(b0 + 2), 0.35f);
        for (int k = 0; k < 8; ++k) hat(m, beatTime(b0 + 0.5 * k), (k % 2) ? 0.08f : 0.04f, false, 0.3f);
        for (int k = 0; k < 4; ++k)
            bell(m, beatTime(b0 + k + (bar % 2) * 0.5), c.tones[(k + bar) % 4] + 12, 0.55f, (k % 2) ? 0.6f : -0.6f);
    }

    // Credits, 65.75 s: the beat returns and builds towards the song; the
    // song's melody is previewed by the plucks.
    for (int bar = 0; bar < 9; ++bar) {
        double b0 = 160.0 + 4.0 * bar;
        const Chord& c = *kVerse[bar % 4];
        pad(m, beatTime(b0), 4 * kBeat, c, 0.9f, 2000.0f + 150.0f * bar);
        if (bar < 8) {
            fourOnFloor(m, b0, 0.85f, 0.9f, 0.5f);
            offbeatBass(m, b0, c, 0.7f, 500.0f + 30.0f * bar);
        }
        if (bar >= 2 && bar < 8) hats16(m, b0, 0.12f, bar >= 5);
        arpBar(m, b0, c, 0.09f, 1, 0.4f + 0.05f * bar);
        if (bar >= 4 && bar < 8)
            for (const Hook& h : kHook[bar % 2]) bell(m, beatTime(b0 + h.step * 0.25), h.note, 0.4f, 0.2f);
    }
    riser(m, beatTime(188), beatTime(196), 0.55f);
    snareRoll(m, 192, 196, 0.4f);

    // Fourth and fifth scenes, 80.6 s to 133.2 s: the song. Verse, then a
    // fuller chorus with wide stabs and open hats.
    for (int bar = 0; bar < 32; ++bar) {
        bool chorus = bar >= 16;
        double b0 = 196.0 + 4.0 * bar;
        const Chord& c = chorus ? *kChorus[bar % 4] : *kVerse[bar % 4];
        if (bar == 0) impact(m, beatTime(b0), 0.7f);
        if (bar == 16) impact(m, beatTime(b0), 0.8f);
        pad(m, beatTime(b0), 4 * kBeat, c, chorus ? 1.0f : 0.8f, chorus ? 3000.0f : 2200.0f);
        fourOnFloor(m, b0, 1.0f);
        offbeatBass(m, b0, c, 0.85f, chorus ? 800.0f : 650.0f);
        clap(m, beatTime(b0 + 1), 0.4f);
        clap(m, beatTime(b0 + 3), 0.4f);
        hats16(m, b0, chorus ? 0.15f : 0.11f, chorus);
        arpBar(m, b0, c, chorus ? 0.05f : 0.04f, chorus ? 2 : 1, 0.5f);
        if (chorus)
            for (int k = 0; k < 4; ++k)
                if (k != 1) pluck(m, beatTime(b0 + k * 1.0 + (k == 3 ? 0.5 : 0.0)), c.tones[3] + 12, 0.1f, k % 2 ? 0.7f : -0.7f, 1.0f);
    }
    snareRoll(m, 322, 324, 0.4f);

    // The lead voice, one phrase per lyric change, placed on the nearest
    // sixteenth so that it sits in the groove.
    for (int k = 0; k < 18; ++k) {
        double sixteenths = std::floor((kLyricTimes[k] - kOrigin) / (kBeat / 4.0) + 0.5);
        voice(m, kOrigin + sixteenths * kBeat / 4.0, kPhrases[k], k == 17 ? 0.6f : 0.75f);
    }

    // The cloud returns, 133.2 s: breakdown, bells and pads over a slow
    // heartbeat that fades away with everything by 165 s.
    impact(m, beatTime(324), 0.9f);
    for (int bar = 0; bar < 20; ++bar) {
        double b0 = 324.0 + 4.0 * bar;
        const Chord& c = *kVerse[(bar / 2) % 4];
        if (bar % 2 == 0) pad(m, beatTime(b0), 8 * kBeat, c, 1.0f, 2400.0f - 80.0f * bar, 0.8f);
        if (bar < 14) {
            kick(m, beatTime(b0), 0.65f - 0.03f * bar, 0.5f, 0.4f);
            bass(m, beatTime(b0), kBeat * 2.5, c.root, 0.45f - 0.025f * bar, 350.0f);
        }
        for (int k = 0; k < 4; ++k)
            if ((k + bar) % 3 != 0)
                bell(m, beatTime(b0 + k + 0.5 * (bar % 2)), c.tones[(k * 2 + bar) % 4] + 12, 0.45f, (k % 2) ? 0.6f : -0.6f);
    }
}

} // namespace

Synth::Stereo render(Stats* stats) {
    size_t frames = size_t(kLength * kRate);
    Mix m(frames);
    compose(m);

    Stereo out(frames);
    for (size_t i = 0; i < frames; ++i) {
        out.l[i] = m.dry.l[i] + m.ducked.l[i] * m.duck[i];
        out.r[i] = m.dry.r[i] + m.ducked.r[i] * m.duck[i];
    }
    Reverb hall(0.86f, 0.35f);
    hall.process(m.reverb, out, 1.0f);
    pingPong(m.echo, out, float(kBeat * 0.75), 0.45f, 0.5f);

    // Master: remove DC and rumble, fade out from 150 s to 165 s, then keep
    // the peak below -0.3 dBFS (here -1 dBFS, leaving room for the encoder).
    Svf hpL, hpR;
    hpL.set(22.0f, 0.7f);
    hpR.set(22.0f, 0.7f);
    const double fadeFrom = 150.0, fadeTo = 165.0;
    float peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) {
        double t = double(i) / kRate;
        float g = 1.0f;
        if (t >= fadeTo) g = 0.0f;
        else if (t > fadeFrom) g = float(0.5 + 0.5 * std::cos(M_PI * (t - fadeFrom) / (fadeTo - fadeFrom)));
        out.l[i] = hpL.high(out.l[i]) * g;
        out.r[i] = hpR.high(out.r[i]) * g;
        peak = std::max(peak, std::max(std::fabs(out.l[i]), std::fabs(out.r[i])));
    }
    const float ceiling = 0.891f; // -1 dBFS
    limit(out, ceiling);
    peak = 0.0f;
    for (size_t i = 0; i < frames; ++i) peak = std::max(peak, std::max(std::fabs(out.l[i]), std::fabs(out.r[i])));
    float gain = peak > ceiling ? ceiling / peak : 1.0f;
    if (gain != 1.0f)
        for (size_t i = 0; i < frames; ++i) {
            out.l[i] *= gain;
            out.r[i] *= gain;
        }
    if (stats) {
        stats->peak = peak * gain;
        stats->masterGain = gain;
    }
    return out;
}

} // namespace Music
