// The nine windows of the program, created in their fixed order and kept for the life of the
// process: TForm1, TForm2, TForm3, TForm7, TForm4, TForm5, TForm6, TForm8, TForm9.
#pragma once

#include <memory>

#include "app/main/form_main.h"

namespace orvexa::app {

class ApplicationWindows {
 public:
  explicit ApplicationWindows(MainWindowDeps deps);
  ~ApplicationWindows();

  TForm1& main() { return *form1_; }
  // Class names in the order the windows were created.
  const std::vector<std::string>& creation_order() const { return order_; }

 private:
  std::vector<std::string> order_;
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<QDialog> form3_, form7_, form4_, form5_;
  std::unique_ptr<TForm6> form6_;
  std::unique_ptr<TForm8> form8_;
  std::unique_ptr<TForm9> form9_;
};

}  // namespace orvexa::app
