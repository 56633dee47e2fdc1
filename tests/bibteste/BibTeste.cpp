// A concentrator library for the driver's tests: records every call it gets and answers with what
// the test put in place. Built twice; the incomplete build lacks some entries.
#include "EntradasCompanytec.h"

#include <algorithm>
#include <cstdio>
#include <charconv>
#include <cstring>
#include <string>

namespace {
std::string gChamadas;
std::uint8_t gStatus[48] = {};
char gStStatus[101] = {};
std::int32_t gRetornoSerial = 1;
std::int32_t gRetornoStatus = 1;
std::int32_t gRetornoLeitura = 1;
std::uint8_t gEncerrante[16] = {};
std::uint8_t gAbastecimento[144] = {};
std::string gPreco = "0";

void Registra(const std::string& chamada)
{
    gChamadas += chamada + "\n";
}

std::string Texto(const char* texto)
{
    return texto ? texto : "(nulo)";
}
} // namespace

#define ENTRADA(nome) extern "C" COMPANYTEC_EXPORTA std::int32_t COMPANYTEC_CHAMADA nome

// ---- the test's side ----
ENTRADA(TesteLimpa)()
{
    gChamadas.clear();
    std::memset(gStatus, 0, sizeof gStatus);
    std::memset(gStStatus, 0, sizeof gStStatus);
    std::memset(gEncerrante, 0, sizeof gEncerrante);
    std::memset(gAbastecimento, 0, sizeof gAbastecimento);
    gRetornoSerial = 1;
    gRetornoStatus = 1;
    gRetornoLeitura = 1;
    gPreco = "0";
    return 0;
}

// Copies the calls so far, one a line; returns their length.
ENTRADA(TesteChamadas)(char* destino, std::int32_t tamanho)
{
    if (destino && tamanho > 0) {
        const std::size_t n = std::min<std::size_t>(gChamadas.size(), static_cast<std::size_t>(tamanho - 1));
        std::memcpy(destino, gChamadas.data(), n);
        destino[n] = '\0';
    }
    return static_cast<std::int32_t>(gChamadas.size());
}

ENTRADA(TesteDefineStatus)(const std::uint8_t* bytes)
{
    std::memcpy(gStatus, bytes, sizeof gStatus);
    return 0;
}

ENTRADA(TesteDefineStStatus)(const char* bytes, std::int32_t tamanho)
{
    std::memset(gStStatus, 0, sizeof gStStatus);
    std::memcpy(gStStatus, bytes, std::min<std::size_t>(static_cast<std::size_t>(tamanho), sizeof gStStatus));
    return 0;
}

ENTRADA(TesteDefineRetornoStatus)(std::int32_t retorno)
{
    gRetornoStatus = retorno;
    return 1;
}

ENTRADA(TesteDefineRetornoLeitura)(std::int32_t retorno)
{
    gRetornoLeitura = retorno;
    return 1;
}

ENTRADA(TesteDefineRetornoSerial)(std::int32_t retorno)
{
    gRetornoSerial = retorno;
    return 0;
}

ENTRADA(TesteDefineEncerrante)(const std::uint8_t* bytes)
{
    std::memcpy(gEncerrante, bytes, sizeof gEncerrante);
    return 0;
}

ENTRADA(TesteDefineAbastecimento)(const std::uint8_t* bytes)
{
    std::memcpy(gAbastecimento, bytes, sizeof gAbastecimento);
    return 0;
}

ENTRADA(TesteDefinePreco)(const char* texto)
{
    gPreco = texto;
    return 0;
}

// ---- the library's entries ----
ENTRADA(InicializaSerial)(std::int32_t Porta)
{
    Registra("InicializaSerial " + std::to_string(Porta));
    return gRetornoSerial;
}

ENTRADA(SetClock)(const char* Modo)
{
    Registra("SetClock " + Texto(Modo));
    return 1;
}

ENTRADA(LeStStatus)(char* Texto101)
{
    Registra("LeStStatus");
    std::memcpy(Texto101, gStStatus, sizeof gStStatus);
    return 1;
}

ENTRADA(LeAbastecimento)(void* Registro144)
{
    Registra("LeAbastecimento");
    std::memcpy(Registro144, gAbastecimento, sizeof gAbastecimento);
    return gRetornoLeitura;
}

ENTRADA(LeAbastecimentoFid)(void* Registro176)
{
    Registra("LeAbastecimentoFid");
    std::memset(Registro176, 0, 176);
    return gRetornoLeitura;
}

ENTRADA(ConsultaEncerrante)(void* Registro16, std::int32_t Tipo, const char* Bico)
{
    Registra("ConsultaEncerrante " + std::to_string(Tipo) + " " + Texto(Bico));
    std::memcpy(Registro16, gEncerrante, sizeof gEncerrante);
    return 1;
}

ENTRADA(RefAltPreco)(const char* Bico, double Preco, std::int32_t Modo, std::uint8_t* Retorno)
{
    char preco[32];
    char* fim = std::to_chars(preco, preco + sizeof preco, Preco, std::chars_format::fixed, 4).ptr;
    Registra("RefAltPreco " + Texto(Bico) + " " + std::string(preco, static_cast<std::size_t>(fim - preco)) + " " + std::to_string(Modo));
    *Retorno = 0xEE;
    return 1;
}

ENTRADA(RefLePPL)(const char* Bico, const char** TextoPreco)
{
    Registra("RefLePPL " + Texto(Bico));
    *TextoPreco = gPreco.c_str();
    return 1;
}

ENTRADA(AutoLibera)(const char* Bico)
{
    Registra("AutoLibera " + Texto(Bico));
    return 1;
}

ENTRADA(LeVisualizacao)(void* Registro)
{
    Registra("LeVisualizacao");
    std::memset(Registro, 0x5A, TamanhoVisualizacao);
    return 1;
}

#ifndef BIBTESTE_INCOMPLETA
ENTRADA(FechaSerial)()
{
    Registra("FechaSerial");
    return 1;
}

ENTRADA(FechaSerialSemConfirmar)()
{
    Registra("FechaSerialSemConfirmar");
    return 1;
}

ENTRADA(LeStatus)(std::uint8_t* Status48)
{
    Registra("LeStatus");
    std::memcpy(Status48, gStatus, sizeof gStatus);
    return gRetornoStatus;
}

ENTRADA(LeRegistro)(void* Registro144, std::int32_t Id)
{
    Registra("LeRegistro " + std::to_string(Id));
    std::memcpy(Registro144, gAbastecimento, sizeof gAbastecimento);
    return gRetornoLeitura;
}

ENTRADA(BloqueiaBico)(const char* Bico)
{
    Registra("BloqueiaBico " + Texto(Bico));
    return 1;
}
#endif
