// The colours and pictures of the window, shared by the window's components
// and the code that draws the pictures.
#pragma once

#include <cstdint>

namespace base {

// Colours in the Windows order 0x00BBGGRR. System colours carry the flag
// in the top byte and the system colour index in the low byte.
using Colour = uint32_t;
constexpr Colour kSystemColourFlag = 0xFF000000u;
constexpr Colour kColourWindowText = kSystemColourFlag | 8u;   // COLOR_WINDOWTEXT
constexpr Colour kColour3DLight = kSystemColourFlag | 22u;     // COLOR_3DLIGHT
constexpr Colour kColourBtnFace = kSystemColourFlag | 15u;     // COLOR_BTNFACE
constexpr Colour kColourNone = 0x1FFFFFFFu;                    // transparent / not set
constexpr Colour rgb(unsigned r, unsigned g, unsigned b) { return (b << 16) | (g << 8) | r; }
constexpr Colour kNavy = rgb(0, 0, 0x80);
constexpr Colour kBlue = rgb(0, 0, 0xFF);
constexpr Colour kGreen = rgb(0, 0x80, 0);
constexpr Colour kMaroon = rgb(0x80, 0, 0);
constexpr Colour kRed = rgb(0xFF, 0, 0);
constexpr Colour kBlack = 0;
constexpr Colour kSkyBlue = rgb(0xA6, 0xCA, 0xF0);

// Pictures of the window; their pixels are drawn by resources/pictures.
enum class Picture {
    None, Background, InfoIcon, Star, Document, BlueArrow, PointingHand,
    ExitDoor, GreenCheck, Logo
};

}  // namespace base
