#include "appointments/monthlyappointments.h"
#include "ui_monthlyappointments.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/modal.h"
#include "appointments/daysheet.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/work/appointments.h"

#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>

namespace {
// Calendar geometry: seven columns, Monday first; row 6 holds cells 36 and 37.
constexpr int GridLeft = 14;
constexpr int GridTop = 74;
constexpr int CellWidth = 84;
constexpr int CellHeight = 62;
constexpr int CellGap = 4;
constexpr int DayStripHeight = 20;

const QColor DayBlack(0, 0, 0);
const QColor WeekendGrey(128, 128, 128);
const QColor TodayGreen(0, 128, 0);
const QColor WeekdayHeading(0, 128, 0);
const QColor WeekendHeading(0, 255, 0);
const QColor CountRed(255, 0, 0);
const QColor FreeDay(255, 255, 255);
const QColor BookedDay(255, 236, 179);
const QColor CellBorder(128, 128, 128);

bool isWeekendCell(int cell)
{
    const int column = (cell - 1) % 7 + 1;
    return column >= 6;
}

void setTextColour(QWidget *w, const QColor &c)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, c);
    w->setPalette(pal);
}
}

int FirstWeekdayOfMonth(int year, int month)
{
    int y = year, m = month;
    const int d = 1;
    // January and February count as months 13 and 14 of the year before.
    if (m <= 2) {
        m += 12;
        y -= 1;
    }
    const int w = d + 2 * m + (3 * (m + 1)) / 5 + y + y / 4 - y / 100 + y / 400;
    return w % 7 + 1;
}

int DaysInMonth(int year, int month)
{
    switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
        return 30;
    case 2: {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        return leap ? 29 : 28;
    }
    default:
        return 31;
    }
}

bool SlotIsFilled(const QString &value)
{
    return Appointments::slotIsFilled(value);
}

std::function<void(TForm2a &)> &TForm1a::sheetShower()
{
    static std::function<void(TForm2a &)> shower = [](TForm2a &sheet) { ShowModal(&sheet); };
    return shower;
}

TForm1a::TForm1a(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm1a>())
{
    ui->setupUi(this);
    setupDialog(this);
    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    makeBold(ui->Label83);
    makeBold(ui->Label1);
    QLabel *headings[] = {ui->Label2, ui->Label3, ui->Label4, ui->Label5,
                          ui->Label6, ui->Label7, ui->Label8};
    for (int i = 0; i < 7; ++i) {
        makeBold(headings[i]);
        setTextColour(headings[i], i < 5 ? WeekdayHeading : WeekendHeading);
    }

    ui->ComboBox1->addItems({QStringLiteral("Ιανουάριος"), QStringLiteral("Φεβρουάριος"),
                             QStringLiteral("Μάρτιος"), QStringLiteral("Απρίλιος"),
                             QStringLiteral("Μάιος"), QStringLiteral("Ιούνιος"),
                             QStringLiteral("Ιούλιος"), QStringLiteral("Αύγουστος"),
                             QStringLiteral("Σεπτέμβριος"), QStringLiteral("Οκτώβριος"),
                             QStringLiteral("Νοέμβριος"), QStringLiteral("Δεκέμβριος")});

    makeCells();

    const QDate today = Clock::today();
    TodayYear = today.year();
    TodayMonth = today.month();
    TodayDay = today.day();
    fillYearList();

    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, guarded([this] { ShowMonth(); }));
    connect(ui->ComboBox2, &QComboBox::currentIndexChanged, this, guarded([this] { ShowMonth(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { GoToToday(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    runGuarded([this] { GoToToday(); });
}

TForm1a::~TForm1a() = default;

void TForm1a::fillYearList()
{
    // The list runs 2008 to 2035, stretched to today's year when the clock
    // lies outside it, so the window can always open on today's month.
    const int first = std::min(FirstListedYear, TodayYear);
    const int last = std::max(LastListedYear, TodayYear);
    QStringList years;
    for (int y = first; y <= last; ++y)
        years << QString::number(y);
    const QSignalBlocker block(ui->ComboBox2);
    ui->ComboBox2->clear();
    ui->ComboBox2->addItems(years);
}

void TForm1a::makeCells()
{
    QFont dayFont = font();
    dayFont.setBold(true);
    dayFont.setPointSize(dayFont.pointSize() + 2);
    QFont countFont = font();
    countFont.setBold(true);
    countFont.setPointSize(20);

    for (int k = 1; k <= CellCount; ++k) {
        const int row = (k - 1) / 7;
        const int column = (k - 1) % 7;
        auto *cell = new QFrame(this);
        cell->setObjectName(QStringLiteral("Cell%1").arg(k));
        cell->setGeometry(GridLeft + column * (CellWidth + CellGap),
                          GridTop + row * (CellHeight + CellGap), CellWidth, CellHeight);
        cell->setFrameStyle(QFrame::Box | QFrame::Plain);
        cell->setAutoFillBackground(true);

        auto *day = new QLabel(cell);
        day->setObjectName(QStringLiteral("LabelD%1").arg(k));
        day->setGeometry(1, 1, CellWidth - 2, DayStripHeight);
        day->setAlignment(Qt::AlignCenter);
        day->setFont(dayFont);
        day->setCursor(Qt::PointingHandCursor);
        day->installEventFilter(this);

        auto *count = new QLabel(cell);
        count->setObjectName(QStringLiteral("LabelR%1").arg(k));
        count->setGeometry(1, DayStripHeight + 1, CellWidth - 2, CellHeight - DayStripHeight - 2);
        count->setAlignment(Qt::AlignCenter);
        count->setFont(countFont);
        count->setAttribute(Qt::WA_TransparentForMouseEvents);
        setTextColour(count, CountRed);

        m_cells[k] = cell;
        m_dayLabels[k] = day;
        m_countLabels[k] = count;
        setCellBorder(k, CellBorder, 1);
        setCellBooked(k, false);
        cell->hide();
    }
    // The exit button shares the last row with cells 36 and 37.
    ui->Button1->raise();
}

void TForm1a::setCellBooked(int cell, bool booked)
{
    QFrame *f = m_cells[cell];
    QPalette pal = f->palette();
    pal.setColor(QPalette::Window, booked ? BookedDay : FreeDay);
    f->setPalette(pal);
}

void TForm1a::setCellBorder(int cell, const QColor &colour, int width)
{
    QFrame *f = m_cells[cell];
    QPalette pal = f->palette();
    pal.setColor(QPalette::WindowText, colour);
    f->setPalette(pal);
    f->setLineWidth(width);
}

void TForm1a::GoToToday()
{
    {
        const QSignalBlocker b1(ui->ComboBox1);
        const QSignalBlocker b2(ui->ComboBox2);
        ui->ComboBox1->setCurrentIndex(TodayMonth - 1);
        ui->ComboBox2->setCurrentIndex(ui->ComboBox2->findText(QString::number(TodayYear)));
    }
    ShowMonth();
}

void TForm1a::ShowMonth()
{
    SelectedYear = ui->ComboBox2->currentText().toInt();
    SelectedMonth = ui->ComboBox1->currentIndex() + 1;
    LeapYearFlag = (SelectedYear % 4 == 0 && SelectedYear % 100 != 0) || SelectedYear % 400 == 0;
    MonthLength = DaysInMonth(SelectedYear, SelectedMonth);
    FirstWeekday = FirstWeekdayOfMonth(SelectedYear, SelectedMonth);

    for (int k = 1; k <= CellCount; ++k) {
        m_dayLabels[k]->hide();
        m_dayLabels[k]->clear();
        m_countLabels[k]->hide();
        m_countLabels[k]->clear();
        setTextColour(m_dayLabels[k], isWeekendCell(k) ? WeekendGrey : DayBlack);
        setCellBorder(k, CellBorder, 1);
        setCellBooked(k, false);
    }

    for (int d = 1; d <= MonthLength; ++d) {
        const int k = FirstWeekday + d - 1;
        m_dayLabels[k]->setText(QString::number(d));
        m_dayLabels[k]->show();
    }

    for (int k = 1; k <= CellCount; ++k) {
        const bool visible = !m_dayLabels[k]->isHidden();
        m_countLabels[k]->setVisible(visible);
        m_cells[k]->setVisible(visible);
    }

    if (SelectedMonth == TodayMonth && SelectedYear == TodayYear) {
        const int k = cellOfDay(TodayDay);
        if (k > 0) {
            setTextColour(m_dayLabels[k], TodayGreen);
            setCellBorder(k, TodayGreen, 2);
        }
    }

    CountMonthAppointments();
}

int TForm1a::cellOfDay(int day) const
{
    const QString text = QString::number(day);
    for (int k = 1; k <= CellCount; ++k)
        if (m_dayLabels[k]->text() == text)
            return k;
    return 0;
}

void TForm1a::CountMonthAppointments()
{
    ADOConnection1.prepare();
    const Appointments::MonthCounts counts = Appointments::countMonth(ADOConnection1, SelectedYear, SelectedMonth);
    for (int d = 1; d <= MonthLength; ++d) {
        const int n = counts[size_t(d)];
        if (n <= 0)
            ClearDayCount(d);
        else
            ShowDayCount(d, n);
    }
    ADOConnection1.close();
}

void TForm1a::ShowDayCount(int day, int n)
{
    const int k = cellOfDay(day);
    if (k == 0)
        return;
    m_countLabels[k]->setText(QString::number(n));
    setCellBooked(k, true);
}

void TForm1a::ClearDayCount(int day)
{
    const int k = cellOfDay(day);
    if (k == 0)
        return;
    m_countLabels[k]->clear();
    setCellBooked(k, false);
}

bool TForm1a::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton) {
            for (int k = 1; k <= CellCount; ++k) {
                if (watched == m_dayLabels[k]) {
                    // Only the days of the shown month can be clicked.
                    if (m_dayLabels[k]->isVisibleTo(this)
                        && m_dayLabels[k]->rect().contains(me->position().toPoint()))
                        runGuarded([this, k] { LabelDClick(k); });
                    return true;
                }
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm1a::LabelDClick(int cell)
{
    SelectedDay = m_dayLabels[cell]->text().toInt();
    OpenDaySheet();
}

void TForm1a::OpenDaySheet()
{
    ADOConnection1.prepare();
    const QDate day(SelectedYear, SelectedMonth, SelectedDay);
    Appointments::makeDay(ADOConnection1, day);
    ADOConnection1.close();

    auto sheet = std::make_unique<TForm2a>(this);
    sheet->Label83->setText(QStringLiteral("%1/%2/%3").arg(SelectedDay).arg(SelectedMonth).arg(SelectedYear));
    sheet->ADOConnection1.prepare();
    Appointments::openDay(*sheet->ADOQuery1, day);
    sheetShower()(*sheet);
    sheet.reset();

    CountMonthAppointments();
}

void TForm1a::FormClose()
{
    ADOConnection1.close();
}
