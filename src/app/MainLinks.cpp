#include "app/Main.h"

void TfrmScann::lblFeedbackClick(TComponent*) {}
void TfrmScann::lblReadmeClick(TComponent*) {}
void TfrmScann::lblViewlogClick(TComponent*) {}
void TfrmScann::btSopWaitClick(TComponent*) {}
void TfrmScann::btHelpRemovalClick(TComponent*) {}
void TfrmScann::btAdvancedClick(TComponent*) {}
void TfrmScann::btStartmeterClick(TComponent*) {}
