#pragma once
// The one seam through which the core reaches the user. The desktop window,
// the command-line tool and the tests' recorder each implement it.

#include <span>

#include "catalogue/texture_catalogue.h"
#include "common/error.h"

namespace morvane {

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box with an OK button.
    virtual void ShowMessage(Error message) = 0;

    // One "Memory Allocation failure" for every record of a pass whose extent
    // cannot be read, naming them (ascending record indices), instead of one
    // message a record: a table can list hundreds.
    virtual void ShowUnreadableRecords(std::span<const int32_t> records) = 0;

    // The status line.
    virtual void SetStatus(Status status) = 0;

    // Throws the gallery away and builds it again: one thumbnail per face, in
    // this order, each drawn from its bitmap and carrying its record index.
    virtual void RebuildGallery(std::span<const ShownFace> faces) = 0;
};

}  // namespace morvane
