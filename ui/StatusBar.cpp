#include "ui/StatusBar.h"

#include <QLabel>

namespace {

QLabel *addField(QStatusBar *bar, const QString &text, int stretch)
{
    auto *label = new QLabel(text);
    label->setContentsMargins(10, 2, 10, 2);
    bar->addWidget(label, stretch); // the bar takes ownership
    return label;
}

} // namespace

StatusBar::StatusBar(QWidget *parent)
    : QStatusBar(parent),
      labelIracing(addField(this, QStringLiteral("iRacing not connected"), 1)),
      labelClient(addField(this, clientText(0), 1)),
      labelVersion(addField(this, QString(), 0))
{
}

void StatusBar::setIracingText(const QString &text) { labelIracing->setText(text); }

void StatusBar::setClientText(const QString &text) { labelClient->setText(text); }

void StatusBar::setVersionText(const QString &text) { labelVersion->setText(text); }

QString StatusBar::clientText(int count)
{
    if (count <= 0)
        return QStringLiteral("client not connected");
    return QStringLiteral("%1 client(s) connected").arg(count);
}
