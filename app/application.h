#pragma once
// Facts of the application object shared by the window, its views and the operator's dialogs.

namespace nx {

// The application's title: the caption of every plain message box.
inline constexpr char kApplicationTitle[] = "Norvexa Setup.";

}  // namespace nx
