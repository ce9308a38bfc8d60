// The process-wide objects behind the add-in's accessors (GetFacebookClient, GetOptions,
// GetApplicationObject): start-up code (the DLL's load, a program's main) owns each object and
// wires it here for as long as it lives; tests wire their own the same way and unwire them when
// they end, so no accessor is ever left pointing at a destroyed object.
//
// Threading: wire and unwire on the main thread while no other thread uses the accessor; Get
// is safe from any thread.
#pragma once

#include <atomic>

template <class T>
class CProcessInstance {
 public:
  // Wires `object` as the process's instance until this guard ends, when the instance wired
  // before it (usually none) comes back.
  explicit CProcessInstance(T& object) : m_pPrevious(Slot().exchange(&object)) {}
  ~CProcessInstance() { Slot().store(m_pPrevious); }
  CProcessInstance(const CProcessInstance&) = delete;
  CProcessInstance& operator=(const CProcessInstance&) = delete;

  // The wired instance; null while none is.
  static T* Get() { return Slot().load(); }

 private:
  static std::atomic<T*>& Slot() {
    static std::atomic<T*> slot{nullptr};
    return slot;
  }

  T* m_pPrevious;
};
