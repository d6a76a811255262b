#include "ui/Templates.h"

#include <array>

namespace morvane::ui {
namespace {

using K = ControlKind;
using namespace style;

constexpr unsigned kEdit = kBorder | kAutoHScroll | kTabStop;

// Template 102. Controls that belong to page two or to the progress area start hidden; the
// SQL Server login fields start disabled.
constexpr std::array kMainControls = {
    ControlTemplate{1003, K::Edit, kEdit, "", 83, 94, 87, 14, 0},
    ControlTemplate{1004, K::Edit, kEdit, "", 83, 122, 87, 14, 0},
    ControlTemplate{1005, K::Edit, kEdit | kPassword, "", 83, 150, 87, 14, 0},
    ControlTemplate{1000, K::Edit, kEdit, "", 312, 86, 87, 14, 0},
    ControlTemplate{1009, K::RadioButton, kGroupStart, "Connect using Windows authentication", 256,
                    110, 139, 10, 0},
    ControlTemplate{1010, K::RadioButton, kNone, "Connect using SQL Server authentication", 256,
                    121, 144, 10, 0},
    ControlTemplate{1001, K::Edit, kEdit | kDisabled, "", 312, 138, 87, 14, 0},
    ControlTemplate{1002, K::Edit, kEdit | kPassword | kDisabled, "", 312, 156, 87, 14, 0},
    ControlTemplate{1011, K::ComboBox, kDropDownList | kSorted | kVScroll | kTabStop | kHidden, "",
                    26, 107, 121, 67, 0},
    ControlTemplate{1007, K::Edit, kEdit | kHidden, "", 26, 151, 121, 14, 0},
    // The pace of the copy, in the left frame's free space below the target name.
    ControlTemplate{kFullSpeedCheck, K::CheckBox, kTabStop | kHidden,
                    "Copy at full speed (no pause between rows)", 26, 171, 155, 10, 0},
    ControlTemplate{1015, K::ListBox,
                    kSorted | kMultipleToggle | kNotify | kVScroll | kBorder | kNoIntegralHeight |
                        kTabStop | kHidden,
                    "", 244, 85, 154, 86, 0},
    ControlTemplate{1017, K::CheckBox, kTabStop | kHidden, "Select All Table", 244, 174, 65, 10, 0},
    ControlTemplate{1048, K::PushButton, kFlat | kIcon | kTabStop | kHidden, "Stop", 377, 225, 30,
                    14, 149},
    ControlTemplate{1019, K::GroupBox, kNone, "MS SQL", 234, 72, 176, 116, 0},
    ControlTemplate{1020, K::GroupBox, kNone, "MySQL", 9, 72, 176, 116, 0},
    ControlTemplate{1024, K::Label, kNone, "MySQL Server", 23, 96, 47, 8, 0},
    ControlTemplate{1025, K::Label, kNone, "Login name", 23, 125, 38, 8, 0},
    ControlTemplate{1026, K::Label, kNone, "Password", 23, 154, 32, 8, 0},
    ControlTemplate{1021, K::Label, kNone, "MS SQL Server", 249, 90, 50, 8, 0},
    ControlTemplate{1022, K::Label, kNone, "Login name", 249, 139, 38, 8, 0},
    ControlTemplate{1023, K::Label, kNone, "Password", 249, 156, 32, 8, 0},
    ControlTemplate{1029, K::Label, kHidden, "Select MySQL Database name:", 26, 92, 100, 8, 0},
    ControlTemplate{1013, K::ProgressBar, kSmooth | kBorder | kHidden, "", 71, 225, 299, 14, 0},
    ControlTemplate{1030, K::Label, kHidden, "Enter MS SQL Database name:", 26, 135, 100, 8, 0},
    ControlTemplate{1027, K::GroupBox, kCentredTitle | kHidden,
                    "Select source and destination database name:", 9, 72, 176, 116, 0},
    ControlTemplate{1028, K::GroupBox, kCentredTitle | kHidden,
                    "Select MySQL tables to convert into MS SQL format", 234, 72, 176, 116, 0},
    ControlTemplate{1037, K::Label, kHidden, "Converting Table:", 71, 215, 207, 8, 0},
    ControlTemplate{kNoId, K::Picture, kNone, "", 0, 0, 0, 0, 134},
    ControlTemplate{kNoId, K::Picture, kNone, "", 185, 84, 0, 0, 148},
    ControlTemplate{1049, K::GroupBox, kHidden, "", 376, 220, 34, 21, 0},
    ControlTemplate{1038, K::Placeholder, kBorder | kHidden, "", 7, 288, 8, 8, 0},
    ControlTemplate{1039, K::Placeholder, kBorder | kHidden, "", 19, 288, 8, 8, 0},
    ControlTemplate{1040, K::Placeholder, kBorder | kHidden, "", 31, 288, 8, 8, 0},
    ControlTemplate{1041, K::Placeholder, kBorder | kHidden, "", 43, 288, 8, 8, 0},
    ControlTemplate{1042, K::Placeholder, kBorder | kHidden, "", 55, 288, 8, 8, 0},
    ControlTemplate{1044, K::Placeholder, kBorder | kHidden, "", 67, 288, 8, 8, 0},
};

// Template 100. 1031 holds the product title, a blank and the version; 1035 the contact
// address after one blank.
constexpr std::array kAboutControls = {
    ControlTemplate{kNoId, K::Picture, kNone, "", 9, 15, 0, 0, 130},
    ControlTemplate{1031, K::Label, kNoPrefix | kWrap,
                    "Quilbrook Database Converter - MySQL to MS SQL version - 2.0.1.5", 89, 16,
                    170, 28, 0},
    ControlTemplate{1032, K::Label, kNone, "Quilbrook Software", 89, 51, 81, 9, 0},
    ControlTemplate{1, K::PushButton, kDefault | kTabStop, "OK", 217, 72, 50, 14, 0},
    ControlTemplate{1033, K::Label, kNone, "", 7, 72, 8, 8, 0},
    ControlTemplate{1034, K::Label, kNone, "Email:", 89, 70, 20, 8, 0},
    ControlTemplate{1035, K::LinkLabel, kNotify, " info@quilbrook.test", 107, 70, 66, 8, 0},
    ControlTemplate{1036, K::LinkLabel, kNotify, "www.quilbrook.test", 89, 78, 84, 8, 0},
};

constexpr DialogTemplate kMain{102, kProductTitle, 418, 303, kMainControls};
constexpr DialogTemplate kAbout{100, "About Quilbrook Database Converter - MySQL to MS SQL", 274, 94,
                                kAboutControls};

// Rounded units * numerator / denominator, as the dialog manager's MulDiv does.
constexpr int Scale(int units, int numerator, int denominator) {
  const int product = units * numerator;
  return product >= 0 ? (product + denominator / 2) / denominator
                      : -((-product + denominator / 2) / denominator);
}

}  // namespace

const DialogTemplate& MainTemplate() { return kMain; }
const DialogTemplate& AboutTemplate() { return kAbout; }

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
  for (const ControlTemplate& control : dialog.controls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

int DialogToPixelsX(int units) { return Scale(units, 6, 4); }
int DialogToPixelsY(int units) { return Scale(units, 13, 8); }

PixelRect DialogToPixels(const ControlTemplate& control) {
  return {DialogToPixelsX(control.x), DialogToPixelsY(control.y), DialogToPixelsX(control.w),
          DialogToPixelsY(control.h)};
}

}  // namespace morvane::ui
