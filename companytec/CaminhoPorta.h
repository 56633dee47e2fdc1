#pragma once
// Which device stands for serial port n: COMPANYTEC_PORTA<n> when set, else the device the
// technician named in the settings file (PORTA_SERIAL, whatever n the station's parameters give),
// else /dev/ttyS<n-1>; empty for port 0. Plain C++: our library opens it, and the driver locks the
// same device.
#include "ConfiguracaoLinkor.h"

#include <cstdlib>
#include <string>

inline std::string CaminhoDaPortaSerial(int numero)
{
    if (numero <= 0)
        return {};
    const std::string variavel = "COMPANYTEC_PORTA" + std::to_string(numero);
    if (const char* definido = std::getenv(variavel.c_str()); definido && *definido)
        return definido;
    if (std::string configurada = LeConfiguracaoLinkor("PORTA_SERIAL"); !configurada.empty())
        return configurada;
    return "/dev/ttyS" + std::to_string(numero - 1);
}
