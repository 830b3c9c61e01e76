// The game's sound effects and tunes, synthesised from band-limited oscillators, filtered noise and
// eased envelopes, so the generator needs no recorded audio. Every sound leaves here at the same peak.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "media.h"

namespace {

constexpr int kRate = 22050;
constexpr double kPi = 3.14159265358979323846;
// -6 dBFS: the game mixes several sounds at once and they must not clip.
constexpr double kPeak = 0.5;

long At(double seconds) { return std::lround(seconds * kRate); }

double Ease(double x) { return 0.5 - 0.5 * std::cos(kPi * std::clamp(x, 0.0, 1.0)); }

double Frequency(int key) { return 440.0 * std::exp2((key - 69) / 12.0); }

// Fixed-seed xorshift: every build writes the same files.
class Random {
public:
    explicit Random(uint32_t seed) : state_(seed | 1) {}
    double Uniform() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_ / 4294967296.0;
    }
    double Between(double low, double high) { return low + (high - low) * Uniform(); }

private:
    uint32_t state_;
};

enum class Pass { Low, Band, High };

// Two-pole state-variable filter (trapezoidal form, so it stays stable while its cutoff moves).
class Filter {
public:
    Filter(Pass pass, double q) : pass_(pass), damping_(1 / q) {}
    double Run(double x, double cutoff) {
        const double g = std::tan(kPi * std::min(cutoff, 0.45 * kRate) / kRate);
        const double a1 = 1 / (1 + g * (g + damping_));
        const double a2 = g * a1;
        const double a3 = g * a2;
        const double v3 = x - low_state_;
        const double band = a1 * band_state_ + a2 * v3;
        const double low = low_state_ + a2 * band_state_ + a3 * v3;
        band_state_ = 2 * band - band_state_;
        low_state_ = 2 * low - low_state_;
        switch (pass_) {
            case Pass::Low: return low;
            case Pass::Band: return damping_ * band;  // unity gain at the centre whatever the q
            case Pass::High: break;
        }
        return x - damping_ * band - low;
    }

private:
    Pass pass_;
    double damping_;
    double band_state_ = 0;
    double low_state_ = 0;
};

// Attack and release are eased so nothing starts or stops with a click; in between the level
// falls exponentially from 1 towards `sustain` (a decay of 0 holds it at 1).
struct Envelope {
    double attack = 0.005;
    double decay = 0;
    double sustain = 1;
    double release = 0.02;

    double Level(double t, double length) const {
        double level = decay > 0 ? sustain + (1 - sustain) * std::exp(-t / decay) : 1;
        if (t < attack) level *= Ease(t / attack);
        if (length - t < release) level *= Ease((length - t) / release);
        return level;
    }
};

// A struck sound: quick rise, then a fall to silence.
Envelope Strike(double decay, double attack = 0.002, double release = 0.02) { return {attack, decay, 0, release}; }

enum class Shape { Sine, Triangle, Square };

struct Voice {
    Shape shape = Shape::Sine;
    double volume = 1;
    Envelope envelope;
    double brightness = 4000;  // Hz; overtones fade out towards it, a built-in gentle low-pass
    double vibrato = 0;        // semitones
};

// Odd harmonics only, each weighted down as it nears the brightness limit, so timbres stay soft,
// nothing aliases, and a gliding pitch never switches an overtone on abruptly.
double Oscillate(Shape shape, double phase, double freq, double brightness) {
    const double x = 2 * kPi * phase;
    if (shape == Shape::Sine) return std::sin(x);
    double sum = 0;
    for (int k = 1; k == 1 || k * freq < brightness; k += 2) {
        const double weight = k == 1 ? 1 : 1 - k * freq / brightness;
        sum += shape == Shape::Square ? weight * std::sin(k * x) / k
                                      : weight * ((k / 2) % 2 ? -1 : 1) * std::sin(k * x) / (k * k);
    }
    return shape == Shape::Square ? sum * 4 / kPi : sum * 8 / (kPi * kPi);
}

using Curve = std::function<double(double)>;  // a frequency over time (seconds from the start)

Curve Steady(double freq) {
    return [freq](double) { return freq; };
}

// Filtered noise: its Curve moves the filter's cutoff.
struct Hiss {
    Pass pass = Pass::Low;
    double q = 0.707;
    double volume = 1;
    Envelope envelope;
    uint32_t seed = 1;
};

// The sample buffer of one sound. A loop wraps whatever runs past its end onto its start, so the
// seam is just another moment of the tune.
class Mix {
public:
    explicit Mix(double seconds, bool loop = false) : samples_(static_cast<size_t>(At(seconds))), loop_(loop) {}

    void Add(long index, double value) {
        const long size = static_cast<long>(samples_.size());
        if (loop_) index = (index % size + size) % size;
        if (index >= 0 && index < size) samples_[static_cast<size_t>(index)] += value;
    }

    void Tone(double start, double length, const Voice& voice, const Curve& pitch) {
        const long first = At(start);
        const long count = At(length);
        double phase = 0;
        for (long i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double freq = pitch(t);
            Add(first + i, voice.volume * voice.envelope.Level(t, length) *
                               Oscillate(voice.shape, phase, freq, voice.brightness));
            phase += freq / kRate;
            phase -= std::floor(phase);
        }
    }

    void Note(double start, double length, double freq, const Voice& voice) {
        Tone(start, length, voice, [freq, &voice](double t) {
            const double depth = voice.vibrato * std::min(1.0, t / 0.3);  // eases in: short notes stay steady
            return freq * std::exp2(depth / 12 * std::sin(2 * kPi * 5.5 * t));
        });
    }

    void Noise(double start, double length, const Hiss& hiss, const Curve& cutoff) {
        const long first = At(start);
        Random random(hiss.seed);
        Filter filter(hiss.pass, hiss.q);
        const long count = At(length);
        for (long i = 0; i < count; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double noise = filter.Run(random.Between(-1, 1), cutoff(t));
            Add(first + i, hiss.volume * hiss.envelope.Level(t, length) * noise);
        }
    }

    // Removes DC and softens the top end, fades one-shot sounds in and out, and sets the level.
    Wave Finish() {
        Smooth(Filter(Pass::High, 0.707), 25);
        Smooth(Filter(Pass::Low, 0.707), 6000);
        if (!loop_) {
            const double count = static_cast<double>(samples_.size());
            for (size_t i = 0; i < samples_.size(); ++i) {
                const double index = static_cast<double>(i);
                samples_[i] *= Ease(index / (0.003 * kRate)) * Ease((count - 1 - index) / (0.01 * kRate));
            }
        }
        double peak = 1e-9;
        for (double sample : samples_) peak = std::max(peak, std::abs(sample));
        Wave wave;
        wave.rate = kRate;
        for (double sample : samples_) {
            wave.samples.push_back(static_cast<int16_t>(std::lround(sample / peak * kPeak * 32767)));
        }
        return wave;
    }

private:
    // A loop runs the filter over itself once first, so the state at its seam is the one its end leaves.
    void Smooth(Filter filter, double cutoff) {
        if (loop_) {
            for (double sample : samples_) filter.Run(sample, cutoff);
        }
        for (double& sample : samples_) sample = filter.Run(sample, cutoff);
    }

    std::vector<double> samples_;
    bool loop_;
};

// ---- Instruments shared by the effects and the tunes ----

void Kick(Mix& mix, double at) {
    mix.Tone(at, 0.2, {Shape::Sine, 0.55, Strike(0.06, 0.002, 0.04)},
             [](double t) { return 50 + 100 * std::exp(-t * 35); });
}

void Snare(Mix& mix, double at) {
    mix.Noise(at, 0.12, {Pass::Band, 0.8, 0.45, Strike(0.04, 0.002, 0.04), 7}, Steady(1800));
    mix.Tone(at, 0.08, {Shape::Sine, 0.2, Strike(0.03)}, Steady(190));
}

void Hat(Mix& mix, double at) { mix.Noise(at, 0.05, {Pass::High, 0.7, 0.2, Strike(0.012, 0.001), 5}, Steady(6000)); }

// A bell-like pling: a sine with two quicker-fading overtones.
void Bell(Mix& mix, double start, double freq, double length, double volume) {
    mix.Tone(start, length, {Shape::Sine, volume, Strike(length * 0.3)}, Steady(freq));
    mix.Tone(start, length, {Shape::Sine, volume * 0.3, Strike(length * 0.12)}, Steady(freq * 2));
    mix.Tone(start, length, {Shape::Sine, volume * 0.1, Strike(length * 0.06)}, Steady(freq * 3));
}

// A bubble's pitch rises as it closes.
void Bubble(Mix& mix, double start, double freq, double length, double volume) {
    mix.Tone(start, length, {Shape::Sine, volume, Strike(length * 0.35, 0.004, 0.015)},
             [freq, length](double t) { return freq * (1 + 1.2 * t / length); });
}

// Random plings on a high pentatonic scale, so any overlap still sounds sweet.
void Sparkle(Mix& mix, Random& random, double from, double to, int count, double volume) {
    static constexpr int kKeys[] = {84, 86, 88, 91, 93};
    for (int i = 0; i < count; ++i) {
        const double start = from + (to - from) * (i + random.Uniform()) / count;
        const int key = kKeys[static_cast<size_t>(random.Uniform() * std::size(kKeys))];
        Bell(mix, start, Frequency(key), random.Between(0.18, 0.3), volume * random.Between(0.6, 1));
    }
}

// A bright crack that darkens quickly over a long low rumble.
void Explosion(Mix& mix, double length) {
    mix.Noise(0, length, {Pass::Low, 0.9, 1, Strike(length * 0.2, 0.004, length * 0.3), 11},
              [](double t) { return 150 + 3000 * std::exp(-t * 6); });
    mix.Noise(0, length, {Pass::Low, 1.2, 4, Strike(length * 0.4, 0.01, length * 0.4), 12}, Steady(110));
    mix.Tone(0, length * 0.7, {Shape::Sine, 0.5, Strike(0.2, 0.005, 0.1)},
             [](double t) { return 40 + 40 * std::exp(-t * 6); });
}

// ---- The sequencer ----

int Semitone(char letter) {
    static constexpr int kFromC[] = {9, 11, 0, 2, 4, 5, 7};  // A to G
    if (letter < 'A' || letter > 'G') throw std::invalid_argument(std::string("not a note letter: ") + letter);
    return kFromC[letter - 'A'];
}

// "C#5" or "Bb3" as a MIDI key (C4 is 60).
int Key(std::string_view name) {
    std::string problem = "not a note: ";
    problem += name;
    if (name.size() < 2) throw std::invalid_argument(problem);
    int key = Semitone(name[0]);
    size_t at = 1;
    if (name[at] == '#' || name[at] == 'b') key += name[at++] == '#' ? 1 : -1;
    if (at + 1 != name.size() || name[at] < '0' || name[at] > '9') throw std::invalid_argument(problem);
    return key + 12 * (name[at] - '0' + 1);
}

// A tune on a grid of equal steps. Note lines read like "A4:4 C5:2 -:2 A3+C4+E4:8": a note name with
// its octave and a length in steps (1 if left out); '-' rests and '+' stacks a chord.
class Score {
public:
    // The step is rounded to whole samples so the beat never drifts and a loop holds an exact number of steps.
    Score(double stepSeconds, int steps, bool loop = false)
        : step_(static_cast<double>(At(stepSeconds)) / kRate), steps_(steps), mix_(step_ * steps, loop) {}

    // Returns the step after the line's last note, where the next line can carry on.
    int Play(std::string_view line, const Voice& voice, int step = 0, int transpose = 0) {
        while (!line.empty()) {
            const size_t end = std::min(line.find(' '), line.size());
            std::string_view token = line.substr(0, end);
            line.remove_prefix(std::min(end + 1, line.size()));
            if (token.empty()) continue;
            int length = 1;
            if (const size_t colon = token.find(':'); colon != std::string_view::npos) {
                const char* last = token.data() + token.size();
                if (std::from_chars(token.data() + colon + 1, last, length).ptr != last || length < 1) {
                    throw std::invalid_argument("a note length must be a whole number of steps");
                }
                token = token.substr(0, colon);
            }
            if (step + length > steps_) throw std::logic_error("a note line runs past the end of its tune");
            while (token != "-" && !token.empty()) {
                const size_t plus = std::min(token.find('+'), token.size());
                mix_.Note(step * step_, length * step_, Frequency(Key(token.substr(0, plus)) + transpose), voice);
                token.remove_prefix(std::min(plus + 1, token.size()));
            }
            step += length;
        }
        return step;
    }

    // Plays a short line written on the root `home` once per root in `roots` ("A F C G"), one after
    // another, each time moved by at most a tritone so the line stays in one register.
    void Walk(std::string_view line, char home, std::string_view roots, const Voice& voice) {
        int step = 0;
        for (char root : roots) {
            if (root == ' ') continue;
            const int shift = (Semitone(root) - Semitone(home) + 12) % 12;
            step = Play(line, voice, step, shift > 6 ? shift - 12 : shift);
        }
    }

    // One character a step: k kick, s snare, h hi-hat, '.' nothing.
    void Drums(std::string_view pattern, int step) {
        if (step + static_cast<int>(pattern.size()) > steps_) {
            throw std::logic_error("a drum line runs past the end of its tune");
        }
        for (char hit : pattern) {
            const double at = step++ * step_;
            switch (hit) {
                case 'k': Kick(mix_, at); break;
                case 's': Snare(mix_, at); break;
                case 'h': Hat(mix_, at); break;
                case '.': break;
                default: throw std::invalid_argument(std::string("not a drum: ") + hit);
            }
        }
    }

    Wave Finish() { return mix_.Finish(); }

private:
    double step_;
    int steps_;
    Mix mix_;
};

// ---- The effects ----

Wave Step() {
    // Three tiny grains of dark noise make the crunch; a faint low knock gives it weight.
    Mix mix(0.07);
    for (int grain = 0; grain < 3; ++grain) {
        mix.Noise(grain * 0.013, 0.035, {Pass::Low, 1.2, 1 - 0.25 * grain, Strike(0.008, 0.001, 0.012), 21u + grain},
                  Steady(1500 - 300 * grain));
    }
    mix.Tone(0, 0.05, {Shape::Sine, 0.4, Strike(0.015)}, [](double t) { return 90 + 60 * std::exp(-t * 40); });
    return mix.Finish();
}

Wave Pling() {
    Mix mix(0.45);
    Bell(mix, 0, Frequency(88), 0.4, 1);
    Bell(mix, 0.03, Frequency(95), 0.4, 0.35);
    return mix.Finish();
}

Wave Boulder() {
    Mix mix(0.45);
    mix.Tone(0, 0.45, {Shape::Triangle, 1, Strike(0.1, 0.002, 0.1), 600},
             [](double t) { return 55 + 100 * std::exp(-t * 18); });
    mix.Noise(0, 0.3, {Pass::Low, 0.7, 0.8, Strike(0.04, 0.002, 0.05), 3},
              [](double t) { return 150 + 700 * std::exp(-t * 25); });
    return mix.Finish();
}

Wave Start() {
    // Noise and a glide swell upwards together and land on a soft chime.
    Mix mix(0.9);
    mix.Noise(0, 0.7, {Pass::Band, 1.5, 0.8, {0.35, 0, 1, 0.3}, 9},
              [](double t) { return 300 * std::pow(12.0, t / 0.7); });
    mix.Tone(0, 0.7, {Shape::Triangle, 0.25, {0.3, 0, 1, 0.3}, 2500},
             [](double t) { return 220 * std::pow(4.0, t / 0.7); });
    Bell(mix, 0.45, Frequency(79), 0.45, 0.35);
    Bell(mix, 0.5, Frequency(84), 0.4, 0.45);
    return mix.Finish();
}

Wave Explode() {
    Mix mix(1.3);
    Explosion(mix, 1.3);
    return mix.Finish();
}

Wave SparklingExplosion() {
    Mix mix(1.3);
    Explosion(mix, 0.9);
    Random random(41);
    Sparkle(mix, random, 0.05, 1.0, 14, 0.35);
    return mix.Finish();
}

Wave ExtraLife() {
    Score score(0.06, 17);
    score.Play("G4 C5 E5 G5 C5 E5 G5 C6 E5 G5 C6 E6:6", {Shape::Square, 0.5, {0.004, 0.15, 0.3, 0.04}, 3000, 0.15});
    return score.Finish();
}

Wave Boing() {
    // A spring: the pitch climbs while it wobbles, and the wobble dies away.
    Mix mix(0.8);
    mix.Tone(0, 0.8, {Shape::Triangle, 1, Strike(0.3, 0.005, 0.15), 2500}, [](double t) {
        return (150 + 120 * (1 - std::exp(-t * 8))) * (1 + 0.25 * std::exp(-t * 4) * std::sin(2 * kPi * 11 * t));
    });
    return mix.Finish();
}

Wave Fanfare() {
    Score score(0.1, 17);
    const Voice brass{Shape::Square, 0.35, {0.01, 0.3, 0.6, 0.05}, 3000, 0.15};
    score.Play("G4 C5 E5 G5:3 E5 G5:2 C6:8", brass);
    score.Play("E4 G4 C5 E5:3 C5 E5:2 G5:8", brass);
    score.Play("-:9 C4+E4+G4:8", {Shape::Triangle, 0.15, {0.05, 0, 1, 0.2}, 1500});
    score.Play("C3:2 -:1 C3:2 -:1 G2:2 -:1 C3:8", {Shape::Triangle, 0.5, {0.006, 0.2, 0.5, 0.05}, 1500});
    score.Drums("k..s..k.s.k", 0);
    return score.Finish();
}

Wave Tick() {
    Mix mix(0.06);
    mix.Tone(0, 0.05, {Shape::Triangle, 0.8, Strike(0.012, 0.001), 3000}, Steady(1000));
    mix.Noise(0, 0.02, {Pass::Band, 2, 0.4, Strike(0.004, 0.001, 0.01), 31}, Steady(2500));
    return mix.Finish();
}

Wave TimeOut() {
    Score score(0.32, 7);
    const char* line = "G4 F#4 F4 E4:4";
    score.Play(line, {Shape::Triangle, 0.5, {0.01, 0.5, 0.6, 0.08}, 2000, 0.2});
    score.Play(line, {Shape::Sine, 0.4, {0.01, 0.5, 0.6, 0.08}}, 0, -12);
    return score.Finish();
}

Wave Amoeba() {
    Mix mix(1.05);
    Random random(51);
    constexpr int kBubbles = 16;
    for (int i = 0; i < kBubbles; ++i) {
        Bubble(mix, 0.02 + 0.85 * (i + random.Uniform()) / kBubbles, random.Between(220, 520),
               random.Between(0.05, 0.11), random.Between(0.5, 1));
    }
    return mix.Finish();
}

Wave AmoebaToJewels() {
    // The bubbles climb in pitch until they become sparkles.
    Mix mix(1.6);
    Random random(61);
    constexpr int kBubbles = 18;
    for (int i = 0; i < kBubbles; ++i) {
        const double progress = (i + random.Uniform()) / kBubbles;
        Bubble(mix, progress, 250 * std::exp2(2 * progress) * random.Between(0.85, 1.15), random.Between(0.05, 0.09),
               random.Between(0.5, 1));
    }
    Sparkle(mix, random, 0.6, 1.3, 12, 0.45);
    return mix.Finish();
}

Wave Bonus() {
    Score score(0.09, 13);
    score.Play("E5 G5 E5 G5 C6:2 B5 C6 E6:5", {Shape::Square, 0.35, {0.005, 0.15, 0.4, 0.04}, 3000, 0.1});
    score.Play("C3:2 C3:2 G2:2 C3 G2 C3:5", {Shape::Triangle, 0.5, {0.006, 0.15, 0.5, 0.04}, 1500});
    score.Drums("k.s.k.s.k", 0);
    return score.Finish();
}

// ---- The tunes; each loops ----

Wave BonusMusic() {
    // 150 beats a minute, eight bars in C.
    Score score(0.1, 128, true);
    score.Play("E5:2 G5:2 C6:2 G5:2 E5:2 G5:2 C6:4   A5:2 G5:2 E5:2 C5:2 A4:4 C5:4 "
               "F5:2 A5:2 C6:4 A5:2 G5:2 F5:4        G5:2 F5:2 E5:2 D5:2 B4:4 G4:4 "
               "C6:2 B5:2 C6:2 G5:2 E5:2 G5:2 C5:4   A4:2 C5:2 E5:2 A5:2 G5:4 E5:4 "
               "F5:2 E5:2 D5:2 C5:2 D5:2 E5:2 F5:2 D5:2   C5:4 E5:2 G5:2 -:2 G4:2 B4:2 D5:2",
               {Shape::Square, 0.3, {0.005, 0.12, 0.3, 0.03}, 3500});
    score.Walk("C3:2 C4:2 G3:2 C4:2", 'C', "C C A A F F G G C C A A F G C G",
               {Shape::Triangle, 0.45, {0.005, 0.1, 0.4, 0.03}, 1500});
    for (int bar = 0; bar < 8; ++bar) score.Drums("k.hhs.h.k.hhs.hh", bar * 16);
    return score.Finish();
}

Wave PauseMusic() {
    // Slow and quiet: two bars of rippling seventh chords under a sine melody.
    Score score(0.1875, 32, true);
    score.Play("C4:2 E4:2 G4:2 B4:2 A3:2 C4:2 E4:2 G4:2 F3:2 A3:2 C4:2 E4:2 G3:2 B3:2 D4:2 F4:2",
               {Shape::Triangle, 0.3, {0.01, 0.25, 0.15, 0.08}, 1800});
    score.Play("E5:6 D5:2 C5:6 B4:2 A4:6 G4:2 B4:4 D5:4", {Shape::Sine, 0.25, {0.03, 0.6, 0.4, 0.15}, 4000, 0.1});
    score.Play("C3:8 A2:8 F2:8 G2:8", {Shape::Sine, 0.4, {0.08, 0, 1, 0.2}});
    return score.Finish();
}

Wave TitleMusic() {
    // 120 beats a minute, sixteen bars in A minor: a theme, its answer, a bridge and the theme
    // again resolving home, with a rest before the loop starts over.
    Score score(0.125, 256, true);
    score.Play("A4:4 C5:2 E5:2 A5:4 G5:2 E5:2   F5:6 E5:2 C5:4 A4:4 "
               "G4:2 C5:2 E5:2 G5:2 E5:2 D5:2 C5:2 E5:2   D5:6 B4:2 G4:4 -:4 "
               "A4:4 C5:2 E5:2 A5:4 B5:2 C6:2   A5:6 G5:2 F5:4 C5:4 "
               "E5:2 G5:2 C6:4 B5:2 G5:2 E5:4   D5:6 G4:2 B4:4 D5:4 "
               "F5:4 E5:2 D5:2 A4:4 D5:4   E5:4 D5:2 C5:2 A4:8 "
               "C5:2 D5:2 F5:2 A5:2 G5:2 F5:2 E5:2 D5:2   E5:4 G#5:4 B5:4 G#5:4 "
               "A5:4 E5:2 C5:2 A4:4 C5:2 E5:2   F5:4 A5:4 G5:2 F5:2 E5:4 "
               "D5:2 E5:2 F5:2 G5:2 B4:4 D5:4   C5:2 B4:2 A4:8 -:4",
               {Shape::Square, 0.3, {0.01, 0.4, 0.55, 0.05}, 3000, 0.12});
    score.Play("A3+C4+E4:16 F3+A3+C4:16 G3+C4+E4:16 G3+B3+D4:16   A3+C4+E4:16 F3+A3+C4:16 G3+C4+E4:16 G3+B3+D4:16 "
               "A3+D4+F4:16 A3+C4+E4:16 A3+C4+F4:16 G#3+B3+E4:16  A3+C4+E4:16 A3+C4+F4:16 G3+B3+D4:16 A3+C4+E4:16",
               {Shape::Triangle, 0.07, {0.25, 0, 1, 0.3}, 1200});
    score.Walk("A2:3 A2:1 A3:2 A2:2 -:2 A2:2 A3:2 E3:2", 'A', "A F C G A F C G D A F E A F G A",
               {Shape::Triangle, 0.45, {0.006, 0.2, 0.5, 0.03}, 1500});
    // Hi-hats only under the opening theme, a fill into its return, and a quiet last beat before the loop.
    for (int bar = 0; bar < 16; ++bar) {
        std::string_view groove = "k.h.s.h.k.k.s.h.";
        if (bar < 4) groove = "k.h.h.h.k.h.h.h.";
        if (bar == 11) groove = "k.h.s.h.k.s.s.ss";
        if (bar == 15) groove = "k.h.s.h.k.h.....";
        score.Drums(groove, bar * 16);
    }
    return score.Finish();
}

}  // namespace

std::vector<std::pair<std::string, Wave>> SynthesizeSounds() {
    return {
        {"kvstep.wav", Step()},
        {"kvpling.wav", Pling()},
        {"kvboulder.wav", Boulder()},
        {"kvstart.wav", Start()},
        {"kvexplo.wav", Explode()},
        {"kvex2.wav", SparklingExplosion()},
        {"kvlive.wav", ExtraLife()},
        {"kvboing.wav", Boing()},
        {"kvfinish.wav", Fanfare()},
        {"kvtime.wav", Tick()},
        {"kvtimeout.wav", TimeOut()},
        {"kvamoe.wav", Amoeba()},
        {"kvamoe2.wav", AmoebaToJewels()},
        {"kvbonus.wav", Bonus()},
        {"kvbonus2.wav", BonusMusic()},
        {"kvinfo.wav", PauseMusic()},
        {"kvtheme.wav", TitleMusic()},
    };
}
