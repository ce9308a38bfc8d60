// Every COM entry of the module is a noexcept boundary: what the add-in's code raises (an
// HRESULT error for a broken invariant, out of memory, anything else) comes back as a status
// code, never as an exception into the caller.
#pragma once

#include <windows.h>

#include <new>

#include "common/hresult.h"

template <typename Body>
HRESULT ComBoundary(Body&& body) noexcept {
  try {
    return body();
  } catch (const CHResultError& error) {
    return error.Code();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}
