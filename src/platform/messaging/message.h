// Window-message vocabulary shared by the loop and every hidden window.
#pragma once

#include <cstdint>

namespace orvexa::messaging {

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Identifies a hidden window for as long as it lives; never reused within one loop.
using WindowHandle = std::uint64_t;
inline constexpr WindowHandle kNoWindow = 0;

inline constexpr UINT WM_TIMER = 275;
inline constexpr UINT WM_USER = 1024;

struct Message {
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

}  // namespace orvexa::messaging
