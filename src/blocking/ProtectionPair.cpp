#include "blocking/ProtectionPair.h"

#include "framework/Control.h"

void ShowProtectionPair(bool blocked, TWinControl* unblockedButton, TWinControl* blockedButton) {
  if (blocked) {
    unblockedButton->Hide();
    blockedButton->SetTop(unblockedButton->Top());
    blockedButton->SetLeft(unblockedButton->Left());
    blockedButton->Show();
  } else {
    blockedButton->Hide();
    unblockedButton->Show();
  }
}
