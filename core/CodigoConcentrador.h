#pragma once
// The station keeps a nozzle's concentrator code as three decimal digits ("068"); the concentrator
// names the same nozzle by that number in upper-case hexadecimal ("44"). Bits 6 and 7 of the number
// are the channel, the rest is the pump position plus 3, which the status letters follow.
#include "Regional.h"

#include <QString>

// "068" gives "44", "4" gives "04". Raises the conversion error when the code is not an integer.
inline QString CodigoHexadecimal(const QString& codConcentrador)
{
    // A negative code keeps its 32-bit two's complement, as the platform's hexadecimal form did.
    const auto codigo = static_cast<quint32>(LeInteiro(codConcentrador));
    return QString::number(codigo, 16).toUpper().rightJustified(2, '0');
}
