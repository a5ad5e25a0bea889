#include "ui/about_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

#include "ui/artwork.h"
#include "ui/dialog_units.h"

namespace kesh {
namespace {

constexpr int kWidth = 235;
constexpr int kHeight = 70;

QLabel* Text(QWidget* parent, const QString& text, const QRect& rect, bool wrap) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(wrap);
    label->setGeometry(rect);
    return label;
}

}  // namespace

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(kAboutTitle));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowIcon(AppIcon());
    const DialogUnits du = DialogUnits::ForFont(font());
    setFixedSize(du.Size(kWidth, kHeight));

    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName(QStringLiteral("aboutIcon"));
    iconLabel->setPixmap(QPixmap::fromImage(PaintAppIcon(32)));
    // An icon control takes the size of its icon.
    iconLabel->setGeometry(QRect(du.Rect(9, 11, 0, 0).topLeft(), QSize(32, 32)));

    Text(this, QString::fromLatin1(kVersionLine), du.Rect(40, 10, 119, 8), false)
        ->setObjectName(QStringLiteral("versionLine"));
    Text(this, tr("Converts OPT models to 3DO."), du.Rect(40, 25, 119, 8), false)
        ->setObjectName(QStringLiteral("creditLine"));

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setProperty("controlId", 1);
    ok->setDefault(true);
    ok->setGeometry(du.Rect(181, 7, 47, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    // The picture keeps its own size plus its border, centred in its place of the template
    // so that a larger font does not leave it in a corner.
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("aboutPicture"));
    picture->setPixmap(QPixmap::fromImage(PaintAboutPicture()));
    picture->setFrameStyle(QFrame::Box | QFrame::Sunken);
    picture->setLineWidth(1);
    picture->setMidLineWidth(1);
    const int border = picture->frameWidth();
    QRect pictureRect(QPoint(),
                      QSize(kAboutPictureWidth + 2 * border, kAboutPictureHeight + 2 * border));
    const QRect place = du.Rect(181, 32, 47, 31);
    pictureRect.moveCenter(place.center());
    if (pictureRect.left() < place.left()) pictureRect.moveLeft(place.left());
    if (pictureRect.top() < place.top()) pictureRect.moveTop(place.top());
    picture->setGeometry(pictureRect);

    Text(this, tr("Written and drawn by the Kesh team.\nFree to use, share and change."),
         du.Rect(40, 40, 129, 22), true)
        ->setObjectName(QStringLiteral("creditText"));
    ok->setFocus();
}

}  // namespace kesh
