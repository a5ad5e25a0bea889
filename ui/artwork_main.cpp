// Writes the application icon files for installation: kesh-16.png and kesh-32.png in the
// folder given as the only argument.
#include <QImage>
#include <QString>
#include <cstdio>

#include "ui/artwork.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kesh-artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 32}) {
        const QString path = folder + QStringLiteral("/kesh-%1.png").arg(size);
        if (!kesh::PaintAppIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "kesh-artwork: cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
