#include "ui/WidgetDriverInfo.h"

#include "model/AppSettings.h"
#include "model/DriverStandings.h"
#include "model/irVariables.h"
#include "ui/DriverTableCells.h"
#include "ui/DriverTableItem.h"
#include "ui/UserSizedColumns.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QDebug>
#include <QFont>
#include <QHeaderView>

static_assert(Ui_WidgetDriverInfo::kColumnCount == kDriverColumnCount,
              "the form has one column per cell kind");

namespace {
const QColor kEvenRowColour(240, 240, 240, 255);
const QColor kPlayerRowColour(200, 200, 200, 255);
constexpr int kLicenceFontWeight = 75;
constexpr int kNoCarNumber = -1;
constexpr int kCarIdxRole = DriverTableItem::kSortKeyRole + 1;
} // namespace

WidgetDriverInfo::WidgetDriverInfo(AppSettings *settings, QWidget *parent)
    : QWidget(parent), settings(settings)
{
    ui.setupUi(this);
    columnWidths = new UserSizedColumns(ui.tableWidgetDriver);
    // The header's own start is column 0 descending, which would list the
    // leader last; the table starts in race order until the user picks.
    ui.tableWidgetDriver->horizontalHeader()->setSortIndicator(kColumnPos, Qt::AscendingOrder);

    connect(ui.checkBox_stayontop, &QCheckBox::clicked, this,
            &WidgetDriverInfo::OnCheckBoxStayOnTopChanged);
    if (settings) {
        const bool stayOnTop = settings->driversWindowStayOnTop();
        ui.checkBox_stayontop->setChecked(stayOnTop);
        // A user who chose it expects the window on top from the start, not
        // only after clicking the box again.
        setStayOnTopHint(stayOnTop);
    }
}

void WidgetDriverInfo::OnTimerUpdate()
{
    if (storedVars)
        setDrivers(*storedVars);
}

void WidgetDriverInfo::OnCheckBoxStayOnTopChanged()
{
    const bool checked = ui.checkBox_stayontop->isChecked();
    setStayOnTopHint(checked);
    // Changing the window flags hides the window.
    show();
    if (settings)
        settings->setDriversWindowStayOnTop(checked);
}

void WidgetDriverInfo::setStayOnTopHint(bool on)
{
    Qt::WindowFlags flags = windowFlags();
    if (on)
        flags |= Qt::WindowStaysOnTopHint;
    else
        flags &= ~Qt::WindowStaysOnTopHint;
    setWindowFlags(flags);
}

void WidgetDriverInfo::setDrivers(irVariables &irVars)
{
    storedVars = &irVars;
    QTableWidget *table = ui.tableWidgetDriver;

    int selectedCarNumber = kNoCarNumber;
    const QList<QTableWidgetSelectionRange> selection = table->selectedRanges();
    if (!selection.isEmpty()) {
        const QTableWidgetItem *carItem =
            table->item(selection.first().topRow(), kColumnCarNumber);
        if (carItem)
            selectedCarNumber = carItem->text().toInt(nullptr, 10);
    }

    applyResultPositions(irVars);

    // With sorting on, setting the sort column's cell moves its row at once
    // and the rest of the row's cells would land in another driver's row.
    // Fill in snapshot order with sorting off, then sort once by the column
    // and order the user chose, which the header keeps meanwhile.
    const bool sorting = table->isSortingEnabled();
    table->setSortingEnabled(false);

    table->setRowCount(irVars.drivers.size());
    for (int i = 0; i < irVars.drivers.size(); ++i) {
        const irDriver &d = irVars.drivers.at(i);
        setDriverRow(i, d, resultForCar(irVars.results, d.carIdx));
    }
    if (sorting) {
        const QHeaderView *header = table->horizontalHeader();
        table->sortItems(header->sortIndicatorSection(), header->sortIndicatorOrder());
    }

    // Shade and select by the row as shown, so the stripes alternate under
    // any sort order. Still with sorting off: a changed cell in the sort
    // column would otherwise be sorted again on its own.
    for (int row = 0; row < table->rowCount(); ++row) {
        shadeRow(row);
        const QTableWidgetItem *carItem = table->item(row, kColumnCarNumber);
        if (selectedCarNumber != kNoCarNumber && carItem &&
            carItem->data(DriverTableItem::kSortKeyRole).toInt() == selectedCarNumber)
            table->selectRow(row);
    }

    // Sorts again, which leaves the already sorted rows in place.
    table->setSortingEnabled(sorting);
    // A column the user has dragged keeps its width until the window closes.
    columnWidths->fitOthersToContents();
}

void WidgetDriverInfo::setDriverRow(int row, const irDriver &d, const irResult &r)
{
    QTableWidget *table = ui.tableWidgetDriver;
    for (int column = 0; column < kDriverColumnCount; ++column) {
        table->setItem(row, column,
                       new DriverTableItem(driverCellText(column, d, r),
                                           driverCellSortKey(column, d, r)));
    }
    // Rows move when sorted; the car index stays with its row to find the
    // player's row afterwards.
    table->item(row, kColumnPos)->setData(kCarIdxRole, d.carIdx);

    QTableWidgetItem *licence = table->item(row, kColumnLicence);
    licence->setBackground(QColor(licenceColourName(d.licColor)));
    licence->setForeground(QBrush(Qt::white));
    QFont font = licence->font();
    font.setWeight(kLicenceFontWeight);
    licence->setFont(font);

    qDebug().noquote() << QStringLiteral("ReasonID: %1").arg(r.reasonOutId);
}

void WidgetDriverInfo::shadeRow(int row)
{
    QTableWidget *table = ui.tableWidgetDriver;
    if (row < 0 || row >= table->rowCount() || table->columnCount() == 0)
        return;
    const QTableWidgetItem *posItem = table->item(row, kColumnPos);
    const int playerCarIdx = storedVars ? storedVars->playerDriver.driverCarIdx : -1;
    const bool isPlayer =
        namesCar(playerCarIdx) && posItem && posItem->data(kCarIdxRole).toInt() == playerCarIdx;

    QVariant shade;
    if (isPlayer)
        shade = QBrush(kPlayerRowColour);
    else if (row % 2 == 0)
        shade = QBrush(kEvenRowColour);
    for (int column = 0; column < table->columnCount(); ++column) {
        QTableWidgetItem *item = table->item(row, column);
        // The licence cell keeps its own colour.
        if (item && column != kColumnLicence)
            item->setData(Qt::BackgroundRole, shade);
    }
}

void WidgetDriverInfo::closeEvent(QCloseEvent *event)
{
    emit OnClose();
    QWidget::closeEvent(event);
    columnWidths->forget();
}
