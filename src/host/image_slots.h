// The bookkeeping every host's image controls share: which members are
// loaded, and each one's picture, place and visibility, with the errors of a
// control array (340 no such member, 360 already loaded, 362 member 0 cannot
// be unloaded, 9 a negative index). A host adds what it does with a change
// (records it, redraws) by overriding the two hooks.
#pragma once

#include <vector>

#include "host/container.h"

namespace marklet {

class ImageSlots : public ImageArray {
 public:
  struct Image {
    bool loaded = false;
    Picture picture;
    Single left = 0, top = 0;
    bool visible = false;
  };

  ImageSlots();

  Integer UBound() final;
  bool IsLoaded(Integer index) final;
  void Load(Integer index) final;
  void Unload(Integer index) final;
  void SetPicture(Integer index, const Picture& picture) final;
  void Move(Integer index, Single left, Single top) final;
  void SetVisible(Integer index, bool visible) final;
  bool Visible(Integer index) final;
  Single Left(Integer index) final;
  Single Top(Integer index) final;

  const std::vector<Image>& images() const { return images_; }

 protected:
  enum class Change { Load, Unload, Picture, Move, Show, Hide };
  // Before every call but IsLoaded; a host may refuse the call by throwing.
  virtual void BeforeAccess() {}
  // After a change took effect; `wasVisible` is whether the member showed before it.
  virtual void Changed(Change change, Integer index, bool wasVisible) {
    (void)change, (void)index, (void)wasVisible;
  }
  // A loaded member; error 340 for another index.
  Image& Member(Integer index);

 private:
  std::vector<Image> images_;
};

}  // namespace marklet
