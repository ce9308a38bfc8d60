#include <stdlib.h>

#include "tests/support/environment.h"

void SetEnvironmentValue(const char* name, const char* value) {
  _putenv_s(name, value != nullptr ? value : "");  // an empty value removes the variable
}
