// TForm1: the main window. The frame of the program; the pages fill it.
#pragma once

#include <QMainWindow>

namespace orvexa::app {

inline constexpr const char* kMainCaption = "Orvexa  5.0";  // two blanks before the version

class TForm1 final : public QMainWindow {
 public:
  explicit TForm1(QWidget* parent = nullptr);
};

// The font the windows use: Tahoma where installed, else the Persian UI font the set-up installs.
QString persian_font_family();

}  // namespace orvexa::app
