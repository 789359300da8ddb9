// The text property bag: what it stores, what it leaves out, and how its
// files are replaced.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/error.h"
#include "platform/bag/bag_file_io.h"
#include "platform/bag/text_property_bag.h"
#include "support/error_of.h"

namespace marklet::bag {
namespace {

namespace fs = std::filesystem;
using marklet::testing::ErrorOf;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "marklet-bag-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string File(const char* name) const { return (fs::path(path_) / name).string(); }
  std::size_t Count() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_), fs::directory_iterator())); }

 private:
  std::string path_;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TextPropertyBag, LeavesOutValuesEqualToTheirDefaults) {
  TextPropertyBag bag;
  bag.WriteProperty(u"A", Variant::FromLong(0), Variant::FromInteger(0));  // same number, other width
  bag.WriteProperty(u"B", Variant::FromBool(false), Variant::FromInteger(0));
  bag.WriteProperty(u"C", Variant::FromString(u""), Variant::FromString(u""));
  bag.WriteProperty(u"D", Variant::FromFont(FontDesc{u"Arial", 10}), Variant::FromFont(FontDesc{u"Arial", 10}));
  bag.WriteProperty(u"E", Variant::FromPicture(nullptr), Variant::FromPicture(nullptr));
  EXPECT_TRUE(bag.entries().empty());
  bag.WriteProperty(u"F", Variant::FromString(u"0"), Variant::FromInteger(0));  // a string is not a number
  bag.WriteProperty(u"G", Variant::FromByte(6), Variant::FromByte(5));
  EXPECT_EQ(bag.Format(), "F = \"0\"\nG = CByte(6)\n");
}

TEST(TextPropertyBag, RewritingAKeyReplacesItInPlaceOrRemovesIt) {
  TextPropertyBag bag;
  bag.WriteProperty(u"A", Variant::FromInteger(1), Variant::FromInteger(0));
  bag.WriteProperty(u"B", Variant::FromInteger(2), Variant::FromInteger(0));
  bag.WriteProperty(u"A", Variant::FromInteger(3), Variant::FromInteger(0));
  EXPECT_EQ(bag.Format(), "A = 3\nB = 2\n");
  bag.WriteProperty(u"A", Variant::FromInteger(0), Variant::FromInteger(0));
  EXPECT_EQ(bag.Format(), "B = 2\n");
  EXPECT_EQ(bag.ReadProperty(u"A", Variant::FromInteger(9)).ToInteger(), 9);
}

TEST(TextPropertyBag, RefusesWhatTheTextCannotHold) {
  TextPropertyBag bag;
  EXPECT_EQ(ErrorOf([&] { bag.WriteProperty(u"Two words", Variant::FromInteger(1), Variant()); }), 5);
  EXPECT_EQ(ErrorOf([&] { bag.WriteProperty(u"EndProperty", Variant::FromInteger(1), Variant()); }), 5);
  auto memory = std::make_shared<PictureObject>();
  EXPECT_EQ(ErrorOf([&] { bag.WriteProperty(u"P", Variant::FromPicture(memory), Variant::FromPicture(nullptr)); }), 481);
  EXPECT_EQ(ErrorOf([&] { bag.WriteProperty(u"S", Variant::FromSingle(NAN), Variant()); }), 380);
  EXPECT_TRUE(bag.entries().empty());
}

TEST(TextPropertyBag, ReadsMatchKeysExactlyAndLoadPicturesOnce) {
  int loads = 0;
  TextPropertyBag::Hooks hooks;
  hooks.loadPicture = [&](const std::u16string& path) {
    ++loads;
    auto p = std::make_shared<PictureObject>();
    p->path = path;
    return Picture(p);
  };
  std::vector<std::string> checks;
  hooks.check = [&](const char* op) { checks.push_back(op); };
  TextPropertyBag bag = TextPropertyBag::Parse("Text = \"x\"\nPicture = LoadPicture(\"a.gif\")\n", hooks);
  EXPECT_EQ(bag.ReadProperty(u"text", Variant::FromString(u"default")).AsString(), u"default");
  EXPECT_EQ(loads, 0);
  Picture first = bag.ReadProperty(u"Picture", Variant()).ToPicture();
  Picture second = bag.ReadProperty(u"Picture", Variant()).ToPicture();
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->path, u"a.gif");
  bag.WriteProperty(u"Again", Variant::FromPicture(first), Variant::FromPicture(nullptr));
  EXPECT_EQ(checks, (std::vector<std::string>{"ReadProperty", "ReadProperty", "ReadProperty", "WriteProperty"}));
  EXPECT_NE(bag.Format().find("Again = LoadPicture(\"a.gif\")"), std::string::npos);
}

TEST(BagFiles, SaveReplacesTheFileAndKeepsItsPermissions) {
  TempDir dir;
  std::string path = dir.File("a.bag");
  std::ofstream(path) << "Old = 1\n";
  ::chmod(path.c_str(), 0640);
  TextPropertyBag bag;
  bag.WriteProperty(u"New", Variant::FromInteger(2), Variant::FromInteger(0));
  bag.SaveFile(Utf8ToU16(path));
  EXPECT_EQ(Slurp(path), "New = 2\n");
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  EXPECT_EQ(dir.Count(), 1u);  // no file left beside it
  auto loaded = TextPropertyBag::LoadFile(Utf8ToU16(path), {});
  EXPECT_EQ(loaded.ReadProperty(u"New", Variant()).ToInteger(), 2);
}

TEST(BagFiles, AFailedSaveKeepsTheOldFileWhole) {
  TempDir dir;
  std::string path = dir.File("a.bag");
  std::ofstream(path) << "Old = 1\n";
  TextPropertyBag bag;
  bag.WriteProperty(u"New", Variant::FromInteger(2), Variant::FromInteger(0));
  // A failure after the new file is complete but before it replaces the old one.
  EXPECT_EQ(ErrorOf([&] { bag.SaveFile(Utf8ToU16(path), [] { throw MarkletError(61, "Disk full"); }); }), 61);
  EXPECT_EQ(Slurp(path), "Old = 1\n");
  EXPECT_EQ(dir.Count(), 1u);
  // A folder in the file's place cannot be replaced.
  fs::create_directory(dir.File("folder.bag"));
  EXPECT_EQ(ErrorOf([&] { bag.SaveFile(Utf8ToU16(dir.File("folder.bag"))); }), 75);
  EXPECT_TRUE(fs::is_directory(dir.File("folder.bag")));
  EXPECT_EQ(dir.Count(), 2u);
  EXPECT_EQ(ErrorOf([&] { bag.SaveFile(Utf8ToU16(dir.File("none/a.bag"))); }), 76);
}

TEST(BagFiles, MissingFoldersAndBadFilesAreRefusedOnLoad) {
  TempDir dir;
  EXPECT_EQ(ErrorOf([&] { TextPropertyBag::LoadFile(Utf8ToU16(dir.File("none.bag")), {}); }), 53);
  EXPECT_EQ(ErrorOf([&] { TextPropertyBag::LoadFile(Utf8ToU16(dir.File("")), {}); }), 75);
  std::ofstream(dir.File("bad.bag"), std::ios::binary) << "A = 1\n\xFF\xFE garbage\n";
  EXPECT_EQ(ErrorOf([&] { TextPropertyBag::LoadFile(Utf8ToU16(dir.File("bad.bag")), {}); }), 13);
}

}  // namespace
}  // namespace marklet::bag
