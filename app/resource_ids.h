#pragma once
// The numbers of the program's resources, commands and controls. The Windows
// build's system menu and the tests name things by them.

namespace morvane::app {

// Dialogs.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_MAIN_DIALOG = 102;

// Strings, kept in strings.cpp.
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDS_INSTRUCTIONS_LOAD = 104;
inline constexpr int IDS_INSTRUCTIONS_REPLACE = 105;

// Pictures and the popup menu.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_TEX_VIEW_POPUP = 134;
inline constexpr int IDB_ABOUT_PICTURE = 137;

// Controls of the main window.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDC_TEXTURE_LIST = 1000;
inline constexpr int IDC_INSTRUCTIONS = 1002;
inline constexpr int IDC_STATUS = 1003;

// Commands of the popup menu.
inline constexpr int ID_SAVE_AS_BITMAP = 32772;
inline constexpr int ID_SAVE_AS_TEXTURE = 32773;
inline constexpr int ID_REPLACE_TEXTURE = 32774;
inline constexpr int ID_SAVE_AS_PNG = 32775;
inline constexpr int ID_REVERT_FACE = 32776;
inline constexpr int ID_COMPARE_FACE = 32777;
inline constexpr int ID_PASTE_PICTURE = 32778;

// System commands. The system keeps the low four bits of a command for itself.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;
inline constexpr unsigned kSystemCommandMask = 0xFFF0;
inline constexpr unsigned SC_CLOSE_COMMAND = 0xF060;

}  // namespace morvane::app
