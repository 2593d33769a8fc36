#include "app/Main.h"

void TfrmScann::btProtectionClick(TComponent*) {}
void TfrmScann::btRemoveprotClick(TComponent*) {}
void TfrmScann::btBlockEOSClick(TComponent*) {}
void TfrmScann::btRestoreEOSClick(TComponent*) {}
bool TfrmScann::IsGwxProtected() { return false; }
bool TfrmScann::IsEosProtected() { return false; }
void TfrmScann::RefreshProtectionStatus() {}
