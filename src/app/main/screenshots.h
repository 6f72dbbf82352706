// Saves a PNG of every page and dialog of the running window into a folder (the operations page
// also once a campaign on the first group is under way); for the documentation.
#pragma once

#include <QString>

namespace orvexa::app {

class TForm1;

// False when a picture could not be written.
bool save_screenshots(TForm1& form, const QString& folder);

}  // namespace orvexa::app
