#include "host/image_slots.h"

#include <string>

#include "host/error.h"

namespace marklet {

ImageSlots::ImageSlots() {
  images_.resize(1);
  images_[0].loaded = true;
}

ImageSlots::Image& ImageSlots::Member(Integer index) {
  if (!IsLoaded(index)) {
    throw MarkletError(340, "Control array element '" + std::to_string(index) + "' doesn't exist");
  }
  return images_[index];
}

Integer ImageSlots::UBound() {
  BeforeAccess();
  for (std::size_t i = images_.size(); i-- > 0;)
    if (images_[i].loaded) return static_cast<Integer>(i);
  return 0;
}

bool ImageSlots::IsLoaded(Integer index) {
  return index >= 0 && static_cast<std::size_t>(index) < images_.size() && images_[index].loaded;
}

void ImageSlots::Load(Integer index) {
  BeforeAccess();
  if (index < 0) throw MarkletError(ErrorNumber::SubscriptOutOfRange, "Subscript out of range");
  if (IsLoaded(index)) throw MarkletError(360, "Object already loaded");
  if (static_cast<std::size_t>(index) >= images_.size()) images_.resize(index + 1);
  images_[index] = Image{};
  images_[index].loaded = true;
  Changed(Change::Load, index, false);
}

void ImageSlots::Unload(Integer index) {
  BeforeAccess();
  if (index == 0) throw MarkletError(362, "Can't unload controls created at design time");
  bool wasVisible = Member(index).visible;
  images_[index] = Image{};
  while (images_.size() > 1 && !images_.back().loaded) images_.pop_back();
  Changed(Change::Unload, index, wasVisible);
}

void ImageSlots::SetPicture(Integer index, const Picture& picture) {
  BeforeAccess();
  Image& image = Member(index);
  image.picture = picture;
  Changed(Change::Picture, index, image.visible);
}

void ImageSlots::Move(Integer index, Single left, Single top) {
  BeforeAccess();
  Image& image = Member(index);
  image.left = left;
  image.top = top;
  Changed(Change::Move, index, image.visible);
}

void ImageSlots::SetVisible(Integer index, bool visible) {
  BeforeAccess();
  Image& image = Member(index);
  bool wasVisible = image.visible;
  image.visible = visible;
  Changed(visible ? Change::Show : Change::Hide, index, wasVisible);
}

bool ImageSlots::Visible(Integer index) {
  BeforeAccess();
  return Member(index).visible;
}

Single ImageSlots::Left(Integer index) {
  BeforeAccess();
  return Member(index).left;
}

Single ImageSlots::Top(Integer index) {
  BeforeAccess();
  return Member(index).top;
}

}  // namespace marklet
