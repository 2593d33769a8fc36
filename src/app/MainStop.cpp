#include "app/Main.h"

void TfrmScann::btStopClick(TComponent*) {}

void TfrmScann::CollectTaskCommands(const std::string&, const std::string&,
                                    std::vector<std::string>*) {}
