#pragma once
// The keys the panel handles, by Windows virtual-key code (the window maps its platform keys to these).

namespace tolvex {

inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_0 = 0x30;  // '0'..'9' are 0x30..0x39
inline constexpr int VK_A = 0x41;  // 'A'..'Z' are 0x41..0x5A
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F2 = 0x71;
inline constexpr int VK_F5 = 0x74;
inline constexpr int VK_F6 = 0x75;
inline constexpr int VK_F7 = 0x76;
inline constexpr int VK_F8 = 0x77;
inline constexpr int VK_OEM_1 = 0xBA;      // ; on a US layout
inline constexpr int VK_OEM_COMMA = 0xBC;  // ,
inline constexpr int VK_OEM_PERIOD = 0xBE; // .
inline constexpr int VK_OEM_3 = 0xC0;      // ` and ~

constexpr int VkLetter(char upper) { return upper; }
constexpr int VkDigit(int digit) { return VK_0 + digit; }

// SpeedPresets: the keys ` 1..9 0 in that order.
struct SpeedPreset {
    int Key;
    double Speed;  // m/s, in Free and M
    double Ratio;  // SpeedRatio in S
};
inline constexpr SpeedPreset SpeedPresets[] = {
    {VK_OEM_3, 5 / 3.6, 0.2},
    {VkDigit(1), 10 / 3.6, 0.3},
    {VkDigit(2), 20 / 3.6, 0.5},
    {VkDigit(3), 30 / 3.6, 0.75},
    {VkDigit(4), 40 / 3.6, 1},
    {VkDigit(5), 50 / 3.6, 1.5},
    {VkDigit(6), 60 / 3.6, 2},
    {VkDigit(7), 80 / 3.6, 3},
    {VkDigit(8), 100 / 3.6, 5},
    {VkDigit(9), 120 / 3.6, 10},
    {VkDigit(0), 0, 0},
};

}  // namespace tolvex
