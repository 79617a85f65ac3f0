#pragma once

#include <QByteArray>
#include <QString>

#include <ostream>

// Google Test prints Qt's texts as text rather than as arrays of bytes.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << "\" (" << bytes.size() << " bytes)";
}
