#pragma once
// Qt keys to the Windows virtual-key codes the keyboard control is written against.

namespace tolvex {

// The virtual-key code of a Qt key (Qt::Key value); 0 for a key the panel does not know.
int VirtualKeyOf(int qtKey);

}  // namespace tolvex
