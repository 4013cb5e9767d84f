#pragma once
// The drivers window's form, kept in the shape of a generated one.

#include <QtCore/QVariant>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHBoxLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QTableWidget>
#include <QtWidgets/QWidget>

QT_BEGIN_NAMESPACE

class Ui_WidgetDriverInfo {
public:
    static constexpr int kColumnCount = 13;

    QGridLayout *gridLayout;
    QTableWidget *tableWidgetDriver;
    QHBoxLayout *horizontalLayout;
    QCheckBox *checkBox_stayontop;

    void setupUi(QWidget *WidgetDriverInfo)
    {
        if (WidgetDriverInfo->objectName().isEmpty())
            WidgetDriverInfo->setObjectName(QString::fromUtf8("WidgetDriverInfo"));
        WidgetDriverInfo->resize(907, 663);
        gridLayout = new QGridLayout(WidgetDriverInfo);
        gridLayout->setSpacing(6);
        gridLayout->setContentsMargins(11, 11, 11, 11);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));
        tableWidgetDriver = new QTableWidget(WidgetDriverInfo);
        if (tableWidgetDriver->columnCount() < kColumnCount)
            tableWidgetDriver->setColumnCount(kColumnCount);
        for (int column = 0; column < kColumnCount; ++column)
            tableWidgetDriver->setHorizontalHeaderItem(column, new QTableWidgetItem());
        tableWidgetDriver->setObjectName(QString::fromUtf8("tableWidgetDriver"));
        tableWidgetDriver->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tableWidgetDriver->setSelectionMode(QAbstractItemView::SingleSelection);
        tableWidgetDriver->setSelectionBehavior(QAbstractItemView::SelectRows);
        tableWidgetDriver->setSortingEnabled(true);
        tableWidgetDriver->horizontalHeader()->setStretchLastSection(true);
        tableWidgetDriver->verticalHeader()->setVisible(false);

        gridLayout->addWidget(tableWidgetDriver, 1, 0, 1, 1);

        horizontalLayout = new QHBoxLayout();
        horizontalLayout->setSpacing(6);
        horizontalLayout->setObjectName(QString::fromUtf8("horizontalLayout"));
        checkBox_stayontop = new QCheckBox(WidgetDriverInfo);
        checkBox_stayontop->setObjectName(QString::fromUtf8("checkBox_stayontop"));

        horizontalLayout->addWidget(checkBox_stayontop);

        gridLayout->addLayout(horizontalLayout, 0, 0, 1, 1);

        retranslateUi(WidgetDriverInfo);

        QMetaObject::connectSlotsByName(WidgetDriverInfo);
    }

    void retranslateUi(QWidget *WidgetDriverInfo)
    {
        WidgetDriverInfo->setWindowTitle(
            QCoreApplication::translate("WidgetDriverInfo", "WidgetDirverInfo", nullptr));
        static const char *const headers[kColumnCount] = {
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Pos"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Car#"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Name"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Licence"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "iRating"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Club"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Division"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Best Time"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Best Lap"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "LastTime"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Laps"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "Inc"),
            QT_TRANSLATE_NOOP("WidgetDriverInfo", "ReasonOut"),
        };
        for (int column = 0; column < kColumnCount; ++column) {
            tableWidgetDriver->horizontalHeaderItem(column)->setText(
                QCoreApplication::translate("WidgetDriverInfo", headers[column], nullptr));
        }
        checkBox_stayontop->setText(
            QCoreApplication::translate("WidgetDriverInfo", "Stay On Top", nullptr));
    }
};

namespace Ui {
class WidgetDriverInfo : public Ui_WidgetDriverInfo {};
} // namespace Ui

QT_END_NAMESPACE
