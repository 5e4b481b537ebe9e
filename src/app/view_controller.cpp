#include "view_controller.h"

namespace orlix {

bool ViewController::sharePicture(const PictureRequest& request)
{
    return OrlixViewController::sharePicture([&request](plotView& view) -> std::optional<std::string> {
        if (const std::optional<QString> failure = writePicture(view, request))
            return failure->toStdString();
        return std::nullopt;
    });
}

} // namespace orlix
