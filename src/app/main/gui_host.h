// The desktop's forms of the host services: the wait cursor and modal component message boxes.
#pragma once

#include "platform/host/host_services.h"

class QWidget;

namespace orvexa::app {

class WaitCursor final : public host::BusyIndicator {
 public:
  void begin() override;
  void end() override;
};

class QtComponentMessageBox final : public host::ComponentMessageBox {
 public:
  explicit QtComponentMessageBox(QWidget* parent = nullptr) : parent_(parent) {}
  void show(std::string_view text) override;

 private:
  QWidget* parent_;
};

}  // namespace orvexa::app
