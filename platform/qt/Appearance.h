#pragma once
// Skin file, button-face colour, hand cursor and the pointer rule of the windows.
//
// A window's mouse-pointer value is one of MousePointer; commands that take long set Busy and
// clear it again, and the pointer rule never replaces Busy.

#include <QString>

#include <initializer_list>

class QColor;
class QWidget;

namespace appearance {

enum MousePointer : int { Default = 0, Busy = 11, Custom = 99 };

// The folder of the files delivered with the program (platform::ApplicationDataFolder).
QString applicationFolder();

// The widget's whole area, buttons included, filled with `colour`.
void paintBackground(QWidget& widget, const QColor& colour);

// Window background and its option buttons, check boxes, frames and labels in the button-face colour.
void ApplyFaceColor(QWidget& window);

// When the ordinary file <application folder>/x/o.cjs exists: recolour the main window as
// ApplyFaceColor does and apply the file as the window's style sheet. Returns whether it did;
// throws std::runtime_error when the file cannot be read or the style engine rejects it.
bool ApplySkinFile(QWidget& mainWindow);

// Loads <application folder>/HAND-M.CUR as the window's custom pointer picture, when present;
// throws std::runtime_error when it is there but cannot be read as a cursor.
void LoadHandCursor(QWidget& window);

int mousePointer(const QWidget& window);
// Sets the window's pointer value and shows the matching pointer (hourglass, custom picture or,
// without one, the default arrow).
void setMousePointer(QWidget& window, int value);

// Pointer rule on mouse moves: over `customControls` the window's value becomes Custom, over
// `defaultControls` Default, unless the window is Busy. The window itself may be among them.
void installPointerRule(QWidget& window, std::initializer_list<QWidget*> customControls,
                        std::initializer_list<QWidget*> defaultControls);

} // namespace appearance
