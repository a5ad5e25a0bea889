#include "ui/converter_app.h"

#include <clocale>
#include <utility>

#include "ui/artwork.h"
#include "ui/command_line.h"
#include "ui/converter_dialog.h"
#include "ui/screenshot.h"

namespace kesh {

ConverterApp::ConverterApp(int& argc, char** argv, std::string commandLine)
    : QApplication(argc, argv), commandLine_(std::move(commandLine)) {
    std::setlocale(LC_NUMERIC, "C");
    setWindowIcon(AppIcon());
    // The dialog is the only window; its closing ends the program through Start.
    setQuitOnLastWindowClosed(false);
}

int ConverterApp::Start() {
    if (HasTextureSwitch(commandLine_)) allowTextures_ = true;
    ConverterDialog dialog(allowTextures_);
    ScheduleScreenshots(dialog);
    dialog.exec();
    return 0;
}

}  // namespace kesh
