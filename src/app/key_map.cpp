#include "app/key_map.h"

#include <Qt>

#include "control/keyboard.h"

namespace tolvex {
namespace {

struct KeyRow {
    int QtKey;
    int VirtualKey;
};

// Keys whose Qt value differs from the virtual-key code. Shifted symbols of a US layout map back
// to their key, since Shift only changes the step of the key's action.
constexpr KeyRow KeyTable[] = {
    {Qt::Key_Return, VK_RETURN},       {Qt::Key_Enter, VK_RETURN},         {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},         {Qt::Key_Left, VK_LEFT},            {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},         {Qt::Key_Down, VK_DOWN},            {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},     {Qt::Key_Semicolon, VK_OEM_1},      {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Comma, VK_OEM_COMMA},     {Qt::Key_Less, VK_OEM_COMMA},       {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},  {Qt::Key_QuoteLeft, VK_OEM_3},      {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_Exclam, VkDigit(1)},      {Qt::Key_At, VkDigit(2)},           {Qt::Key_NumberSign, VkDigit(3)},
    {Qt::Key_Dollar, VkDigit(4)},      {Qt::Key_Percent, VkDigit(5)},      {Qt::Key_AsciiCircum, VkDigit(6)},
    {Qt::Key_Ampersand, VkDigit(7)},   {Qt::Key_Asterisk, VkDigit(8)},     {Qt::Key_ParenLeft, VkDigit(9)},
    {Qt::Key_ParenRight, VkDigit(0)},
};

}  // namespace

int VirtualKeyOf(int qtKey)
{
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return VkDigit(qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return VkLetter(static_cast<char>('A' + (qtKey - Qt::Key_A)));
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return VK_F1 + (qtKey - Qt::Key_F1);
    for (const KeyRow& row : KeyTable)
        if (row.QtKey == qtKey) return row.VirtualKey;
    return 0;
}

}  // namespace tolvex
