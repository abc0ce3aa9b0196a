#include "d88info/report.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "cutter/cutter.h"

using namespace d88;

namespace {

// mivor loads a disk as one run of sectors of this size code, R first to
// last on each side, side 0 then side 1 of each cylinder.
constexpr int kSizeCodeUnit = 128;  // a sector of size code N holds 128 << N bytes
constexpr int kChunk = kSizeCodeUnit << cutter::kSizeCode;
constexpr int kRunSectorsPerTrack = cutter::kLastSector - cutter::kFirstSector + 1;
static_assert(cutter::kWorkSize % kChunk == 0, "the work area holds whole sectors");
// Track t holds cylinder t / kSides and head t % kSides.
constexpr int kSides = 2;

// A track's listing stops after this many sectors: a damaged sector count
// lets the walk run on past the track's end.
constexpr int kMaxListed = 256;

struct MediaName {
  int type;
  const char* name;
};
const MediaName kMediaNames[] = {{0x00, "2D"}, {0x10, "2DD"}, {0x20, "2HD"}};

void appendf(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    // vsnprintf writes a terminator: room for it, then drop it.
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&out[at], static_cast<std::size_t>(length) + 1, format, again);
    out.resize(at + static_cast<std::size_t>(length));
  }
  va_end(again);
}

const char* mediaName(int type) {
  for (const MediaName& m : kMediaNames) {
    if (m.type == type) return m.name;
  }
  return "unknown";
}

// The name in quotes, every byte outside printable ASCII (a Shift-JIS name,
// a control character) and the quote and backslash written as \xNN.
void appendName(std::string& out, const char* name) {
  out += '"';
  for (const char* p = name; *p != '\0'; ++p) {
    const unsigned char ch = static_cast<unsigned char>(*p);
    if (ch < 0x20 || ch > 0x7E || ch == '"' || ch == '\\') {
      appendf(out, "\\x%02X", ch);
    } else {
      out += static_cast<char>(ch);
    }
  }
  out += '"';
}

struct TrackIds {
  std::uint8_t bytes[kMaxListed * kSectorIdLength];
  int count = 0;

  const std::uint8_t* id(int i) const { return bytes + i * kSectorIdLength; }
  bool full() const { return count == kMaxListed; }
  bool holds(int c, int h, int r, int n) const {
    for (int i = 0; i < count; ++i) {
      const std::uint8_t* p = id(i);
      if (p[0] == c && p[1] == h && p[2] == r && p[3] == n) return true;
    }
    return false;
  }
};

void listTrack(D88Image& image, int track, TrackIds& ids) {
  ids.count = image.readTrackIds(track, ids.bytes, sizeof ids.bytes) / kSectorIdLength;
}

// Why the reader finds nothing on track, or nullptr when it passes the
// track check and its first sector header can be read.
const char* trackProblem(const D88Image& image, int track, const TrackIds& ids) {
  const int entry = image.trackOffset(track);
  if (entry == 0) return "absent";
  if (entry < 0 || entry > image.diskSize()) return "outside the disk";
  if (ids.count == 0) return "beyond the end of the file";
  return nullptr;
}

// The identifiers in stored order, each run of sectors that share C, H and
// N and count R up by one written as one item: "C0 H0 R1-16 N1".
void appendIds(std::string& out, const TrackIds& ids) {
  for (int i = 0; i < ids.count;) {
    const std::uint8_t* first = ids.id(i);
    int j = i + 1;
    for (; j < ids.count; ++j) {
      const std::uint8_t* prev = ids.id(j - 1);
      const std::uint8_t* next = ids.id(j);
      if (next[0] != first[0] || next[1] != first[1] || next[3] != first[3] || next[2] != prev[2] + 1) break;
    }
    appendf(out, "%sC%d H%d R%d", i == 0 ? " " : ", ", first[0], first[1], first[2]);
    if (j - i > 1) appendf(out, "-%d", ids.id(j - 1)[2]);
    appendf(out, " N%d", first[3]);
    i = j;
  }
}

void appendTracks(std::string& out, D88Image& image) {
  int present = 0;
  for (int t = 0; t < kTrackCount; ++t) {
    if (image.trackOffset(t) != 0) ++present;
  }
  appendf(out, "  tracks present: %d\n", present);

  TrackIds ids;
  for (int t = 0; t < kTrackCount; ++t) {
    if (image.trackOffset(t) == 0) continue;
    listTrack(image, t, ids);
    appendf(out, "  track %3d:", t);
    if (const char* problem = trackProblem(image, t, ids)) {
      appendf(out, " %s\n", problem);
      continue;
    }
    appendf(out, " %s%d sector%s:", ids.full() ? "at least " : "", ids.count, ids.count == 1 ? "" : "s");
    appendIds(out, ids);
    out += '\n';
  }
}

// The warning where mivor's load of the disk stopped, when the loaded bytes
// fall short of the work area. The load stops at the first sector that
// yields less than a whole chunk, so the count names that sector; it is
// read once more to say why.
void appendLoadStop(std::string& out, D88Image& image, int loaded) {
  if (loaded >= cutter::kWorkSize) return;
  const int sector = loaded / kChunk;
  const int t = sector / kRunSectorsPerTrack;
  const int c = t / kSides;
  const int h = t % kSides;
  const int r = cutter::kFirstSector + sector % kRunSectorsPerTrack;
  std::uint8_t data[kChunk];
  const int got = image.readSector(t, c, h, r, cutter::kSizeCode, data, kChunk);

  appendf(out, "  warning: mivor stops loading at track %d, C%d H%d R%d N%d: ", t, c, h, r, cutter::kSizeCode);
  TrackIds ids;
  listTrack(image, t, ids);
  if (const char* problem = trackProblem(image, t, ids)) {
    appendf(out, "track %s", problem);
  } else if (got > 0) {
    appendf(out, "short sector, %d of %d bytes", got, kChunk);
  } else if (ids.holds(c, h, r, cutter::kSizeCode)) {
    // Listed, yet readSector delivers nothing: the sector holds no data, or
    // a sector count of 0 ends the search before it.
    out += "sector listed but reads no data";
  } else {
    out += "sector missing";
  }
  appendf(out, "; %d of %d bytes loaded\n", loaded, cutter::kWorkSize);
}

// The blocks found in all disks so far, which numbers the next.
struct BlockTally {
  int blocks = 0;
  int patched = 0;
};

// Scans the loaded work area as mivor does and lists the blocks it would cut,
// numbered on from tally.
void appendBlocks(std::string& out, std::uint8_t* work, BlockTally& tally) {
  const int before = tally.blocks;
  cutter::MusicScan scan;
  while (cutter::nextMusicBlock(work, scan)) {
    char name[cutter::kOutputNameSize];
    cutter::formatOutputName(tally.blocks, name);
    ++tally.blocks;
    if (scan.patched) ++tally.patched;
    appendf(out, "  block %s at 0x%06X (%d bytes%s)\n", name, static_cast<unsigned>(scan.offset), scan.length,
            scan.patched ? ", patched" : "");
  }
  if (tally.blocks == before) out += "  no blocks\n";
}

}  // namespace

std::string describeImage(D88Image& image) {
  std::string out;
  appendf(out, "disks: %d\n", image.diskCount());
  // A work area of d88info's own: loading and scanning it patches blocks as
  // mivor does, which changes nothing outside it.
  std::vector<std::uint8_t> work(cutter::kWorkSize);
  BlockTally tally;
  for (int d = 0; d < image.diskCount(); ++d) {
    // mivor announces disk d by the character '1' + d.
    appendf(out, "disk %d (No.%c):", d + 1, '1' + d);
    if (!image.selectDisk(d)) {
      // mivor still loads and scans it: with no selection every track reads
      // as absent, and the cleared area holds no block.
      out += " header cannot be read\n";
      cutter::loadDisk(image, work.data());
      appendBlocks(out, work.data(), tally);
      continue;
    }
    out += ' ';
    appendName(out, image.diskName());
    out += '\n';
    appendf(out, "  media type: 0x%02X (%s)\n", image.mediaType(), mediaName(image.mediaType()));
    // The size field as stored: the reader's signed view of a field of 2^31
    // or more would print as negative.
    const unsigned size = static_cast<std::uint32_t>(image.diskSize());
    const unsigned base = static_cast<std::uint32_t>(image.diskBase());
    appendf(out, "  size: %u bytes (0x%X), header at offset %u (0x%X)\n", size, size, base, base);
    appendTracks(out, image);
    appendLoadStop(out, image, cutter::loadDisk(image, work.data()));
    appendBlocks(out, work.data(), tally);
  }
  appendf(out, "blocks: %d (%d patched)\n", tally.blocks, tally.patched);
  return out;
}
