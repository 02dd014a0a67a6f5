#include "app/sim_version.h"

std::uint32_t ClassifySimVersion(std::uint32_t code) {
  if (code == 2002 || code == 2004 || code == 2006) return code;
  if (code >= 3000 && code <= 3999) return 3000;
  if (code >= 9000 && code <= 9999) return 9000;
  if (code >= 10000 && code <= 10999) return 10000;
  return 0;
}
