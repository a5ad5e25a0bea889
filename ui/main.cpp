// kesh: the desktop dialog that converts OPT ship models into 3DO models.
#include <cstdio>
#include <string>

#include "ui/command_line.h"
#include "ui/converter_app.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, so that they need no display.
    if (const kesh::InfoRequest request = kesh::FindInfoRequest(argc, argv);
        request != kesh::InfoRequest::None) {
        std::fputs(kesh::InfoText(request).c_str(), stdout);
        return 0;
    }
    const std::string commandLine = kesh::JoinArguments(argc, argv);
    kesh::ConverterApp app(argc, argv, commandLine);
    return app.Start();
}
