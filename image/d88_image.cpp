#include "image/d88_image.h"

#include <climits>
#include <cstring>

#ifndef _WIN32
#include <sys/types.h>  // off_t
#endif

#include "image/coding.h"

using namespace d88;

namespace {

// Seeks file to position from its start. fseek takes a long, 32 bits on
// Windows and on 32-bit systems, where an image may still reach past 2 GiB:
// the seek takes a 64-bit offset on every platform.
bool seekTo(std::FILE* file, std::int64_t position) {
#ifdef _WIN32
  return _fseeki64(file, position, SEEK_SET) == 0;
#else
  static_assert(sizeof(off_t) >= sizeof(std::int64_t), "off_t holds 64-bit offsets (_FILE_OFFSET_BITS=64)");
  return fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
#endif
}

}  // namespace

D88Image::D88Image()
    : file_(nullptr),
      currentDisk_(-1),
      diskCount_(0),
      firstSector_(1),
      lastSector_(16),
      diskOffsets_(),
      diskSize_(0),
      diskBase_(0),
      trackOffsets_(),
      mediaType_(-1),
      name_(),
      windowStart_(0),
      windowLength_(0) {}

D88Image::~D88Image() { open(nullptr); }

bool D88Image::open(const char* path) {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  windowStart_ = 0;
  windowLength_ = 0;
  if (path == nullptr) {
    diskCount_ = 0;
    currentDisk_ = -1;
    mediaType_ = -1;
    return true;
  }

  // Nothing of an earlier file may survive into this one.
  clearSelection();
  diskBase_ = 0;
  std::memset(trackOffsets_, 0, sizeof trackOffsets_);
  std::memset(name_, 0, kDiskNameLength);

  file_ = std::fopen(path, "rb");
  if (file_ == nullptr) return false;
  // The window is the buffer; a stream buffer beneath it would only copy
  // every byte once more.
  std::setvbuf(file_, nullptr, _IONBF, 0);
  if (!makeSeekable()) return false;

  // Offsets are sums of 32-bit fields: kept wide, and the walk stops once one
  // leaves the range a disk offset can hold. A negative size steps back to an
  // earlier disk; the 64-entry limit ends such a walk.
  diskCount_ = 0;
  std::int64_t offset = 0;
  std::uint8_t header[kDiskHeaderLength];
  while (diskCount_ < kMaxDisks && offset >= 0 && offset <= INT_MAX) {
    diskOffsets_[diskCount_] = static_cast<int>(offset);
    // Headers lie a disk apart: read each by itself, not a window around it.
    if (readFromFile(offset, header, kDiskHeaderLength) < kDiskHeaderLength) {
      // A path that opens but cannot be read (a directory on some systems) is
      // a file that cannot be opened, not an empty image.
      if (diskCount_ == 0 && std::ferror(file_)) {
        std::fclose(file_);
        file_ = nullptr;
        return false;
      }
      break;
    }
    offset += decodeFixed32(header + kDiskSizeOffset);
    ++diskCount_;
  }
  return true;
}

// Every read seeks, and a pipe cannot: an unzipped image piped in would read
// as an empty file. Such a stream is copied once to a temporary file, which
// then stands in for it and is removed when it is closed. False, with the file
// closed, when the copy cannot be made (no temporary file, no room for it, a
// read error).
bool D88Image::makeSeekable() {
  // The file was just opened: a seek to its start fails exactly where the
  // reads' seeks would.
  if (seekTo(file_, 0)) return true;
  std::FILE* copy = std::tmpfile();
  bool copied = copy != nullptr;
  if (copied) {
    std::setvbuf(copy, nullptr, _IONBF, 0);
    // Nothing is held in the window yet: it serves as the copy's buffer.
    std::size_t got = 0;
    while (copied && (got = std::fread(window_, 1, kWindowSize, file_)) > 0) {
      copied = std::fwrite(window_, 1, got, copy) == got;
    }
    copied = copied && !std::ferror(file_);
  }
  std::fclose(file_);
  if (!copied && copy != nullptr) std::fclose(copy);
  file_ = copied ? copy : nullptr;
  return copied;
}

void D88Image::clearSelection() {
  diskBase_ = -1;
  currentDisk_ = -1;
  mediaType_ = -1;
  diskSize_ = 0;
  name_[0] = '\0';
}

bool D88Image::selectDisk(int index) {
  if (file_ == nullptr) return false;
  clearSelection();
  if (index < 0 || index >= diskCount_) return false;

  diskBase_ = diskOffsets_[index];
  std::uint8_t header[kDiskHeaderLength];
  // open() found a whole header here, but the file may have changed since;
  // never decode bytes that were not read.
  if (readAt(diskBase_, header, kDiskHeaderLength) < kDiskHeaderLength) return false;

  for (int t = 0; t < kTrackCount; ++t) {
    trackOffsets_[t] = decodeFixed32(header + kTrackTableOffset + t * kTrackEntryLength);
  }
  mediaType_ = header[kMediaTypeOffset];
  diskSize_ = decodeFixed32(header + kDiskSizeOffset);
  // Up to the first zero byte, zero-filled after it; name_[16] is never
  // written and keeps the name terminated.
  int i = 0;
  for (; i < kDiskNameLength && header[i] != 0; ++i) name_[i] = static_cast<char>(header[i]);
  for (; i < kDiskNameLength; ++i) name_[i] = '\0';
  currentDisk_ = index;
  return true;
}

void D88Image::setSectorRange(int first, int last) {
  firstSector_ = first;
  lastSector_ = last;
}

// The file position of track's first sector header, or -1 when the track is
// unusable: no file, track out of range, absent, or its entry negative or
// beyond the disk's size (an entry equal to the size passes).
std::int64_t D88Image::trackStart(int track) const {
  if (file_ == nullptr || track < 0 || track >= kTrackCount) return -1;
  const int entry = trackOffsets_[track];
  if (entry <= 0 || entry > diskSize_) return -1;
  return static_cast<std::int64_t>(diskBase_) + entry;
}

// Points at the length bytes of the file from position, held in the window
// (read anew when it does not hold them), or is null when the file holds
// fewer. The bytes stay valid until the next call that reads the file.
const std::uint8_t* D88Image::windowAt(std::int64_t position, int length) {
  if (position < 0 || length > kWindowSize - kLookBehind) return nullptr;
  if (position < windowStart_ || position + length > windowStart_ + windowLength_) {
    windowStart_ = position > kLookBehind ? position - kLookBehind : 0;
    windowLength_ = readFromFile(windowStart_, window_, kWindowSize);
    if (position + length > windowStart_ + windowLength_) return nullptr;
  }
  return window_ + (position - windowStart_);
}

// Copies up to length bytes of the file from position into dest. Returns the
// count copied: short at the end of the file, 0 where the position cannot be
// read.
int D88Image::readAt(std::int64_t position, std::uint8_t* dest, int length) {
  if (position < 0 || length <= 0) return 0;
  if (length > kWindowSize - kLookBehind) return readFromFile(position, dest, length);
  const std::uint8_t* bytes = windowAt(position, length);
  if (bytes != nullptr) {
    std::memcpy(dest, bytes, static_cast<std::size_t>(length));
    return length;
  }
  // The file ends inside the range; the window now reaches its end.
  const std::int64_t held = windowStart_ + windowLength_ - position;
  if (position < windowStart_ || held <= 0) return 0;
  std::memcpy(dest, window_ + (position - windowStart_), static_cast<std::size_t>(held));
  return static_cast<int>(held);
}

// Seeks to position and reads length bytes from the file itself.
int D88Image::readFromFile(std::int64_t position, std::uint8_t* dest, int length) {
  if (!seekTo(file_, position)) return 0;
  return static_cast<int>(std::fread(dest, 1, static_cast<std::size_t>(length), file_));
}

int D88Image::readSector(int track, int c, int h, int r, int n, std::uint8_t* dest,
                         int maxLen) {
  if (maxLen < 0) return 0;
  std::int64_t position = trackStart(track);
  if (position < 0) return 0;

  // Only the header read last decides when the walk ends: a count that never
  // equals i + 1 lets it run on past the track until a count of 0, a match,
  // the end of the file or the walk's bound.
  for (int i = 0; i < kMaxTrackWalk; ++i) {
    const std::uint8_t* header = windowAt(position, kSectorHeaderLength);
    if (header == nullptr) return 0;
    position += kSectorHeaderLength;
    const int count = decodeFixed16(header + kSectorCountOffset);
    const int size = decodeFixed16(header + kDataLengthOffset);
    if (count == 0) return 0;
    if (header[0] == c && header[1] == h && header[2] == r && header[3] == n) {
      return readAt(position, dest, size < maxLen ? size : maxLen);
    }
    position += size;
    if (i == count - 1) return 0;
  }
  return 0;
}

int D88Image::readSectors(int track, int c, int h, int r, int n, std::uint8_t* dest,
                          int length) {
  // Beyond 23 the chunk 128 << n no longer fits a positive int.
  if (length < 0 || n < 0 || n > 23) return 0;
  int chunk = 128 << n;
  int done = 0;
  while (done < length) {
    // Once reduced for the tail, the chunk stays reduced.
    if (length - done < chunk) chunk = length - done;
    if (readSector(track, c, h, r, n, dest, chunk) < chunk) return done;
    dest += chunk;
    done += chunk;
    if (r == lastSector_) {
      ++track;
      if (h == 0) {
        h = 1;
      } else {
        h = 0;
        ++c;
      }
      r = firstSector_;
    } else {
      ++r;
    }
  }
  return done;
}

int D88Image::readTrackIds(int track, std::uint8_t* dest, int destLen) {
  if (destLen < 0) return 0;
  std::int64_t position = trackStart(track);
  if (position < 0) return 0;

  int written = 0;
  // Unlike readSector, a count of 0 does not stop this walk.
  for (int i = 0; i < kMaxTrackWalk && destLen - written >= kSectorIdLength; ++i) {
    const std::uint8_t* header = windowAt(position, kSectorHeaderLength);
    if (header == nullptr) break;
    position += kSectorHeaderLength;
    std::memcpy(dest + written, header, kSectorIdLength);
    written += kSectorIdLength;
    position += decodeFixed16(header + kDataLengthOffset);
    if (i == decodeFixed16(header + kSectorCountOffset) - 1) break;
  }
  return written;
}
