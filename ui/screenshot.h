// A developer's hook for pictures of the dialogs: with KESH_SCREENSHOT naming a PNG file,
// the main dialog is grabbed into it as soon as it runs and then closed; KESH_SCREENSHOT_ABOUT
// names a PNG file for the About box. Without them nothing happens.
#pragma once

namespace kesh {

class ConverterDialog;

void ScheduleScreenshots(ConverterDialog& dialog);

}  // namespace kesh
