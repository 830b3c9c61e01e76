// What a client pulls: vortax_read in both encodings and any piece, from a file read short
// or a fed input; seeking to a sample, the length and position; ReplayGain.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>

#include "conformance.h"
#include "engine_fixture.h"

namespace {

const std::string Conformance = CONFORMANCE_DIR "/";

// `pcm` and what vortax_read gives after it in reads of `piece` bytes, up to the code `end`.
Bytes Pull(EngineContext* context, size_t piece, int32_t end = VORTAX_INPUT_END, Bytes pcm = {}) {
    Bytes buffer(piece);
    size_t done = 0;
    int32_t code = 0;
    while ((code = vortax_read(context, buffer.data(), piece, &done)) == VORTAX_OK && done > 0)
        pcm.insert(pcm.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(done));
    EXPECT_TRUE(code == end && done == 0) << error_name(code) << ", " << done << " bytes";
    return pcm;
}

std::vector<int16_t> Pcm(const Bytes& bytes) { return PcmOf(bytes.data(), bytes.size()); }

// An input that cannot seek, whose reads give at most `most` bytes.
int32_t most = 0;
int32_t Any(const char*) { return 0; }
int32_t Zero(void*) { return 0; }
int32_t Open(void** file, const char* name, const ModuleRecord*, EngineContext*) { return *file = std::fopen(name, "rb"), 0; }
int32_t Close(void* file) { return std::fclose(static_cast<FILE*>(file)); }
int32_t ReadFew(void* file, void* to, int32_t length) { return int32_t(std::fread(to, 1, size_t(std::min(length, most)), static_cast<FILE*>(file))); }
const InputMethods ShortInput = {Any, nullptr, Open, Close, Zero, Zero, ReadFew, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// The stream fed `chunk` bytes at a time, all there is read before and after each; then the end.
Bytes Fed(EngineContext* context, const Bytes& stream, size_t chunk) {
    EXPECT_EQ(vortax_open_feed(context), 0);
    Bytes pcm = Pull(context, 4096, VORTAX_NEED_MORE);
    for (size_t at = 0, size = 1; size > 0; at += size) {
        size = std::min(chunk, stream.size() - at);
        EXPECT_EQ(vortax_feed(context, size ? stream.data() + at : nullptr, size), 0);
        pcm = Pull(context, 4096, size ? VORTAX_NEED_MORE : VORTAX_INPUT_END, std::move(pcm));
    }
    EXPECT_EQ(vortax_feed(context, "", 1), VORTAX_INTERNAL_ERROR);  // nothing after the end
    return pcm;
}

// A tone with bursts of noise, loud and quiet in turn, which fill and drain the reservoir.
std::string Encode(const std::filesystem::path& folder, const std::string& name, const std::string& options, int rate, int channels) {
    std::vector<int16_t> samples(static_cast<size_t>(rate * 3 / 2 * channels));
    for (size_t i = 0; i < samples.size(); ++i) {
        const double t = double(i / channels) / rate, noise = (std::rand() % 2001 - 1000) * (int(t * 10) % 2 ? 8.0 : 0.2);
        samples[i] = static_cast<int16_t>(6000 * std::sin(2 * M_PI * 440 * t) + noise);
    }
    const std::string raw = (folder / (name + ".raw")).string(), mp3 = (folder / (name + ".mp3")).string();
    std::ofstream(raw, std::ios::binary).write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * 2));
    const std::string command = "lame --quiet -r --bitwidth 16 --signed --little-endian -s " + std::to_string(rate / 1000.0) +
                                (channels == 1 ? " -m m " : " ") + options + " '" + raw + "' '" + mp3 + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mp3;
}

using PullTest = LameTest;

TEST_F(PullTest, ReadFeedAndShortReadsGiveTheWavBytesInAnyPieceAndFloatsWithinOneStep) {
    if (!std::filesystem::exists(Conformance)) GTEST_SKIP() << "no conformance streams at " << Conformance;
    // Tagged by lame for gapless decoding; layer III; layer II behind a tag that keeps a feed waiting; MPEG-2.
    for (const std::string& path : {Lame("tagged", "-b 128", 44100, 2, 30011, 777), Conformance + "l3-compl.bit",
                                    Write("tag.mp2", Joined({Id3v2Tag(5000), Read(Conformance + "l2-fl10.bit")})),
                                    Conformance + "M2L3_noise.bit"}) {
        for (const int gapless : {0, 1}) {
            SCOPED_TRACE(path + (gapless ? " gapless" : ""));
            engine_set_gapless(context, gapless);
            ASSERT_EQ(Convert(path), VORTAX_INPUT_END);
            const Bytes wav = Read((folder / "out.wav").string()), pcm(wav.begin() + 44, wav.end());
            const std::vector<int16_t> ints = Pcm(pcm);
            const auto pulled = [&](size_t piece, int encoding = VORTAX_ENC_S16) {
                EXPECT_TRUE(vortax_set_encoding(context, encoding) == 0 && OpenInput(path) == 0);
                const Bytes got = Pull(context, piece);
                return input_close(context), got;
            };
            for (const size_t piece : {1, 7, 4093, 65536}) EXPECT_TRUE(pulled(piece) == pcm && Fed(context, Read(path), piece) == pcm) << piece;
            const auto shortReads = [&](EngineContext* c) { engine_set_gapless(c, gapless), register_input_module(c, &ShortInput); };
            for (const int32_t limit : {1, 100, 413, 4000}) EXPECT_TRUE((most = limit, DecodeFile(path, shortReads) == ints)) << "reads of " << limit;
            const Bytes floats = pulled(65536, VORTAX_ENC_F32);
            ASSERT_EQ(floats.size(), 4 * ints.size());
            std::vector<float> unscaled(ints.size());
            std::memcpy(unscaled.data(), floats.data(), floats.size());
            bool unrounded = false;
            for (size_t i = 0; i < ints.size(); ++i) {
                const float scaled = unscaled[i] * 32768;
                unrounded |= scaled != std::round(scaled);
                ASSERT_LE(std::abs(std::clamp(scaled, -32768.0f, 32767.0f) - ints[i]), 1.0f) << i;
            }
            EXPECT_TRUE(unrounded);
        }
    }
    const Bytes start = Read(Conformance + "l3-compl.bit");  // less than a frame, then the end: no PCM
    EXPECT_TRUE(Fed(context, Bytes(start.begin(), start.begin() + 100), 7).empty());
}

// l3-he_mode starts in one channel and goes on in two.
TEST_F(PullTest, AReadStopsWhereTheFormatChangesAndThePcmBlockTellsWhatItGave) {
    const std::vector<ConformanceEntry> streams = ConformanceStreams();
    const auto e = std::find_if(streams.begin(), streams.end(), [](const ConformanceEntry& e) { return e.name == "l3-he_mode"; });
    if (e == streams.end()) GTEST_SKIP() << "no conformance streams";
    ASSERT_EQ(OpenInput(e->stream), 0);
    Bytes buffer(65536);
    size_t done = 0, perChannel = 0;
    int layouts = 0;  // a bit for each
    while (vortax_read(context, buffer.data(), buffer.size(), &done) == VORTAX_OK) {
        perChannel += done / size_t(context->pcm.width * (context->pcm.stereo + 1));
        layouts |= 1 << context->pcm.stereo;
    }
    EXPECT_TRUE(layouts == 3 && perChannel == size_t(e->frames * 1152)) << layouts << " " << perChannel;
}

TEST_F(PullTest, ASeekGivesFromItsSampleOnWhatADecodeFromTheStartGives) {
    // Made by lame with its options, or a conformance stream.
    const struct { const char *name, *options; int rate, channels; bool gapless, tagged; } streams[] = {
        {"cbr", "-b 128", 44100, 2, true, true},        {"cbr-untrimmed", "-b 128", 44100, 2, false, true},
        {"vbr", "-V 2", 44100, 2, true, true},          {"vbr-untagged", "-V 6 -t", 44100, 2, true, false},
        {"mpeg2", "-b 64", 22050, 1, true, true},       {"mpeg2.5-8kbit", "-b 8", 8000, 1, true, false},
        {"l2-fl10.bit", nullptr, 0, 2, true, false},    {"l1-fl1.bit", nullptr, 0, 2, true, false}};
    ASSERT_TRUE(register_output_module(context, &MemoryOutput) >= 0 && output_select(context, "", -1) == 0 && output_open(context) == 0);
    for (const auto& s : streams) {
        SCOPED_TRACE(s.name);
        const std::string path = s.options ? Encode(folder, s.name, s.options, s.rate, s.channels) : Conformance + s.name;
        if (!std::filesystem::exists(path)) continue;
        const std::vector<int16_t> whole = DecodeFile(path, [&](EngineContext* c) { engine_set_gapless(c, s.gapless); });
        const auto length = static_cast<int64_t>(whole.size()) / s.channels;
        engine_set_gapless(context, s.gapless);
        ASSERT_EQ(OpenInput(path), 0);
        EXPECT_EQ(vortax_length(context), s.tagged ? length : -1);
        // A scan at the start, with the probe's bytes kept, or after half the stream and half a sample: it changes nothing.
        Bytes head((&s - streams) % 2 ? whole.size() + 1 : 0);
        size_t done = 0;
        ASSERT_TRUE(vortax_read(context, head.data(), head.size(), &done) == 0 && done == head.size());
        EXPECT_EQ(vortax_tell(context), int64_t(head.size()) / (2 * s.channels));
        EXPECT_TRUE(vortax_scan(context) == 0 && vortax_length(context) == length) << vortax_length(context);
        EXPECT_TRUE(Pcm(Pull(context, 1998, VORTAX_INPUT_END, head)) == whole);
        EXPECT_EQ(vortax_seek(context, -1), VORTAX_INVALID_PARAMETERS);
        int32_t delay = 0, padding = 0;
        const int64_t lead = s.gapless && engine_get_encoder_tag(context, &delay, &padding) == 0 ? delay + 529 : 0;
        // The start, inside the first frame, a frame's start, the middle, near the end, past it.
        for (const int64_t target : {int64_t{0}, int64_t{100}, 4608 - lead, length / 2 + 7, length - 50, length + 1000})
            for (const size_t piece : {0, 1998}) {  // decoded, or read in pieces that end inside frames
                ASSERT_EQ(vortax_seek(context, target), 0);
                EXPECT_EQ(vortax_tell(context), std::min(target, length));
                const auto from = whole.begin() + std::min<ptrdiff_t>(ptrdiff_t(whole.size()), target * s.channels);
                EXPECT_TRUE((piece ? Pcm(Pull(context, piece)) : Rest(context)) == std::vector<int16_t>(from, whole.end())) << target << " " << piece;
                EXPECT_EQ(vortax_tell(context), length);
            }
        input_close(context);
    }
    const PipeWriter writer((folder / "pipe").string(), Read((folder / "cbr.mp3").string()));
    ASSERT_EQ(OpenInput((folder / "pipe").string()), 0);
    EXPECT_TRUE(vortax_seek(context, 0) == VORTAX_UNSUPPORTED_INPUT && vortax_scan(context) == VORTAX_UNSUPPORTED_INPUT);
    Pull(context, 1998);
}

// Measured by lame as it encodes: ffprobe reads the same gain, and the peak is the decoded one.
TEST_F(PullTest, ReplayGainComesFromTheEncodersExtensionUnlessTheId3v2TagGivesIt) {
    if (std::system("command -v ffprobe >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffprobe is not installed";
    const std::string mp3 = Encode(folder, "gain", "--replaygain-accurate -b 128", 44100, 2);
    char reported[32] = {}, gain[32] = {}, peak[32] = {};
    FILE* pipe = popen(("ffprobe -hide_banner '" + mp3 + "' 2>&1 | sed -n 's/.*track gain - \\([-0-9.]*\\),.*/\\1/p'").c_str(), "r");
    ASSERT_TRUE(pipe && std::fgets(reported, sizeof reported, pipe));
    pclose(pipe);
    ASSERT_EQ(OpenInput(mp3), 0);
    ASSERT_GT(vortax_get_tag(context, "replaygain_track_gain", gain, sizeof gain), 0);
    ASSERT_GT(vortax_get_tag(context, "replaygain_track_peak", peak, sizeof peak), 0);
    EXPECT_TRUE(std::atof(gain) == std::atof(reported) && std::string_view(gain).ends_with(" dB")) << gain << " " << reported;
    EXPECT_NEAR(std::atof(peak), std::ranges::max(DecodeFile(mp3)) / 32768.0, 0.01);
    const Bytes id3 = Id3Tag(3, 0, Joined({Id3Frame(3, "TXXX", Joined({{0}, Text("REPLAYGAIN_TRACK_GAIN"), {0}, Text("-3")})),
                                           Id3Frame(3, "TXXX", Joined({{3}, Text("replaygain_album_peak"), {0}, Text("0.5")}))}));
    ASSERT_EQ(OpenInput(Write("tagged.mp3", Joined({id3, Read(mp3)}))), 0);
    for (const auto& [key, value] : {std::pair{"replaygain_track_gain", "-3"}, {"replaygain_album_peak", "0.5"}})
        EXPECT_TRUE(vortax_get_tag(context, key, gain, sizeof gain) > 0 && gain == std::string(value)) << key << ": " << gain;
}

}  // namespace
