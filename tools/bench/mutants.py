#!/usr/bin/env python3
"""Mutation run: damages MPEG audio files and decodes each with vortax-decode and ffmpeg.

A mutant counts as lost audio when vortax-decode exits 0 yet gives less than half of the
audio ffmpeg decodes from the same bytes: a damaged file passed off as a good one. Seeds
are made here with sox, lame and twolame (more can be given as arguments); the mutants come
from a seeded generator, so a run is repeatable and a mutant is named by SEED/KIND/INDEX.
    tools/bench/mutants.py [--decoder BIN] [--count N] [--seed S] [--jobs J] [--timeout S]
                           [--only KIND,...] [--keep DIR] [--keep-count K] [--show N]
                           [--csv FILE] [SEED_FILE...]
Lengths are compared in samples per channel at the seed's rate (ffmpeg gets the seed's -ac
and -ar), so a stream vortax writes in another format is not counted as lost; it is listed
apart. Prints the figures per seed, per mutation and overall, and the worst cases; with
--keep the worst mutants (and the seeds) go to DIR with LIST.txt saying what was done.
Needs python3, sox, lame, twolame and ffmpeg/ffprobe.
"""

import argparse
import collections
import concurrent.futures
import csv
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import time

# --- seeds -------------------------------------------------------------------------------

SECONDS = 8


def run_quiet(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_seeds(folder):
    """The kinds of file people have: tagged CBR, VBR with its Xing/Info frame, the low
    rates of MPEG-2 and 2.5, layer II, mono. -R keeps sox's noise the same on each run."""
    signal = os.path.join(folder, "signal.wav")
    # A chord that wanders, some noise and a tremolo: frames of differing sizes and content.
    run_quiet(["sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", signal, "synth",
               str(SECONDS), "sine", "220-440", "sine", "330-660", "pinknoise",
               "tremolo", "2", "40", "vol", "0.5"])
    variants = {}
    for name, extra in (("22k", ["-r", "22050"]), ("11k", ["-r", "11025"]),
                        ("mono", ["-c", "1"])):
        path = os.path.join(folder, "signal-%s.wav" % name)
        run_quiet(["sox", "-R", signal] + extra + [path])
        variants[name] = path
    seeds = []

    def add(kind, command):
        path = os.path.join(folder, kind + (".mp2" if kind.startswith("layer2") else ".mp3"))
        run_quiet(command + [path])
        seeds.append((kind, path))

    add("cbr128-id3v2", ["lame", "--quiet", "-b", "128", "--add-id3v2", "--pad-id3v2-size",
                         "512", "--tt", "Mutant seed", "--ta", "vortax", "--tl", "bench",
                         "--ty", "2024", signal])
    add("vbr-v2", ["lame", "--quiet", "-V", "2", signal])
    add("mpeg2-22k", ["lame", "--quiet", "-b", "64", variants["22k"]])
    add("mpeg25-11k", ["lame", "--quiet", "-b", "32", variants["11k"]])
    add("layer2-192", ["twolame", "--quiet", "-b", "192", signal])
    add("mono-96", ["lame", "--quiet", "-m", "m", "-b", "96", variants["mono"]])
    return seeds


def probe(path):
    """Channels and rate of the first audio stream, as ffmpeg sees the clean seed."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                          "stream=channels,sample_rate", "-of", "csv=p=0", path],
                         capture_output=True, text=True, check=True).stdout.strip()
    rate, channels = out.splitlines()[0].split(",")[:2]
    return int(channels), int(rate)


class Seed:
    def __init__(self, kind, path):
        self.kind = kind
        self.path = path
        with open(path, "rb") as f:
            self.data = f.read()
        self.channels, self.rate = probe(path)
        self.audio_start = id3v2_end(self.data)
        # The encoder's own frame (Xing/Info, LAME) sits in the first frame of the audio.
        head = self.data[self.audio_start:self.audio_start + 400]
        self.xing = -1
        for word in (b"Xing", b"Info"):
            at = head.find(word)
            if at >= 0:
                self.xing = self.audio_start + at
                break
        self.headers = frame_headers(self.data, self.audio_start)
        self.others = []


def id3v2_end(data):
    if len(data) >= 10 and data[:3] == b"ID3":
        size = (data[6] & 127) << 21 | (data[7] & 127) << 14 | (data[8] & 127) << 7 | (data[9] & 127)
        return 10 + size + (10 if data[5] & 0x10 else 0)
    return 0


def frame_headers(data, start):
    """Offsets of words that look like frame headers (sync, a layer, no bad rate fields).
    Only a target for the header mutation, so a few false ones do no harm."""
    found = []
    for at in range(start, len(data) - 3):
        if data[at] == 0xFF and data[at + 1] & 0xE0 == 0xE0 and data[at + 1] & 0x06 \
                and data[at + 2] & 0xF0 != 0xF0 and data[at + 2] & 0x0C != 0x0C:
            found.append(at)
    return found or [start]


# --- mutations ---------------------------------------------------------------------------
# Each takes (rng, data, seed) and gives (new data, what was done, offset it was done at).

def some_length(rng, largest):
    """Log-uniform: mostly short damage, now and then a long stretch."""
    largest = max(1, largest)
    return max(1, min(largest, int(2 ** rng.uniform(0, max(0.0, largest.bit_length())))))


def junk(rng, length):
    style = rng.choice(("random", "zeros", "ff", "text", "syncs"))
    if style == "zeros":
        return bytes(length), style
    if style == "ff":
        return b"\xff" * length, style
    if style == "text":
        words = b"the quick brown fox jumps over the lazy dog 0123456789\r\n"
        return bytes(words[rng.randrange(len(words))] for _ in range(length)), style
    if style == "syncs":  # junk thick with sync-like bytes, to tempt a resync
        return bytes(rng.choice((0xFF, 0xFB, 0xFA, 0xF3, 0xE3, rng.randrange(256)))
                     for _ in range(length)), style
    return rng.randbytes(length), style


def m_flip(rng, data, seed):
    data = bytearray(data)
    spots = sorted(rng.randrange(len(data)) for _ in range(rng.randint(1, 16)))
    for at in spots:
        data[at] ^= 1 << rng.randrange(8)
    return bytes(data), "flip %d bits %d..%d" % (len(spots), spots[0], spots[-1]), spots[0]


def m_overwrite(rng, data, seed):
    length = some_length(rng, min(8192, len(data) // 4))
    at = rng.randrange(len(data) - length)
    filler, style = junk(rng, length)
    return data[:at] + filler + data[at + length:], "overwrite %d %s bytes" % (length, style), at


def m_insert(rng, data, seed):
    length = some_length(rng, 1 << 18)  # up to 256 KiB: a resync must not give up early
    at = rng.randrange(len(data))
    filler, style = junk(rng, length)
    return data[:at] + filler + data[at:], "insert %d %s bytes" % (length, style), at


def m_burst(rng, data, seed):
    """Many small hits across the file, like a worn medium or a bad link."""
    data = bytearray(data)
    spots = sorted(rng.randrange(len(data)) for _ in range(rng.randint(5, 200)))
    for at in spots:
        filler, _ = junk(rng, rng.randint(1, 64))
        data[at:at + len(filler)] = filler
    return bytes(data[:len(data)]), "burst of %d hits %d..%d" % (len(spots), spots[0], spots[-1]), \
        spots[0]


def m_splice(rng, data, seed):
    """A piece of another seed (another rate, layer or channel count) inside this one,
    as when files are joined or a download mixes two."""
    other = rng.choice(seed.others) if seed.others else seed
    length = some_length(rng, min(32768, len(other.data) // 2))
    start = 0 if rng.random() < 0.3 else rng.randrange(len(other.data) - length)
    at = 0 if rng.random() < 0.3 else rng.randrange(len(data))
    return data[:at] + other.data[start:start + length] + data[at:], \
        "splice %d bytes of %s from %d" % (length, other.kind, start), at


def m_delete(rng, data, seed):
    length = some_length(rng, min(16384, len(data) // 4))
    at = rng.randrange(len(data) - length)
    return data[:at] + data[at + length:], "delete %d bytes" % length, at


def m_duplicate(rng, data, seed):
    length = some_length(rng, min(32768, len(data) // 4))
    at = rng.randrange(len(data) - length)
    chunk = data[at:at + length]
    to = at + length if rng.random() < 0.5 else rng.randrange(len(data))
    return data[:to] + chunk + data[to:], "duplicate %d bytes from %d" % (length, at), to


def m_move(rng, data, seed):
    length = some_length(rng, min(32768, len(data) // 4))
    at = rng.randrange(len(data) - length)
    chunk = data[at:at + length]
    rest = data[:at] + data[at + length:]
    to = rng.randrange(len(rest))
    return rest[:to] + chunk + rest[to:], "move %d bytes from %d" % (length, at), to


def m_truncate(rng, data, seed):
    at = rng.randrange(1, len(data))
    return data[:at], "truncate", at


def m_prepend(rng, data, seed):
    filler, style = junk(rng, some_length(rng, 16384))
    return filler + data, "prepend %d %s bytes" % (len(filler), style), 0


def m_append(rng, data, seed):
    filler, style = junk(rng, some_length(rng, 65536))
    return data + filler, "append %d %s bytes" % (len(filler), style), len(data)


def near_end(rng, data):
    """Mostly in the last tenth, where tags and a cut-off last frame live."""
    if rng.random() < 0.75:
        return rng.randrange(len(data) * 9 // 10, len(data))
    return rng.randrange(len(data))


def m_stray_header(rng, data, seed):
    word = bytes((0xFF, rng.choice((0xFB, 0xFA, 0xF3, 0xF2, 0xE3, 0xFD, 0xFC, 0xF5)),
                  rng.randrange(256), rng.randrange(256)))
    body = rng.randbytes(rng.choice((0, 0, rng.randrange(1, 1500))))
    at = near_end(rng, data)
    how = rng.choice(("insert", "overwrite"))
    piece = word + body
    if how == "insert":
        data = data[:at] + piece + data[at:]
    else:
        data = data[:at] + piece + data[at + len(piece):]
    return data, "%s header %s+%d" % (how, word.hex(), len(body)), at


def m_tag_inside(rng, data, seed):
    """Tag signatures where a reader scanning for tags could take them for real."""
    what = rng.choice(("lyrics", "lyrics", "id3v2", "id3v1", "ape"))
    if what == "lyrics":
        piece = b"LYRICSBEGIN" + rng.choice((b"", b"[00:01]la la la", rng.randbytes(40)))
    elif what == "id3v2":
        size = rng.choice((0, 20, 1000, 100000, rng.randrange(1 << 28)))
        syncsafe = bytes(((size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127))
        piece = b"ID3" + bytes((rng.choice((2, 3, 4)), 0, 0)) + syncsafe
    elif what == "id3v1":
        piece = b"TAG" + bytes(125)
    else:
        piece = b"APETAGEX" + struct.pack("<IIII", 2000, rng.choice((32, 5000, 1 << 20)), 0, 0) \
            + bytes(8)
    at = near_end(rng, data)
    if rng.random() < 0.5:
        return data[:at] + piece + data[at:], "insert %s signature" % what, at
    return data[:at] + piece + data[at + len(piece):], "overwrite %s signature" % what, at


def m_encoder_frame(rng, data, seed):
    """Damage the Xing/Info and LAME fields (frame and byte counts, delay and padding)."""
    if seed.xing < 0:
        return m_header(rng, data, seed)
    data = bytearray(data)
    field = rng.choice(("frame-count", "byte-count", "flags", "toc", "delay-padding"))
    at = seed.xing + {"flags": 4, "frame-count": 8, "byte-count": 12, "toc": 16}.get(field, 0)
    if field == "delay-padding":
        lame = bytes(data[seed.xing:seed.xing + 200]).find(b"LAME")
        if lame < 0:
            field = "frame-count"
            at = seed.xing + 8
        else:
            at = seed.xing + lame + 21
    length = {"toc": 100, "delay-padding": 3}.get(field, 4)
    data[at:at + length] = rng.randbytes(length)
    return bytes(data), "encoder frame: random %s" % field, at


def m_id3_size(rng, data, seed):
    if seed.audio_start == 0:
        return m_prepend(rng, data, seed)
    data = bytearray(data)
    # Too small, a little off, over part of the audio, or past the end of the file.
    size = rng.choice((0, rng.randrange(seed.audio_start), seed.audio_start + rng.randrange(-64, 64),
                       seed.audio_start + rng.randrange(len(data)), rng.randrange(1 << 28)))
    data[6:10] = bytes(((size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127))
    what = "ID3v2 size %d (was %d)" % (size, seed.audio_start - 10)
    if rng.random() < 0.3:  # and the tag no longer first in the file
        filler, style = junk(rng, some_length(rng, 4096))
        return filler + bytes(data), "%s after %d %s bytes" % (what, len(filler), style), 0
    return bytes(data), what, 6


def m_header(rng, data, seed):
    """Bit flips in real frame headers: layer, rate, padding, channel fields."""
    data = bytearray(data)
    count = rng.choice((1, 1, 1, 2, 5, 20))
    spots = sorted(rng.choice(seed.headers) for _ in range(count))
    for at in spots:
        if at + 3 < len(data):
            data[at + rng.randint(1, 3)] ^= 1 << rng.randrange(8)
    return bytes(data), "flip bits in %d frame header(s) %d..%d" % (count, spots[0], spots[-1]), \
        spots[0]


MUTATIONS = {
    "flip": m_flip, "overwrite": m_overwrite, "insert": m_insert, "delete": m_delete,
    "duplicate": m_duplicate, "move": m_move, "truncate": m_truncate, "prepend": m_prepend,
    "append": m_append, "stray-header": m_stray_header, "tag-inside": m_tag_inside,
    "encoder-frame": m_encoder_frame, "id3-size": m_id3_size, "header": m_header,
    "burst": m_burst, "splice": m_splice,
}
BLIND = [name for name in MUTATIONS if name not in ("encoder-frame", "id3-size", "header")]


def mutate(seed, master, index):
    """Mutant INDEX of SEED: the same bytes on every run with the same master seed."""
    rng = random.Random("%d/%s/%d" % (master, seed.kind, index))
    data = seed.data
    names = list(MUTATIONS)
    # Now and then two or three at once: damage seldom comes alone. The mutations that aim
    # at the seed's tag, encoder frame or headers go first, while those are where they were.
    steps = [rng.choice(names)] if rng.random() < 0.8 else \
        [rng.choice(names)] + [rng.choice(BLIND) for _ in range(rng.randint(1, 2))]
    done = []
    for name in steps:
        before = len(data)
        data, what, at = MUTATIONS[name](rng, data, seed)
        if not data:
            data = b"\0"
        done.append("%s @%d (%.0f%%)" % (what, at, 100.0 * at / max(1, before)))
    return data, steps[0] if len(steps) == 1 else "multi", "; ".join(done)


# --- decoding ----------------------------------------------------------------------------

def wav_samples(path):
    """Samples per channel and rate of a WAV file; the data size is trusted only as far as
    the file goes."""
    try:
        with open(path, "rb") as f:
            head = f.read(1 << 16)
            size = os.fstat(f.fileno()).st_size
    except OSError:
        return 0, 0, 0
    if head[:4] != b"RIFF" or head[8:12] != b"WAVE":
        return 0, 0, 0
    at, channels, rate, width = 12, 0, 0, 2
    while at + 8 <= len(head):
        chunk, length = head[at:at + 4], struct.unpack("<I", head[at + 4:at + 8])[0]
        if chunk == b"fmt ":
            channels, rate = struct.unpack("<HI", head[at + 10:at + 16])
            width = struct.unpack("<H", head[at + 22:at + 24])[0] // 8 or 2
        elif chunk == b"data":
            have = size - at - 8
            length = have if length in (0, 0xFFFFFFFF) else min(length, have)
            return length // max(1, channels * width), rate, channels
        at += 8 + length + (length & 1)
    return 0, rate, channels


def run_timed(command, timeout, capture):
    """(exit code or -signal, stdout size, stderr tail, timed out)."""
    try:
        done = subprocess.run(command, stdout=subprocess.PIPE if capture else subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, 0, "", True
    tail = done.stderr.decode("utf-8", "replace").strip().splitlines()
    return done.returncode, len(done.stdout) if capture else 0, " | ".join(tail[-2:]), False


def decode(args, seed, path, out):
    """Both decoders on one file. Lengths go in samples per channel at the seed's rate
    (ffmpeg is asked for that rate; vortax's first format is scaled to it)."""
    code, _, message, timed_out = run_timed([args.decoder, path, out], args.timeout, False)
    samples, rate, channels = wav_samples(out) if code == 0 else (0, 0, 0)
    try:
        os.remove(out)
    except OSError:
        pass
    ours = samples if not rate or rate == seed.rate else samples * seed.rate // rate
    theirs_code, size, theirs_message, theirs_timed_out = run_timed(
        ["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "s16le", "-ac", str(seed.channels),
         "-ar", str(seed.rate), "-"], args.timeout, True)
    theirs = size // (2 * seed.channels) if theirs_code is not None else 0
    return {"code": code, "timeout": timed_out, "samples": samples, "rate": rate,
            "channels": channels, "ours": ours,
            "message": message, "theirs": theirs, "theirs_code": theirs_code,
            "theirs_timeout": theirs_timed_out, "theirs_message": theirs_message}


def classify(r):
    if r["timeout"]:
        return "timeout"
    if r["code"] < 0:
        return "crash"
    if r["code"] != 0:
        return "refused" if r["theirs"] > 0 else "both-refuse"
    if r["ours"] * 2 < r["theirs"]:
        return "lost"
    if r["theirs"] * 2 < r["ours"]:
        return "more"  # vortax gives over twice ffmpeg's audio: worth a look, not a failure
    return "agree"


def one(args, seeds, job, folder):
    seed_index, index = job
    seed = seeds[seed_index]
    data, mutation, what = mutate(seed, args.seed, index)
    name = "%s-%04d" % (seed.kind, index)
    path = os.path.join(folder, name + ".mp3")
    with open(path, "wb") as f:
        f.write(data)
    try:
        result = decode(args, seed, path, os.path.join(folder, name + ".wav"))
    finally:
        os.remove(path)
    result.update(seed=seed_index, kind=seed.kind, index=index, mutation=mutation, what=what,
                  name=name, size=len(data))
    for key in ("message", "theirs_message"):
        result[key] = result[key].replace(folder + os.sep, "")
    result["class"] = classify(result)
    return result


# --- report ------------------------------------------------------------------------------

def severity(r):
    """Worst first: the smallest share of ffmpeg's audio, then the most samples missing."""
    return (r["ours"] / max(1, r["theirs"]), -(r["theirs"] - r["ours"]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("seeds", nargs="*", help="more seed files (MPEG audio)")
    parser.add_argument("--decoder", default="build/release/bin/vortax-decode")
    parser.add_argument("--count", type=int, default=100, help="mutants per seed")
    parser.add_argument("--seed", type=int, default=1, help="master seed of the generator")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=float, default=30.0, help="seconds per decode")
    parser.add_argument("--keep", help="folder for the worst mutants, the seeds and a list")
    parser.add_argument("--keep-count", type=int, default=20)
    parser.add_argument("--show", type=int, default=25, help="worst cases printed")
    parser.add_argument("--only", help="comma-separated seed kinds to run")
    parser.add_argument("--csv", help="write every mutant's result to this file")
    args = parser.parse_args()
    args.decoder = os.path.abspath(args.decoder)
    if not os.access(args.decoder, os.X_OK):
        sys.exit("no decoder at %s (--decoder)" % args.decoder)

    work = tempfile.mkdtemp(prefix="vortax-mutants-")
    try:
        made = make_seeds(work)
        made += [(os.path.splitext(os.path.basename(p))[0], os.path.abspath(p)) for p in args.seeds]
        if args.only:
            wanted = set(args.only.split(","))
            made = [m for m in made if m[0] in wanted]
        seeds = [Seed(kind, path) for kind, path in made]
        for seed in seeds:
            seed.others = [other for other in seeds if other is not seed]

        # The clean seeds first: a seed the two already disagree on says nothing.
        print("seed                 bytes  ch   rate    vortax    ffmpeg")
        for seed in seeds:
            r = decode(args, seed, seed.path, os.path.join(work, "clean.wav"))
            print("%-16s %9d %3d %6d %9d %9d%s" % (seed.kind, len(seed.data), seed.channels,
                  seed.rate, r["ours"], r["theirs"], "" if r["code"] == 0 else
                  "  (vortax exit %s)" % r["code"]))

        jobs = [(s, i) for s in range(len(seeds)) for i in range(args.count)]
        started = time.time()
        results = []
        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            for r in pool.map(lambda job: one(args, seeds, job, work), jobs):
                results.append(r)
        elapsed = time.time() - started
        report(args, seeds, results, elapsed)
        if args.csv:
            write_csv(args.csv, results)
        if args.keep:
            keep(args, seeds, results)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def format_frame(r):
    """The frame from which vortax says the format changed: the frames before it, often
    just one found in junk, set the format of the whole output."""
    words = r["message"].split("changes from frame ")
    return int(words[1].split()[0]) if len(words) > 1 and words[1].split()[0].isdigit() else 1 << 30


def other_format(seeds, r):
    seed = seeds[r["seed"]]
    return r["code"] == 0 and r["rate"] and (r["rate"], r["channels"]) != (seed.rate, seed.channels)


def report(args, seeds, results, elapsed):
    classes = ("lost", "refused", "crash", "timeout", "more", "agree", "both-refuse")
    print("\n%d mutants (%d per seed, --seed %d) in %.0f s, decoder %s" % (
        len(results), args.count, args.seed, elapsed, args.decoder))
    print("\n%-16s" % "seed" + "".join("%12s" % c for c in classes))
    by_kind = collections.defaultdict(collections.Counter)
    for r in results:
        by_kind[r["kind"]][r["class"]] += 1
    total = collections.Counter(c for r in results for c in [r["class"]])
    for seed in seeds:
        print("%-16s" % seed.kind + "".join("%12d" % by_kind[seed.kind][c] for c in classes))
    print("%-16s" % "all" + "".join("%12d" % total[c] for c in classes))

    print("\nlost   = vortax exit 0 with less than half of ffmpeg's samples (the failures that matter)")
    print("refused = vortax exit != 0 while ffmpeg gives audio; crash = vortax ended by a signal")
    refused_much = sum(1 for r in results if r["class"] == "refused"
                       and r["theirs"] * 2 >= seeds[r["seed"]].rate * SECONDS)
    print("refused with ffmpeg giving half the seed's length or more: %d" % refused_much)
    # Written in the first format found: a stray header first can set the whole output.
    odd = [r for r in results if other_format(seeds, r)]
    print("vortax exit 0 in another rate or channel count than the seed: %d" % len(odd))
    for r in sorted(odd, key=format_frame)[:min(10, args.show)]:
        print("  %-18s %d Hz %d ch, set by %s frame(s)  %s" % (
            r["name"], r["rate"], r["channels"],
            "?" if format_frame(r) == 1 << 30 else format_frame(r) - 1, r["what"]))
    by_mutation = collections.defaultdict(collections.Counter)
    for r in results:
        by_mutation[r["mutation"]][r["class"]] += 1
    print("\n%-16s" % "mutation" + "".join("%12s" % c for c in classes))
    for name in sorted(by_mutation):
        print("%-16s" % name + "".join("%12d" % by_mutation[name][c] for c in classes))

    worst = sorted((r for r in results if r["class"] == "lost"), key=severity)
    print("\nworst lost-audio cases (samples per channel at the seed's rate):")
    for r in worst[:args.show]:
        print("  %-18s vortax %8d  ffmpeg %8d  %s" % (r["name"], r["ours"], r["theirs"], r["what"]))
        if r["message"]:
            print("  %18s vortax: %s" % ("", r["message"][:150]))
    for label in ("crash", "timeout"):
        for r in (r for r in results if r["class"] == label):
            print("  %s: %s  %s  code %s" % (label, r["name"], r["what"], r["code"]))
    refused = sorted((r for r in results if r["class"] == "refused"), key=lambda r: -r["theirs"])
    if refused:
        print("\nrefused, most audio ffmpeg found first:")
        for r in refused[:min(10, args.show)]:
            print("  %-18s exit %s  ffmpeg %8d  %s\n  %18s vortax: %s" % (
                r["name"], r["code"], r["theirs"], r["what"], "", r["message"][:150]))


def write_csv(path, results):
    fields = ("name", "kind", "index", "class", "mutation", "size", "code", "samples", "rate",
              "channels", "ours", "theirs", "theirs_code", "what", "message", "theirs_message")
    with open(path, "w", newline="") as f:
        out = csv.writer(f)
        out.writerow(fields)
        for r in results:
            out.writerow([r[field] for field in fields])


def keep(args, seeds, results):
    os.makedirs(args.keep, exist_ok=True)
    for seed in seeds:
        shutil.copy(seed.path, os.path.join(args.keep, "seed-" + os.path.basename(seed.path)))
    chosen = sorted((r for r in results if r["class"] == "lost"), key=severity)[:args.keep_count]
    chosen += [r for r in results if r["class"] in ("crash", "timeout")]
    # A few of the odd ones too: audio from junk, and output in a format the stream is not in.
    chosen += sorted((r for r in results if r["class"] == "refused"), key=lambda r: -r["theirs"])[:3]
    chosen += [r for r in results if r["class"] == "more"][:3]
    chosen += sorted((r for r in results if other_format(seeds, r) and r not in chosen),
                     key=format_frame)[:3]
    with open(os.path.join(args.keep, "LIST.txt"), "w") as listing:
        listing.write("# vortax-decode vs ffmpeg, --seed %d; samples per channel\n" % args.seed)
        for r in chosen:
            data, _, _ = mutate(seeds[r["seed"]], args.seed, r["index"])
            with open(os.path.join(args.keep, r["name"] + ".mp3"), "wb") as f:
                f.write(data)
            label = r["class"] + (" %d Hz %d ch" % (r["rate"], r["channels"])
                                  if other_format(seeds, r) else "")
            listing.write("%s.mp3\t%s\tvortax exit %s %d\tffmpeg %d\t%s\tvortax: %s\n" % (
                r["name"], label, r["code"], r["ours"], r["theirs"], r["what"], r["message"]))
    print("\nkept %d mutants and the seeds in %s" % (len(chosen), args.keep))


if __name__ == "__main__":
    main()
