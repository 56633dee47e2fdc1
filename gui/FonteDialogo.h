#pragma once
// The dialogs' face: MS Sans Serif where it exists, Liberation Sans (same metrics) elsewhere, so
// that captions laid out for it fit.
#include <QFont>
#include <QFontDatabase>

inline QFont FonteMsSansSerif(int pontos = 8)
{
    QFont fonte(QStringLiteral("MS Sans Serif"), pontos);
    if (!QFontDatabase::hasFamily(fonte.family()))
        fonte.setFamily(QStringLiteral("Liberation Sans"));
    fonte.setStyleHint(QFont::SansSerif);
    return fonte;
}

// The same face at a height in pixels.
inline QFont FonteMsSansSerifPixels(int pixels, bool negrito = false)
{
    QFont fonte = FonteMsSansSerif();
    fonte.setPixelSize(pixels);
    fonte.setBold(negrito);
    return fonte;
}
