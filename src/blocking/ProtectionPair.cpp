#include "blocking/ProtectionPair.h"

#include "framework/Control.h"

void ShowProtectionPair(bool blocked, TWinControl* unblockedButton, TWinControl* blockedButton) {
  // The new button shows before the other hides, so that a focus on the
  // one going passes to the one in its place.
  if (blocked) {
    blockedButton->SetTop(unblockedButton->Top());
    blockedButton->SetLeft(unblockedButton->Left());
    blockedButton->Show();
    unblockedButton->Hide();
  } else {
    unblockedButton->Show();
    blockedButton->Hide();
  }
}
