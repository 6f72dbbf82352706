#include "app/main/application_windows.h"

namespace orvexa::app {

ApplicationWindows::ApplicationWindows(MainWindowDeps deps, FormatProbe formats)
    : pictures_(std::move(formats)) {
  messaging::Loop& loop = deps.loop;
  form1_ = std::make_unique<TForm1>(std::move(deps), pictures_);
  order_.push_back("TForm1");
  QWidget* owner = form1_.get();
  form2_ = std::make_unique<TForm2>(owner);
  order_.push_back("TForm2");
  form3_ = std::make_unique<TForm3>(owner);
  order_.push_back("TForm3");
  form7_ = std::make_unique<TForm7>(owner);
  order_.push_back("TForm7");
  form4_ = std::make_unique<TForm4>(owner);
  order_.push_back("TForm4");
  form5_ = std::make_unique<TForm5>(owner);
  order_.push_back("TForm5");
  form6_ = std::make_unique<TForm6>(form1_->pre_call_settings(), owner);
  order_.push_back("TForm6");
  form8_ = std::make_unique<TForm8>(loop, pictures_, owner);
  order_.push_back("TForm8");
  form9_ = std::make_unique<TForm9>(pictures_, owner);
  order_.push_back("TForm9");
  form1_->set_side_windows({form2_.get(), form3_.get(), form7_.get(), form4_.get(), form5_.get(),
                            form6_.get(), form8_.get(), form9_.get()});
}

ApplicationWindows::~ApplicationWindows() {
  // The dialogs are children of the main window: release them before it goes.
  form2_.reset();
  form3_.reset();
  form7_.reset();
  form4_.reset();
  form5_.reset();
  form6_.reset();
  form8_.reset();
  form9_.reset();
}

}  // namespace orvexa::app
