#pragma once
// The main window's form, kept in the shape of a generated one.

#include "ui/StatusBar.h"

#include <QtCore/QVariant>
#include <QtWidgets/QAction>
#include <QtWidgets/QApplication>
#include <QtWidgets/QCheckBox>
#include <QtWidgets/QComboBox>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QGroupBox>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>
#include <QtWidgets/QMainWindow>
#include <QtWidgets/QMenu>
#include <QtWidgets/QMenuBar>
#include <QtWidgets/QPlainTextEdit>
#include <QtWidgets/QPushButton>
#include <QtWidgets/QSpacerItem>
#include <QtWidgets/QToolBar>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QWidget>

QT_BEGIN_NAMESPACE

class Ui_PitlinkClass {
public:
    QAction *actionExit;
    QAction *actionDriversWindow;
    QAction *actionPairing;
    QWidget *centralWidget;
    QGridLayout *gridLayout;
    QGroupBox *groupBox_paths;
    QGridLayout *gridLayout_3;
    QLabel *label_4;
    QToolButton *toolButton_openFolder;
    QLineEdit *lineEdit_ir_PathDocuments;
    QGroupBox *groupBox_server;
    QGridLayout *gridLayout_2;
    QLabel *label_2;
    QLineEdit *lineEdit_ip;
    QLineEdit *lineEdit_port;
    QLabel *label;
    QComboBox *comboBox_netinterfaces;
    QLabel *label_3;
    QCheckBox *checkBox_startup_server;
    QPushButton *pushButton_startServer;
    QPlainTextEdit *plainTextEdit_debug;
    QGroupBox *groupBox;
    QGridLayout *gridLayout_4;
    QLabel *label_laps;
    QLabel *label_8;
    QSpacerItem *horizontalSpacer;
    QLabel *label_sessionTime;
    QSpacerItem *horizontalSpacer_2;
    QLabel *label_5;
    QLabel *label_6;
    QLabel *label_sessionType;
    QSpacerItem *horizontalSpacer_3;
    QLabel *label_7;
    QLabel *label_trackname;
    QSpacerItem *horizontalSpacer_4;
    QMenuBar *menuBar;
    QMenu *menuPitlink;
    QToolBar *mainToolBar;
    StatusBar *statusBar;

    void setupUi(QMainWindow *PitlinkClass)
    {
        if (PitlinkClass->objectName().isEmpty())
            PitlinkClass->setObjectName(QString::fromUtf8("PitlinkClass"));
        PitlinkClass->resize(526, 373);
        actionExit = new QAction(PitlinkClass);
        actionExit->setObjectName(QString::fromUtf8("actionExit"));
        actionDriversWindow = new QAction(PitlinkClass);
        actionDriversWindow->setObjectName(QString::fromUtf8("actionDriversWindow"));
        actionPairing = new QAction(PitlinkClass);
        actionPairing->setObjectName(QString::fromUtf8("actionPairing"));
        centralWidget = new QWidget(PitlinkClass);
        centralWidget->setObjectName(QString::fromUtf8("centralWidget"));
        gridLayout = new QGridLayout(centralWidget);
        gridLayout->setSpacing(6);
        gridLayout->setContentsMargins(11, 11, 11, 11);
        gridLayout->setObjectName(QString::fromUtf8("gridLayout"));

        groupBox_paths = new QGroupBox(centralWidget);
        groupBox_paths->setObjectName(QString::fromUtf8("groupBox_paths"));
        QSizePolicy pathsPolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        pathsPolicy.setHorizontalStretch(1);
        pathsPolicy.setVerticalStretch(0);
        pathsPolicy.setHeightForWidth(groupBox_paths->sizePolicy().hasHeightForWidth());
        groupBox_paths->setSizePolicy(pathsPolicy);
        gridLayout_3 = new QGridLayout(groupBox_paths);
        gridLayout_3->setSpacing(6);
        gridLayout_3->setContentsMargins(11, 11, 11, 11);
        gridLayout_3->setObjectName(QString::fromUtf8("gridLayout_3"));
        label_4 = new QLabel(groupBox_paths);
        label_4->setObjectName(QString::fromUtf8("label_4"));
        gridLayout_3->addWidget(label_4, 0, 0, 1, 1);
        toolButton_openFolder = new QToolButton(groupBox_paths);
        toolButton_openFolder->setObjectName(QString::fromUtf8("toolButton_openFolder"));
        gridLayout_3->addWidget(toolButton_openFolder, 1, 1, 1, 1);
        lineEdit_ir_PathDocuments = new QLineEdit(groupBox_paths);
        lineEdit_ir_PathDocuments->setObjectName(QString::fromUtf8("lineEdit_ir_PathDocuments"));
        gridLayout_3->addWidget(lineEdit_ir_PathDocuments, 1, 0, 1, 1);
        gridLayout->addWidget(groupBox_paths, 0, 1, 1, 2);

        groupBox_server = new QGroupBox(centralWidget);
        groupBox_server->setObjectName(QString::fromUtf8("groupBox_server"));
        QSizePolicy serverPolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        serverPolicy.setHorizontalStretch(0);
        serverPolicy.setVerticalStretch(0);
        serverPolicy.setHeightForWidth(groupBox_server->sizePolicy().hasHeightForWidth());
        groupBox_server->setSizePolicy(serverPolicy);
        gridLayout_2 = new QGridLayout(groupBox_server);
        gridLayout_2->setSpacing(6);
        gridLayout_2->setContentsMargins(11, 11, 11, 11);
        gridLayout_2->setObjectName(QString::fromUtf8("gridLayout_2"));
        label_2 = new QLabel(groupBox_server);
        label_2->setObjectName(QString::fromUtf8("label_2"));
        gridLayout_2->addWidget(label_2, 2, 0, 1, 1);
        lineEdit_ip = new QLineEdit(groupBox_server);
        lineEdit_ip->setObjectName(QString::fromUtf8("lineEdit_ip"));
        gridLayout_2->addWidget(lineEdit_ip, 1, 1, 1, 1);
        lineEdit_port = new QLineEdit(groupBox_server);
        lineEdit_port->setObjectName(QString::fromUtf8("lineEdit_port"));
        gridLayout_2->addWidget(lineEdit_port, 2, 1, 1, 1);
        label = new QLabel(groupBox_server);
        label->setObjectName(QString::fromUtf8("label"));
        gridLayout_2->addWidget(label, 1, 0, 1, 1);
        comboBox_netinterfaces = new QComboBox(groupBox_server);
        comboBox_netinterfaces->setObjectName(QString::fromUtf8("comboBox_netinterfaces"));
        gridLayout_2->addWidget(comboBox_netinterfaces, 0, 1, 1, 1);
        label_3 = new QLabel(groupBox_server);
        label_3->setObjectName(QString::fromUtf8("label_3"));
        gridLayout_2->addWidget(label_3, 0, 0, 1, 1);
        gridLayout->addWidget(groupBox_server, 0, 3, 2, 3);

        checkBox_startup_server = new QCheckBox(centralWidget);
        checkBox_startup_server->setObjectName(QString::fromUtf8("checkBox_startup_server"));
        QSizePolicy buttonPolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
        buttonPolicy.setHorizontalStretch(0);
        buttonPolicy.setVerticalStretch(0);
        buttonPolicy.setHeightForWidth(checkBox_startup_server->sizePolicy().hasHeightForWidth());
        checkBox_startup_server->setSizePolicy(buttonPolicy);
        gridLayout->addWidget(checkBox_startup_server, 1, 2, 1, 1);
        pushButton_startServer = new QPushButton(centralWidget);
        pushButton_startServer->setObjectName(QString::fromUtf8("pushButton_startServer"));
        buttonPolicy.setHeightForWidth(pushButton_startServer->sizePolicy().hasHeightForWidth());
        pushButton_startServer->setSizePolicy(buttonPolicy);
        gridLayout->addWidget(pushButton_startServer, 1, 1, 1, 1);
        plainTextEdit_debug = new QPlainTextEdit(centralWidget);
        plainTextEdit_debug->setObjectName(QString::fromUtf8("plainTextEdit_debug"));
        plainTextEdit_debug->setReadOnly(true);
        gridLayout->addWidget(plainTextEdit_debug, 3, 1, 1, 6);

        groupBox = new QGroupBox(centralWidget);
        groupBox->setObjectName(QString::fromUtf8("groupBox"));
        gridLayout_4 = new QGridLayout(groupBox);
        gridLayout_4->setSpacing(6);
        gridLayout_4->setContentsMargins(11, 11, 11, 11);
        gridLayout_4->setObjectName(QString::fromUtf8("gridLayout_4"));
        label_laps = new QLabel(groupBox);
        label_laps->setObjectName(QString::fromUtf8("label_laps"));
        gridLayout_4->addWidget(label_laps, 0, 4, 1, 1);
        label_8 = new QLabel(groupBox);
        label_8->setObjectName(QString::fromUtf8("label_8"));
        gridLayout_4->addWidget(label_8, 0, 3, 1, 1);
        horizontalSpacer = newSpacer();
        gridLayout_4->addItem(horizontalSpacer, 0, 5, 1, 1);
        label_sessionTime = new QLabel(groupBox);
        label_sessionTime->setObjectName(QString::fromUtf8("label_sessionTime"));
        gridLayout_4->addWidget(label_sessionTime, 0, 1, 1, 1);
        horizontalSpacer_2 = newSpacer();
        gridLayout_4->addItem(horizontalSpacer_2, 0, 2, 1, 1);
        label_5 = new QLabel(groupBox);
        label_5->setObjectName(QString::fromUtf8("label_5"));
        gridLayout_4->addWidget(label_5, 0, 0, 1, 1);
        label_6 = new QLabel(groupBox);
        label_6->setObjectName(QString::fromUtf8("label_6"));
        gridLayout_4->addWidget(label_6, 1, 0, 1, 1);
        label_sessionType = new QLabel(groupBox);
        label_sessionType->setObjectName(QString::fromUtf8("label_sessionType"));
        gridLayout_4->addWidget(label_sessionType, 1, 1, 1, 1);
        horizontalSpacer_3 = newSpacer();
        gridLayout_4->addItem(horizontalSpacer_3, 1, 2, 1, 1);
        label_7 = new QLabel(groupBox);
        label_7->setObjectName(QString::fromUtf8("label_7"));
        gridLayout_4->addWidget(label_7, 1, 3, 1, 1);
        label_trackname = new QLabel(groupBox);
        label_trackname->setObjectName(QString::fromUtf8("label_trackname"));
        label_trackname->setWordWrap(true);
        gridLayout_4->addWidget(label_trackname, 1, 4, 1, 1);
        horizontalSpacer_4 = newSpacer();
        gridLayout_4->addItem(horizontalSpacer_4, 1, 5, 1, 1);
        gridLayout->addWidget(groupBox, 2, 1, 1, 5);

        PitlinkClass->setCentralWidget(centralWidget);
        menuBar = new QMenuBar(PitlinkClass);
        menuBar->setObjectName(QString::fromUtf8("menuBar"));
        menuBar->setGeometry(QRect(0, 0, 526, 21));
        menuPitlink = new QMenu(menuBar);
        menuPitlink->setObjectName(QString::fromUtf8("menuPitlink"));
        PitlinkClass->setMenuBar(menuBar);
        mainToolBar = new QToolBar(PitlinkClass);
        mainToolBar->setObjectName(QString::fromUtf8("mainToolBar"));
        PitlinkClass->addToolBar(Qt::TopToolBarArea, mainToolBar);
        statusBar = new StatusBar(PitlinkClass);
        statusBar->setObjectName(QString::fromUtf8("statusBar"));
        PitlinkClass->setStatusBar(statusBar);

        menuBar->addAction(menuPitlink->menuAction());
        menuPitlink->addAction(actionExit);
        mainToolBar->addAction(actionDriversWindow);
        mainToolBar->addAction(actionPairing);

        retranslateUi(PitlinkClass);
        QObject::connect(actionExit, SIGNAL(triggered()), PitlinkClass, SLOT(close()));

        QMetaObject::connectSlotsByName(PitlinkClass);
    }

    void retranslateUi(QMainWindow *PitlinkClass)
    {
        PitlinkClass->setWindowTitle(QApplication::translate("PitlinkClass", "Pitlink", nullptr));
        actionExit->setText(QApplication::translate("PitlinkClass", "Exit", nullptr));
        actionDriversWindow->setText(QApplication::translate("PitlinkClass", "Drivers", nullptr));
        actionPairing->setText(QApplication::translate("PitlinkClass", "Pair a phone", nullptr));
        groupBox_paths->setTitle(QApplication::translate("PitlinkClass", "Paths", nullptr));
        label_4->setText(QApplication::translate("PitlinkClass", "Path to iracing documents", nullptr));
        toolButton_openFolder->setText(QApplication::translate("PitlinkClass", "...", nullptr));
        groupBox_server->setTitle(QApplication::translate("PitlinkClass", "Server", nullptr));
        label_2->setText(QApplication::translate("PitlinkClass", "Port:", nullptr));
        label->setText(QApplication::translate("PitlinkClass", "IP:", nullptr));
        label_3->setText(QApplication::translate("PitlinkClass", "Network:", nullptr));
        checkBox_startup_server->setText(
            QApplication::translate("PitlinkClass", "Server starts at startup", nullptr));
        pushButton_startServer->setText(QApplication::translate("PitlinkClass", "Start Server", nullptr));
        groupBox->setTitle(QApplication::translate("PitlinkClass", "Session", nullptr));
        label_laps->setText(QApplication::translate("PitlinkClass", "0/0", nullptr));
        label_8->setText(QApplication::translate("PitlinkClass", "Laps:", nullptr));
        label_sessionTime->setText(QApplication::translate("PitlinkClass", "0", nullptr));
        label_5->setText(QApplication::translate("PitlinkClass", "Time:", nullptr));
        label_6->setText(QApplication::translate("PitlinkClass", "Type:", nullptr));
        label_sessionType->setText(QApplication::translate("PitlinkClass", "n/a", nullptr));
        label_7->setText(QApplication::translate("PitlinkClass", "Track:", nullptr));
        label_trackname->setText(QApplication::translate("PitlinkClass", "n/a", nullptr));
        menuPitlink->setTitle(QApplication::translate("PitlinkClass", "Pitlink", nullptr));
    }

private:
    static QSpacerItem *newSpacer()
    {
        return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
    }
};

namespace Ui {
class PitlinkClass : public Ui_PitlinkClass {};
} // namespace Ui

QT_END_NAMESPACE
