#include "app/mainwindow.h"
#include "app/accesscheck.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "app/launcher.h"
#include "app/jpeg.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "app/safekeeping.h"
#include "app/upgrade.h"
#include "app/molarixapplication.h"
#include "app/openers.h"
#include "data/db/dberror.h"
#include "app/splash.h"
#include "data/practice/appstate.h"
#include "data/practice/roles.h"
#include "data/practice/users.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"
#include "data/work/settings.h"
#include "data/work/reminders.h"
#include "tools/remindersviewer.h"
#include "ui_mainwindow.h"
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

namespace {
// The start-up before the main window: the splash, then the access check.
bool passAccess(const QDateTime &startedAt)
{
    NumberingFixed = false;
    StartYear = std::uint16_t(startedAt.date().year());
    StartMonth = std::uint16_t(startedAt.date().month());
    StartDay = std::uint16_t(startedAt.date().day());
    AppDirectory = QDir::toNativeSeparators(QDir::currentPath());
    std::unique_ptr<TForm65> access;
    {
        TForm4 splash;
        // The access check is made while the splash stays, so that it shows
        // as soon as the splash goes. A failure here is met again below.
        splash.whileShown([&access] {
            try {
                DbConnectionString = BuildConnectionString(AppDirectory);
                access = std::make_unique<TForm65>();
                access->makeReady();
            } catch (...) {
                access.reset();
            }
        });
        ShowModal(&splash);
    }
    if (!access) {
        DbConnectionString = BuildConnectionString(AppDirectory);
        access = std::make_unique<TForm65>();
    }
    AccessGranted = false;
    ShowModal(access.get());
    return AccessGranted;
}
}

bool TForm3::OpenPractice(QDateTime &startedAt)
{
    startedAt = Clock::now();
    // As in the window's own sequence: a failure ends the program without
    // a message box.
    try {
        if (passAccess(startedAt))
            return true;
    } catch (const std::exception &e) {
        qWarning("Start-up failed: %s", e.what());
    } catch (...) {
        qWarning("Start-up failed");
    }
    RequestTerminate();
    return false;
}

TForm3::TForm3(QWidget *parent)
    : TForm3(Clock::now(), Stage::Whole, parent)
{
}

TForm3::TForm3(const QDateTime &startedAt, QWidget *parent)
    : TForm3(startedAt, Stage::AfterAccess, parent)
{
}

TForm3::TForm3(const QDateTime &startedAt, Stage stage, QWidget *parent)
    : QMainWindow(parent), ADOQuery1(new DataSet(&ADOConnection1, this)), ui(std::make_unique<Ui::TForm3>())
{
    ui->setupUi(this);
    applyFormStyle(this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    m_picture = QPixmap::fromImage(LoadPicture(QStringLiteral("main.jpg")));
    ui->Image1->setPixmap(m_picture);
    ui->BitBtn1->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    ui->BitBtn1->setText(QStringLiteral(" "));   // a blank caption beside the glyph
    ui->Panel4->setVisible(false);
    connect(ui->BitBtn1, &QPushButton::clicked, this, guarded([this] { BitBtn1Click(); }));

    ui->MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::ISOWeekNumbers);
    ui->MonthCalendar1->setFirstDayOfWeek(Qt::Monday);
    ui->MonthCalendar1->setLocale(QLocale(QLocale::Greek, QLocale::Greece));

    m_panel0 = new QLabel(ui->StatusBar1);
    m_panel0->setObjectName(QStringLiteral("StatusPanel0"));
    m_panel0->setMinimumWidth(160);
    m_panel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel1 = new QLabel(ui->StatusBar1);
    m_panel1->setObjectName(QStringLiteral("StatusPanel1"));
    m_panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ui->StatusBar1->addWidget(m_panel0);
    ui->StatusBar1->addWidget(m_panel1, 1);
    // The note about backups has a panel of its own, beside the clock and
    // the program's line rather than over them.
    m_note = new QLabel(ui->StatusBar1);
    m_note->setObjectName(QStringLiteral("StatusPanel2"));
    m_note->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    makeBold(m_note);
    m_note->setVisible(false);
    ui->StatusBar1->addWidget(m_note);
    m_user = new QLabel(ui->StatusBar1);
    m_user->setObjectName(QStringLiteral("StatusUser"));
    m_user->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_user->setVisible(false);
    ui->StatusBar1->addWidget(m_user);

    // A double click or the context menu on these opens the publisher's page.
    for (QWidget *w : {ui->centralwidget, static_cast<QWidget *>(ui->Image1), static_cast<QWidget *>(ui->Panel1),
                       static_cast<QWidget *>(ui->Panel3), static_cast<QWidget *>(ui->StatusBar1)}) {
        w->installEventFilter(this);
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this, guarded([this] { openWebPage(); }));
    }

    buildMenu();
    wireButtons();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, guarded([this] { Timer1Timer(); }));
    Timer1->start();

    resize(1024, 700);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate(startedAt, stage);
}

TForm3::~TForm3() = default;

QString TForm3::productLine()
{
    return QStringLiteral("Molarix - Πρόγραμμα διαχείρισης οδοντιατρείου - Ortelis - Version " MOLARIX_VERSION);
}

void TForm3::FormCreate(const QDateTime &startedAt, Stage stage)
{
    // A failure anywhere here ends the program without a message box; the
    // terminal keeps a line about it.
    try {
        ui->MonthCalendar1->setSelectedDate(startedAt.date());
        ui->MonthCalendar1->setCurrentPage(startedAt.date().year(), startedAt.date().month());
        m_panel1->setText(productLine());
        if (stage == Stage::Whole && !passAccess(startedAt)) {
            RequestTerminate();
            return;
        }
        showWhoIsWorking();
        // The file is checked in the background; what would write to it
        // (the layout upgrade too) waits for the check, and a damaged
        // file that is not replaced by a backup ends the program.
        Safekeeping::StartCheck(this, [this](bool usable) {
            if (!usable)
                EndAtStartup();
        });
        if (!UpgradeAtStartup(this)) {
            RequestTerminate();
            return;
        }
        CheckReminders();
        setWindowState(windowState() | Qt::WindowMaximized);
        CheckNumbering();
        const QString note = Safekeeping::OldBackupNote(QDir::fromNativeSeparators(AppDirectory), Clock::now());
        m_note->setText(note);
        m_note->setVisible(!note.isEmpty());
        RemindOfOldKeyCopies(this, startedAt);
    } catch (const std::exception &e) {
        qWarning("Start-up failed: %s", e.what());
        EndAtStartup();
    } catch (...) {
        qWarning("Start-up failed");
        EndAtStartup();
    }
}

void TForm3::showWhoIsWorking()
{
    const Session &session = Session::current();
    const QString name = session.userName();
    m_user->setText(name.isEmpty() ? QString() : QStringLiteral("Χρήστης: %1 (%2)").arg(name, Users::roleText(session.role())));
    m_user->setVisible(!name.isEmpty());
    followRole();
}

// Entries the role may not use are hidden; their windows refuse as well.
void TForm3::followRole()
{
    for (const auto &[entry, duty] : m_roleEntries) {
        const bool allowed = Roles::allowed(duty);
        if (auto *a = qobject_cast<QAction *>(entry))
            a->setVisible(allowed);
        else if (auto *w = qobject_cast<QWidget *>(entry))
            w->setVisible(allowed);
    }
}

void TForm3::EndAtStartup()
{
    setEnabled(false);
    setVisible(false);
    setWindowState(Qt::WindowMinimized);
    RequestTerminate();
}

void TForm3::CheckReminders()
{
    const QDate day(StartYear, StartMonth, StartDay);
    ADOConnection1.prepare();
    const int count = Reminders::countOn(ADOConnection1, day);
    ADOConnection1.close();

    if (count == 1) {
        TForm12 viewer;
        Reminders::selectDay(*viewer.ADOQuery1, day);
        ShowModal(&viewer);
    }
}

void TForm3::CheckNumbering()
{
    NumberingFixed = false;
    ADOConnection1.prepare();
    // A row without a usable number (left by an earlier version) counts as
    // no numbering, so the numbering window is offered to mend it.
    const bool defined = Settings::numberingDefined(ADOConnection1);
    ADOConnection1.close();
    // Shown again when the numbering went bad after it was set (the last
    // number reached), so the practice can always set it.
    findChild<QAction *>(QStringLiteral("N8"))->setVisible(!defined && Roles::allowed(Roles::Duty::Numbering));
    NumberingFixed = defined;
}

void TForm3::Timer1Timer()
{
    const QDateTime now = Clock::now();
    const QTime t = now.time();
    QString text = Regional::formatDate(now.date());
    if (t.hour() != 0 || t.minute() != 0 || t.second() != 0)
        text += QLatin1Char(' ') + t.toString(Regional::longTimeFormat());
    m_panel0->setText(text);
}

void TForm3::BitBtn1Click()
{
    ui->Panel4->setVisible(!ui->Panel4->isVisible());
}

QString TForm3::statusText(int panel) const
{
    return panel == 0 ? m_panel0->text() : m_panel1->text();
}

void TForm3::openWebPage()
{
    Launcher::openPublisherPage();
}

void TForm3::N8Click()
{
    WindowOpener(QStringLiteral("TForm9"))();
    CheckNumbering();
}

QAction *TForm3::addEntry(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    return a;
}

void TForm3::onTriggered(QObject *entry, std::function<void()> handler)
{
    if (auto *a = qobject_cast<QAction *>(entry))
        connect(a, &QAction::triggered, this, guarded(std::move(handler)));
    else if (auto *b = qobject_cast<QAbstractButton *>(entry))
        connect(b, &QAbstractButton::clicked, this, guarded(std::move(handler)));
}

void TForm3::wire(QObject *entry, const QString &windowClass)
{
    // Entries of windows not built into this program stay disabled.
    std::function<void()> open = WindowOpener(windowClass);
    if (const std::optional<Roles::Duty> duty = WindowDuty(windowClass))
        m_roleEntries.emplace_back(entry, *duty);
    const bool available = bool(open);
    if (auto *a = qobject_cast<QAction *>(entry))
        a->setEnabled(available);
    else if (auto *w = qobject_cast<QWidget *>(entry))
        w->setEnabled(available);
    if (available)
        onTriggered(entry, std::move(open));
}

void TForm3::buildMenu()
{
    QMenuBar *bar = ui->MainMenu1;
    auto submenu = [](QWidget *parent, const char *name, const QString &caption) {
        auto *m = new QMenu(caption, parent);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        return m;
    };
    auto separator = [](QMenu *menu, const char *name) {
        menu->addSeparator()->setObjectName(QLatin1String(name));
    };

    QMenu *N1 = submenu(bar, "N1", QStringLiteral("Ε&πιλογές"));
    bar->addMenu(N1);
    wire(addEntry(N1, "N17", QStringLiteral("Εύρ&εση πελάτη")), QStringLiteral("TForm17"));
    wire(addEntry(N1, "N16", QStringLiteral("Καταχώρηση νέου πελάτη")), QStringLiteral("TForm16"));
    separator(N1, "N23");
    QMenu *N12 = submenu(N1, "N12", QStringLiteral("Λειτουργικά έξ&οδα"));
    N1->addMenu(N12);
    m_roleEntries.emplace_back(N12->menuAction(), Roles::Duty::Expenses);
    wire(addEntry(N12, "N13", QStringLiteral("Επε&ξεργασία")), QStringLiteral("TForm13"));
    wire(addEntry(N12, "N14", QStringLiteral("Αναλυτική έ&ρευνα")), QStringLiteral("TForm14"));
    wire(addEntry(N12, "N15", QStringLiteral("Κατά &μήνα")), QStringLiteral("TForm15"));
    wire(addEntry(N1, "N18", QStringLiteral("Εισπρά&ξεις σε διάστημα δύο ημερομηνιών")), QStringLiteral("TForm59"));
    wire(addEntry(N1, "N19", QStringLiteral("Αποδείξεις που εκ&δόθηκαν")), QStringLiteral("TForm71"));
    wire(addEntry(N1, "N30", QStringLiteral("Ανάκληση πελατών")), QStringLiteral("TForm81"));
    separator(N1, "N25");
    wire(addEntry(N1, "N3", QStringLiteral("Βιβλίο ση&μειώσεων")), QStringLiteral("TForm6"));
    // The caption begins with the Latin letter Y.
    wire(addEntry(N1, "Y1", QStringLiteral("Yπενθ&υμίσεις")), QStringLiteral("TForm11"));
    wire(addEntry(N1, "N10", QStringLiteral("Χρήσιμα &τηλέφωνα")), QStringLiteral("TForm10"));
    separator(N1, "N26");
    wire(addEntry(N1, "N4", QStringLiteral("Ημε&ρολογιακά")), QStringLiteral("TForm8"));
    onTriggered(addEntry(N1, "N5", QStringLiteral("Αριθμομη&χανή")), [] { Launcher::startCalculator(); });
    wire(addEntry(N1, "N28", QStringLiteral("Ραντεβού")), QStringLiteral("TForm1a"));
    separator(N1, "N27");
    QMenu *N6 = submenu(N1, "N6", QStringLiteral("Ρυ&θμίσεις"));
    N1->addMenu(N6);
    m_roleEntries.emplace_back(N6->menuAction(), Roles::Duty::Settings);
    QAction *N8 = addEntry(N6, "N8", QStringLiteral("Καθορισμός αρίθμησης των αποδείξεων"));
    // The counter moves with every receipt: its state is read each time the menu opens.
    // A practice that cannot be read just now keeps the menu as it was.
    connect(N6, &QMenu::aboutToShow, this, [this] {
        try {
            CheckNumbering();
        } catch (const DbError &) {
        }
    });
    N8->setEnabled(bool(WindowOpener(QStringLiteral("TForm9"))));
    onTriggered(N8, [this] { N8Click(); });
    wire(addEntry(N6, "N7", QStringLiteral("Στοιχεία που θα εμφανίζονται στις αποδείξεις")), QStringLiteral("TForm73"));
    wire(addEntry(N6, "N31", QStringLiteral("Τιμοκατάλογος εργασιών")), QStringLiteral("TForm82"));
    wire(addEntry(N1, "N11", QStringLiteral("Αλλαγή του κωδικού πρόσβασης")), QStringLiteral("TForm66"));
    wire(addEntry(N1, "N32", QStringLiteral("Χρήστες…")), QStringLiteral("UsersForm"));
    wire(addEntry(N1, "N33", QStringLiteral("Ημερολόγιο προσβάσεων…")), QStringLiteral("AccessLogForm"));
    wire(addEntry(N1, "N34", QStringLiteral("Περίοδος διατήρησης ιατρικών στοιχείων…")), QStringLiteral("RetentionYears"));
    QAction *N29 = addEntry(N1, "N29", QStringLiteral("Αντίγραφο ασφαλείας…"));
    m_roleEntries.emplace_back(N29, Roles::Duty::Backup);
    onTriggered(N29, [this] {
        if (!Roles::allowed(Roles::Duty::Backup))
            Messages::error(Roles::refusal(Roles::Duty::Backup), this);
        else
            Safekeeping::BackupToChosenFolder(this);
    });

    QAction *About1 = bar->addAction(QStringLiteral("A&bout Molarix"));
    About1->setObjectName(QStringLiteral("About1"));
    wire(About1, QStringLiteral("TForm62"));
    QAction *N22 = bar->addAction(QStringLiteral("Έ&ξοδος"));
    N22->setObjectName(QStringLiteral("N22"));
    onTriggered(N22, [this] { close(); });
}

void TForm3::wireButtons()
{
    wire(ui->Button2, QStringLiteral("TForm17"));
    wire(ui->Button1, QStringLiteral("TForm16"));
    wire(ui->Button9, QStringLiteral("TForm71"));
    wire(ui->Button13, QStringLiteral("TForm13"));
    wire(ui->Button6, QStringLiteral("TForm14"));
    wire(ui->Button7, QStringLiteral("TForm15"));
    wire(ui->Button5, QStringLiteral("TForm11"));
    wire(ui->Button12, QStringLiteral("TForm6"));
    wire(ui->Button4, QStringLiteral("TForm10"));
    onTriggered(ui->Button10, [] { Launcher::startCalculator(); });
    wire(ui->Button11, QStringLiteral("TForm8"));
    wire(ui->Button14, QStringLiteral("TForm1a"));
}

void TForm3::fitPicture()
{
    // Shown at its own size, and reduced only when the free area is smaller.
    const QSize room = ui->Image1->size();
    if (m_picture.isNull() || room.isEmpty())
        return;
    if (m_picture.width() <= room.width() && m_picture.height() <= room.height())
        ui->Image1->setPixmap(m_picture);
    else
        ui->Image1->setPixmap(m_picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->Image1 && event->type() == QEvent::Resize)
        fitPicture();
    if (event->type() == QEvent::MouseButtonDblClick) {
        auto *w = qobject_cast<QWidget *>(watched);
        const auto *me = static_cast<QMouseEvent *>(event);
        // The status bar answers over its panels too; the others only on
        // their own background, not over the controls they hold.
        const bool own = w == ui->StatusBar1 || w == ui->Image1 || !w->childAt(me->position().toPoint());
        if (own) {
            runGuarded([this] { openWebPage(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm3::closeEvent(QCloseEvent *e)
{
    // Asked once per close request; not asked when the program is ending
    // because start-up did not pass.
    if (m_exitConfirmed || TerminateRequested()) {
        e->accept();
        return;
    }
    if (!Messages::confirm(QStringLiteral("Έξοδος;"), this)) {
        e->ignore();
        return;
    }
    m_exitConfirmed = true;
    hide();
    // The day's backup, once the user has said goodbye: copied while the
    // program closes, finished before the process ends.
    Safekeeping::WaitForCheck();
    if (AccessGranted)
        Safekeeping::StartBackupAtExit();
    {
        TForm4 splash;
        ShowModal(&splash);
    }
    RequestTerminate();
    e->accept();
}
