#pragma once
// The About box: the About picture, the program's name and edition, and the
// version block's file version, over an OK button.
//
// Template (dialog units: x, y, width, height), 145 x 142:
//   picture 137        32, 12, 83, 48     124 x 78 pixels, centred across
//   first line         7, 64, 131, 8      centred
//   second line        7, 72, 131, 8      centred
//   file version       7, 84, 131, 8      centred
//   OK (default)       47, 121, 50, 14

#include <QDialog>

namespace morvane::app {

class CAboutDialog final : public QDialog {
    Q_OBJECT
public:
    // The main window passes itself, so that it owns the box.
    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace morvane::app
