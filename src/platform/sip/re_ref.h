// Ownership of libre objects: one owner whose destructor drops the reference.
//
//   ReRef<struct sip> sip = adopt(raw_sip);   // mem_deref on destruction
//
// Only ever destroyed on the SIP thread: libre keeps its state per thread.
#pragma once

#include <memory>

extern "C" void* mem_deref(void* data);  // libre's reference drop; re.h stays private

namespace orvexa::sip {

struct MemDeref {
  void operator()(void* p) const { mem_deref(p); }
};
template <class T>
using ReRef = std::unique_ptr<T, MemDeref>;

template <class T>
ReRef<T> adopt(T* p) {
  return ReRef<T>(p);
}

}  // namespace orvexa::sip
