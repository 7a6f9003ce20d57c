#pragma once
// Colours and style sheets shared by the common widgets: one accent colour, light button faces
// and hairline borders, so every screen looks like part of one program.
#include <QString>

namespace KxStyle
{

inline const char *const Accent = "#0c3484";
inline const char *const AccentHover = "#1b4aa8";
inline const char *const AccentPressed = "#082663";
inline const char *const AccentSoft = "#e1e8f6";
inline const char *const ButtonFace = "#f9f9f9";
inline const char *const Border = "#dbdbdb";
inline const char *const Surface = "#ffffff";
inline const char *const Text = "#1f2733";
inline const char *const TextMuted = "#6b7380";
inline const char *const Success = "#2e7d32";
inline const char *const Warning = "#d98200";
inline const char *const Danger = "#c62828";

// The frame of a frameless dialog and its title bar.
QString dialogSheet();
// Push buttons: normal (face + border), primary (accent) and danger.
QString pushButtonSheet();
// Tool buttons with icon and text on a transparent face.
QString toolButtonSheet();

} // namespace KxStyle
