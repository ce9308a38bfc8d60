// The process environment, set the way the test's platform sets it.
#pragma once

// Sets `name` to `value`; a null value removes the variable.
void SetEnvironmentValue(const char* name, const char* value);
