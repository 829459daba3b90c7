#include "tools/calendartools.h"
#include "ui_calendartools.h"
#include "gui/formstyle.h"
#include "data/db/clock.h"
#include <QFocusEvent>
#include <QLineEdit>
#include <climits>

EasterYearBox::EasterYearBox(QWidget *parent) : QSpinBox(parent)
{
    // The wide range lets an out-of-range year stand while typed.
    setRange(INT_MIN / 2, INT_MAX / 2);
    setValue(Lowest);
    setKeyboardTracking(true);
}

void EasterYearBox::stepBy(int steps)
{
    setValue(qBound(Lowest, value() + steps, Highest));
}

QAbstractSpinBox::StepEnabled EasterYearBox::stepEnabled() const
{
    StepEnabled e = StepNone;
    if (value() < Highest)
        e |= StepUpEnabled;
    if (value() > Lowest)
        e |= StepDownEnabled;
    return e;
}

QValidator::State EasterYearBox::validate(QString &text, int &) const
{
    // Digits, signs and the decimal separator may be typed.
    for (QChar c : text) {
        if (!(c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-') || c == QLatin1Char(',')))
            return QValidator::Invalid;
    }
    bool ok = false;
    text.toInt(&ok);
    return ok ? QValidator::Acceptable : QValidator::Intermediate;
}

int EasterYearBox::valueFromText(const QString &text) const
{
    bool ok = false;
    const int v = text.toInt(&ok);
    return ok ? v : Lowest;
}

void EasterYearBox::focusOutEvent(QFocusEvent *e)
{
    bool ok = false;
    const int typed = lineEdit()->text().toInt(&ok);
    const int bounded = ok ? qBound(Lowest, typed, Highest) : Lowest;
    QSpinBox::focusOutEvent(e);
    if (!ok || bounded != typed || value() != bounded) {
        setValue(bounded);
        lineEdit()->setText(QString::number(bounded));
    }
}

QDate OrthodoxEaster(int year)
{
    // Julian computus (Meeus).
    const int a = year % 4, b = year % 7, c = year % 19;
    const int d = (19 * c + 15) % 30;
    const int e = (2 * a + 4 * b - d + 34) % 7;
    const int month = (d + e + 114) / 31;
    const int day = (d + e + 114) % 31 + 1;
    // Easter falls after February, so this year's difference applies.
    const int difference = year / 100 - year / 400 - 2;
    return QDate(year, month, 1).addDays(day - 1 + difference);
}

TForm8::TForm8(QWidget *parent) : QDialog(parent), ui(std::make_unique<Ui::TForm8>())
{
    ui->setupUi(this);
    setupDialog(this);
    makeBold(ui->Label1);
    makeBold(ui->Label3);
    makeRequiredMark(ui->Label2);
    makeRequiredMark(ui->Label7);

    const QDateTime now = Clock::now();
    // Both pickers start on the same day, so the count starts empty.
    const QDate start(2006, 2, 18);
    ui->DateTimePicker1->setDate(start);
    ui->DateTimePicker2->setDate(start);

    // Every change of the typed text counts, also an out-of-range or empty one.
    connect(ui->SpinEdit1->findChild<QLineEdit *>(), &QLineEdit::textChanged, this, [this] { find_pasxa(); });
    connect(ui->SpinEdit1, &QSpinBox::valueChanged, this, [this] { find_pasxa(); });
    connect(ui->DateTimePicker1, &QDateEdit::dateChanged, this, [this] { ShowDaysBetween(); });
    connect(ui->DateTimePicker2, &QDateEdit::dateChanged, this, [this] { ShowDaysBetween(); });
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate
    ui->SpinEdit1->setValue(now.date().year());
    find_pasxa();
    ui->MonthCalendar1->setSelectedDate(now.date());
}

TForm8::~TForm8() = default;

void TForm8::find_pasxa()
{
    bool ok = false;
    int year = ui->SpinEdit1->text().toInt(&ok);
    if (!ok)
        year = EasterYearBox::Lowest;
    if (year < EasterYearBox::Lowest || year > EasterYearBox::Highest) {
        ui->Label2->clear();
        return;
    }
    const QDate easter = OrthodoxEaster(year);
    if (easter.month() == 4)
        ui->Label2->setText(QStringLiteral("είναι %1 Απριλίου").arg(easter.day()));
    else
        ui->Label2->setText(QStringLiteral("είναι %1 Μαϊου").arg(easter.day()));
}

void TForm8::ShowDaysBetween()
{
    const QDate from = ui->DateTimePicker1->date();
    const QDate to = ui->DateTimePicker2->date();
    if (from >= to) {
        ui->Label7->clear();
        return;
    }
    ui->Label7->setText(QStringLiteral("Αριθμός ημερών=%1").arg(from.daysTo(to)));
}
