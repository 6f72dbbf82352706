// TForm3, the member dates dialog: sixteen dates as day and month fields (e1 .. e32) and the
// last instalment's year (e33). The fields keep their text between showings.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "app/data/member.h"

class QLineEdit;

namespace orvexa::app {

class TForm3 final : public QDialog {
 public:
  static constexpr int kFields = 33;
  explicit TForm3(QWidget* parent = nullptr);

  // Called after confirm (true) or cancel (false); Escape calls neither.
  void on_confirmed(std::function<void(bool)> handler) { confirmed_ = std::move(handler); }
  // Called whenever the dialog closes, however.
  void on_closed(std::function<void()> handler) { closed_ = std::move(handler); }

  QLineEdit* field(int number) const { return fields_[static_cast<std::size_t>(number - 1)]; }
  // The dates into the entry, whether or not confirm was pressed.
  void fill(data::MemberEntry& entry) const;
  // Empties all fields (what cancel does to them).
  void clear_fields();

  void ConfirmClick();
  void CancelClick();

  void done(int result) override;
  // Escape: closes and changes nothing.
  void reject() override { done(QDialog::Rejected); }

 private:
  std::array<QLineEdit*, kFields> fields_{};
  std::function<void(bool)> confirmed_;
  std::function<void()> closed_;
};

}  // namespace orvexa::app
