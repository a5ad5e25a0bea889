// A developer's hook for pictures of the dialogs. Each variable names a PNG file:
//   KESH_SCREENSHOT          the main dialog as it opens
//   KESH_SCREENSHOT_ABOUT    the About box
//   KESH_SCREENSHOT_RESULTS  the main dialog after a run over the files of
//                            KESH_SCREENSHOT_FILES (paths separated by ':'), which the hook
//                            adds and converts itself
//   KESH_SCREENSHOT_MESSAGE  the same dialog with the run's message box over it
// When the pictures are saved the dialog closes. Without the variables nothing happens.
#pragma once

namespace kesh {

class ConverterDialog;

void ScheduleScreenshots(ConverterDialog& dialog);

}  // namespace kesh
