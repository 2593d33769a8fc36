// The protection buttons: each click changes the registry, then the buttons
// show what the registry now holds.
#include "app/Main.h"
#include "blocking/Blocking.h"
#include "blocking/ProtectionPair.h"

void TfrmScann::btProtectionClick(TComponent*) {
  BlockGwx();
  RefreshProtectionStatus();
}

void TfrmScann::btRemoveprotClick(TComponent*) {
  UnblockGwx();
  RefreshProtectionStatus();
}

void TfrmScann::btBlockEOSClick(TComponent*) {
  BlockEos();
  RefreshProtectionStatus();
}

void TfrmScann::btRestoreEOSClick(TComponent*) {
  UnblockEos();
  RefreshProtectionStatus();
}

bool TfrmScann::IsGwxProtected() { return GwxBlocked(); }

bool TfrmScann::IsEosProtected() { return EosBlocked(); }

void TfrmScann::RefreshProtectionStatus() {
  ShowProtectionPair(IsGwxProtected(), btProtection, btRemoveprot);
  ShowProtectionPair(IsEosProtected(), btBlockEOS, btRestoreEOS);
}
