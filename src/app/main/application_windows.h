// The nine windows of the program, created in their fixed order and kept for the life of the
// process: TForm1, TForm2, TForm3, TForm7, TForm4, TForm5, TForm6, TForm8, TForm9.
#pragma once

#include <memory>

#include "app/main/data_pages.h"
#include "app/main/form_main.h"
#include "app/main/member_dates_dialog.h"
#include "app/main/side_windows.h"

namespace orvexa::app {

class ApplicationWindows {
 public:
  // `formats` tells which image formats can be decoded (default: Qt's plugins).
  explicit ApplicationWindows(MainWindowDeps deps, FormatProbe formats = {});
  ~ApplicationWindows();

  TForm1& main() { return *form1_; }
  const Pictures& pictures() const { return pictures_; }
  // The pages on the contact database and the password check (the windows work without them).
  void attach_data(DataPagesDeps deps) { form1_->attach_data_pages(std::move(deps)); }
  // Class names in the order the windows were created.
  const std::vector<std::string>& creation_order() const { return order_; }

 private:
  std::vector<std::string> order_;
  Pictures pictures_;
  std::unique_ptr<TForm1> form1_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm7> form7_;
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<TForm5> form5_;
  std::unique_ptr<TForm6> form6_;
  std::unique_ptr<TForm8> form8_;
  std::unique_ptr<TForm9> form9_;
};

}  // namespace orvexa::app
