#pragma once
// The one seam through which the core reaches the user. The desktop window,
// the command-line tool and the tests' recorder each implement it.

#include "common/error.h"

namespace morvane {

struct TextureCatalogue;

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // A message box with an OK button.
    virtual void ShowMessage(Error message) = 0;

    // The status line.
    virtual void SetStatus(Status status) = 0;

    // Throws the gallery away and builds it again from the catalogue's
    // ShownList. Each shown record's bitmap file exists during this call
    // (unless it could not be written) and is deleted soon after it returns.
    virtual void RebuildGallery(const TextureCatalogue& catalogue) = 0;
};

}  // namespace morvane
