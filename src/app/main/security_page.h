// The security page: a new login password and its repeat (Edit19, Edit20), set and remove.
#pragma once

#include <QWidget>

#include "app/access/password_file.h"
#include "app/campaign/ports.h"

class QLineEdit;

namespace orvexa::app {

class SecurityPage final : public QWidget {
 public:
  SecurityPage(access::PasswordLocations where, access::HashCost cost,
               campaign::OperatorDialogs& boxes, QWidget* parent);

  void BitBtn15Click();  // set, also Enter in Edit20
  void BitBtn16Click();  // remove

 private:
  access::PasswordLocations where_;
  access::HashCost cost_;
  campaign::OperatorDialogs& boxes_;
  QLineEdit *Edit19, *Edit20;
};

}  // namespace orvexa::app
