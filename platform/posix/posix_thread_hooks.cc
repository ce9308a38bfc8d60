#include "platform/posix/posix_thread_hooks.h"

void CPosixThreadHooks::OnWorkerStart() {}

void CPosixThreadHooks::OnWorkerEnd() {}
