// D88Image: one open D88 file, its index of disk images, and sector reads on
// the selected disk.
#ifndef MIVOR_IMAGE_D88_IMAGE_H
#define MIVOR_IMAGE_D88_IMAGE_H

#include <cstdint>
#include <cstdio>

#include "image/d88_layout.h"

class D88Image {
 public:
  D88Image();
  ~D88Image();
  D88Image(const D88Image&) = delete;
  D88Image& operator=(const D88Image&) = delete;

  // Opens path in binary mode (closing any earlier file) and indexes its disk
  // images. False when it cannot be opened or read; open(nullptr) closes and
  // is always true.
  bool open(const char* path);

  // Decodes the header of disk index and makes it the selected disk. False
  // with no open file, an index outside 0 to diskCount() - 1, or an unreadable
  // header; the selection is then cleared.
  bool selectDisk(int index);

  // Sets the sector numbers a run restarts from on a new track (first) and
  // after which it leaves a track (last).
  void setSectorRange(int first, int last);

  // The number of indexed disks, 0 to 64.
  int diskCount() const { return diskCount_; }

  // The selected disk's index, or -1 when none is selected.
  int currentDisk() const { return currentDisk_; }

  // The selected disk's name: at most 16 characters, always zero-terminated.
  const char* diskName() const { return name_; }

  // The selected disk's media-type byte (0 to 255), or -1 when none.
  int mediaType() const { return mediaType_; }

  // The selected disk's disk-size field as a signed value, or 0 when none.
  int diskSize() const { return diskSize_; }

  // The file offset of the selected disk's header: 0 before a selection, -1 after a failed one.
  int diskBase() const { return diskBase_; }

  // Track's entry in the last decoded track table (from diskBase(), 0: absent); 0 out of range.
  int trackOffset(int track) const {
    return track >= 0 && track < d88::kTrackCount ? trackOffsets_[track] : 0;
  }

  // Finds sector C/H/R/N by walking track's sector headers from the first and
  // copies at most maxLen of its data bytes into dest. Returns the bytes
  // copied: 0 when the track is unusable or the sector is not found, fewer
  // than the sector holds when the file ends inside its data.
  int readSector(int track, int c, int h, int r, int n, std::uint8_t* dest, int maxLen);

  // Reads length bytes of consecutive sectors of size code n into dest in
  // chunks of 128 << n, stepping R up to the last sector of the range, then
  // on to the other side and the next cylinder. Returns the bytes read in
  // whole chunks; it comes up short at the first missing or short sector.
  int readSectors(int track, int c, int h, int r, int n, std::uint8_t* dest, int length);

  // Writes the C, H, R, N of track's sectors, in stored order, into dest,
  // 4 bytes each while a whole entry fits in destLen. Returns the bytes
  // written: 0 for an unusable track, short when the file ends.
  int readTrackIds(int track, std::uint8_t* dest, int destLen);

 private:
  bool makeSeekable();
  void clearSelection();
  std::int64_t trackStart(int track) const;
  const std::uint8_t* windowAt(std::int64_t position, int length);
  int readAt(std::int64_t position, std::uint8_t* dest, int length);
  int readFromFile(std::int64_t position, std::uint8_t* dest, int length);

  // Every sector read walks its track from the first header, so the same
  // bytes are read again and again. They are read from the file a window at
  // a time: a seek and a read per window rather than per header.
  static constexpr int kWindowSize = 256 * 1024;
  // A window starts this far before the position that missed, so that a walk
  // coming back to the start of its track still finds it there.
  static constexpr int kLookBehind = 16 * 1024;

  std::FILE* file_;
  int currentDisk_;
  int diskCount_;
  int firstSector_;
  int lastSector_;
  int diskOffsets_[d88::kMaxDisks];
  int diskSize_;
  int diskBase_;
  int trackOffsets_[d88::kTrackCount];
  int mediaType_;
  char name_[d88::kDiskNameLength + 1];

  std::int64_t windowStart_;
  int windowLength_;  // bytes of the file held from windowStart_; short at its end
  std::uint8_t window_[kWindowSize];  // not cleared: only windowLength_ bytes are ever read
};

#endif  // MIVOR_IMAGE_D88_IMAGE_H
