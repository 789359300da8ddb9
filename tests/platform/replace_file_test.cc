// What saving does to each kind of file a name can stand for: a plain file is
// replaced whole, a link keeps pointing at the replaced file, and anything
// that is not a plain file the user may write is left exactly as it was.
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/bag/bag_file_io.h"
#include "platform/files/replace_file.h"
#include "platform/raster/raster_container.h"

namespace marklet {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void Spit(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The error number and message of replacing `path`; 0 when it worked.
std::pair<int, std::string> Replace(const fs::path& path, const std::string& text, const std::string& root = {}) {
  try {
    files::ReplaceFile(path.string(), text, root);
    return {0, ""};
  } catch (const MarkletError& e) {
    return {e.number(), e.what()};
  }
}

std::size_t Entries(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "marklet-replace-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

TEST_F(ReplaceFileTest, APlainFileIsReplacedWholeAndKeepsItsMode) {
  fs::path file = dir_ / "a.bag";
  Spit(file, "old");
  ::chmod(file.c_str(), 0640);
  EXPECT_EQ(Replace(file, "new text").first, 0);
  EXPECT_EQ(Slurp(file), "new text");
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  // The owner stays where the process may give the file away (as root).
  if (::geteuid() == 0 && ::chown(file.c_str(), 4321, 4321) == 0) {
    EXPECT_EQ(Replace(file, "for another owner").first, 0);
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4321u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
  // A new file is created; no temporary file stays behind either way.
  EXPECT_EQ(Replace(dir_ / "b.bag", "b").first, 0);
  EXPECT_EQ(Slurp(dir_ / "b.bag"), "b");
  EXPECT_EQ(Entries(dir_), 2u);
}

TEST_F(ReplaceFileTest, ALinkStaysALinkToTheReplacedFile) {
  fs::create_directories(dir_ / "sub");
  Spit(dir_ / "sub" / "real.bag", "old");
  fs::create_symlink("sub/real.bag", dir_ / "rel.bag");
  fs::create_symlink(dir_ / "rel.bag", dir_ / "chain.bag");  // absolute, to a link
  EXPECT_EQ(Replace(dir_ / "chain.bag", "via chain").first, 0);
  EXPECT_TRUE(fs::is_symlink(dir_ / "chain.bag"));
  EXPECT_TRUE(fs::is_symlink(dir_ / "rel.bag"));
  EXPECT_EQ(Slurp(dir_ / "sub" / "real.bag"), "via chain");
  // A dangling link makes the file it names.
  fs::create_symlink("sub/later.bag", dir_ / "dangling.bag");
  EXPECT_EQ(Replace(dir_ / "dangling.bag", "made").first, 0);
  EXPECT_EQ(Slurp(dir_ / "sub" / "later.bag"), "made");
  EXPECT_TRUE(fs::is_symlink(dir_ / "dangling.bag"));
}

TEST_F(ReplaceFileTest, WhatIsNotAPlainWritableFileIsRefusedAndLeftAsItWas) {
  fs::path fifo = dir_ / "fifo", folder = dir_ / "folder", ro = dir_ / "ro.bag", one = dir_ / "one",
           two = dir_ / "two";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_directories(folder / "inner");
  Spit(ro, "keep me");
  ::chmod(ro.c_str(), 0444);
  Spit(one, "linked");
  fs::create_hard_link(one, two);
  struct Case {
    fs::path path;
    int number;
    const char* why;
  };
  for (const Case& c : {Case{fifo, 75, "a pipe"}, Case{folder, 75, "a folder"}, Case{folder / "", 75, "a folder"},
                        Case{ro, 70, "read-only"}, Case{two, 75, "2 hard links"},
                        Case{dir_ / "missing" / "x.bag", 76, "No such file or directory"}}) {
    auto [number, message] = Replace(c.path, "new");
    EXPECT_EQ(number, c.number) << c.path;
    EXPECT_NE(message.find(c.path.string()), std::string::npos) << message;
    EXPECT_NE(message.find(c.why), std::string::npos) << message;
  }
  // Root may write anything, and a read-only mode still keeps the file.
  EXPECT_EQ(Slurp(ro), "keep me");
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::exists(folder / "inner"));
  EXPECT_EQ(fs::hard_link_count(one), 2u);
  EXPECT_EQ(Slurp(one), "linked");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_EQ(Entries(dir_), 5u);  // nothing new beside them
  // The bag layer and the PNG writer refuse the same way.
  try {
    bag::ReplaceFileAtomically(fifo.string(), "x");
    ADD_FAILURE() << "a pipe was replaced";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 75);
  }
  raster::RasterContainer container;
  container.CreateControl();
  for (const Case& c : {Case{fifo, 75, ""}, Case{ro, 70, ""}, Case{folder, 75, ""}, Case{dir_ / "no" / "a.png", 76, ""}}) {
    try {
      container.WritePng(c.path.string());
      ADD_FAILURE() << c.path << " was written";
    } catch (const MarkletError& e) {
      EXPECT_EQ(e.number(), c.number) << e.what();
    }
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_EQ(Slurp(ro), "keep me");
}

TEST_F(ReplaceFileTest, UnderARootALinkMustResolveInsideAndNotByAnAbsolutePath) {
  fs::path inside = dir_ / "inside", outside = dir_ / "outside";
  fs::create_directories(inside / "sub");
  fs::create_directories(outside);
  Spit(outside / "t.bag", "outside");
  Spit(inside / "t.bag", "inside");
  fs::create_symlink("../outside/t.bag", inside / "up.bag");
  fs::create_symlink(outside / "t.bag", inside / "abs.bag");
  fs::create_symlink(inside / "t.bag", inside / "abs-in.bag");
  fs::create_symlink("../t.bag", inside / "sub" / "rel.bag");
  fs::create_symlink(outside, inside / "away");
  const std::string root = inside.string();
  for (const fs::path& p : {inside / "up.bag", inside / "abs.bag", inside / "abs-in.bag", inside / "away" / "t.bag",
                            inside / ".." / "outside" / "t.bag", outside / "new.bag"}) {
    auto [number, message] = Replace(p, "escaped", root);
    EXPECT_EQ(number, 53) << p;
    EXPECT_NE(message.find("that files are confined to"), std::string::npos) << message;
  }
  EXPECT_EQ(Slurp(outside / "t.bag"), "outside");
  EXPECT_FALSE(fs::exists(outside / "new.bag"));
  EXPECT_EQ(Slurp(inside / "t.bag"), "inside");
  // A relative link that stays inside is followed.
  EXPECT_EQ(Replace(inside / "sub" / "rel.bag", "replaced", root).first, 0);
  EXPECT_EQ(Slurp(inside / "t.bag"), "replaced");
  EXPECT_TRUE(fs::is_symlink(inside / "sub" / "rel.bag"));
}

TEST_F(ReplaceFileTest, AFailureBeforeTheRenameLeavesTheOldFile) {
  fs::path file = dir_ / "a.bag";
  Spit(file, "old");
  try {
    files::ReplaceFile(file.string(), "new", {}, [] { throw MarkletError(5, "stop"); });
    ADD_FAILURE() << "no failure";
  } catch (const MarkletError& e) {
    EXPECT_EQ(e.number(), 5);
  }
  EXPECT_EQ(Slurp(file), "old");
  EXPECT_EQ(Entries(dir_), 1u);
}

// Runs `body` in a child with a mount namespace of its own (and a user
// namespace when not root), so it may mount a small file system and create a
// device node. Returns the body's complaint, "" when it passed, or a line
// starting with "skip:" when this machine does not allow it.
std::string InPrivateMounts(const std::function<std::string()>& body) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "skip: no pipe";
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  pid_t pid = ::fork();
  if (pid < 0) return "skip: no fork";
  if (pid == 0) {
    ::close(pipeFds[0]);
    std::string result;
    int flags = CLONE_NEWNS | (uid == 0 ? 0 : CLONE_NEWUSER);
    if (::unshare(flags) != 0) {
      result = std::string("skip: cannot make a private mount namespace (") + std::strerror(errno) + ")";
    } else {
      if (uid != 0) {
        Spit("/proc/self/setgroups", "deny");
        Spit("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        Spit("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
      }
      if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        result = std::string("skip: cannot make mounts private (") + std::strerror(errno) + ")";
      } else {
        try {
          result = body();
        } catch (const std::exception& e) {
          result = std::string("unexpected exception: ") + e.what();
        }
      }
    }
    (void)!::write(pipeFds[1], result.data(), result.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) result.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status)) return "the child process did not finish";
  return result;
}

#define SKIP_OR_EXPECT_EMPTY(result)                      \
  do {                                                    \
    std::string r_ = (result);                            \
    if (r_.rfind("skip:", 0) == 0) GTEST_SKIP() << r_;    \
    EXPECT_EQ(r_, "");                                    \
  } while (0)

// The number an action raised (0 for none), for a child to report.
int NumberOf(const std::function<void()>& action) {
  try {
    action();
    return 0;
  } catch (const MarkletError& e) {
    return e.number();
  }
}

TEST_F(ReplaceFileTest, ADeviceNodeIsNeverReplaced) {
  fs::path dev = dir_ / "null";
  SKIP_OR_EXPECT_EMPTY(InPrivateMounts([&]() -> std::string {
    if (::mknod(dev.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
      // Without the right to make one, /dev/null is mounted over a file.
      Spit(dev, "");
      if (::mount("/dev/null", dev.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return std::string("skip: cannot make a device node (") + std::strerror(errno) + ")";
      }
    }
    std::string out;
    if (int n = NumberOf([&] { files::ReplaceFile(dev.string(), "x"); }); n != 75) out += "save gave " + std::to_string(n) + "; ";
    raster::RasterContainer container;
    container.CreateControl();
    if (int n = NumberOf([&] { container.WritePng(dev.string()); }); n != 75) out += "PNG gave " + std::to_string(n) + "; ";
    struct stat info {};
    if (::stat(dev.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) out += "the device is gone; ";
    return out;
  }));
}

TEST_F(ReplaceFileTest, AFullFileSystemLeavesTheOldFilesWhole) {
  fs::path mnt = dir_ / "small";
  fs::create_directories(mnt);
  SKIP_OR_EXPECT_EMPTY(InPrivateMounts([&]() -> std::string {
    if (::mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=16k") != 0) {
      return std::string("skip: cannot mount a tmpfs (") + std::strerror(errno) + ")";
    }
    fs::path bagFile = mnt / "a.bag", png = mnt / "a.png";
    raster::RasterContainer container;
    container.CreateControl();
    container.control()->SetText(u"&bbold\\b and #ek<a link>");
    container.Pump();
    files::ReplaceFile(bagFile.string(), "Text = \"old\"\n");
    container.WritePng(png.string());
    std::string oldPng = Slurp(png);
    // Fill what is left.
    {
      std::ofstream filler(mnt / "filler", std::ios::binary);
      std::string block(1024, 'x');
      while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
      }
    }
    std::string out;
    std::string message;
    try {
      files::ReplaceFile(bagFile.string(), std::string(8192, 'y'));
      out += "the bag was written; ";
    } catch (const MarkletError& e) {
      if (e.number() != 61) out += "the bag gave " + std::to_string(e.number()) + "; ";
      message = e.what();
    }
    if (message.find(bagFile.string()) == std::string::npos || message.find("No space left") == std::string::npos) {
      out += "the message does not name the file and the reason: " + message + "; ";
    }
    if (int n = NumberOf([&] { container.WritePng(png.string()); }); n != 61) out += "the PNG gave " + std::to_string(n) + "; ";
    if (Slurp(bagFile) != "Text = \"old\"\n") out += "the old bag changed; ";
    if (Slurp(png) != oldPng) out += "the old PNG changed; ";
    if (Entries(mnt) != 3) out += "a temporary file stayed behind; ";
    return out;
  }));
}

}  // namespace
}  // namespace marklet
