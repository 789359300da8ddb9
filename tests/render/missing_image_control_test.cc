// A picture whose image control could not be loaded is left out of the paint;
// the rest of the text still draws.
#include <sstream>

#include <gtest/gtest.h>

#include "host/error.h"
#include "platform/trace/trace_container.h"

namespace marklet {
namespace {

// The trace image array, except that member 1 never loads.
class ImagesWithoutMemberOne : public ImageArray {
 public:
  explicit ImagesWithoutMemberOne(ImageArray& inner) : inner_(inner) {}
  Integer UBound() override { return inner_.UBound(); }
  bool IsLoaded(Integer index) override { return inner_.IsLoaded(index); }
  void Load(Integer index) override {
    if (index == 1) throw MarkletError(7, "Out of memory");
    inner_.Load(index);
  }
  void Unload(Integer index) override { inner_.Unload(index); }
  void SetPicture(Integer index, const Picture& picture) override { inner_.SetPicture(index, picture); }
  void Move(Integer index, Single left, Single top) override { inner_.Move(index, left, top); }
  void SetVisible(Integer index, bool visible) override { inner_.SetVisible(index, visible); }
  bool Visible(Integer index) override { return inner_.Visible(index); }
  Single Left(Integer index) override { return inner_.Left(index); }
  Single Top(Integer index) override { return inner_.Top(index); }

 private:
  ImageArray& inner_;
};

class ContainerWithoutMemberOne : public trace::TraceContainer {
 public:
  explicit ContainerWithoutMemberOne(trace::TraceWorld& world)
      : TraceContainer(world), images_(traceImages()) {}
  ImageArray& imgC() override { return images_; }

 private:
  ImagesWithoutMemberOne images_;
};

TEST(MissingImageControl, ThePictureIsLeftOutAndTheRestDraws) {
  std::ostringstream out;
  trace::TraceWorld world(out);
  ContainerWithoutMemberOne container(world);
  container.CreateControl();
  Marklet& control = *container.control();
  control.Initialize();
  control.InitProperties();
  control.SetAutoSizeHeight(false);

  const std::string picture = MARKLET_FIXTURE_DIR "/render_box16x8.png";
  const std::u16string text = Utf8ToU16("#i<" + picture + "> #ik<" + picture + "> #i<" + picture + "> end");
  ASSERT_NO_THROW(control.SetText(text));
  ASSERT_EQ(control.ImageCount(), 3);

  const std::string records = out.str();
  EXPECT_NE(records.find(R"({"img":{"op":"show","index":0}})"), std::string::npos);
  EXPECT_EQ(records.find(R"({"img":{"op":"move","index":1)"), std::string::npos);
  EXPECT_NE(records.find(R"({"img":{"op":"show","index":2}})"), std::string::npos);
  EXPECT_NE(records.find(R"("text":"end")"), std::string::npos);
  // The picture link that is not shown has no box to hit.
  const LinkRecord& link = control.Links()[0];
  EXPECT_EQ(link.Right - link.Left, 0.0f);
}

}  // namespace
}  // namespace marklet
