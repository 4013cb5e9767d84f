#include "app/Pitlink.h"
#include "platform/Platform.h"

#include <QApplication>

namespace {
// Called on the platform layer's own thread: the windows are closed on the
// GUI thread, exactly as the "Exit" action closes them, so the settings are
// saved and every client thread is ended.
void closeOnRequest()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app,
            [] {
                for (QWidget *top : QApplication::topLevelWidgets()) {
                    if (Pitlink *window = qobject_cast<Pitlink *>(top))
                        window->closeOnTerminationRequest();
                }
                QApplication::closeAllWindows();
            },
            Qt::QueuedConnection);
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int result = 0;
    {
        Pitlink window;
        platform::os().setTerminationHandler(closeOnRequest);
        window.show();
        result = app.exec();
    }
    return result;
}
