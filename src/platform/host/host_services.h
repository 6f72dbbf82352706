// What the components and the program ask of the desktop: the busy pointer, the components'
// message box and the shell's power-off. The GUI and the headless runner each supply their own.
//
//   BusyPointer busy(host.busy);   // hourglass until the end of the scope
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace orvexa::host {

class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  virtual void begin() = 0;
  virtual void end() = 0;
};

// The hourglass while a device opens, restored however the scope is left.
class BusyPointer {
 public:
  explicit BusyPointer(BusyIndicator& indicator) : indicator_(indicator) { indicator_.begin(); }
  ~BusyPointer() { indicator_.end(); }
  BusyPointer(const BusyPointer&) = delete;
  BusyPointer& operator=(const BusyPointer&) = delete;

 private:
  BusyIndicator& indicator_;
};

// The components' own English message box (a refused property value); modal in the GUI.
class ComponentMessageBox {
 public:
  virtual ~ComponentMessageBox() = default;
  virtual void show(std::string_view text) = 0;
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Asks the system to power off; false when the request could not be made.
  virtual bool power_off() = 0;
};

// Headless forms: no pointer, message boxes on a stream (standard error).
class NoBusyIndicator final : public BusyIndicator {
 public:
  void begin() override {}
  void end() override {}
};

class StreamMessageBox final : public ComponentMessageBox {
 public:
  explicit StreamMessageBox(std::ostream& out) : out_(out) {}
  void show(std::string_view text) override;

 private:
  std::ostream& out_;
};

// Runs a fixed command (by default `systemctl poweroff`) without a shell in between.
class SystemShell final : public Shell {
 public:
  explicit SystemShell(std::vector<std::string> command = {"systemctl", "poweroff"})
      : command_(std::move(command)) {}
  bool power_off() override;

 private:
  std::vector<std::string> command_;
};

// Tests and the demo: remembers requests, powers nothing off.
class RecordingShell final : public Shell {
 public:
  bool power_off() override {
    ++power_off_requests;
    return answer;
  }
  int power_off_requests = 0;
  bool answer = true;
};

struct HostServices {
  BusyIndicator& busy;
  ComponentMessageBox& message_box;
  Shell& shell;
};

}  // namespace orvexa::host
