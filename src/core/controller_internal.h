// What the controller's files share: the refresh batch and the guard that
// turns a failed step into the "Error!" alert.
#pragma once

#include <exception>
#include <string>

#include "controller.h"
#include "log.h"

namespace orlix {

// Holds the window's refresh back until the outermost batch ends: one
// user action refreshes the window once, however many steps it takes.
class OrlixViewController::ChangeBatch {
  public:
    explicit ChangeBatch(OrlixViewController& c) : c_(c) { ++c_.batchDepth_; }
    ~ChangeBatch()
    {
        if (--c_.batchDepth_ == 0 && c_.changePending_) {
            c_.changePending_ = false;
            if (c_.onChanged)
                c_.onChanged();
        }
    }
    ChangeBatch(const ChangeBatch&) = delete;
    ChangeBatch& operator=(const ChangeBatch&) = delete;

  private:
    OrlixViewController& c_;
};

template <class F> bool OrlixViewController::guarded(F&& body)
{
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        if (onAlert)
            onAlert("Error!", e.what());
        else
            warn(std::string("Orlix: ") + e.what());
        return false;
    }
}

} // namespace orlix
