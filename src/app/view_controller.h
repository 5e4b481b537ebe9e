// The main screen's controller in the Qt app: the core's controller
// (controller.h), with pictures of the plot written by Qt.
#pragma once

#include "controller.h"
#include "picture_export.h"

namespace orlix {

class ViewController final : public OrlixViewController {
  public:
    using OrlixViewController::OrlixViewController;
    using OrlixViewController::sharePicture;
    // Writes a picture of the plot as it is shown (picture_export.h); a
    // failure is shown in the "Error!" alert. Answers whether the file was
    // written.
    bool sharePicture(const PictureRequest& request);
};

} // namespace orlix
