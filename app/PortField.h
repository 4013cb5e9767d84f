#pragma once
// The server's port field: what may be typed into it, and the port that its
// text stands for at Start Server and at close.

#include <QIntValidator>
#include <QString>

// Accepts, as the user types, only whole numbers from 1 to 65535 without a
// sign or leading zeros; an empty field stays possible while typing.
class PortValidator : public QIntValidator {
    Q_OBJECT
public:
    explicit PortValidator(QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
};

// An empty field stands for the port last saved (47812 when none was, or
// when 0 was); any other text converts as a base-10 number whose low 16 bits
// are the port (no number gives 0).
quint16 portFromField(const QString &text, quint16 lastSaved);
