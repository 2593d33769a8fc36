// The image component: a control that shows its picture at natural size in
// its top-left corner, or serves a button as a store for one. Its picture
// scales with it.
#pragma once

#include "framework/CustomControl.h"
#include "framework/Graphics.h"

class TImage : public TCustomControl {
 public:
  explicit TImage(TComponent* owner);
  TPicture* Picture() { return &picture_; }
  const TPicture* Picture() const { return &picture_; }

 protected:
  void FillCreateParams(CreateParams& params) override;
  void Paint() override;
  void ChangeScale(int m, int d) override;

 private:
  TPicture picture_;
};
