#include "app/about.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "app/jpeg.h"
#include "app/launcher.h"
#include "ui_about.h"
#include <QMouseEvent>

namespace {
void setPointSize(QWidget *w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    f.setBold(true);
    w->setFont(f);
}

void makeLink(QWidget *w)
{
    QFont f = w->font();
    f.setBold(true);
    f.setUnderline(true);
    w->setFont(f);
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    w->setPalette(pal);
    w->setCursor(Qt::PointingHandCursor);
}
}

TForm62::TForm62(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm62>())
{
    ui->setupUi(this);
    ui->Label6->setText(QStringLiteral("Version " MOLARIX_VERSION));
    setupDialog(this);
    setPointSize(ui->Label1, 20);
    setPointSize(ui->Label5, 20);
    for (QWidget *w : {ui->Label6, ui->Label12, ui->Label13, ui->Label9, ui->Label10, ui->Label7,
                       ui->Label14, ui->Label8, ui->Label11})
        makeBold(w);
    makeLink(ui->Label3);
    makeLink(ui->Label4);
    ui->Image2->setCursor(Qt::PointingHandCursor);
    ui->Image1->setPixmap(QPixmap::fromImage(LoadPicture(QStringLiteral("splash.jpg"))));
    ui->Image2->setPixmap(QPixmap::fromImage(LoadPicture(QStringLiteral("about.jpg"))));

    for (QWidget *w : {static_cast<QWidget *>(ui->Label3), static_cast<QWidget *>(ui->Label4),
                       static_cast<QWidget *>(ui->Image2)})
        w->installEventFilter(this);
    // The empty context menu of the window and the picture.
    for (QWidget *w : {static_cast<QWidget *>(this), static_cast<QWidget *>(ui->Image1)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, guarded([this] { PopupMenu1Popup(); }));
    }
    connect(ui->Button1, &QPushButton::clicked, this, [this] { accept(); });
}

TForm62::~TForm62() = default;

bool TForm62::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == ui->Label3)
            runGuarded([this] { Label3Click(); });
        else if (watched == ui->Label4)
            runGuarded([this] { Label4Click(); });
        else if (watched == ui->Image2)
            runGuarded([this] { Image2Click(); });
        else
            return QDialog::eventFilter(watched, event);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm62::Label3Click() { Launcher::openUrl(ui->Label3->text()); }
void TForm62::Label4Click() { Launcher::openUrl(QStringLiteral("mailto:") + ui->Label4->text()); }
void TForm62::Image2Click() { Launcher::openUrl(QString::fromLatin1(SecondPage)); }
void TForm62::PopupMenu1Popup() { Launcher::openPublisherPage(); }
