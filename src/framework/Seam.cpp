#include "framework/Seam.h"

PlatformSeam& Seam() {
  static PlatformSeam table;
  return table;
}
