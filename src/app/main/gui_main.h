// Opens the main window on the given program folder and runs until it closes.
#pragma once

#include <filesystem>

namespace orvexa::app {

int run_gui(int argc, char** argv, const std::filesystem::path& program_folder);

}  // namespace orvexa::app
