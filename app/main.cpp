#include "app/Pitlink.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int result = 0;
    {
        Pitlink window;
        window.show();
        result = app.exec();
    }
    return result;
}
