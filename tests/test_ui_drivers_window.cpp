#include "model/AppSettings.h"
#include "qt_printers.h"
#include "ui/DriverTableCells.h"
#include "ui/WidgetDriverInfo.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <map>

// Colours as #aarrggbb.
inline void PrintTo(const QColor &color, std::ostream *out) { *out << color.name(QColor::HexArgb).toStdString(); }

namespace {

// Position 0 in the results means not placed; -1 gives no result.
struct Car {
    int carIdx;
    int position;
    const char *name;
};

// The cars are numbered 11, 22, 33... in list order; car n's other cells
// follow from its index, so a row can be checked whole.
irVariables snapshot(const QVector<Car> &cars)
{
    irVariables vars;
    for (const Car &car : cars) {
        irDriver d;
        d.carIdx = car.carIdx;
        d.carNumberRaw = 11 * (vars.drivers.size() + 1);
        d.userName = QString::fromLatin1(car.name);
        d.clubName = QStringLiteral("Club ") + d.userName;
        d.licColor = QStringLiteral("0x0153db");
        vars.drivers.append(d);
        if (car.position >= 0) {
            irResult r;
            r.carIdx = car.carIdx;
            r.position = car.position;
            r.incidents = car.carIdx;
            vars.results.append(r);
        }
    }
    return vars;
}

class DriversWindow : public ::testing::Test {
protected:
    QObject owner;
    QTemporaryDir dir;
    AppSettings settings{&owner, dir.path() + QStringLiteral("/pitlink.ini")};
    WidgetDriverInfo window{&settings, nullptr};
    QTableWidget *table = window.findChild<QTableWidget *>("tableWidgetDriver");

    QString cell(int row, int column) { return table->item(row, column)->text(); }
    QColor shade(int row, int column) { return table->item(row, column)->background().color(); }
};

TEST_F(DriversWindow, formHasItsTitleSizeMarginsAndColumns)
{
    EXPECT_EQ(window.windowTitle(), QStringLiteral("WidgetDirverInfo"));
    EXPECT_EQ(window.size(), QSize(907, 663));
    const auto *grid = qobject_cast<QGridLayout *>(window.layout());
    ASSERT_TRUE(grid);
    EXPECT_EQ(grid->spacing(), 6);
    EXPECT_EQ(grid->contentsMargins(), QMargins(11, 11, 11, 11));
    EXPECT_EQ(grid->itemAtPosition(1, 0), grid->itemAt(grid->indexOf(table))) << "the table under the stay-on-top row";
    EXPECT_EQ(QSize(grid->columnCount(), grid->rowCount()), QSize(1, 2)) << "each in one cell";
    EXPECT_TRUE(table->horizontalHeader()->stretchLastSection()) << "the last column fills the table's width";
    EXPECT_EQ(grid->itemAtPosition(0, 0)->layout()->spacing(), 6) << "the stay-on-top row";
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c)
        headers << table->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, QStringList({"Pos", "Car#", "Name", "Licence", "iRating", "Club", "Division",
                                    "Best Time", "Best Lap", "LastTime", "Laps", "Inc", "ReasonOut"}));
}

TEST_F(DriversWindow, stayOnTopIsStoredAndTakenByTheNextWindow)
{
    QCheckBox *box = window.findChild<QCheckBox *>("checkBox_stayontop");
    EXPECT_EQ(box->text(), QStringLiteral("Stay On Top"));
    window.show();
    // Off at first: the first click must turn it on, and the window
    // reopened on "false" must start off.
    for (const bool on : {true, false}) {
        box->click();
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(bool(window.windowFlags() & Qt::WindowStaysOnTopHint), on);
        EXPECT_EQ(QSettings(settings.fileName(), QSettings::IniFormat).value("driverwindow/stayontop").toString(), QString(on ? "true" : "false"));
        WidgetDriverInfo reopened(&settings, nullptr);
        EXPECT_EQ(reopened.findChild<QCheckBox *>("checkBox_stayontop")->isChecked(), on);
        EXPECT_EQ(bool(reopened.windowFlags() & Qt::WindowStaysOnTopHint), on);
    }
}

TEST_F(DriversWindow, listsTheStoredDriversByPositionWithMarkersShadesAndTheSelectionOnEachRefill)
{
    // Dan's car index was never read, like the player's when there is none,
    // nor was that of a result placed fifth: they are no match.
    irVariables vars = snapshot({{0, 4, "Ann"}, {1, 0, "Bob"}, {2, 1, "Cid"}, {-1, 5, "Dan"}});
    QMetaObject::invokeMethod(&window, "OnTimerUpdate"); // nothing stored yet: no snapshot is read
    irResult later = vars.results[0]; // the last result of a car wins
    later.position = 2;
    later.incidents = 4;
    vars.results.append(later);
    vars.playerDriver.driverCarIdx = 2; // Cid, first row, an even one
    window.setDrivers(vars);
    ASSERT_EQ(table->rowCount(), 4);
    // position and name of the placed, incidents of Ann's later result, the unplaced
    EXPECT_EQ(QStringList({cell(0, 0), cell(0, 2), cell(1, 0), cell(1, 2), cell(1, 11), cell(2, 0), cell(3, 0)}),
              QStringList({"1", "Cid", "2", "Ann", "4", "-", "-"}));
    EXPECT_EQ(vars.results[1].position, 1000) << "unplaced";
    EXPECT_EQ(vars.drivers[2].userName, QStringLiteral("Bob")) << "the unplaced keep their roster order";

    const int dan = cell(2, 2) == QStringLiteral("Dan") ? 2 : 3;
    EXPECT_EQ(QStringList({cell(dan, 7), cell(dan, 8), cell(dan, 9), cell(dan, 10), cell(dan, 11), cell(dan, 12)}),
              QStringList({"-", "-", "-", "-", "0", ""}));

    // The player's row, an even one, an odd one; Ann's licence.
    QTableWidgetItem *licence = table->item(1, 3);
    EXPECT_EQ(QList<QColor>({shade(0, 0), shade(2, 5), licence->background().color(), licence->foreground().color()}),
              QList<QColor>({QColor(200, 200, 200), QColor(240, 240, 240), QColor(0x01, 0x53, 0xdb), QColor(Qt::white)}));
    EXPECT_NE(shade(1, 5), QColor(240, 240, 240));
    EXPECT_EQ(licence->font().weight(), 75);

    // The selection follows the car across refills: Ann from second to first.
    // With no player (-1) no row is the player's, not even Dan's.
    vars.playerDriver.driverCarIdx = -1;
    table->selectRow(1);
    vars.results[3].position = 1;
    vars.results[2].position = 3;
    window.setDrivers(vars);
    const auto ranges = table->selectedRanges();
    ASSERT_EQ(ranges.size(), 1);
    EXPECT_EQ(ranges.first().topRow(), 0);
    for (int row = 0; row < 4; ++row)
        EXPECT_NE(shade(row, 0), QColor(200, 200, 200)) << row;

    // The timer refills the stored snapshot: the drivers are kept in the
    // order shown, Ann first.
    vars.drivers[0].userName = QStringLiteral("Eve");
    QMetaObject::invokeMethod(&window, "OnTimerUpdate");
    EXPECT_EQ(cell(0, 2), QStringLiteral("Eve"));
}

// What a sim racer does with the table, and what the table must then show.
enum class Gesture { none, doubleClickCell, dragDivider };

// The column whose values the case sets (for cars 0, 1 and 2) and sorts by;
// what the column then shows, top to bottom.
struct TableCase {
    const char *name;
    int column;
    std::array<double, 3> values;
    std::array<const char *, 3> shown;
    Gesture gesture = Gesture::none;
    Qt::SortOrder order = Qt::AscendingOrder;
};

const TableCase kTableCases[] = {
    {"a time that is no number shows and sorts as missing", kColumnBestTime, {83.456, NAN, 80.0},
     {"1:20:000", "1:23:456", "-"}},
    // Descending is the same order reversed by Qt: one row for all columns.
    {"an infinite last time is missing, missing first descending", kColumnLastTime, {INFINITY, 91.5, -1.0},
     {"-", "-", "1:31:500"}, Gesture::none, Qt::DescendingOrder},
    {"any finite time wraps within the day, a whole number of days to midnight", kColumnBestTime,
     {3e9, 83.456, 172800.0},
     {"1:23:456", "0:00:000", "20:00:000"}},
    {"missing laps sort last ascending", kColumnLaps, {12, -1, 5}, {"5", "12", "-"}},
    {"positions sort as numbers, unplaced last", kColumnPos, {10, 0, 9}, {"9", "10", "-"}},
    {"iRatings sort as numbers; a double-click edits nothing", kColumnIRating, {900, 10000, 1000}, {"900", "1000", "10000"}, Gesture::doubleClickCell},
    {"a dragged column keeps its width", kColumnBestLap, {3, 7, 1}, {"1", "3", "7"}, Gesture::dragDivider},
};

// How a case sets its column's value for one car.
const std::map<int, std::function<void(irVariables &, int, double)>> kSetColumnValue = {
    {kColumnPos, [](irVariables &v, int car, double x) { v.results[car].position = static_cast<int>(x); }},
    {kColumnIRating, [](irVariables &v, int car, double x) { v.drivers[car].iRating = static_cast<int>(x); }},
    {kColumnBestTime, [](irVariables &v, int car, double x) { v.results[car].fastestTime = static_cast<float>(x); }},
    {kColumnLastTime, [](irVariables &v, int car, double x) { v.results[car].lastTime = static_cast<float>(x); }},
    {kColumnLaps, [](irVariables &v, int car, double x) { v.results[car].lapsComplete = static_cast<int>(x); }},
    {kColumnBestLap, [](irVariables &v, int car, double x) { v.results[car].fastestLap = static_cast<int>(x); }},
};

TEST_F(DriversWindow, whatTheTableShowsAfterSortsAndGestures)
{
    const char *const names[] = {"Ann", "Bob", "Cid"};
    for (const TableCase &c : kTableCases) {
        SCOPED_TRACE(c.name);
        WidgetDriverInfo w(&settings, nullptr);
        QTableWidget *t = w.findChild<QTableWidget *>("tableWidgetDriver");
        irVariables vars = snapshot({{0, 1, names[0]}, {1, 2, names[1]}, {2, 3, names[2]}});
        for (int car = 0; car < 3; ++car)
            kSetColumnValue.at(c.column)(vars, car, c.values[car]);
        w.show();
        w.setDrivers(vars);
        // The user clicks the header until it shows the wanted order.
        QHeaderView *header = t->horizontalHeader();
        for (int click = 0; click < 2 && (header->sortIndicatorSection() != c.column ||
                                          header->sortIndicatorOrder() != c.order); ++click)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                              {header->sectionViewportPosition(c.column) + 5, header->height() / 2});
        ASSERT_EQ(header->sortIndicatorSection(), c.column);
        ASSERT_EQ(header->sortIndicatorOrder(), c.order);

        const int fittedWidth = header->sectionSize(kColumnName);
        if (c.gesture == Gesture::doubleClickCell) {
            // A press and release first, as a real double-click has them.
            const QPoint at = t->visualItemRect(t->item(0, c.column)).center();
            QTest::mouseClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseRelease(t->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        } else if (c.gesture == Gesture::dragDivider) {
            const QPoint edge(header->sectionViewportPosition(kColumnName) + header->sectionSize(kColumnName) - 1,
                              header->height() / 2);
            QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, edge);
            QMouseEvent drag(QEvent::MouseMove, edge + QPoint(60, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(header->viewport(), &drag);
            // The table is refilled while the button is still held.
            vars.drivers[0].clubName += QString(40, QLatin1Char('W'));
            w.setDrivers(vars);
            QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, edge + QPoint(60, 0));
            EXPECT_GT(header->sectionSize(kColumnName), fittedWidth + 40);
            vars.drivers[0].clubName.chop(40);
        }
        const int shownWidth = header->sectionSize(kColumnName);
        const int clubWidth = header->sectionSize(kColumnClub);
        w.setDrivers(vars); // refilled under the sort: every row stays whole

        for (int row = 0; row < 3; ++row) {
            EXPECT_EQ(t->item(row, c.column)->text(), QString::fromLatin1(c.shown[row])) << row;
            const int car = t->item(row, kColumnCarNumber)->text().toInt() / 11 - 1;
            ASSERT_TRUE(car >= 0 && car < 3) << row;
            EXPECT_EQ(QStringList({t->item(row, kColumnName)->text(), t->item(row, kColumnClub)->text(), t->item(row, kColumnIncidents)->text()}),
                      QStringList({names[car], QStringLiteral("Club ") + names[car], QString::number(car)})) << row;
        }
        EXPECT_TRUE(t->findChildren<QLineEdit *>().isEmpty()) << "no cell editor";
        EXPECT_EQ(header->sectionSize(kColumnName), shownWidth) << "the name column keeps its width";
        EXPECT_EQ(header->sectionSize(kColumnClub) < clubWidth, c.gesture == Gesture::dragDivider) << "the club column fits its shorter names again";
    }
}

} // namespace
