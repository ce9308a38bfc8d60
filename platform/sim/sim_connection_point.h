// One connection point of a simulated event source, with a COM source's semantics: each
// Advise hands out a new cookie (its slot + 1, slots never reused, so a second Advise of the
// same sink is a second connection); Unadvise checks the cookie; an event reaches every sink
// in the order the sinks were advised.
//
// A handler may unadvise itself or any other sink, advise new ones, or make the source go
// away (Clear) while the event is under way: a sink unadvised during an event is not called
// for the rest of it and is never touched again, and a sink advised during it waits for the
// next event. The source does not own its sinks. Whoever fires keeps the source itself alive
// for the duration of Fire.
//
// Threading: the owner's (Outlook's main thread).
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/hresult.h"
#include "platform/outlook_host.h"
#include "platform/sim/sim_state.h"

template <class Sink>
class CSimConnectionPoint {
 public:
  HRESULT Advise(Sink* sink, std::uint32_t* cookie) {
    if (sink == nullptr || cookie == nullptr) {
      return E_POINTER;
    }
    if (m_nNextCookie == kNotAdvised) {
      return sim_error::kAdviseLimit;
    }
    *cookie = m_nNextCookie;
    m_aConnections.emplace_back(m_nNextCookie, sink);  // cookies grow, so the list stays sorted
    ++m_nNextCookie;
    return S_OK;
  }

  HRESULT Unadvise(std::uint32_t cookie) {
    auto it = Find(cookie);
    if (it == m_aConnections.end() || it->first != cookie) {
      return kConnectNoConnection;
    }
    m_aConnections.erase(it);
    return S_OK;
  }

  // Calls `call(sink)` for every sink advised before the event began, in advise order,
  // looking each next sink up afresh so that changes made by handlers take effect at once.
  template <class Call>
  void Fire(Call&& call) {
    const std::uint32_t limit = m_nNextCookie;
    std::uint32_t last = 0;
    for (;;) {
      auto it = Find(last + 1);
      if (it == m_aConnections.end() || it->first >= limit) {
        return;
      }
      last = it->first;
      call(*it->second);  // `it` may be invalid from here on
    }
  }

  // The source went away: every connection is dropped, the sinks are not told.
  void Clear() { m_aConnections.clear(); }

  int Count() const { return static_cast<int>(m_aConnections.size()); }

 private:
  using Connection = std::pair<std::uint32_t, Sink*>;

  // The first connection whose cookie is at least `cookie`.
  typename std::vector<Connection>::iterator Find(std::uint32_t cookie) {
    return std::lower_bound(
        m_aConnections.begin(), m_aConnections.end(), cookie,
        [](const Connection& connection, std::uint32_t value) { return connection.first < value; });
  }

  std::vector<Connection> m_aConnections;
  std::uint32_t m_nNextCookie = 1;
};
