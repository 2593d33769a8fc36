// Panels and labels.
#pragma once

#include "framework/Control.h"

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner);
};

class TLabel : public TWinControl {
 public:
  explicit TLabel(TComponent* owner);
};
