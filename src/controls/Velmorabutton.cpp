#include "controls/Velmorabutton.h"

TVelmoraButton::TVelmoraButton(TComponent* owner) : TWinControl(owner) {
  SetBounds(0, 0, 137, 41);
}
