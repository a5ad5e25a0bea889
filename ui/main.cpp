// kesh: the desktop dialog that converts OPT ship models into 3DO models.
#include <string>

#include "ui/command_line.h"
#include "ui/converter_app.h"

int main(int argc, char** argv) {
    const std::string commandLine = kesh::JoinArguments(argc, argv);
    kesh::ConverterApp app(argc, argv, commandLine);
    return app.Start();
}
