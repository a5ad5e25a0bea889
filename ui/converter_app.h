// The application object: start-up decides texture support from the command line once,
// then runs the main dialog modally; the program ends when the dialog closes.
#pragma once

#include <QApplication>
#include <string>

namespace kesh {

class ConverterApp : public QApplication {
    Q_OBJECT

  public:
    // `commandLine` is the text after the program name as it was passed, taken before Qt
    // removes its own options from argv. The C numeric locale is set here, after Qt has set
    // the user's, so that numbers in the fields read as atof and atoi read them in "C".
    ConverterApp(int& argc, char** argv, std::string commandLine);

    // Start-up: searches the command line for "allow_textures", then constructs the main
    // dialog and runs it until "Done", Escape or the close button ends it. Returns the
    // process's exit status, 0.
    int Start();

    bool allowTextures() const { return allowTextures_; }

  private:
    std::string commandLine_;
    bool allowTextures_ = false;
};

}  // namespace kesh
