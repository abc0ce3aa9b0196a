// The mivor binary run as a user runs it, in a fresh directory: standard
// output, standard error, exit status and every file left behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/d88_builder.h"
#include "tests/tool_runner.h"

using namespace d88test;
namespace fs = std::filesystem;

namespace {

constexpr int kArea = 0x50000;

const std::string kUsage = "Usage: mivor [d88file]\n";
// The open-failure message, Shift-JIS.
const std::string kCannotOpen =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x49\x81\x5B\x83\x76\x83\x93"
    "\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x2E\x0A";

// One run of the tool: the image it is given and what it must do with it.
struct ToolCase {
  std::string what;
  Bytes image;
  std::string imageName = "image.d88";
  std::vector<std::string> args{imageName};
  std::function<void(const TempDir&)> prepare;
  int status = 0;
  std::string out;
  std::string err;
  std::map<std::string, Bytes> outputs;  // files the run must leave besides the image

  ToolCase& named(const std::string& name) {
    imageName = name;
    args = {name};
    return *this;
  }
  ToolCase& withArgs(std::vector<std::string> a) {
    args = std::move(a);
    return *this;
  }
  ToolCase& before(std::function<void(const TempDir&)> f) {
    prepare = std::move(f);
    return *this;
  }
  ToolCase& expect(int s, std::string o, std::string e = "") {
    status = s;
    out = std::move(o);
    err = std::move(e);
    return *this;
  }
  ToolCase& writes(const std::string& name, Bytes bytes) {
    outputs[name] = std::move(bytes);
    return *this;
  }
};

ToolCase on(const std::string& what, Bytes image) {
  ToolCase c;
  c.what = what;
  c.image = std::move(image);
  return c;
}

void check(const ToolCase& c) {
  SCOPED_TRACE(c.what);
  TempDir dir;
  dir.put(c.imageName, c.image);
  if (c.prepare) c.prepare(dir);
  const RunResult run = runMivor(dir.path(), c.args);
  EXPECT_EQ(run.status, c.status);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);

  std::vector<std::string> expectedFiles{c.imageName};
  for (const auto& o : c.outputs) {
    if (o.first != c.imageName) expectedFiles.push_back(o.first);
  }
  std::sort(expectedFiles.begin(), expectedFiles.end());
  EXPECT_EQ(dir.files(), expectedFiles);
  for (const auto& o : c.outputs) EXPECT_EQ(readFile(dir.file(o.first)), o.second) << o.first;
  if (!c.outputs.count(c.imageName)) {
    EXPECT_EQ(readFile(dir.file(c.imageName)), c.image) << "the image changed";
  }
}

std::string searching(int disks) {
  std::string s;
  for (int d = 0; d < disks; ++d) s += std::string("searching ... Disk No.") + char('1' + d) + "\n";
  return s;
}

Bytes oneDisk(const std::string& name = "DISK") {
  Disk d;
  d.name = name;
  d.tracks.push_back(standardTrack(0, Bytes(), 2));
  return build(d);
}

TEST(Tool, CommandLineAndImageIndex) {
  Disk stuck;
  stuck.tracks.push_back(standardTrack(0, Bytes(), 1));
  stuck.withSize(0);
  Disk big;
  big.withSize(0x100000);

  const ToolCase cases[] = {
      on("no argument", oneDisk()).withArgs({}).expect(1, "", kUsage),
      on("two arguments", oneDisk()).withArgs({"image.d88", "x"}).expect(1, "", kUsage),
      on("missing file", oneDisk()).withArgs({"missing.d88"}).expect(1, "", kCannotOpen),
      on("a directory", oneDisk())
          .before([](const TempDir& d) { fs::create_directory(d.path() / "sub"); })
          .withArgs({"sub"})
          .expect(1, "", kCannotOpen),
      on("empty file", {}).expect(0, ""),
      on("687 bytes", Bytes(687, 0)).expect(0, ""),
      on("one disk", oneDisk()).expect(0, searching(1)),
      on("70 disks: 64 announced", concat(std::vector<Bytes>(70, oneDisk()))).expect(0, searching(64)),
      on("size 0 on disk 3", concat({oneDisk(), oneDisk(), build(stuck)})).expect(0, searching(64)),
      on("size beyond the end of the file", build(big)).expect(0, searching(1)),
  };
  for (const ToolCase& c : cases) check(c);
  // The 10th disk is ':', the 64th 'p'.
  EXPECT_EQ(searching(64).substr(9 * 24, 24), "searching ... Disk No.:\n");
  EXPECT_EQ(searching(64).substr(63 * 24, 24), "searching ... Disk No.p\n");
}

}  // namespace
