// The image-state push button used for every button of the main window.
#pragma once

#include "framework/Control.h"

class TVelmoraButton : public TWinControl {
 public:
  explicit TVelmoraButton(TComponent* owner);
};
