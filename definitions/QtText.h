#pragma once
// The program's text is 8-bit bytes. Latin-1 maps every byte to one
// character and back, so widgets show and return cells unchanged.
#include <QComboBox>
#include <QString>
#include <string>

inline QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

inline std::string Latin1Of(const QString& q)
{
    const QByteArray b = q.toLatin1();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// The item whose text equals `text` with ASCII letter case folded, or -1.
inline int FindItemFolded(const QComboBox* cb, const std::string& text)
{
    auto fold = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return s;
    };
    const std::string want = fold(text);
    for (int i = 0; i < cb->count(); ++i)
        if (fold(Latin1Of(cb->itemText(i))) == want) return i;
    return -1;
}
