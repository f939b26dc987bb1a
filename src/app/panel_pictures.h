#pragma once
// The panel's pictures, drawn once in code: the push-button faces, the output indicators, the
// mode, loop and direction buttons and the application icon.

#include <QIcon>
#include <QPixmap>

#include "control/panel.h"

namespace tolvex {

enum class ButtonFace { Run, Pause, Stop, Help, FileOpen };

QIcon ButtonIcon(ButtonFace face);
// 24 × 24, as the output table draws them.
QPixmap OutputPicture(OutputIndicator indicator);
QPixmap ModePicture(TrackMode mode, bool selected);
QPixmap LoopPicture(LoopMode mode);
QPixmap DirectionPicture(bool reversed);
QIcon AppIcon();

}  // namespace tolvex
