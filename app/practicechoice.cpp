#include "app/practicechoice.h"
#include "app/passwordtext.h"
#include "data/db/dberror.h"
#include "data/db/helpers.h"
#include "data/practice/practicefolder.h"
#include "data/practice/schema.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "ui_practicechoice.h"
#include <QDir>
#include <QFileDialog>

namespace {
PracticeChoice::FolderPicker &picker()
{
    static PracticeChoice::FolderPicker p;
    return p;
}

// A typed folder: "~" is the home folder, and a relative name is taken
// under it (started from the menu, the current folder means nothing).
QString folderFromText(const QString &typed)
{
    QString t = typed.trimmed();
    if (t.isEmpty())
        return {};
    if (t == QLatin1String("~") || t.startsWith(QLatin1String("~/")))
        t = QDir::homePath() + t.mid(1);
    return QDir::cleanPath(QDir::home().absoluteFilePath(t));
}

QString shown(const QString &dir)
{
    return QDir::toNativeSeparators(dir);
}
}

PracticeChoice::PracticeChoice(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::PracticeChoice>())
{
    ui->setupUi(this);
    setupDialog(this);
    makeBold(ui->Label1);
    for (QWidget *w : {ui->Label2, ui->Label3, ui->Label4})
        makeBold(w);
    for (QWidget *w : {ui->Label5, ui->Label6, ui->Label7, ui->Label8})
        makeRequiredMark(w);
    MaskWithStars(ui->Edit2);
    MaskWithStars(ui->Edit3);
    ui->Edit1->setText(shown(PracticeFolder::defaultNewFolder()));

    for (QLineEdit *e : {ui->Edit1, ui->Edit2, ui->Edit3})
        connect(e, &QLineEdit::textChanged, this, guarded([this] { UpdateButtons(); }));
    for (QRadioButton *r : {ui->RadioButton1, ui->RadioButton2})
        connect(r, &QRadioButton::toggled, this, guarded([this] { UpdateButtons(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, [this] { reject(); });
    connect(ui->Button3, &QPushButton::clicked, this, guarded([this] { Button3Click(); }));
    UpdateButtons();
    // The offered folder usually stands; the password is what is left to type.
    ui->Edit2->setFocus();
}

PracticeChoice::~PracticeChoice() = default;

void PracticeChoice::setFolderPicker(FolderPicker p)
{
    picker() = std::move(p);
}

void PracticeChoice::setFolder(const QString &folder)
{
    ui->Edit1->setText(shown(folder));
    // A folder that already holds a practice is meant to be opened.
    if (PracticeFolder::holdsPractice(folder))
        ui->RadioButton2->setChecked(true);
}

void PracticeChoice::UpdateButtons()
{
    const bool creating = ui->RadioButton1->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(ui->Edit2), static_cast<QWidget *>(ui->Edit3),
                       static_cast<QWidget *>(ui->Label3), static_cast<QWidget *>(ui->Label4),
                       static_cast<QWidget *>(ui->Label5), static_cast<QWidget *>(ui->Label6),
                       static_cast<QWidget *>(ui->Label7)})
        w->setEnabled(creating);

    bool ok = !folderFromText(ui->Edit1->text()).isEmpty();
    QString note;
    if (creating) {
        // The rules of the password change: both typed, no special
        // characters, the same text twice. What stops «Συνέχεια» is said
        // under the password.
        const QString password = TrimText(ui->Edit2->text());
        const QString again = TrimText(ui->Edit3->text());
        ok = ok && !password.isEmpty() && !again.isEmpty() && HasNoSpecialChars(password)
            && HasNoSpecialChars(again) && password == again;
        std::optional<QChar> special = FirstSpecialChar(password);
        if (!special)
            special = FirstSpecialChar(again);
        if (special && special->unicode() < 0x20)
            note = QStringLiteral("Ο κωδικός δεν μπορεί να έχει αόρατους χαρακτήρες ελέγχου.");
        else if (special)
            note = QStringLiteral("Ο κωδικός δεν μπορεί να έχει τον χαρακτήρα «%1».").arg(*special);
        else if (!password.isEmpty() && !again.isEmpty() && password != again)
            note = QStringLiteral("Οι δύο κωδικοί δεν είναι ίδιοι· προσέξτε τα πεζά και τα κεφαλαία.");
    }
    ui->Label8->setText(note);
    ui->Button1->setEnabled(ok);
}

void PracticeChoice::Button3Click()
{
    const QString start = folderFromText(ui->Edit1->text());
    const QString picked = picker()
        ? picker()(this, start)
        : QFileDialog::getExistingDirectory(this, QStringLiteral("Φάκελος ιατρείου"),
                                            QDir(start).exists() ? start : QDir::homePath());
    if (!picked.isEmpty())
        setFolder(QDir::cleanPath(picked));
}

bool PracticeChoice::createPractice(const QString &dir, const QString &password)
{
    if (PracticeFolder::holdsPractice(dir)) {
        Messages::plain(QStringLiteral("Στον φάκελο %1 υπάρχει ήδη ιατρείο. Επιλέξτε «Άνοιγμα υπάρχοντος ιατρείου».")
                            .arg(shown(dir)),
                        this);
        return false;
    }
    const bool existed = QDir(dir).exists();
    if (!existed && !QDir().mkpath(dir)) {
        Messages::plain(QStringLiteral("Ο φάκελος %1 δεν μπορεί να δημιουργηθεί.").arg(shown(dir)), this);
        return false;
    }
    try {
        Schema::createDatabase(dir, password);
    } catch (const DbError &e) {
        if (!existed)
            QDir().rmdir(dir);   // only when still empty
        Messages::plain(QStringLiteral("Το ιατρείο δεν δημιουργήθηκε: %1").arg(e.message()), this);
        return false;
    }
    PracticeFolder::copyMissingReports(PracticeFolder::installedReports(), dir);
    return true;
}

void PracticeChoice::Button1Click()
{
    const QString dir = folderFromText(ui->Edit1->text());
    if (ui->RadioButton1->isChecked()) {
        if (!createPractice(dir, TrimText(ui->Edit2->text())))
            return;
    } else if (!PracticeFolder::holdsPractice(dir)) {
        Messages::plain(QStringLiteral("Στον φάκελο %1 δεν υπάρχει ιατρείο (data.mdb).").arg(shown(dir)), this);
        return;
    }
    PracticeFolder::remember(dir);
    ChosenFolder = dir;
    accept();
}

bool EnterPracticeFolder()
{
    const PracticeFolder::Location where = PracticeFolder::locate(QDir::currentPath());
    QString dir = where.folder;
    if (where.source == PracticeFolder::Source::None) {
        PracticeChoice choice;
        if (!dir.isEmpty())
            choice.setFolder(dir);
        if (ShowModal(&choice) != QDialog::Accepted)
            return false;
        dir = choice.ChosenFolder;
    }
    if (!QDir::setCurrent(dir)) {
        Messages::error(QStringLiteral("Ο φάκελος %1 δεν είναι προσβάσιμος").arg(shown(dir)));
        return false;
    }
    PracticeFolder::copyMissingReports(PracticeFolder::installedReports(), dir);
    return true;
}
