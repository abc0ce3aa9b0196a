// Both programs given the image through a pipe: the same output, files and
// status as for the same image given by name, and the open failure when the
// pipe cannot be copied.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;
namespace fs = std::filesystem;

namespace {

struct Program {
  std::string binary;
  std::string cannotOpenPipe;  // the open-failure message for /dev/stdin
  // The number of disks the output announces.
  int (*disksIn)(const std::string& out);
};

int mivorDisks(const std::string& out) {
  int disks = 0;
  for (std::size_t at = out.find("searching ... "); at != std::string::npos; at = out.find("searching ... ", at + 1)) {
    ++disks;
  }
  return disks;
}

int d88infoDisks(const std::string& out) {
  return out.rfind("disks: ", 0) == 0 ? std::stoi(out.substr(7)) : -1;
}

const Program kPrograms[] = {
    {MIVOR_BINARY, kMivorCannotOpen, mivorDisks},
    {D88INFO_BINARY, "d88info: cannot open /dev/stdin\n", d88infoDisks},
};

// The regular files a run left in dir, but for the image, with their bytes.
std::map<std::string, Bytes> outputs(const TempDir& dir, const std::string& image) {
  std::map<std::string, Bytes> files;
  for (const std::string& name : dir.files()) {
    if (name != image) files[name] = readFile(dir.file(name));
  }
  return files;
}

// Three full disks, each larger than the reader's window so that the copy
// takes several reads, and a block on each, the second one patched.
Bytes threeDisks() {
  std::vector<Bytes> disks;
  for (int d = 0; d < 3; ++d) {
    Bytes area(0x50000, 0);
    putBlock(area, 0x1000 + d * 0x11000, d == 1, static_cast<std::uint8_t>(0x31 + d));
    area.resize(0x50000);
    disks.push_back(build(diskHolding(area, "DISK " + std::to_string(d + 1))));
  }
  return concat(disks);
}

TEST(Pipe, ReadsAsTheSameImageGivenByName) {
  struct Case {
    const char* what;
    Bytes image;
    int disks;
    std::function<void(const TempDir&)> prepare;
  };
  const Bytes image = threeDisks();
  const Case cases[] = {
      {"three disks with blocks", image, 3, nullptr},
      {"a pipe that yields nothing", {}, 0, nullptr},
      {"687 bytes, short of a disk header", Bytes(687, 0x11), 0, nullptr},
      {"an existing output is replaced", image, 3, [](const TempDir& d) { d.put("MUS00", Bytes(5000, 'x')); }},
      {"a directory in the way of an output", image, 3,
       [](const TempDir& d) { fs::create_directory(d.path() / "MUS01"); }},
  };
  for (const Program& p : kPrograms) {
    for (const Case& c : cases) {
      for (const std::string pipePath : {"/dev/stdin", "/dev/fd/0"}) {
        SCOPED_TRACE(p.binary + " " + pipePath + ": " + c.what);
        TempDir named;
        named.put("image.d88", c.image);
        if (c.prepare) c.prepare(named);
        const RunResult byName = runProgram(p.binary, named.path(), {"image.d88"});
        ASSERT_EQ(p.disksIn(byName.out), c.disks) << byName.out;

        TempDir source;
        TempDir piped;
        if (c.prepare) c.prepare(piped);
        const RunResult byPipe = runProgram(p.binary, piped.path(), {pipePath}, {source.put("image.d88", c.image), ""});
        EXPECT_EQ(byPipe.status, byName.status);
        EXPECT_EQ(byPipe.out, byName.out);
        EXPECT_EQ(byPipe.err, byName.err);
        EXPECT_EQ(outputs(piped, ""), outputs(named, "image.d88"));
      }
    }
  }
}

TEST(Pipe, StandardInputFromTheImageFileIsNotWritten) {
  // /dev/stdin redirected from a file is that file: were an output named like
  // it, it is skipped, as when the image is given by that name.
  const Bytes image = threeDisks();
  TempDir named;
  named.put("MUS00", image);
  const RunResult byName = runMivor(named.path(), {"MUS00"});
  ASSERT_EQ(byName.err, "cannot write MUS00\n");

  TempDir redirected;
  redirected.put("MUS00", image);
  const RunResult byStdin = runMivor(redirected.path(), {"/dev/stdin"}, {"", "exec <MUS00"});
  EXPECT_EQ(byStdin.status, byName.status);
  EXPECT_EQ(byStdin.out, byName.out);
  EXPECT_EQ(byStdin.err, byName.err);
  EXPECT_EQ(outputs(redirected, ""), outputs(named, ""));
  EXPECT_EQ(readFile(redirected.file("MUS00")), image);
}

TEST(Pipe, NoCopyIsAFileThatCannotBeOpened) {
  TempDir source;
  const std::string image = source.put("image.d88", threeDisks());
  RunSetup noRoom;
  noRoom.pipedInput = image;
  // Room for a few disk headers, not for the image.
  noRoom.fileSizeLimit = 64 * 512;
  RunSetup noDescriptor;
  noDescriptor.pipedInput = image;
  // Room for standard input, output, error and the pipe's stream, fd 3,
  // which may have been inherited open: closed, so the program can load.
  noDescriptor.shellBefore = "exec 3<&-; ulimit -n 4";
  const std::pair<const char*, RunSetup> limits[] = {
      {"no room for the copy", noRoom},
      {"no file descriptor for the copy", noDescriptor},
  };
  for (const Program& p : kPrograms) {
    for (const auto& l : limits) {
      SCOPED_TRACE(p.binary + ": " + l.first);
      TempDir dir;
      const RunResult run = runProgram(p.binary, dir.path(), {"/dev/stdin"}, l.second);
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, p.cannotOpenPipe);
      EXPECT_EQ(dir.files(), std::vector<std::string>());
    }
  }
}

}  // namespace
