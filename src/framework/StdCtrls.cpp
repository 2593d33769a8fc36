#include "framework/StdCtrls.h"

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {}
TLabel::TLabel(TComponent* owner) : TWinControl(owner) {}
